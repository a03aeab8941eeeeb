#include "cpcase.h"

#include <unordered_set>
#include <vector>

#include "cpinternal.h"
#include "mplatf.h"

namespace {

char fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool same_ignoring_case(const std::string &a, const char *b, std::size_t n) {
  if (a.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

bool is_separator(char c) { return c == '/' || c == '\\'; }

}  // namespace

bool pp_case_match(const std::string &dir, const std::string &name, std::string &path) {
  // path holds dir and name from the start; a component that does not
  // exist as written is overwritten in place by the spelling found, which
  // has the same length since only ASCII letters are folded.
  std::size_t at = 0;
  if (dir.empty()) {
    path = name;
  } else {
    path = dir;
    if (!is_separator(path.back())) path += '/';
    at = path.size();
    path += name;
  }
  std::vector<std::string> entries;
  while (at < path.size()) {
    if (is_separator(path[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < path.size() && !is_separator(path[end])) ++end;
    const std::size_t n = end - at;
    const bool last = end == path.size();
    const char *comp = path.data() + at;
    const bool dots = (n == 1 && comp[0] == '.') || (n == 2 && comp[0] == '.' && comp[1] == '.');
    std::string prefix = path.substr(0, end);
    bool exact = last ? sys_is_regular_file(prefix.c_str()) : sys_is_directory(prefix.c_str());
    if (!exact) {
      if (dots) return false;
      std::string parent = at == 0 ? std::string(".") : path.substr(0, at);
      if (!sys_read_directory(parent.c_str(), entries)) return false;
      // Of several spellings that match, the first in byte order, so that
      // the choice does not depend on the order the system lists them in.
      const std::string *best = nullptr;
      for (const std::string &e : entries) {
        if (!same_ignoring_case(e, comp, n)) continue;
        if (best && !(e < *best)) continue;
        std::string candidate = path.substr(0, at) + e;
        if (last ? sys_is_regular_file(candidate.c_str()) : sys_is_directory(candidate.c_str())) best = &e;
      }
      if (!best) return false;
      path.replace(at, n, *best);
    }
    at = end;
  }
  return !path.empty() && sys_is_regular_file(path.c_str());
}

bool pp_case_search(const std::string &name, IncludeDir *from, std::string &path, IncludeDir *&found_in) {
  found_in = nullptr;
  if (name.empty()) return false;
  if (pp_case_match(std::string(), name, path)) return true;
  // An absolute name is only ever tried as itself.
  if (is_separator(name[0])) return false;
  for (IncludeDir *d = from; d; d = d->next) {
    if (d->bare || d->text.empty()) continue;
    if (pp_case_match(d->text, name, path)) {
      found_in = d;
      return true;
    }
  }
  return false;
}

bool pp_case_first_use(const std::string &name, const std::string &path) {
  static std::unordered_set<std::string> seen;
  std::string key = name;
  key.push_back('\0');
  key += path;
  return seen.insert(key).second;
}

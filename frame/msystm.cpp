#include "msystm.h"

#include <unistd.h>

#include "merror.h"
#include "mplatf.h"

namespace {
struct KindSuffix {
  int kind;
  const char *variable;
  const char *suffix;
};
constexpr KindSuffix kKinds[] = {
    {KIND_SCRIPT, "ORTEKPTU", "ptu"},  {KIND_SYMBOLS, "ORTEKSMB", "smb"}, {KIND_DEFINES, "ORTEKDEF", "def"},
    {KIND_HEADER, "ORTEKEXH", "h"},    {KIND_SOURCE, "ORTEKCPP", "cc"},
};

const KindSuffix *find_kind(int kind) {
  for (const KindSuffix &k : kKinds)
    if (k.kind == kind) return &k;
  return nullptr;
}

bool is_separator(char c) { return c == '/' || c == '\\'; }
}  // namespace

std::string file_suffix(int kind) {
  const KindSuffix *k = find_kind(kind);
  if (!k) return std::string();
  if (const char *value = sys_getenv(k->variable)) return std::string(value).substr(0, 3);
  return k->suffix;
}

// "\" and "/" both separate directories: names written for the other
// platform must split the same way here. The directory comes back with the
// host's separator, so that the names written into a script and shown in
// diagnostics open on this system.
void split_path(const std::string &path, std::string &directory, std::string &name) {
  std::size_t cut = path.find_last_of("/\\");
  if (cut == std::string::npos) {
    name = path;
    directory = ".";
  } else {
    name = path.substr(cut + 1);
    std::size_t end = cut;
    // "a//b" and "/b" keep a meaningful directory part.
    while (end > 0 && is_separator(path[end - 1])) --end;
    directory = end == 0 ? path.substr(0, 1) : path.substr(0, end);
  }
  const char separator = sys_separator();
  for (char &c : directory)
    if (is_separator(c)) c = separator;
  if (directory.size() != 1 || directory[0] != separator) directory += separator;
}

void split_extension(const std::string &name, std::string &extension, std::string &base) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) {
    base = name;
    extension.clear();
  } else {
    base = name.substr(0, dot);
    extension = name.substr(dot + 1);
  }
}

void make_file_name(std::string &path, int kind) {
  std::string directory, name, extension, base;
  split_path(path, directory, name);
  split_extension(name, extension, base);
  if (extension.empty() && find_kind(kind)) extension = file_suffix(kind);
  path = directory + base;
  if (!extension.empty()) path += "." + extension;
}

int file_not_readable(const char *path) { return sys_access(path, R_OK) != 0 ? 1 : 0; }

std::string target_directory() {
  if (const char *chosen = sys_getenv("QZLTGT")) return chosen;
  const char *install = sys_getenv("PROBAXDIR");
  if (!install || !*install) return std::string();
  std::string embedded = std::string(install) + sys_separator() + "target" + sys_separator() + "gcc";
  return sys_is_directory(embedded.c_str()) ? embedded : std::string();
}

int check_directory(const char *path) {
  if (sys_is_directory(path)) return 0;
  report_warning(MSG_INCLTYPER, path);
  return 1;
}

int file_status(const char *path, struct stat *status) { return sys_stat(path, status); }

// Developer tool: prints the preprocessed text of a file on standard output
// (diagnostics on standard error), as the analyser would receive it.
//
//   ppdump [-I dir]... [-D name[=value]]... [-P] [-E] file
//
// -P leaves out the "#line" markers; -E escapes names in markers as
// PREPRO_ONLY does. Exit status: 0 clean, 3 warnings, 5 errors.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "merror.h"
#include "cprepr.h"

static int usage() {
  std::fprintf(stderr, "usage: ppdump [-I dir]... [-D name[=value]]... [-P] [-E] file\n");
  return 2;
}

int main(int argc, char **argv) {
  std::vector<std::string> incs, defs;
  bool no_markers = false;
  const char *file = nullptr;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if ((a == "-I" || a == "-D") && i + 1 < argc) {
      (a == "-I" ? incs : defs).push_back(argv[++i]);
    } else if (a.size() > 2 && (a.compare(0, 2, "-I") == 0 || a.compare(0, 2, "-D") == 0)) {
      (a[1] == 'I' ? incs : defs).push_back(a.substr(2));
    } else if (a == "-P") {
      no_markers = true;
    } else if (a == "-E") {
      pp_set_escape_line_names(true);
    } else if (!a.empty() && a[0] == '-') {
      return usage();
    } else if (!file) {
      file = argv[i];
    } else {
      return usage();
    }
  }
  if (!file) return usage();
  std::vector<const char *> inc_ptrs, def_ptrs;
  for (auto &s : incs) inc_ptrs.push_back(s.c_str());
  for (auto &s : defs) def_ptrs.push_back(s.c_str());
  inc_ptrs.push_back(nullptr);
  def_ptrs.push_back(nullptr);
  static MacroTable table;
  pp_init(def_ptrs.data(), inc_ptrs.data(), table, 1);
  std::string text = std::string("#include \"") + file + "\"";
  std::string result;
  pp_process_text(text.c_str(), 0, "", 0, result, table);
  if (no_markers) {
    std::string kept;
    kept.reserve(result.size());
    std::size_t pos = 0;
    while (pos < result.size()) {
      std::size_t nl = result.find('\n', pos);
      std::size_t stop = nl == std::string::npos ? result.size() : nl + 1;
      if (result.compare(pos, 6, "#line ") != 0) kept.append(result, pos, stop - pos);
      pos = stop;
    }
    result.swap(kept);
  }
  std::fwrite(result.data(), 1, result.size(), stdout);
  std::fflush(stderr);
  std::fflush(stdout);
  if (error_count() > 0) return 5;
  if (warning_count() > 0) return 3;
  return 0;
}

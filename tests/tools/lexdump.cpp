// lexdump: prints the token stream of one preprocessed C/C++ text, one token
// a line:  code<TAB>text<TAB>line
// code is the token's spelling ("int", "::", "<identifier>" ...); text is
// the token as written (captured stretches with their newlines shown as \n).
// Scanner reports and characters that match no rule go to standard error and
// make the status 1.
//   lexdump [-c] [-q] file
//     -c  also convert every numeric and character constant
//     -q  print only the summary
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "ctylex.h"
#include "mplatf.h"

namespace {

int g_reports = 0;

void count_report(MessageCode code, std::string_view arg, std::string_view file, int line) {
  ++g_reports;
  std::fprintf(stderr, "%s:%d: %s %.*s (severity %d)\n", std::string(file).c_str(), line, message_name(code),
               static_cast<int>(arg.size()), arg.data(), code.severity());
}

bool read_file(const char *name, std::string &text) {
  std::FILE *f = sys_fopen(name, "rb");
  if (!f) return false;
  char block[1 << 16];
  std::size_t n;
  while ((n = std::fread(block, 1, sizeof block, f)) > 0) text.append(block, n);
  std::fclose(f);
  return true;
}

std::string shown(const std::string &t) {
  std::string s;
  for (char c : t) {
    if (c == '\n') s += "\\n";
    else if (c == '\t') s += "\\t";
    else s.push_back(c);
  }
  return s;
}

}  // namespace

int main(int argc, char **argv) {
  bool convert = false, quiet = false;
  const char *name = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-c") == 0) convert = true;
    else if (std::strcmp(argv[i], "-q") == 0) quiet = true;
    else name = argv[i];
  }
  if (!name) {
    std::fprintf(stderr, "usage: lexdump [-c] [-q] file\n");
    return 2;
  }
  std::string text;
  if (!read_file(name, text)) {
    std::fprintf(stderr, "lexdump: cannot read %s\n", name);
    return 2;
  }
  set_analyser_report(count_report);
  SymbolTable table;
  table_init(table, nullptr);
  TokenScanner scanner;
  lex_begin(scanner, &table, name, 1, 0, 0);
  lex_set_text(scanner, text.c_str());
  long tokens = 0;
  std::string out;
  for (;;) {
    int code = lex_next(scanner);
    if (code == T_END) break;
    ++tokens;
    const TokenScanner &s = scanner;
    if (convert) {
      ConstantValue v;
      if (code == T_INTEGER) convert_integer(std::string(s.token_text).c_str(), v);
      else if (code == T_FLOATING) convert_floating(std::string(s.token_text).c_str(), v);
      else if (code == T_CHARACTER) convert_character(std::string(s.token_text).c_str(), v);
    }
    if (!quiet) {
      out += token_spelling(code);
      out += '\t';
      out += shown(std::string(s.token_text));
      out += '\t';
      out += std::to_string(lex_current_line(scanner));
      out += '\n';
      if (out.size() > (1 << 16)) {
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
      }
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  const long skipped = scanner.skipped_characters;
  lex_end(scanner);
  release_table(table);
  std::fprintf(stderr, "lexdump: %ld tokens, %d reports, %ld characters matched no rule\n", tokens, g_reports,
               skipped);
  return (g_reports || skipped) ? 1 : 0;
}

// Token scanner on its own: every token of the input up to the end code.
#include "fuzz_support.h"

namespace fuzz_lexer {

int run(const uint8_t *data, size_t size) {
  fuzz_support::setup();
  fuzz_support::fresh_state();
  const std::string text = fuzz_support::text_of(data, size);
  static SymbolTable table;
  // A text that starts with "//C" is read as C, the others as C++.
  table_init(table, nullptr, text.compare(0, 3, "//C") == 0 ? SRC_C : SRC_CPP);
  try {
    TokenScanner scanner;
    lex_begin(scanner, &table, "fuzz.c", 1, 0, 0);
    lex_set_text(scanner, text.c_str());
    // Each call consumes input or ends it; more calls than characters
    // would be a scanner that stopped moving.
    for (size_t n = 0; lex_next(scanner) != T_END; ++n)
      if (n > 4 * text.size() + 16) std::abort();
    lex_end(scanner);
  } catch (const fuzz_support::FuzzExit &) {
  }
  release_table(table);
  return 0;
}

}  // namespace fuzz_lexer

ORTEK_FUZZ_TARGET(fuzz_lexer::run)

// Declaration grammar on a preprocessed text (line markers allowed).
#include "y_cppa.h"
#include "fuzz_support.h"

namespace fuzz_grammar {

int run(const uint8_t *data, size_t size) {
  fuzz_support::setup();
  fuzz_support::fresh_state();
  const std::string text = fuzz_support::text_of(data, size);
  static SymbolTable table;
  // A text that starts with "//C" is read as C, the others as C++.
  table_init(table, "ORTEK", text.compare(0, 3, "//C") == 0 ? SRC_C : SRC_CPP);
  try {
    analyse_text(text.c_str(), table, "", "fuzz.c", 1, 0, 0);
  } catch (const fuzz_support::FuzzExit &) {
  }
  release_table(table);
  return 0;
}

}  // namespace fuzz_grammar

ORTEK_FUZZ_TARGET(fuzz_grammar::run)

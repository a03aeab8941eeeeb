// Preprocessor: the input as a file included by the caller's text (as the
// generator runs it) and the input as the caller's text itself.
#include "fuzz_support.h"

namespace fuzz_pp {

int run(const uint8_t *data, size_t size) {
  fuzz_support::setup();
  static MacroTable macros;
  static const char *const definitions[] = {"FUZZ=1", "EMPTY=", nullptr};
  static const char *const include_dirs[] = {".", nullptr};
  fuzz_support::write_file("fuzz.c", data, size);
  const std::string text = fuzz_support::text_of(data, size);
  for (int as_text = 0; as_text < 2; ++as_text) {
    fuzz_support::fresh_state();
    try {
      pp_init(definitions, include_dirs, macros, 1);
      std::string result;
      pp_process_text(as_text ? text.c_str() : "#include \"fuzz.c\"", as_text, as_text ? "fuzz.c" : "",
                      as_text, result, macros);
    } catch (const fuzz_support::FuzzExit &) {
      // The process would end here: drop the input stack it stopped in.
      pp_reset_for_tests();
    }
    try {
      pp_release(macros, 1);
    } catch (const fuzz_support::FuzzExit &) {
      std::abort();  // releasing must not report
    }
  }
  return 0;
}

}  // namespace fuzz_pp

ORTEK_FUZZ_TARGET(fuzz_pp::run)

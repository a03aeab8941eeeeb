// Option files: the input is the file named by "@" and by "-option=".
#include <vector>

#include "fuzz_support.h"
#include "sancmd.h"

namespace fuzz_optfile {

int run(const uint8_t *data, size_t size) {
  fuzz_support::setup();
  fuzz_support::fresh_state();
  fuzz_support::write_file("fuzz.opt", data, size);
  for (const char *reference : {"@fuzz.opt", "-option=fuzz.opt"}) {
    std::string a0 = "ortekstart", a1 = reference, a2 = "t.c", a3 = "t.ptu";
    // Before and after the positional parameters: both orders are common.
    char *argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), nullptr};
    char *argv_after[] = {a0.data(), a2.data(), a3.data(), a1.data(), nullptr};
    reset_generator_options();
    std::string command_text;
    try {
      decode_generator_command(4, reference[0] == '@' ? argv : argv_after, command_text);
    } catch (const fuzz_support::FuzzExit &) {
    }
    reset_reporter();
  }
  return 0;
}

}  // namespace fuzz_optfile

ORTEK_FUZZ_TARGET(fuzz_optfile::run)

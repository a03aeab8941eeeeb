// Command-line decoder of the generator: one argument per input line.
#include <vector>

#include "fuzz_support.h"
#include "sancmd.h"

namespace fuzz_cmdline {

int run(const uint8_t *data, size_t size) {
  fuzz_support::setup();
  fuzz_support::fresh_state();
  std::vector<std::string> words{"ortekstart"};
  std::string word;
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\n' || c == '\0') {
      words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  std::vector<char *> argv;
  for (std::string &w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  reset_generator_options();
  std::string command_text;
  try {
    decode_generator_command(static_cast<int>(words.size()), argv.data(), command_text);
  } catch (const fuzz_support::FuzzExit &) {
  }
  return 0;
}

}  // namespace fuzz_cmdline

ORTEK_FUZZ_TARGET(fuzz_cmdline::run)

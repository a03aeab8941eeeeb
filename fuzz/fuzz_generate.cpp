// The whole generation on one tested file: preprocessing, analysis and every
// emitter, writing t.ptu beside it.
//
// Input layout: the text of the tested file t.c, optionally preceded by a
// line "//! OPTIONS" (words added to the command line after "t.c t.ptu") and
// followed by further files, each starting with a line "//@ NAME", so that
// simulated, integrated and used files and option files can take part.
#include <vector>

#include "fuzz_support.h"
#include "sancmd.h"
#include "sgener.h"
#include "siofic.h"

namespace fuzz_generate {

// Plain names only: the files stay inside the work folder.
bool plain_name(const std::string &name) {
  if (name.empty() || name.size() > 24 || name[0] == '.') return false;
  for (char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.'))
      return false;
  return name != "t.ptu" && name != "t.bck";
}

void clear_folder() {
  std::error_code ec;
  for (const auto &e : std::filesystem::directory_iterator(".", ec)) std::filesystem::remove_all(e.path(), ec);
}

int run(const uint8_t *data, size_t size) {
  fuzz_support::setup();
  fuzz_support::fresh_state();
  clear_folder();
  const std::string input = fuzz_support::text_of(data, size);
  std::vector<std::string> words{"ortekstart", "t.c", "t.ptu"};
  size_t pos = 0;
  if (input.compare(0, 3, "//!") == 0) {
    size_t end = input.find('\n');
    if (end == std::string::npos) end = input.size();
    std::string word;
    for (size_t i = 3; i <= end; ++i) {
      const char c = i < end ? input[i] : ' ';
      if (c == ' ' || c == '\t' || c == '\r' || c == '\0') {
        if (!word.empty()) words.push_back(word);
        word.clear();
      } else {
        word += c;
      }
    }
    pos = end < input.size() ? end + 1 : end;
  }
  // Each line goes to the file named by the last "//@" line before it.
  std::string name = "t.c";
  std::FILE *out = std::fopen("t.c", "wb");
  while (pos < input.size()) {
    size_t end = input.find('\n', pos);
    end = end == std::string::npos ? input.size() : end + 1;
    if (input.compare(pos, 4, "//@ ") == 0) {
      name = input.substr(pos + 4, end - pos - 4);
      while (!name.empty() && (name.back() == '\n' || name.back() == '\r' || name.back() == ' ')) name.pop_back();
      if (out) std::fclose(out);
      out = plain_name(name) ? std::fopen(name.c_str(), "ab") : nullptr;
    } else if (out) {
      std::fwrite(input.data() + pos, 1, end - pos, out);
    }
    pos = end;
  }
  if (out) std::fclose(out);
  reset_script_writer();
  reset_generator_options();
  std::vector<char *> argv;
  for (std::string &w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  try {
    std::string command_text;
    decode_generator_command(static_cast<int>(words.size()), argv.data(), command_text);
    generation_run(command_text);
  } catch (const fuzz_support::FuzzExit &) {
  }
  // A run ended by a fatal report leaves its script open.
  ScriptWriter &w = script_writer();
  if (w.stream) std::fclose(w.stream);
  reset_script_writer();
  return 0;
}

}  // namespace fuzz_generate

ORTEK_FUZZ_TARGET(fuzz_generate::run)

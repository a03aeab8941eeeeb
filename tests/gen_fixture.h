// Set-up shared by the generator tests: the message catalogues, a temporary
// folder per test (the working folder unless asked otherwise), options for
// a tested file t.c and a script t.ptu, and whole-file helpers. Header only,
// so that every test executable keeps linking just its own library.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "i18n_anaccpp_msg.h"
#include "i18n_bibli_msg.h"
#include "i18n_squelet_msg.h"
#include "sancmd.h"

namespace gen_fixture {

namespace fs = std::filesystem;

// Once per process; the analyser's catalogue only where its reports are read.
inline void register_messages(bool with_analyser) {
  static bool generator = false, analyser = false;
  if (!generator) {
    register_squelet_messages();
    register_bibli_messages();
    generator = true;
  }
  if (with_analyser && !analyser) {
    register_ana_c_cpp_messages();
    analyser = true;
  }
}

// Default suffixes and unit matching as a user's environment may set them.
inline void clear_suffix_variables(bool with_nobasename = true) {
  for (const char *v : {"ORTEKPTU", "ORTEKSMB", "ORTEKDEF", "ORTEKEXH", "ORTEKCPP"}) unsetenv(v);
  if (with_nobasename) unsetenv("QZW_NOBASENAME");
}

// Fresh options naming the tested file t.c and the script t.ptu.
inline void reset_options() {
  reset_generator_options();
  generator_options().tested_file = "t.c";
  generator_options().generated_file = "t.ptu";
}

inline std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void write_file(const std::string &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// The text between the end of `start` and the beginning of `end`; both must be there.
inline std::string text_between(const std::string &text, const std::string &start, const std::string &end) {
  const std::size_t a = text.find(start);
  const std::size_t b = text.find(end);
  EXPECT_NE(a, std::string::npos);
  EXPECT_NE(b, std::string::npos);
  return text.substr(a + start.size(), b - a - start.size());
}

// A test with its own folder /tmp/<stem>.XXXXXX, removed with its contents
// afterwards. Call enter_folder through ASSERT_NO_FATAL_FAILURE in SetUp.
class FolderTest : public ::testing::Test {
 protected:
  void enter_folder(const char *stem, bool work_there = true) {
    std::string pattern = std::string("/tmp/") + stem + ".XXXXXX";
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
    folder_ = pattern;
    if (work_there) {
      old_ = fs::current_path();
      fs::current_path(folder_);
    }
  }
  void leave_folder() {
    if (!old_.empty()) fs::current_path(old_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string folder_;
  fs::path old_;
};

}  // namespace gen_fixture

// Set-up shared by the preprocessor tests: no target variables from the
// user's environment, a fresh preprocessor state and reporter, a scratch
// folder per test, and the macro table a test runs in. Header only, so that
// every test executable keeps linking just its own library.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "merror.h"
#include "cprepr.h"

namespace pp_fixture {

class PpTest : public ::testing::Test {
 protected:
  // Call through ASSERT_NO_FATAL_FAILURE in SetUp; the folder is /tmp/<stem>_XXXXXX.
  void open_pp(const char *stem) {
    unsetenv("QZUTGT");
    setenv("QZLTGT", "", 1);  // set and empty: no target, not even the installed one
    unsetenv("QZW_ADD_USR_INCLUDE");
    pp_reset_for_tests();
    reset_reporter();
    std::string pattern = std::string("/tmp/") + stem + "_XXXXXX";
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
    dir_ = pattern;
  }
  void close_pp() {
    if (table_) {
      testing::internal::CaptureStderr();
      pp_release(*table_, true);
      testing::internal::GetCapturedStderr();
      delete table_;
      table_ = nullptr;
    }
    pp_reset_for_tests();
    if (dir_.empty()) return;
    std::string cmd = "rm -rf '" + dir_ + "'";
    if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << cmd;
  }
  std::string path(const std::string &name) const { return dir_ + "/" + name; }
  // Writes a file below the folder, making the folders on its way.
  void write(const std::string &name, const std::string &content) const {
    std::string p = path(name);
    for (std::size_t s = p.find('/', dir_.size() + 1); s != std::string::npos; s = p.find('/', s + 1))
      mkdir(p.substr(0, s).c_str(), 0755);
    std::ofstream f(p, std::ios::binary);
    f << content;
  }
  std::string dir_;
  MacroTable *table_ = nullptr;
};

}  // namespace pp_fixture

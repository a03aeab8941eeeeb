// File-name completion, suffixes from the environment, path parts and the
// platform layer's separator mapping.
#include "msystm.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "i18n_bibli_msg.h"
#include "merror.h"
#include "mplatf.h"

namespace {

class Paths : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char *v : {"ORTEKPTU", "ORTEKSMB", "ORTEKDEF", "ORTEKEXH", "ORTEKCPP"}) unsetenv(v);
  }
  void TearDown() override { SetUp(); }
  static std::string completed(std::string path, int kind) {
    make_file_name(path, kind);
    return path;
  }
};

TEST_F(Paths, SuffixesAndTheirVariables) {
  EXPECT_EQ(file_suffix(KIND_SCRIPT), "ptu");
  EXPECT_EQ(file_suffix(KIND_SYMBOLS), "smb");
  EXPECT_EQ(file_suffix(KIND_DEFINES), "def");
  EXPECT_EQ(file_suffix(KIND_HEADER), "h");
  EXPECT_EQ(file_suffix(KIND_SOURCE), "cc");
  EXPECT_EQ(file_suffix(5), "");
  setenv("ORTEKPTU", "scriptx", 1);
  EXPECT_EQ(file_suffix(KIND_SCRIPT), "scr");
  EXPECT_EQ(completed("out", KIND_SCRIPT), "./out.scr");
  setenv("ORTEKPTU", "xy", 1);
  EXPECT_EQ(completed("out", KIND_SCRIPT), "./out.xy");
  setenv("ORTEKPTU", "", 1);
  EXPECT_EQ(completed("out", KIND_SCRIPT), "./out");
  setenv("ORTEKCPP", "cpp", 1);
  EXPECT_EQ(completed("t", KIND_SOURCE), "./t.cpp");
}

TEST_F(Paths, CompletionAddsDirectoryAndDefaultSuffix) {
  struct Case {
    const char *path;
    int kind;
    const char *result;
  } cases[] = {
      {"t.c", KIND_SOURCE, "./t.c"},
      {"t", KIND_SOURCE, "./t.cc"},
      {"out", KIND_SCRIPT, "./out.ptu"},
      {"t", 3, "./t"},                      // kind outside the table: no suffix
      {"a.b.c", KIND_SCRIPT, "./a.b.c"},    // base up to the last dot
      {"src/sub/t.c", KIND_SOURCE, "src/sub/t.c"},
      {"src\\t.c", KIND_SOURCE, "src/t.c"},  // both separators split
      {"src\\sub/t", KIND_HEADER, "src/sub/t.h"},
      {".\\t.c", KIND_SOURCE, "./t.c"},     // a backslash becomes "/"
      {"./t.c", KIND_SOURCE, "./t.c"},
      {"../up/t.ptu", KIND_SCRIPT, "../up/t.ptu"},
      {"/abs/t.c", KIND_SOURCE, "/abs/t.c"},
      {"/t.c", KIND_SOURCE, "/t.c"},
      {"a//b.c", KIND_SOURCE, "a/b.c"},
      {"dir.x/t", KIND_SCRIPT, "dir.x/t.ptu"},  // a dot in a directory is no suffix
  };
  for (const Case &c : cases) {
    EXPECT_EQ(completed(c.path, c.kind), c.result) << c.path;
    EXPECT_EQ(completed(completed(c.path, c.kind), c.kind), c.result) << c.path << " twice";
  }
  // Names are never cut, however long.
  const std::string longname = std::string(1500, 'd') + "/" + std::string(1200, 'f');
  EXPECT_EQ(completed(longname, KIND_SCRIPT), std::string(1500, 'd') + "/" + std::string(1200, 'f') + ".ptu");
}

TEST_F(Paths, SplitPathAndExtension) {
  std::string dir, name, ext, base;
  split_path("src\\t.c", dir, name);
  EXPECT_EQ(dir, "src/");
  EXPECT_EQ(name, "t.c");
  split_path("t.c", dir, name);
  EXPECT_EQ(dir, "./");
  EXPECT_EQ(name, "t.c");
  split_path("a/b/c.d.e", dir, name);
  EXPECT_EQ(dir, "a/b/");
  EXPECT_EQ(name, "c.d.e");
  split_extension("c.d.e", ext, base);
  EXPECT_EQ(base, "c.d");
  EXPECT_EQ(ext, "e");
  split_extension("noext", ext, base);
  EXPECT_EQ(base, "noext");
  EXPECT_EQ(ext, "");
  split_extension("trail.", ext, base);
  EXPECT_EQ(base, "trail");
  EXPECT_EQ(ext, "");
}

TEST_F(Paths, SystemCallsSeeForwardSlashes) {
  EXPECT_EQ(sys_native_path("a\\b\\c.txt"), "a/b/c.txt");
  const std::string dir = ::testing::TempDir() + "msystm_dir";
  mkdir(dir.c_str(), 0755);
  std::string back = dir + "\\f.txt";  // as the tool spells it
  std::FILE *f = sys_fopen(back.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("x", f);
  std::fclose(f);
  EXPECT_EQ(file_not_readable(back.c_str()), 0);
  EXPECT_NE(file_not_readable((dir + "\\missing").c_str()), 0);
  struct stat st;
  EXPECT_EQ(file_status(back.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 1);
  EXPECT_TRUE(sys_is_regular_file(back.c_str()));
  // A name already spelt with "/" (passed on as it is) names the same file;
  // no name at all names none.
  struct stat same;
  EXPECT_EQ(sys_stat((dir + "/f.txt").c_str(), &same), 0);
  EXPECT_EQ(same.st_ino, st.st_ino);
  EXPECT_NE(sys_stat(nullptr, &same), 0);
  EXPECT_EQ(sys_fopen(nullptr, "r"), nullptr);
  EXPECT_EQ(sys_rename(back.c_str(), (dir + "\\g.txt").c_str()), 0);
  EXPECT_EQ(sys_unlink((dir + "\\g.txt").c_str()), 0);
  EXPECT_TRUE(sys_is_directory(dir.c_str()));
  rmdir(dir.c_str());
  // ctime form with its line end: "Sat Dec  5 05:19:38 2026\n".
  const std::string now = sys_ctime_now();
  EXPECT_EQ(now.size(), 25u);
  EXPECT_EQ(now.back(), '\n');
}

TEST_F(Paths, CheckDirectoryWarnsAboutAnythingElse) {
  register_bibli_messages();
  reset_reporter();
  const std::string dir = ::testing::TempDir();
  EXPECT_EQ(check_directory(dir.c_str()), 0);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(check_directory("/no/such/dir"), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ProbaX-W-INCLTYPER,  /no/such/dir is not a directory \n");
  EXPECT_EQ(warning_count(), 1);
  reset_reporter();
}

}  // namespace

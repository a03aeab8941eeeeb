#include "cpcase.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "cprepr.h"
#include "i18n_anaccpp_msg.h"
#include "merror.h"
#include "pp_fixture.h"

namespace {

class CaseFallback : public pp_fixture::PpTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(open_pp("cpcase_test"));
    register_ana_c_cpp_messages();
  }
  void TearDown() override { close_pp(); }
  // Preprocesses text with the given include directories; err gets stderr.
  std::string run(const std::string &text, std::vector<std::string> dirs, std::string &err) {
    std::vector<const char *> incs;
    for (const std::string &d : dirs) incs.push_back(d.c_str());
    incs.push_back(nullptr);
    const char *defs[] = {nullptr};
    table_ = new MacroTable;
    testing::internal::CaptureStderr();
    pp_init(defs, incs.data(), *table_, 1);
    std::string out;
    pp_process_text(text.c_str(), 0, "", 0, out, *table_);
    err = testing::internal::GetCapturedStderr();
    return out;
  }
  // Another run in the same context.
  std::string again(const std::string &text, std::string &err) {
    std::string out;
    testing::internal::CaptureStderr();
    pp_process_text(text.c_str(), 0, "", 0, out, *table_);
    err = testing::internal::GetCapturedStderr();
    return out;
  }
};

TEST_F(CaseFallback, MatchesEachComponentAndPrefersTheExactSpelling) {
  write("Sub/foo.h", "");
  write("Sub/Bar.H", "");
  write("two/Foo.h", "");
  write("two/foo.h", "");
  write("two/FOO.h/x", "");  // a directory of that name is no match for the file
  std::string found;
  EXPECT_TRUE(pp_case_match(dir_, "sub/FOO.h", found));
  EXPECT_EQ(found, path("Sub/foo.h"));
  EXPECT_TRUE(pp_case_match(dir_, "SUB\\bar.h", found));  // the separator as written
  EXPECT_EQ(found, path("Sub\\Bar.H"));
  EXPECT_TRUE(pp_case_match(dir_ + "/", "sub/./bar.h", found));
  EXPECT_EQ(found, path("Sub/./Bar.H"));
  // An exact component wins; of several other spellings the first in byte order.
  EXPECT_TRUE(pp_case_match(dir_, "two/foo.h", found));
  EXPECT_EQ(found, path("two/foo.h"));
  EXPECT_TRUE(pp_case_match(dir_, "TWO/fOO.h", found));
  EXPECT_EQ(found, path("two/Foo.h"));
  // The directory given is taken as it is; the name alone folds every component.
  EXPECT_FALSE(pp_case_match(dir_ + "/SUB", "foo.h", found));
  EXPECT_TRUE(pp_case_match("", dir_ + "/SUB/FOO.H", found));
  EXPECT_EQ(found, path("Sub/foo.h"));
  EXPECT_TRUE(pp_case_match(path("Sub"), "../SUB/Foo.H", found));  // ".." is taken as written
  EXPECT_EQ(found, path("Sub/../Sub/foo.h"));
  EXPECT_FALSE(pp_case_match(dir_, "sub/none.h", found));
  EXPECT_FALSE(pp_case_match(dir_, "sub", found));         // a directory, not a file
  EXPECT_FALSE(pp_case_match(dir_, "sub/foo.h/x", found));  // a file is no directory
  EXPECT_FALSE(pp_case_match(dir_, "../" + dir_.substr(dir_.rfind('/') + 1) + "X/foo.h", found));
  EXPECT_FALSE(pp_case_match(dir_, "", found));
}

TEST_F(CaseFallback, IncludeSearchFallsBackOnlyWhenNoExactFileExists) {
  write("a/Types.h", "int in_a_types;\n");
  write("b/types.h", "int in_b_types;\n");
  write("a/Only.h", "#include_next <only.h>\nint in_a_only;\n");
  write("b/ONLY.h", "int in_b_only;\n");
  std::string err;
  // The exact name in the second directory wins over another spelling in the first.
  std::string out = run("#include <types.h>\n#include \"only.h\"\n", {path("a"), path("b")}, err);
  EXPECT_NE(out.find("in_b_types"), std::string::npos) << out;
  EXPECT_EQ(out.find("in_a_types"), std::string::npos) << out;
  // No exact only.h anywhere: the first directory's Only.h is taken and
  // reported; its include_next goes on from the entry after it.
  EXPECT_NE(out.find("in_a_only"), std::string::npos) << out;
  EXPECT_NE(out.find("in_b_only"), std::string::npos) << out;
  EXPECT_NE(err.find("ProbaX-I-INCLCASSE,  Included file found ignoring case: " + path("a/Only.h")),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("ProbaX-I-INCLCASSE,  [" + path("a/Only.h") + ":1] Included file found ignoring case: " +
                     path("b/ONLY.h")),
            std::string::npos)
      << err;
  EXPECT_EQ(err.find("types.h"), std::string::npos) << err;
  EXPECT_EQ(error_count() + warning_count(), 0);
  // The generator analyses a file several times: each file taken is named once.
  out = again("#include \"only.h\"\n#include \"ONLY.H\"\n", err);
  EXPECT_NE(out.find("in_a_only"), std::string::npos) << out;
  EXPECT_EQ(err.find(path("a/Only.h")), err.rfind(path("a/Only.h"))) << err;
  EXPECT_EQ(err.find("found ignoring case: " + path("a/Only.h")), err.rfind("found ignoring case: ")) << err;
  EXPECT_NE(err.find("found ignoring case: " + path("a/Only.h")), std::string::npos) << err;
}

TEST_F(CaseFallback, NameBesideTheIncluderIsFoundThroughItsDirectory) {
  write("src/main.c", "#include \"Inc\\Config.H\"\n");
  write("src/inc/config.h", "int configured;\n");
  std::string err;
  std::string out = run("#include \"" + path("src/main.c") + "\"\n", {}, err);
  EXPECT_NE(out.find("configured"), std::string::npos) << out << err;
  EXPECT_NE(err.find("found ignoring case: " + path("src/inc\\config.h")), std::string::npos) << err;
}

}  // namespace

// Stub blocks of the simulated files.
#include "sanstub.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "merror.h"
#include "mstrin.h"
#include "sliste.h"
#include "sancmd.h"
#include "sgener.h"
#include "sgenincl.h"
#include "siofic.h"
#include "gen_fixture.h"

namespace {

TEST(StubName, BaseAndSuffixWithSeparatorsReplaced) {
  EXPECT_EQ(stub_name(".\\sim.c"), "sim_c");
  EXPECT_EQ(stub_name("dir\\my-file,v2.cpp"), "my_file_v2_cpp");
  EXPECT_EQ(stub_name("a.b.c"), "a_b_c");
}

class StubTest : public gen_fixture::FolderTest {
 protected:
  void SetUp() override {
    gen_fixture::register_messages(true);
    gen_fixture::clear_suffix_variables();
    ASSERT_NO_FATAL_FAILURE(enter_folder("sanstub_test"));
    reset_reporter();
    std::ofstream("t.c") << "int run(void) { return 0; }\n";
  }
  void TearDown() override {
    reset_generator_options();
    leave_folder();
  }
  // The stub section: from after the stub banner up to the environments
  // banner.
  std::string stubs(const std::vector<const char *> &simulated, const char *used = nullptr) {
    reset_script_writer();
    scan_reset_run();
    gen_fixture::reset_options();
    for (const char *s : simulated) strlist_append(intern_string(s), generator_options().simulated_files);
    if (used) strlist_append(intern_string(used), generator_options().used_files);
    generation_run("x");
    const std::string rule(80, '-');
    return gen_fixture::text_between(gen_fixture::read_file("t.ptu"),
                                     "-- STUB DECLARATIONS OF THE SIMULATED FILES\n--\n" + rule + "\n",
                                     rule + "\n--\n-- ENVIRONMENTS DECLARATIONS");
  }
};

TEST_F(StubTest, WorkedExampleAndFilesWithoutDefinitions) {
  std::ofstream("sim.c") << "int counter;\nint f(int x) { return x; }\n";
  EXPECT_EQ(stubs({"sim.c"}),
            "\n-- Simulated file declarations sim\n\n\nDEFINE STUB sim_c\n    #int counter;\n"
            "    #int f(int  _in x);\nEND DEFINE\n\n");
  std::ofstream("proto.c") << "int only(int);\nextern int elsewhere;\n";
  EXPECT_EQ(stubs({"proto.c"}), "\n-- Simulated file declarations proto\n\n");
  EXPECT_EQ(error_count() + warning_count(), 0);
}

TEST_F(StubTest, WhatTheScriptDeclaresIsNotDeclaredAgain) {
  // A variable the script already defines (through a used header) gets no
  // definition line.
  std::ofstream("u.h") << "int level;\n";
  std::ofstream("s1.c") << "int level;\nint read(char *s) { return 0; }\n";
  const std::string one = stubs({"s1.c"}, "u");
  EXPECT_EQ(one.find("#int level;"), std::string::npos) << one;
  EXPECT_NE(one.find("    #int read(char  _inout s[200]);\n"), std::string::npos) << one;

  // Two files needing the same structure: only the first declares it.
  std::ofstream("s2.c") << "struct cfg { int n; };\nint load(struct cfg *c) { return 0; }\n";
  std::ofstream("s3.c") << "struct cfg { int n; };\nint save(struct cfg *c) { return 0; }\n";
  const std::string two = stubs({"s2.c", "s3.c"});
  const std::size_t first = two.find("    #struct cfg {\n");
  ASSERT_NE(first, std::string::npos) << two;
  EXPECT_EQ(two.find("    #struct cfg {\n", first + 1), std::string::npos) << two;
  EXPECT_LT(two.find("DEFINE STUB s2_c"), two.find("DEFINE STUB s3_c"));
  EXPECT_NE(two.find("    #int save(struct cfg  _inout c);\n"), std::string::npos) << two;
}

TEST_F(StubTest, MemberFunctionsAreStubbedOnce) {
  std::ofstream("cls.cc") << "class Dev {\npublic:\n  int open(int m);\n  int close();\n};\n"
                             "int Dev::open(int m) { return m; }\n";
  const std::string got = stubs({"cls.cc"});
  std::size_t count = 0;
  for (std::size_t p = 0; (p = got.find("open(", p)) != std::string::npos; ++p) ++count;
  EXPECT_NE(got.find("DEFINE STUB cls_cc"), std::string::npos) << got;
  // The class declaration and one stub mention open.
  EXPECT_EQ(count, 2u) << got;
}

}  // namespace

// The tested file's include scan: its condition arithmetic, and the include
// section it writes into a generated script.
#include "sgenincl.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "merror.h"
#include "mstrin.h"
#include "sliste.h"
#include "sancmd.h"
#include "sgener.h"
#include "siofic.h"
#include "cprepr.h"
#include "gen_fixture.h"

namespace {

// The scan defines its macros in the script's macro table too.
class ScanCondition : public ::testing::Test {
 protected:
  void SetUp() override { pp_init(nullptr, nullptr, *script_context().macros, false); }
  void TearDown() override { pp_release(*script_context().macros, false); }
};

TEST_F(ScanCondition, OwnArithmeticAndGrouping) {
  scan_reset();
  scan_define("N 3", 0);
  scan_define("M=0x10", 0);
  scan_define("EMPTY", 0);
  struct Case {
    const char *text;
    long value;
  } cases[] = {
      {"010 == 8", 0},       // a leading 0 reads hexadecimal: 010 is 16
      {"010 == 16", 1},
      {"0x1F == 31", 1},
      {"3 > 2 > 1", 1},      // 3 > (2 > 1); grouped from the left it would be 0
      {"1 || 0 && 0", 1},
      {"!0 && -1", 1},
      {"- 2 < 0", 1},
      {"N == 3 && M == 16", 1},
      {"defined(N) && defined ( EMPTY )", 1},
      {"defined(NOPE)", 0},
      {"defined N", 0},      // only the parenthesised form is recognised
      {"UNKNOWN", 0},
      {"2 + 5", 2},          // "+" ends the expression
      {"1 // 0", 1},
      {"/* 0 */ 1", 1},
      {"(1 || 0) && (2 > 1)", 1},
      {"", 0},
  };
  for (const Case &c : cases) EXPECT_EQ(scan_condition(c.text), c.value) << c.text;

  scan_undef("N", 0);
  EXPECT_FALSE(scan_is_defined("N"));
  EXPECT_TRUE(scan_is_defined(" M rest"));
  scan_reset();
}

TEST_F(ScanCondition, RecursionAndNestingEndQuietly) {
  reset_reporter();
  scan_reset();
  scan_define("FOO FOO", 0);  // legal C; must not end the run
  scan_define("A B", 0);
  scan_define("B (A)", 0);
  EXPECT_EQ(scan_condition("FOO"), 0);
  EXPECT_EQ(scan_condition("!A"), 1);
  EXPECT_EQ(error_count() + warning_count(), 0);

  std::string deep = std::string(SCAN_PAREN_LIMIT - 1, '(') + "1" + std::string(SCAN_PAREN_LIMIT - 1, ')');
  EXPECT_EQ(scan_condition(deep.c_str()), 1);
  std::string deeper = std::string(SCAN_PAREN_LIMIT + 5, '(') + "1" + std::string(SCAN_PAREN_LIMIT + 5, ')');
  EXPECT_EQ(scan_condition(deeper.c_str()), 0);

  // A long chain of macros naming each other ends without exhausting the
  // call stack.
  for (int i = 0; i < 20000; ++i)
    scan_define(("C" + std::to_string(i) + " C" + std::to_string(i + 1)).c_str(), 0);
  scan_define("C20000 1", 0);
  EXPECT_EQ(scan_condition("C0"), 0);
  EXPECT_EQ(scan_condition("C19990"), 1);
  // Parentheses count across macro values: a chain of macros each opening
  // parentheses reaches the limit too.
  for (int i = 0; i < 100; ++i)
    scan_define(("P" + std::to_string(i) + " ((P" + std::to_string(i + 1) + "))").c_str(), 0);
  scan_define("P100 1", 0);
  EXPECT_EQ(scan_condition("P90"), 1);
  EXPECT_EQ(scan_condition("P0"), 0);
  scan_reset();

  // A very long condition line is reduced in linear time.
  std::string chain = "0";
  for (int i = 0; i < 200000; ++i) chain += " || 0 && 1 == 1";
  EXPECT_EQ(scan_condition(chain.c_str()), 0);
  EXPECT_EQ(scan_condition((chain + " || 1").c_str()), 1);
}

class IncludeScanTest : public gen_fixture::FolderTest {
 protected:
  void SetUp() override {
    gen_fixture::register_messages(true);
    gen_fixture::clear_suffix_variables();
    ASSERT_NO_FATAL_FAILURE(enter_folder("sgenincl_test"));
    reset_reporter();
    reset_script_writer();
    scan_reset_run();
    gen_fixture::reset_options();
    for (const char *h : {"a.h", "b.h", "u.h", "integ.c"}) std::ofstream(h) << "\n";
  }
  void TearDown() override { leave_folder(); }
  // The include section of the script generated for source: the lines after
  // the header line up to the tested-file declarations banner.
  std::string section(const std::string &source) {
    std::ofstream("t.c") << source;
    reset_script_writer();
    scan_reset_run();
    generator_options().tested_file = "t.c";
    generation_run("x");
    const std::string text = gen_fixture::read_file("t.ptu");
    const std::size_t a = text.find("HEADER t, , \n\n") + 14;
    const std::size_t from = text.compare(a, banner().size(), banner()) == 0 ? a + banner().size() : a;
    const std::size_t b = text.find(std::string(80, '-') + "\n--\n-- ", from);
    EXPECT_NE(b, std::string::npos);
    return text.substr(a, b - a);
  }
  std::string banner() {
    const std::string rule(80, '-');
    return rule + "\n--\n-- TESTED FILE INCLUDE DIRECTIVES \n--\n" + rule + "\n\n";
  }
};

TEST_F(IncludeScanTest, ActiveIncludesWithWhatStandsBeforeThem) {
  EXPECT_EQ(section("int f(void);\n"), "");
  EXPECT_EQ(section("#include <a.h>\n#include \"b.h\"\n"), banner() + "##include <a.h>\n##include \"b.h\"\n");
  EXPECT_EQ(section("#define N 3\n#include \"a.h\"\n#define LATE 1\nint late;\n"),
            banner() + "##define N 3\n##include \"a.h\"\n");
  EXPECT_EQ(section("#if 0\n#include \"a.h\"\n#endif\n#include \"b.h\"\n"), banner() + "##include \"b.h\"\n");
  EXPECT_EQ(section("#if 1\n#include \"a.h\"\n#elif 1\n#include \"b.h\"\n#else\n#include \"u.h\"\n#endif\n"),
            banner() + "##include \"a.h\"\n");
  EXPECT_EQ(section("#if 0\n#elif 010 == 16\n#include \"b.h\"\n#endif\n"), banner() + "##include \"b.h\"\n");
  EXPECT_EQ(section("int before;\n#include \"a.h\"\n"), banner() + "\n#int before;\n##include \"a.h\"\n");
  // A block that copied text opens and no copied text closes.
  EXPECT_EQ(section("extern \"C\" {\n#include \"a.h\"\n}\n"),
            banner() + "\n#extern \"C\" {\n##include \"a.h\"\n#}\n");
  // Closed by copied text before a later include: no closing line at the
  // end, and each copied piece parses on its own.
  EXPECT_EQ(section("extern \"C\" {\n#include \"a.h\"\nint mid;\n}\n#include \"b.h\"\n"),
            banner() + "\n#extern \"C\" {\n##include \"a.h\"\n\n#int mid;\n#}\n##include \"b.h\"\n");
  // Continuation lines stay script comment lines.
  EXPECT_EQ(section("#define TWO \\\n  2\n#include \"a.h\"\n"), banner() + "##define TWO \\\n#  2\n##include \"a.h\"\n");
  EXPECT_EQ(section("int split = \\\n  4;\n#include \"a.h\"\n"),
            banner() + "\n#int split = \\\n#  4;\n##include \"a.h\"\n");
  EXPECT_EQ(error_count() + warning_count(), 0);
}

TEST_F(IncludeScanTest, FunctionDefinitionsBeforeAnIncludeAreNotCopied) {
  // Prototypes, types, macros and variables stay; bodies go, with the head
  // of the definition (several lines, old-style parameters, one line).
  EXPECT_EQ(section("int proto(int);\nstatic int helper(int x)\n{\n  if (x) { return '}'; }\n  return 0;\n}\n"
                    "typedef int t;\n#include \"a.h\"\n"),
            banner() + "\n#int proto(int);\n#typedef int t;\n##include \"a.h\"\n");
  EXPECT_EQ(section("int\nold(a, b)\n  int a;\n  char *b;\n{\n  return a;\n}\nint after_old;\n#include \"a.h\"\n"),
            banner() + "\n#int after_old;\n##include \"a.h\"\n");
  EXPECT_EQ(section("int x; int f(void) { return 1; } int y;\n#include \"a.h\"\n"),
            banner() + "\n#int x; int y;\n##include \"a.h\"\n");
  // Braces that are no function body: initialisers, structures, compound
  // literals, macro arguments, literals.
  const std::string kept =
      "struct p { int x; } o = { 1 };\nint a[] = { 1, 2 };\nstruct p q = (struct p){ 2 };\n"
      "ITEMS(x, { 1, 2 });\nconst char *s = \"{\";\nchar c = '}';\n";
  EXPECT_EQ(section(kept + "#include \"a.h\"\n"),
            banner() + "\n#struct p { int x; } o = { 1 };\n#int a[] = { 1, 2 };\n#struct p q = (struct p){ 2 };\n"
                       "#ITEMS(x, { 1, 2 });\n#const char *s = \"{\";\n#char c = '}';\n##include \"a.h\"\n");
  // A linkage block is looked into; a definition after the include that
  // ends the section is not copied anyway.
  EXPECT_EQ(section("extern \"C\" {\nint in_c(void) { return 2; }\nint decl_c;\n#include \"a.h\"\n}\n"),
            banner() + "\n#extern \"C\" {\n#int decl_c;\n##include \"a.h\"\n#}\n");
  // C++: member functions, operators, trailing return types, namespaces.
  EXPECT_EQ(section("namespace n {\nint A::f() const { return 1; }\nbool operator==(A, A) { return 1; }\n"
                    "auto g() -> int { return 0; }\nint kept;\n}\n#include \"a.h\"\n"),
            banner() + "\n#namespace n {\n#int kept;\n#}\n##include \"a.h\"\n");
  // A comment spanning lines hides its braces.
  EXPECT_EQ(section("/* {\n } */ int c1;\nint f2(void) /* { */ { return 0; }\n#include \"a.h\"\n"),
            banner() + "\n#/* {\n#} */ int c1;\n##include \"a.h\"\n");
}

TEST_F(IncludeScanTest, TextWaitsForTheNextIncludeThatIsWritten) {
  // An include that is left out (a used header) ends no piece: the text on
  // both sides of it is copied together before the next include, and a
  // definition around it is still left out whole.
  strlist_append(intern_string("u"), generator_options().used_files);
  EXPECT_EQ(section("int a1;\n#include \".\\u.h\"\nint a2;\n#include \"a.h\"\nint tail;\n"),
            banner() + "\n#int a1;\n#int a2;\n##include \"a.h\"\n");
  EXPECT_EQ(section("int g(void) {\n#include \".\\u.h\"\n  return 0;\n}\nint after;\n#include \"b.h\"\nint h(void) {}\n"),
            banner() + "\n#int after;\n##include \"b.h\"\n");
  EXPECT_EQ(error_count() + warning_count(), 0);
  // Text after the last include is not copied, whatever it holds.
  EXPECT_EQ(section("#include \"a.h\"\nint f(void) {\nint open;\n"), banner() + "##include \"a.h\"\n");
  // The last include may have blanks, tabs and backslashes after its "#",
  // and stand after much text: what comes before it is still copied.
  std::string many;
  for (int i = 0; i < 300; ++i) many += "int m" + std::to_string(i) + ";\n";
  const std::string got = section(many + "const char *hash = \"#\";\n# \t\\ include \"b.h\"\nint tail;\n");
  EXPECT_NE(got.find("#int m299;\n#const char *hash = \"#\";\n##include \"b.h\"\n"), std::string::npos) << got;
  EXPECT_EQ(got.find("tail"), std::string::npos) << got;
}

TEST_F(IncludeScanTest, CopiedTextHasTheTestedFilesNameAndLines) {
  // Built-in macros before an include have a file and a line; a definition
  // with a comment is the same definition when it is copied.
  std::ofstream("a.h") << "#define SEEN_LINE LINE_OF\n";
  testing::internal::CaptureStderr();
  const std::string got = section("#define R 1 /* register */\n#define M 2 // mask\n#define C(x) \\\n  (x)\n"
                                  "const char *w = __FILE__;\nint l = __LINE__;\nint bad = ;\n#include \"a.h\"\n");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.find("FICINCONN"), std::string::npos) << err;
  EXPECT_EQ(err.find("IDENREDEF"), std::string::npos) << err;
  // The one syntax error of the copied text is reported at its own line.
  EXPECT_NE(err.find("t.c:7] Syntax error"), std::string::npos) << err;
  EXPECT_NE(got.find("##define R 1 /* register */\n"), std::string::npos) << got;
}

TEST_F(IncludeScanTest, OptionsDecideWhatIsCopied) {
  GeneratorOptions &o = generator_options();
  strlist_append(intern_string("X"), o.defines);
  strlist_append(intern_string("integ.c"), o.integrated_files);
  strlist_append(intern_string("u"), o.used_files);
  const std::string got = section(
      "#ifdef X\n#include \"a.h\"\n#endif\n#include \".\\integ.c\"\n#include \"integ.c\"\n"
      "#include \".\\u.h\"\n#include \"u.h\"\n");
  EXPECT_EQ(got, banner() + "##include \"a.h\"\n##include \"integ.c\"\n##include \"u.h\"\n");
}

TEST_F(IncludeScanTest, WholePhysicalLinesAreRead) {
  // A comment mentioning "#include" far to the right stays a comment, and a
  // long declaration is copied in one piece.
  const std::string pad(700, ' ');
  const std::string decl = "int long_one" + std::string(600, '_') + ";";
  const std::string got = section("/*" + pad + "#include \"b.h\" */\n" + decl + "\n#include \"a.h\"\n");
  EXPECT_EQ(got, banner() + "\n#/*" + pad + " include \"b.h\" */\n#" + decl + "\n##include \"a.h\"\n");
}

// A file that holds a digraph or a trigraph anywhere has each of its lines
// prepared; one that holds none is read as it is, with the same lines.
TEST_F(IncludeScanTest, DigraphsAndTrigraphsAnywhereInTheFile) {
  std::string plain, copied = "\n";
  for (int i = 0; i < 50; ++i) {
    plain += "int v" + std::to_string(i) + " = 1 < 2 ? 3 : 4;\n";
    copied += "#int v" + std::to_string(i) + " = 1 < 2 ? 3 : 4;\n";
  }
  EXPECT_EQ(section(plain + "#include \"a.h\"\n"), banner() + copied + "##include \"a.h\"\n");
  const std::string got = section(plain + "%:include \"b.h\"\nint a<:2:>;\n?\?=include \"a.h\"\n");
  EXPECT_NE(got.find("##include \"b.h\"\n"), std::string::npos) << got;
  EXPECT_NE(got.find("#int a[2];\n##include \"a.h\"\n"), std::string::npos) << got;
}

// Block comments are followed through the lines: a '#' inside one is no
// directive, "/*/" opens one without closing it, "**/" closes it, and a "/"
// ending a line opens nothing with a "*" starting the next.
TEST_F(IncludeScanTest, BlockCommentsHideDirectives) {
  const std::string got = section(
      "/*/ #include \"b.h\"\n**/ int k;\n/* a */ int m; /* #x\n#include \"u.h\" */ int n;\n"
      "int o = 1 /\n*2; /**/ int p;\n#include \"a.h\"\n");
  EXPECT_EQ(got, banner() + "\n#/*/  include \"b.h\"\n#**/ int k;\n#/* a */ int m; /*  x\n#include \"u.h\" */ int n;\n"
                            "#int o = 1 /\n#*2; /**/ int p;\n##include \"a.h\"\n");
}

}  // namespace

// Expression analysis: dialect reports, typing reports, exact folding with C
// semantics, limits, and the character-constant image.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "cpptab.h"
#include "y_cppa.h"
#include "y_cppe.h"
#include "ana_fixture.h"

namespace {

std::vector<ana_fixture::Report> &g_reports = ana_fixture::reports();

class Expr : public ana_fixture::TableTest {
 protected:
  void SetUp() override { open_table("", false); }
  void TearDown() override { close_table(); }
  void declare(const char *text) {
    analyse_text(text, table, "", "t.c", 1, 0, 0);
    g_reports.clear();
  }
  std::unique_ptr<ExpressionResult> run(const std::string &text) {
    g_reports.clear();
    return analyse_expression(text.c_str(), "", "t.c", 3, nullptr, &table);
  }
  // The value as a decimal text, or "none".
  std::string value(const std::string &text) {
    auto r = run(text);
    if (!r || r->kind != EXPR_INTEGER_CONSTANT) return "none";
    return pint_image(&r->value, 1, 64);
  }
  bool reported(const char *code) const { return ana_fixture::count_code(code) > 0; }
};

TEST_F(Expr, EmptyTextHasNoResult) {
  EXPECT_EQ(run(""), nullptr);
  EXPECT_EQ(run("  \t\n"), nullptr);
  EXPECT_TRUE(g_reports.empty());
}

TEST_F(Expr, DialectReportsAndNoValue) {
  declare("int x; int y;");
  const struct {
    const char *text;
    const char *code;
  } cases[] = {
      {"x = 1", "AFFECTATI"},  {"x += 2", "AFFECTATI"}, {"x++", "POSTINCRE"},
      {"x--", "POSTDECRE"},    {"1, 2", "SOUSEXPRE"},   {"[1 .. ]", "SYNTAXERR"},
      {"[1 2]", "SYNTAXERR"},
  };
  for (const auto &c : cases) {
    auto r = run(c.text);
    ASSERT_NE(r, nullptr) << c.text;
    EXPECT_TRUE(reported(c.code)) << c.text;
    if (std::string(c.code) != "SYNTAXERR") {
      EXPECT_EQ(r->kind, EXPR_NO_VALUE) << c.text;
    }
  }
  EXPECT_EQ(value("[1..5]"), "none");
  EXPECT_TRUE(g_reports.empty());
}

TEST_F(Expr, SyntaxErrorsAndEndOfText) {
  auto r = run("1 +");
  EXPECT_TRUE(reported("UNEXP_EOF"));
  EXPECT_EQ(r->kind, EXPR_NO_VALUE);
  run("1 2");
  EXPECT_TRUE(reported("EXPERRONE"));
  run("(1");
  EXPECT_TRUE(reported("UNEXP_EOF"));
}

TEST_F(Expr, TypingReports) {
  declare(
      "struct S { int a; int b; }; struct S s; struct S *ps; float f; int i; int arr[3];"
      "int fn(int); int (*pf)(int); class C { public: C(int a, int b); int m; };");
  const struct {
    const char *text;
    const char *code;
  } cases[] = {
      {"-s", "OPERARITH"},   {"~f", "OPERENTIE"},   {"!s", "OPERSCALA"},
      {"i[0]", "NONTABLEA"}, {"i(1)", "NONFONCTI"}, {"*i", "NONPOINTE"},
      {"i.a", "INVCHASTR"},  {"ps.a", "POINSTRUC"}, {"s->a", "NOPOSTRUC"},
      {"s.zz", "CHAMPINCO"}, {"nosuch", "IDENTIINC"}, {"{1, 2.0}", "TYPESDIFF"},
      {"C(1)", "CONSTRINC"},
  };
  for (const auto &c : cases) {
    run(c.text);
    EXPECT_TRUE(reported(c.code)) << c.text;
  }
  // Well-typed uses report nothing.
  const char *fine[] = {"-i", "~i", "!ps", "arr[1]", "fn(1)", "pf(2)", "*ps", "s.a",
                        "ps->b", "{1, 2}", "C(1, 2)", "-f", "!arr", "*arr", "sizeof s"};
  for (const char *t : fine) {
    run(t);
    EXPECT_TRUE(g_reports.empty()) << t << " reported " << (g_reports.empty() ? "" : g_reports[0].code);
  }
}

TEST_F(Expr, FoldingFollowsC) {
  declare("enum color { RED, GREEN = 4, BLUE }; const int N = 5; struct P { char c; int i; };");
  const struct {
    const char *text;
    const char *value;
  } cases[] = {
      {"1 + 2 * 3", "7"},         {"-7 / 2", "-3"},           {"-7 % 3", "-1"},
      {"7 % -3", "1"},            {"-1u", "4294967295"},      {"0u - 1 > 0", "1"},
      {"-1 < 0u", "0"},           {"1 << 4", "16"},           {"-16 >> 2", "-4"},
      {"(char)200", "-56"},       {"(unsigned char)-1", "255"}, {"(short)70000", "4464"},
      {"'a'", "97"},              {"'\\377'", "-1"},          {"'\\n' + 1", "11"},
      {"0x10 + 010", "24"},       {"101b", "5"},              {"0FFh", "255"},
      {"3 ? 4 : 5", "4"},         {"0 ? 4 : 5", "5"},         {"!0 + !7", "1"},
      {"~0", "-1"},               {"~0u", "4294967295"},      {"BLUE * 2 + 1", "11"},
      {"RED + GREEN", "4"},       {"N * 2 + 1", "11"},        {"sizeof(int)", "4"},
      {"sizeof(long long)", "8"}, {"sizeof(struct P)", "8"},  {"sizeof(char[10])", "10"},
      {"sizeof \"abc\"", "4"},    {"0 && 1 / 0", "0"},        {"1 || 1 / 0", "1"},
      {"2147483647 + 1u", "2147483648"}, {"3000000000", "3000000000"},
      {"(1, 2)", "none"},         {"1.5", "none"},            {"true + true", "2"},
      {"static_cast<unsigned char>(300)", "44"}, {"const_cast<int>(N) + 1", "6"},
      {"reinterpret_cast<long>(7)", "7"},
  };
  for (const auto &c : cases) EXPECT_EQ(value(c.text), c.value) << c.text;
}

// The constants of the expression dialect and what their conversion reports,
// at the expression's position.
TEST_F(Expr, DialectConstantsAndTheirReports) {
  EXPECT_EQ(value("0FFh + 101b + 0x10 + 1lu + 1ull"), "278");
  EXPECT_EQ(value("07h"), "7");
  EXPECT_EQ(value("1FFFFFFFFh"), "4294967295");
  ASSERT_EQ(g_reports.size(), 1u);
  EXPECT_EQ(g_reports[0].code, "ENTOUTRAN");
  EXPECT_EQ(g_reports[0].file, "t.c");
  EXPECT_EQ(g_reports[0].line, 3);
  // A quote not closed on its line: the constant is reported invalid, the
  // text goes on after the line.
  EXPECT_EQ(value("'a\n + 1"), "98");
  ASSERT_EQ(g_reports.size(), 1u);
  EXPECT_EQ(g_reports[0].code, "INVCSTCAR");
  EXPECT_EQ(g_reports[0].line, 3);
  value("''");
  EXPECT_TRUE(reported("CSTCARVID"));
  value("'\\q'");
  EXPECT_TRUE(reported("SEQUEINCO"));
  // Ranges and associations have no value and report nothing.
  auto r = run("{a => 1, b => [1..09h]}");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->image, "{ a => 1, b => [1..09h] }");
  EXPECT_TRUE(g_reports.empty());
  // The end of the text where an operand is due.
  run("1 +");
  ASSERT_EQ(g_reports.size(), 1u);
  EXPECT_EQ(g_reports[0].code, "UNEXP_EOF");
  EXPECT_EQ(g_reports[0].line, 3);
  // Keywords are read by their codes, names where a name can stand.
  declare("int x;");
  EXPECT_EQ(run("x = sizeof(int) + true")->image, "(x = (sizeof(int) + true))");
}

TEST_F(Expr, DivisionByZeroAndOverflowAreReported) {
  EXPECT_EQ(value("1 / 0"), "none");
  EXPECT_TRUE(reported("DIVISZERO"));
  EXPECT_EQ(value("5 % (2 - 2)"), "none");
  EXPECT_TRUE(reported("DIVISZERO"));
  value("2147483647 + 1");
  EXPECT_TRUE(reported("ENTOUTRAN"));
  value("99999999999999999999999");
  EXPECT_TRUE(reported("ENTOUTRAN"));
}

TEST_F(Expr, ReportsCarryTheExpressionsPositionAndShortTexts) {
  value("99999999999999999999999");
  ASSERT_TRUE(reported("ENTOUTRAN"));
  EXPECT_EQ(g_reports.back().file, "t.c");
  EXPECT_EQ(g_reports.back().line, 3);
  declare("int x;");
  std::string chain = "x";
  for (int i = 0; i < 50000; ++i) chain += "++";
  const auto start = std::chrono::steady_clock::now();
  value(chain);
  EXPECT_EQ(g_reports.size(), 50000u);
  std::size_t longest = 0;
  for (const ana_fixture::Report &r : g_reports) longest = std::max(longest, r.arg.size());
  EXPECT_LE(longest, 210u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST_F(Expr, TargetSizesDecideTypes) {
  analysis_settings().sizes->long_bits = 64;
  EXPECT_EQ(value("sizeof(long)"), "8");
  EXPECT_EQ(value("sizeof(void *)"), "8");
  EXPECT_EQ(value("2147483647L + 1"), "2147483648");
  analysis_settings().sizes->long_bits = 32;
  EXPECT_EQ(value("sizeof(void *)"), "4");
}

TEST_F(Expr, LongChainsAndDeepNesting) {
  // 100,000 operators in a row: a loop, no depth.
  std::string chain = "1";
  for (int i = 0; i < 100000; ++i) chain += "+1";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(value(chain), "100001");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  // Nesting within the stack limit works; beyond it is a reported error.
  std::string ok(500, '(');
  ok += "1" + std::string(500, ')');
  EXPECT_EQ(value(ok), "1");
  EXPECT_TRUE(g_reports.empty());
  std::string deep(100000, '(');
  deep += "1" + std::string(100000, ')');
  EXPECT_EQ(value(deep), "none");
  EXPECT_TRUE(reported("EXPERRONE"));
  std::string unary(100000, '-');
  EXPECT_EQ(value(unary + "1"), "none");
  EXPECT_TRUE(reported("EXPERRONE"));
}

TEST_F(Expr, SelfReferencingEnumeratorHasNoValue) {
  declare("enum e { A = 1, B = A + 1 };");
  EXPECT_EQ(value("B"), "2");
  // A hand-made cycle (the grammar cannot produce one) stops.
  Symbol *a = lookup_ordinary("A", table, ScopeContext());
  ASSERT_NE(a, nullptr);
  EnumeratorRec *first = a->decl->type->enumeration()->first;
  first->value_text = "B";
  EXPECT_EQ(value("B"), "none");
}

TEST_F(Expr, ImageOfCharacterConstants) {
  EXPECT_EQ(character_constant_image('a'), "'a'");
  EXPECT_EQ(character_constant_image(0), "'\\0'");
  EXPECT_EQ(character_constant_image(10), "'\\n'");
  EXPECT_EQ(character_constant_image(34), "'\\\"'");
  EXPECT_EQ(character_constant_image(39), "'\\''");
  EXPECT_EQ(character_constant_image(92), "'\\\\'");
  EXPECT_EQ(character_constant_image(27), "'\\033'");
  EXPECT_EQ(character_constant_image(1), "'\\01'");
  EXPECT_EQ(character_constant_image(200), "'\\310'");
  EXPECT_EQ(character_constant_image(-1), "'\\377'");
  auto r = run("'\\x1b' + 1");
  EXPECT_EQ(r->image, "('\\033' + 1)");
}

TEST_F(Expr, QualifiedNamesAndBases) {
  declare(
      "int g = 1; struct A { enum { K = 7 }; }; namespace N { enum { Q = 2 }; } "
      "struct B1 { int a; }; struct D : public B1 { char c; }; struct E { }; "
      "struct D2 : E { int x; };");
  EXPECT_EQ(value("A::K * 2"), "14");
  EXPECT_EQ(value("N::Q + A::K"), "9");
  EXPECT_EQ(value("sizeof(D)"), "8");
  EXPECT_EQ(value("sizeof(D2)"), "4");
  run("::g");
  EXPECT_TRUE(g_reports.empty());
  run("N::nothing");
  EXPECT_TRUE(reported("IDENTIINC"));
}

TEST_F(Expr, BitFieldLayout) {
  declare(
      "struct B { unsigned a : 3; unsigned b : 30; char c; }; "
      "struct U { char c; union { int i; double d; } u; }; "
      "struct Z { char c; int : 0; char d; }; "
      "struct R { char c; int : 4; }; "
      "struct Y { char c; int : 12; char d; }; "
      "struct reg { unsigned e : 1; unsigned : 3; unsigned m : 2; unsigned : 0; unsigned s : 8; int : 4; "
      "unsigned t : 4; };");
  EXPECT_EQ(value("sizeof(struct B)"), "12");
  EXPECT_EQ(value("sizeof(struct U)"), "16");
  // Unnamed bit-fields take their bits, not their type's alignment; ": 0"
  // starts a new unit (the sizes the system compiler gives).
  EXPECT_EQ(value("sizeof(struct Z)"), "5");
  EXPECT_EQ(value("sizeof(struct R)"), "2");
  EXPECT_EQ(value("sizeof(struct Y)"), "4");
  EXPECT_EQ(value("sizeof(struct reg)"), "8");
}

}  // namespace

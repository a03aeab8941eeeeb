#include "y1_tab.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_reports;  // "CODE:arg"
std::set<std::string> g_macros;

void capture(MessageCode code, std::string_view arg) {
  g_reports.push_back(std::string(message_name(code)) + ":" + std::string(arg));
}
bool lookup(const char *name, size_t length) { return g_macros.count(std::string(name, length)) != 0; }

class IfEval : public ::testing::Test {
 protected:
  void SetUp() override {
    g_reports.clear();
    g_macros.clear();
    reset_target_sizes();
    IfHooks h;
    h.is_macro = lookup;
    h.report = capture;
    saved_ = if_set_hooks(h);
  }
  void TearDown() override { if_set_hooks(saved_); }
  static int eval(const std::string &s) { return pp_eval_if(s.data(), s.size()); }
  static IfValue value(const std::string &s, bool *ok = nullptr) { return if_evaluate(s.data(), s.size(), ok); }
  IfHooks saved_;
};

struct Case {
  const char *text;
  int result;                      // what the directive decides
  std::vector<std::string> reports;
};

TEST_F(IfEval, TableOfExpressions) {
  const Case cases[] = {
      {"1", 1, {}},
      {"0", 0, {}},
      {"0x7fffffffffffffff > 0", 1, {}},
      {"0x100000000", 0, {}},            // only the low 32 bits decide
      {"0x100000001", 1, {}},
      {"1 + 2 * 3 == 7", 1, {}},
      {"(1 + 2) * 3 == 9", 1, {}},
      {"10 - 3 - 2 == 5", 1, {}},        // left-associative
      {"2 ? 3 : 0 ? 4 : 5", 1, {}},
      {"0 ? 3 : 0 ? 4 : 0", 0, {}},      // right-associative ?:
      {"1, 0", 0, {}},
      {"(0, 7) == 7", 1, {}},
      {"-1 < 0", 1, {}},
      {"-1 < 0u", 0, {}},
      {"~0 == -1", 1, {}},
      {"!5 == 0 && !0 == 1", 1, {}},
      {"1 << 2 == 4 && -8 >> 1 == -4", 1, {}},
      {"1u << 33 == 2", 1, {}},          // unsigned: 32-bit, count mod 32
      {"1 << 65 == 2", 1, {}},           // signed: count mod 64
      {"0x80000000u << 1", 0, {}},       // the high half is dropped
      {"0x7fffffffffffffff + 1 < 0", 1, {}},   // wraps
      {"7 % 3 == 1 && -7 / 2 == -3", 1, {}},
      {"0x1ffffffffu / 2 == 0x7fffffff", 1, {}},  // low 32 bits of a
      {"0x100000002u * 3 == 6", 1, {}},
      {"012 == 10 && 0x1F == 31 && 019 == 17", 1, {}},
      {"10UL == 10 && 10llu == 10", 1, {}},
      // Every suffix the declarations read, and binary constants.
      {"1LL == 1 && 10lu == 10 && 1uLL == 1 && 7LLU == 7 && 0xFFFFFFFFFFFFFFFFULL == -1", 1, {}},
      {"0b1010 == 10 && 0B11u == 3 && 0b1LL == 1", 1, {}},
      {"1lL", 0, {"EXPERRONE:1lL", "EXPERRONE:1lL"}},
      {"1uu", 0, {"EXPERRONE:1uu", "EXPERRONE:1uu"}},
      {"0b", 0, {"EXPERRONE:0b", "EXPERRONE:0b"}},
      {"0b2", 0, {"EXPERRONE:0b2", "EXPERRONE:0b2"}},
      {"'A' == 65", 1, {}},
      {"'\\377' < 0", 1, {}},
      {"'\\n' == 10 && '\\x41' == 65 && '\\^A' == 1 && '\\^?' == 127", 1, {}},
      {"'\\e' == 27 && '\\q' == 'q'", 1, {}},
      // Wide constants: one token, wider than a byte, not sign-extended.
      {"L'\\0' - 1 > 0", 0, {}},
      {"L'A' == 65 && u'a' == 97 && U'a' == 97 && u8'a' == 97", 1, {}},
      {"L'\\377' == 255 && L'\\x100' == 256", 1, {}},
      {"L 'A'", 0, {"EXPERRONE:L 'A'"}},
      {"sizeof(int) == 4 && sizeof(char) == 1 && sizeof( long ) == 4", 1, {}},
      {"sizeof(struct x) == 0", 1, {}},
      {"sizeof(int[2])", 0, {}},
      {"UNDEFINED_NAME", 0, {}},
      {"defined(X) && X > 2", 0, {}},
      {"1/0", 1, {"DIVISZERO:#if"}},
      {"5 % 0 == 0", 1, {"DIVISZERO:#if"}},
      {"0 && 1/0", 0, {"DIVISZERO:#if"}},  // both operands are evaluated
      {"0x8000000000000000 / -1 == 0", 1, {}},  // unsigned: low 32 bits of a
      {"(-0x7fffffffffffffff - 1) / -1 == -0x7fffffffffffffff - 1", 1, {}},
      {"(-0x7fffffffffffffff - 1) % -1 == 0", 1, {}},
      {"", 0, {"EMPTYEXPR:#if"}},
      {"   \t ", 0, {"EMPTYEXPR:#if"}},
      {"1.0", 0, {"EXPERRONE:1.0", "EXPERRONE:1.0"}},
      {"1 +", 0, {"EXPERRONE:1 +"}},
      {"(1", 0, {"EXPERRONE:(1"}},
      {"1)", 0, {"EXPERRONE:1)"}},
      {"1 2 + 3", 0, {"EXPERRONE:1 2"}},
      {"1 = 1", 0, {"EXPERRONE:1 ="}},
      {"\"s\"", 0, {"EXPERRONE:\"", "EXPERRONE:\""}},
      {"1 ; 2", 0, {"EXPERRONE:1 ;", "EXPERRONE:1 ;"}},
      {"12abc", 0, {"EXPERRONE:12abc", "EXPERRONE:12abc"}},
      {"1 ? 2", 0, {"EXPERRONE:1 ? 2"}},
      {"sizeof int", 0, {"EXPERRONE:sizeof int"}},
      {"'\\400' == 0", 1, {"NOFITBYTE:"}},
      {"'\\x100' == 0", 1, {"NOFITBYTE:"}},
      // 17 hex digits wrap the accumulator back below 256: still reported.
      {"'\\x10000000000000041' == 'A'", 1, {"NOFITBYTE:"}},
  };
  for (const Case &c : cases) {
    g_reports.clear();
    EXPECT_EQ(eval(c.text), c.result) << c.text;
    EXPECT_EQ(g_reports, c.reports) << c.text;
  }
}

// White space of every kind is passed over before the two-character
// operators are tried: every operator, written next to white space, next to
// another operator character or at the end of the text, reads as before.
TEST_F(IfEval, TwoCharacterOperatorsBesideWhiteSpace) {
  const Case cases[] = {
      {"1&&1", 1, {}},      {" 1 \t&&\n1\r", 1, {}}, {"0||1", 1, {}},       {"\n0\n||\n0\n", 0, {}},
      {"1<<2==4", 1, {}},   {"8>>2 == 2", 1, {}},       {"1<=1&&2>=2", 1, {}}, {"1!=2", 1, {}},
      {"1< =1", 0, {"EXPERRONE:1< ="}},                 {"1 & & 1", 0, {"EXPERRONE:1 & &"}},
      {"!!1 == 1", 1, {}},  {"1 == 1 ==1", 1, {}},      {"2 >= !0", 1, {}},    {"1 &", 0, {"EXPERRONE:1 &"}},
      {"1 <", 0, {"EXPERRONE:1 <"}}, {"1 |", 0, {"EXPERRONE:1 |"}}, {"3&1|4^6", 1, {}},
  };
  for (const Case &c : cases) {
    g_reports.clear();
    EXPECT_EQ(eval(c.text), c.result) << c.text;
    EXPECT_EQ(g_reports, c.reports) << c.text;
  }
}

TEST_F(IfEval, ValuesCarryTheirSignedness) {
  IfValue v = value("0xffffffffffffffff");
  EXPECT_TRUE(v.is_unsigned);
  EXPECT_EQ(v.value, -1);
  EXPECT_FALSE(value("0x7fffffffffffffff").is_unsigned);
  EXPECT_TRUE(value("1u").is_unsigned);
  EXPECT_TRUE(value("1 + 1u").is_unsigned);
  EXPECT_FALSE(value("1u == 1").is_unsigned);
  EXPECT_TRUE(value("0 ? 1 : 2u").is_unsigned);
  EXPECT_FALSE(value("'a'").is_unsigned);
  EXPECT_TRUE(value("'ab'").is_unsigned);  // more than one character: INT
  EXPECT_EQ(value("-1 >> 70").value, -1);
  EXPECT_EQ(value("18446744073709551615").value, -1);  // decimal wraps silently
  EXPECT_EQ(value("99999999999999999999").value, static_cast<int64_t>(7766279631452241919ull));
}

TEST_F(IfEval, CharSignednessFollowsCharUnsignedMacro) {
  EXPECT_EQ(eval("'\\377' < 0"), 1);
  EXPECT_EQ(value("'\\xff'").value, -1);
  g_macros.insert("__CHAR_UNSIGNED__");
  EXPECT_EQ(eval("'\\377' < 0"), 0);
  EXPECT_EQ(value("'\\377'").value, 255);
  EXPECT_TRUE(g_reports.empty());
}

TEST_F(IfEval, DefinedAndMachine) {
  g_macros.insert("X");
  g_macros.insert("x86");
  EXPECT_EQ(eval("defined X"), 1);
  EXPECT_EQ(eval("defined ( X )"), 1);
  EXPECT_EQ(eval("defined(Y)"), 0);
  EXPECT_EQ(eval("!defined Y && defined(X)"), 1);
  EXPECT_EQ(eval("#machine(x86)"), 1);
  EXPECT_EQ(eval("#machine(arm)"), 0);
  EXPECT_EQ(eval("#lint(on) || 0"), 0);
  // Both forms in one condition, each more than once, and after other text.
  EXPECT_EQ(eval("0 || #machine(x86) && !#lint(on) && !#machine(arm) && !#lint(on)"), 1);
  EXPECT_EQ(eval("1 # 0"), 1);  // '#' ends the expression
  EXPECT_TRUE(g_reports.empty());

  EXPECT_EQ(eval("defined"), 0);
  EXPECT_EQ(g_reports, std::vector<std::string>{"ERDEFINED:"});
  g_reports.clear();
  // A missing ')' is reported, but the value found stands.
  EXPECT_EQ(eval("defined(X"), 1);
  EXPECT_EQ(g_reports, std::vector<std::string>{"ERDEFINED:"});

  size_t consumed = 99;
  EXPECT_EQ(if_defined_operator(" (X) + 1", 8, &consumed), 1);
  EXPECT_EQ(consumed, 4u);
}

TEST_F(IfEval, ExpanderHookIsUsed) {
  IfHooks h;
  h.is_macro = lookup;
  h.report = capture;
  h.expand = [](const char *t, size_t n) {
    std::string s(t, n);
    return s == " defined(V)" ? std::string(" 1 ") : std::string("0");
  };
  if_set_hooks(h);
  EXPECT_EQ(eval("#machine(V)"), 1);
  EXPECT_EQ(eval("anything"), 0);
}

TEST_F(IfEval, SizeofPragmaRegistrations) {
  TargetSizes &sizes = target_sizes();
  sizes.declared_sizes.emplace_back("T", 8);
  EXPECT_EQ(value("sizeof(T)").value, 8);
  sizes.declared_sizes.emplace_back("T", 2);  // the newest registration wins
  EXPECT_EQ(value("sizeof(T)").value, 2);
  sizes.declared_sizes.emplace_back("longdouble", 12);  // names are compared without blanks
  EXPECT_EQ(value("sizeof( long  double )").value, 12);
  sizes.long_bits = 64;
  EXPECT_EQ(eval("sizeof(long) == 8"), 1);
  EXPECT_EQ(eval("sizeof((int)) == 0"), 1);
  reset_target_sizes();
}

TEST_F(IfEval, ReportedTextIsCutToFortyCharacters) {
  std::string forty(38, '1');
  forty += " +";  // 40 characters
  eval(forty);
  EXPECT_EQ(g_reports, std::vector<std::string>{"EXPERRONE:" + forty});
  g_reports.clear();
  std::string longer = "2 + " + forty;
  eval(longer);
  ASSERT_EQ(g_reports.size(), 1u);
  EXPECT_EQ(g_reports[0], "EXPERRONE:" + longer.substr(longer.size() - 39));
}

TEST_F(IfEval, StackLimitIsReportedNotOverflowed) {
  std::string ok = std::string(140, '(') + "1" + std::string(140, ')');
  EXPECT_EQ(eval(ok), 1);
  EXPECT_TRUE(g_reports.empty());

  for (size_t n : {200, 100000}) {
    g_reports.clear();
    std::string deep = std::string(n, '(') + "1" + std::string(n, ')');
    EXPECT_EQ(eval(deep), 0);
    EXPECT_EQ(g_reports.size(), 1u);
    std::string unary(n, '-');
    unary += "1";
    g_reports.clear();
    EXPECT_EQ(eval(unary), 0);
    EXPECT_EQ(g_reports.size(), 1u);
    std::string right;
    for (size_t i = 0; i < n; ++i) right += "1+(";
    right += "1" + std::string(n, ')');
    g_reports.clear();
    EXPECT_EQ(eval(right), 0);
    EXPECT_EQ(g_reports.size(), 1u);
  }
  // A long left-associative chain needs no stack.
  std::string chain = "1";
  for (int i = 0; i < 10000; ++i) chain += "+1";
  EXPECT_EQ(value(chain).value, 10001);
}

TEST_F(IfEval, LongCharacterConstant) {
  std::string c = "'" + std::string(999, 'a') + "'";
  EXPECT_EQ(value(c).is_unsigned, true);
  EXPECT_TRUE(g_reports.empty());
  std::string bad = "'" + std::string(1000, 'a') + "'";
  EXPECT_EQ(eval(bad), 0);
  EXPECT_EQ(g_reports.size(), 2u);
}

}  // namespace

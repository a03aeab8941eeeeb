#include "cplitr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

EscapeValue escape(const char *after_backslash, EscapeDialect dialect, std::size_t *consumed = nullptr) {
  const char *p = after_backslash;
  EscapeValue e = read_escape(p, after_backslash + std::strlen(after_backslash), dialect);
  if (consumed) *consumed = static_cast<std::size_t>(p - after_backslash);
  return e;
}

TEST(LiteralPrefix, EveryEncodingPrefixBeforeAQuote) {
  struct Case {
    const char *text;
    LiteralPrefix prefix;
    std::size_t length;
  } cases[] = {{"L'a'", LP_WIDE, 1},   {"u'a'", LP_UTF16, 1}, {"U\"a\"", LP_UTF32, 1},
               {"u8'a'", LP_UTF8, 2},  {"'a'", LP_NONE, 0},   {"u8", LP_NONE, 0},
               {"uL'a'", LP_NONE, 0},  {"U8'a'", LP_NONE, 0}, {"Lx", LP_NONE, 0},
               {"u", LP_NONE, 0}};
  for (const Case &c : cases) {
    std::size_t length = 99;
    EXPECT_EQ(literal_prefix_at(c.text, c.text + std::strlen(c.text), &length), c.prefix) << c.text;
    EXPECT_EQ(length, c.length) << c.text;
  }
  EXPECT_EQ(literal_prefix("u8"), LP_UTF8);
  EXPECT_EQ(literal_prefix("LL"), LP_NONE);
  EXPECT_TRUE(literal_prefix_is_wide(LP_UTF32));
  EXPECT_FALSE(literal_prefix_is_wide(LP_UTF8));
}

TEST(Escape, NumericEscapesAreTheSameInBothDialects) {
  for (EscapeDialect d : {ESC_CONDITION, ESC_DECLARATION}) {
    std::size_t used = 0;
    EXPECT_EQ(escape("101x", d, &used).value, 65u);
    EXPECT_EQ(used, 3u);  // at most three octal digits
    EXPECT_EQ(escape("x41g", d, &used).value, 0x41u);
    EXPECT_EQ(used, 3u);
    EXPECT_TRUE(escape("400", d).above_byte);
    EXPECT_TRUE(escape("x100", d).above_byte);
    // The accumulator wraps, the oversize is remembered.
    EscapeValue big = escape("x10000000000000041", d);
    EXPECT_TRUE(big.above_byte);
    EXPECT_EQ(big.value & 0xFF, 0x41u);
    EXPECT_TRUE(escape("xg", d).no_hex_digit);
    EXPECT_EQ(escape("n", d).value, 10u);
    EXPECT_EQ(escape("", d, &used).value, static_cast<std::uint64_t>('\\'));
    EXPECT_EQ(used, 0u);
  }
}

TEST(Escape, EachDialectKeepsItsOwnLetters) {
  EXPECT_EQ(escape("e", ESC_CONDITION).value, 27u);
  EXPECT_EQ(escape("E", ESC_CONDITION).value, static_cast<std::uint64_t>('E'));
  EXPECT_FALSE(escape("q", ESC_CONDITION).unknown);
  EXPECT_EQ(escape("^a", ESC_CONDITION).value, static_cast<std::uint64_t>('a' & 0x9F));
  EXPECT_EQ(escape("^?", ESC_CONDITION).value, 127u);
  EXPECT_TRUE(escape("^\\400", ESC_CONDITION).above_byte);  // through the nested escape

  EXPECT_EQ(escape("E", ESC_DECLARATION).value, 27u);
  EXPECT_TRUE(escape("e", ESC_DECLARATION).unknown);
  EXPECT_TRUE(escape("q", ESC_DECLARATION).unknown);
  EXPECT_FALSE(escape("?", ESC_DECLARATION).unknown);
  EXPECT_FALSE(escape("{", ESC_DECLARATION).unknown);
}

TEST(IntegerSuffix, LettersCountedAnythingElseNoted) {
  auto suffix = [](const char *s) { return read_integer_suffix(s, s + std::strlen(s)); };
  IntegerSuffix s = suffix("ULL");
  EXPECT_EQ(s.unsigned_letters, 1);
  EXPECT_EQ(s.long_letters, 2);
  EXPECT_FALSE(s.other);
  s = suffix("lu");
  EXPECT_EQ(s.unsigned_letters, 1);
  EXPECT_EQ(s.long_letters, 1);
  EXPECT_TRUE(suffix("uz").other);
  EXPECT_FALSE(suffix("").other);
}

}  // namespace

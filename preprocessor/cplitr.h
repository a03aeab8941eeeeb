// Reading of the pieces of literals that the #if evaluator and the
// declaration analyser both meet: the encoding prefix of a character
// constant or string literal, one escape sequence, the suffix of an integer
// constant. Both readers go through these routines, so that what one
// accepts the other reads the same way.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

// Encoding prefix of a character constant or string literal.
enum LiteralPrefix : int {
  LP_NONE = 0,   // 'a', "a"
  LP_WIDE = 1,   // L'a': wchar_t
  LP_UTF16 = 2,  // u'a': char16_t
  LP_UTF32 = 3,  // U'a': char32_t
  LP_UTF8 = 4    // u8'a': char
};

// The prefix that `word` spells (a word directly followed by a quote), or
// LP_NONE when it is no prefix.
LiteralPrefix literal_prefix(std::string_view word);
// The prefix of a literal starting at `p` (followed by a single or double
// quote within `end`), its length in *length; LP_NONE with *length 0 when
// `p` does not start a prefixed literal.
LiteralPrefix literal_prefix_at(const char *p, const char *end, std::size_t *length);
// Whether a prefix makes each character a unit wider than a byte.
inline bool literal_prefix_is_wide(LiteralPrefix prefix) {
  return prefix == LP_WIDE || prefix == LP_UTF16 || prefix == LP_UTF32;
}

// The escape sequences each reader has always accepted. The #if evaluator
// reads 'e' as escape (27) and '^' as a control character and takes any
// other character for itself; the declaration analyser reads 'E' as escape
// and warns about the characters it does not know and about "\x" without
// digits.
enum EscapeDialect : int { ESC_CONDITION = 0, ESC_DECLARATION = 1 };

struct EscapeValue {
  std::uint64_t value = 0;
  bool above_byte = false;     // an octal or hexadecimal value went beyond 255
  bool no_hex_digit = false;   // "\x" with no digit after it (value 0)
  bool unknown = false;        // a character the dialect does not know (value: itself)
};

// One escape sequence; `p` is just after the backslash and moves past the
// sequence, never beyond `end`. Nothing left: the backslash itself.
EscapeValue read_escape(const char *&p, const char *end, EscapeDialect dialect);

// The suffix of an integer constant: the letters from `p` to `end`.
struct IntegerSuffix {
  int unsigned_letters = 0;  // u, U
  int long_letters = 0;      // l, L
  bool other = false;        // any other character
  bool valid = false;        // one of the suffixes C reads (below), or none
};
IntegerSuffix read_integer_suffix(const char *p, const char *end);
// Length of the integer suffix at `p` (before `end`): u, l, ll, ul, lu,
// ull, llu in either case, the two letters of ll alike (lL is no suffix);
// 0 when none starts there.
std::size_t integer_suffix_length(const char *p, const char *end);
// Length of the binary digits of a constant "0b..." at `p` ("0b" or "0B"
// and one binary digit at least, the prefix counted), 0 when none.
std::size_t binary_constant_length(const char *p, const char *end);

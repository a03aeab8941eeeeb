// Literal pieces shared by the #if evaluator and the declaration analyser.
#include "cplitr.h"

namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

LiteralPrefix literal_prefix(std::string_view word) {
  if (word == "L") return LP_WIDE;
  if (word == "u") return LP_UTF16;
  if (word == "U") return LP_UTF32;
  if (word == "u8") return LP_UTF8;
  return LP_NONE;
}

LiteralPrefix literal_prefix_at(const char *p, const char *end, std::size_t *length) {
  *length = 0;
  std::size_t n = 0;
  if (p < end && (*p == 'L' || *p == 'U' || *p == 'u')) n = 1;
  if (n == 1 && *p == 'u' && p + 1 < end && p[1] == '8') n = 2;
  if (n == 0 || p + n >= end || (p[n] != '\'' && p[n] != '"')) return LP_NONE;
  *length = n;
  return literal_prefix(std::string_view(p, n));
}

EscapeValue read_escape(const char *&p, const char *end, EscapeDialect dialect) {
  EscapeValue out;
  if (p >= end) {
    out.value = '\\';
    return out;
  }
  const unsigned char c = static_cast<unsigned char>(*p);
  switch (c) {
    case 'a': ++p; out.value = 7; return out;
    case 'b': ++p; out.value = 8; return out;
    case 'f': ++p; out.value = 12; return out;
    case 'n': ++p; out.value = 10; return out;
    case 'r': ++p; out.value = 13; return out;
    case 't': ++p; out.value = 9; return out;
    case 'v': ++p; out.value = 11; return out;
    default: break;
  }
  if (c >= '0' && c <= '7') {
    std::uint64_t v = 0;
    for (int i = 0; i < 3 && p < end && *p >= '0' && *p <= '7'; ++i, ++p) v = v * 8 + static_cast<unsigned>(*p - '0');
    out.value = v;
    out.above_byte = v > 255;
    return out;
  }
  if (c == 'x') {
    ++p;
    if (p >= end || hex_digit(*p) < 0) out.no_hex_digit = true;
    // Any number of digits; an oversized value is remembered even when the
    // accumulator wraps later.
    std::uint64_t v = 0;
    for (int d; p < end && (d = hex_digit(*p)) >= 0; ++p) {
      v = v * 16 + static_cast<unsigned>(d);
      if (v > 255) out.above_byte = true;
    }
    out.value = v;
    return out;
  }
  ++p;
  if (dialect == ESC_CONDITION) {
    if (c == 'e') {
      out.value = 27;
    } else if (c == '^') {
      // A control character: the next character (or escape) with bits 5 and
      // 6 cleared; "^?" is DEL.
      if (p >= end) {
        out.value = '^';
        return out;
      }
      const unsigned char d = static_cast<unsigned char>(*p++);
      std::uint64_t v = d;
      if (d == '\\') {
        const EscapeValue nested = read_escape(p, end, dialect);
        v = nested.value;
        out.above_byte = nested.above_byte;
      }
      out.value = v == '?' ? 127 : (v & 0x9F);
    } else {
      out.value = c;
    }
    return out;
  }
  switch (c) {
    case '"': case '\'': case '(': case '?': case '[': case '\\': case '{': out.value = c; return out;
    case 'E': out.value = 27; return out;
    default: out.value = c; out.unknown = true; return out;
  }
}

std::size_t integer_suffix_length(const char *p, const char *end) {
  const char *q = p;
  const bool u = q < end && (*q == 'u' || *q == 'U');
  if (u) ++q;
  if (q < end && (*q == 'l' || *q == 'L')) {
    ++q;
    if (q < end && *q == q[-1]) ++q;
    if (!u && q < end && (*q == 'u' || *q == 'U')) ++q;
  }
  return static_cast<std::size_t>(q - p);
}

std::size_t binary_constant_length(const char *p, const char *end) {
  if (end - p < 3 || p[0] != '0' || (p[1] != 'b' && p[1] != 'B')) return 0;
  std::size_t n = 2;
  while (p + n < end && (p[n] == '0' || p[n] == '1')) ++n;
  return n > 2 ? n : 0;
}

IntegerSuffix read_integer_suffix(const char *p, const char *end) {
  IntegerSuffix out;
  out.valid = integer_suffix_length(p, end) == static_cast<std::size_t>(end - p);
  for (; p < end; ++p) {
    if (*p == 'u' || *p == 'U') ++out.unsigned_letters;
    else if (*p == 'l' || *p == 'L') ++out.long_letters;
    else out.other = true;
  }
  return out;
}

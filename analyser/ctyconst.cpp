// Conversion of the scanner's numeric and character constants to their
// values, with the warnings a constant gives.
#include <cstring>
#include <string>

#include "cplitr.h"
#include "ctylex.h"
#include "merror.h"

namespace {

bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }
int hex_value(unsigned char c) {
  if (is_digit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

namespace {

// Where warnings about one constant go.
struct ConstantSink {
  ConstantReport report;
  void *context;
};

void constant_warning(ConstantSink at, WarningCode code) {
  if (at.report)
    at.report(at.context, code);
  else
    analyser_report(code, "", nullptr, 0);
}

// Decodes the escape after a backslash (p at the character after it).
unsigned long long decode_escape(const char *&p, ConstantSink at) {
  const EscapeValue e = read_escape(p, p + std::strlen(p), ESC_DECLARATION);
  if (e.no_hex_digit) constant_warning(at, MSG_NOHEXDIGI);
  if (e.unknown) constant_warning(at, MSG_SEQUEINCO);
  return e.value;
}

void shift_or(BigInt &value, int bits, unsigned long long unit) {
  BigInt count, part;
  pint_from_int(&count, bits);
  pint_shift_left(&value, &value, &count);
  pint_from_int64(&part, static_cast<int64_t>(unit & 0x7fffffffffffffffULL));
  pint_or(&value, &value, &part);
}

unsigned long long unit_mask(int bits) { return bits >= 64 ? ~0ULL : ((1ULL << bits) - 1); }

// value = value * radix + digit, unless the value has grown past what any
// target type could hold (then it stops growing and `overflow` is set).
void accumulate(BigInt &value, int radix, int digit, bool &overflow) {
  if (overflow) return;
  if (!pint_fits(&value, 160, false)) {
    overflow = true;
    return;
  }
  pint_mul_small(&value, &value, radix);
  pint_add_small(&value, &value, digit);
}

int digit_of(char c, int radix) {
  int d = hex_value(static_cast<unsigned char>(c));
  return d >= 0 && d < radix ? d : -1;
}

}  // namespace

void convert_integer(const char *text, ConstantValue &out, ConstantReport report, void *context) {
  const ConstantSink at{report, context};
  out = ConstantValue();
  const AnalysisSettings &a = analysis_settings();
  const char *p = text ? text : "";
  int radix = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    radix = 16;
    p += 2;
  } else if (p[0] == '0' && (p[1] == 'b' || p[1] == 'B')) {
    radix = 2;
    p += 2;
  } else if (p[0] == '0') {
    radix = 8;
    ++p;
  }
  bool overflow = false;
  for (; *p && !std::strchr("uUlL", *p); ++p) {
    int d = digit_of(*p, radix);
    if (d < 0) break;
    accumulate(out.value, radix, d, overflow);
  }
  const IntegerSuffix suffix = read_integer_suffix(p, p + std::strlen(p));
  const int u = suffix.unsigned_letters, l = suffix.long_letters;
  int width = l >= 2 ? a.sizes->longlong_bits : l == 1 ? a.sizes->long_bits : a.sizes->int_bits;
  out.is_unsigned = u ? 1 : 0;
  out.suffix = std::string(u ? "u" : "") + (l >= 2 ? "ll" : l == 1 ? "l" : "");
  if (overflow || !pint_fits(&out.value, width, false)) {
    constant_warning(at, MSG_ENTOUTRAN);
    pint_truncate(&out.value, width);
  }
  out.width = u ? width : -width;
}

void convert_radix_integer(const char *text, ConstantValue &out, ConstantReport report, void *context) {
  const ConstantSink at{report, context};
  out = ConstantValue();
  const AnalysisSettings &a = analysis_settings();
  const char *p = text ? text : "";
  std::size_t n = std::strlen(p);
  int radix = 10;
  if (n > 0 && (p[n - 1] == 'h' || p[n - 1] == 'H')) radix = 16;
  else if (n > 0 && (p[n - 1] == 'b' || p[n - 1] == 'B')) radix = 2;
  bool overflow = false;
  const char *end = radix == 10 ? p + n : p + n - 1;
  for (; p < end; ++p) {
    int d = digit_of(*p, radix);
    if (d < 0) break;
    accumulate(out.value, radix, d, overflow);
  }
  if (overflow || !pint_fits(&out.value, a.sizes->int_bits, false)) {
    constant_warning(at, MSG_ENTOUTRAN);
    pint_truncate(&out.value, a.sizes->int_bits);
  }
  out.width = -a.sizes->int_bits;
}

void convert_floating(const char *text, ConstantValue &out) {
  out = ConstantValue();
  out.kind = 1;
  out.text = text ? text : "";
  if (!out.text.empty()) {
    char last = out.text.back();
    if (last == 'f' || last == 'F') out.suffix = "f";
    else if (last == 'l' || last == 'L') out.suffix = "L";
  }
}

void convert_character(const char *text, ConstantValue &out, ConstantReport report, void *context) {
  const ConstantSink at{report, context};
  out = ConstantValue();
  const AnalysisSettings &a = analysis_settings();
  const char *p = text ? text : "";
  std::size_t prefix_length = 0;
  const LiteralPrefix prefix = literal_prefix_at(p, p + std::strlen(p), &prefix_length);
  p += prefix_length;
  // L: units of wchar_t (int wide, signed); u and U: char16_t and char32_t
  // (unsigned); u8: char.
  const bool wide = literal_prefix_is_wide(prefix);
  const int unit = prefix == LP_WIDE ? a.sizes->int_bits : prefix == LP_UTF16 ? 16 : prefix == LP_UTF32 ? 32 : a.sizes->char_bits;
  const int unit_bits = unit > 0 ? unit : 8;
  int max_chars = a.sizes->int_bits / unit_bits;
  if (max_chars < 1) max_chars = 1;
  bool invalid = *p != '\'';
  if (!invalid) ++p;
  int count = 0;
  bool closed = false;
  while (!invalid && *p) {
    if (*p == '\'') {
      closed = true;
      break;
    }
    unsigned long long ch;
    if (*p == '\\') {
      ++p;
      ch = decode_escape(p, at);
    } else {
      ch = static_cast<unsigned char>(*p++);
      if (ch == 255) invalid = true;
    }
    ++count;
    if (count <= max_chars) shift_or(out.value, unit_bits, ch & unit_mask(unit_bits > 63 ? 63 : unit_bits));
  }
  if (!closed) invalid = true;
  if (count == 0 && !invalid) constant_warning(at, MSG_CSTCARVID);
  if (count > max_chars) constant_warning(at, MSG_TOLOCSTCA);
  if (count > 1 && !a.multichar_allowed) constant_warning(at, MSG_MULCARCST);
  if (invalid) constant_warning(at, MSG_INVCSTCAR);
  if (prefix == LP_WIDE) {
    pint_truncate(&out.value, a.sizes->int_bits);
    out.width = -a.sizes->int_bits;
    return;
  }
  if (wide) {  // char16_t, char32_t: one unsigned unit
    pint_truncate(&out.value, unit_bits);
    out.width = unit_bits;
    out.is_unsigned = 1;
    return;
  }
  int kept = count < 1 ? 1 : (count > max_chars ? max_chars : count);
  int width = kept * unit_bits;
  if (!a.sizes->plain_char_unsigned) {
    pint_sign_extend(&out.value, width);
    out.width = -width;
    out.is_unsigned = 0;
  } else {
    pint_truncate(&out.value, width);
    out.width = width;
    out.is_unsigned = 1;
  }
}

#include "mfmath.h"

#include "merror.h"

#include <cstdio>
#include <cstring>

// The stored layout (sign byte first, then bytes from the least significant
// upward) is what callers read; the arithmetic itself runs on three 64-bit
// limbs, least significant first, all of it unsigned so that wrapping is
// defined. Limb 2 uses its low 40 bits (bits 128..167).

namespace {

using u128 = unsigned __int128;

constexpr uint64_t TOP_MASK = (uint64_t(1) << 40) - 1;

struct W {
  uint64_t w[3];
};

constexpr W W_ZERO = {{0, 0, 0}};

// The low 20 bytes are the little-endian image of limbs 0, 1 and the low
// half of limb 2.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "limb loading assumes little-endian bytes");

W load(const BigInt *a) {
  W r;
  uint32_t top;
  std::memcpy(&r.w[0], a->byte + 1, 8);
  std::memcpy(&r.w[1], a->byte + 9, 8);
  std::memcpy(&top, a->byte + 17, 4);
  r.w[2] = top | (uint64_t(a->byte[0]) << 32);
  return r;
}

void store(BigInt *o, W v) {
  uint32_t top = uint32_t(v.w[2]);
  std::memcpy(o->byte + 1, &v.w[0], 8);
  std::memcpy(o->byte + 9, &v.w[1], 8);
  std::memcpy(o->byte + 17, &top, 4);
  o->byte[0] = uint8_t(v.w[2] >> 32);
}

W make(uint64_t low) { return W{{low, 0, 0}}; }

bool w_neg(const W &a) { return (a.w[2] >> 39) & 1; }
bool w_zero(const W &a) { return (a.w[0] | a.w[1] | (a.w[2] & TOP_MASK)) == 0; }
unsigned w_top_byte(const W &a) { return unsigned((a.w[2] >> 32) & 0xFF); }

W w_add(const W &a, const W &b) {
  W r;
  u128 c = 0;
  for (int i = 0; i < 3; ++i) {
    c += u128(a.w[i]) + b.w[i];
    r.w[i] = uint64_t(c);
    c >>= 64;
  }
  r.w[2] &= TOP_MASK;
  return r;
}

W w_sub(const W &a, const W &b) {
  W r;
  uint64_t borrow = 0;
  for (int i = 0; i < 3; ++i) {
    uint64_t d = a.w[i] - b.w[i];
    uint64_t nb = (a.w[i] < b.w[i]) || (d < borrow);
    r.w[i] = d - borrow;
    borrow = nb;
  }
  r.w[2] &= TOP_MASK;
  return r;
}

W w_negate(const W &a) { return w_sub(W_ZERO, a); }

// Magnitude as an unsigned 168-bit number (2^167 for the most negative value).
W w_abs(const W &a) { return w_neg(a) ? w_negate(a) : a; }

// Unsigned comparison of two 168-bit patterns.
int w_ucmp(const W &a, const W &b) {
  for (int i = 2; i >= 0; --i)
    if (a.w[i] != b.w[i]) return a.w[i] < b.w[i] ? -1 : 1;
  return 0;
}

// Logical shifts within 168 bits, 0 <= n < 168.
W w_shl(const W &a, int n) {
  W r = W_ZERO;
  int limbs = n / 64, bits = n % 64;
  for (int i = 2; i >= limbs; --i) {
    uint64_t v = a.w[i - limbs] << bits;
    if (bits && i - limbs - 1 >= 0) v |= a.w[i - limbs - 1] >> (64 - bits);
    r.w[i] = v;
  }
  r.w[2] &= TOP_MASK;
  return r;
}

W w_shr(const W &a, int n) {
  W r = W_ZERO;
  int limbs = n / 64, bits = n % 64;
  for (int i = 0; i + limbs < 3; ++i) {
    uint64_t v = a.w[i + limbs] >> bits;
    if (bits && i + limbs + 1 < 3) v |= a.w[i + limbs + 1] << (64 - bits);
    r.w[i] = v;
  }
  return r;
}

W w_mask(int n) {  // the low n bits set, 0 <= n <= 168
  if (n >= 168) return W{{~uint64_t(0), ~uint64_t(0), TOP_MASK}};
  W r = W_ZERO;
  for (int i = 0; i < 3; ++i) {
    int here = n - 64 * i;
    if (here >= 64)
      r.w[i] = ~uint64_t(0);
    else if (here > 0)
      r.w[i] = (uint64_t(1) << here) - 1;
  }
  return r;
}

W w_and(const W &a, const W &b) { return W{{a.w[0] & b.w[0], a.w[1] & b.w[1], a.w[2] & b.w[2]}}; }
W w_or(const W &a, const W &b) { return W{{a.w[0] | b.w[0], a.w[1] | b.w[1], a.w[2] | b.w[2]}}; }
W w_not(const W &a) { return W{{~a.w[0], ~a.w[1], ~a.w[2] & TOP_MASK}}; }

W w_sar(const W &a, int n) {
  W r = w_shr(a, n);
  if (w_neg(a) && n > 0) r = w_or(r, w_not(w_mask(168 - n)));
  return r;
}

int w_bitlen(const W &a) {
  for (int i = 2; i >= 0; --i)
    if (a.w[i]) return 64 * i + 64 - __builtin_clzll(a.w[i]);
  return 0;
}

// Full product of two unsigned 168-bit numbers: six limbs.
void w_mul_full(const W &a, const W &b, uint64_t out[6]) {
  for (int i = 0; i < 6; ++i) out[i] = 0;
  for (int i = 0; i < 3; ++i) {
    uint64_t carry = 0;
    for (int j = 0; j < 3; ++j) {
      u128 t = u128(a.w[i]) * b.w[j] + out[i + j] + carry;
      out[i + j] = uint64_t(t);
      carry = uint64_t(t >> 64);
    }
    out[i + 3] = carry;
  }
}

// Unsigned division; d must not be zero.
void w_udivmod(const W &n, const W &d, W *q, W *r) {
  if (d.w[1] == 0 && d.w[2] == 0) {
    uint64_t dv = d.w[0];
    W qq = W_ZERO;
    u128 rem = 0;
    for (int i = 2; i >= 0; --i) {
      u128 cur = (rem << 64) | n.w[i];
      qq.w[i] = uint64_t(cur / dv);
      rem = cur % dv;
    }
    *q = qq;
    *r = make(uint64_t(rem));
    return;
  }
  W qq = W_ZERO, rem = n;
  int shift = w_bitlen(n) - w_bitlen(d);
  if (shift >= 0) {
    W dd = w_shl(d, shift);
    for (int s = shift; s >= 0; --s) {
      if (w_ucmp(rem, dd) >= 0) {
        rem = w_sub(rem, dd);
        qq.w[s / 64] |= uint64_t(1) << (s % 64);
      }
      dd = w_shr(dd, 1);
    }
  }
  *q = qq;
  *r = rem;
}

// Division by the constants of decimal conversion in 32-bit steps: plain
// 64-bit divisions by a constant, which the compiler turns into
// multiplications.
template <uint64_t D>
unsigned w_div_const(W *v) {
  uint64_t r = 0;
  for (int i = 2; i >= 0; --i) {
    uint64_t hi = (r << 32) | (v->w[i] >> 32);
    uint64_t qh = hi / D;
    r = hi % D;
    uint64_t lo = (r << 32) | (v->w[i] & 0xFFFFFFFFu);
    uint64_t ql = lo / D;
    r = lo % D;
    v->w[i] = (qh << 32) | ql;
  }
  return unsigned(r);
}

unsigned w_div10(W *v) { return w_div_const<10>(v); }
unsigned w_div_billion(W *v) { return w_div_const<1000000000>(v); }

// Decimal digits of an unsigned value, lowest first (none for zero).
int w_decimal_digits(W u, char digits[64]) {
  int n = 0;
  while (!w_zero(u)) {
    unsigned chunk = w_div_billion(&u);
    bool last = w_zero(u);
    for (int k = 0; k < 9 && (!last || chunk != 0); ++k) {
      digits[n++] = char(chunk % 10);
      chunk /= 10;
    }
  }
  return n;
}

// a x n + add, within 168 bits.
W w_mul_add(const W &a, uint64_t n, uint64_t add) {
  W r;
  uint64_t carry = add;
  for (int i = 0; i < 3; ++i) {
    u128 t = u128(a.w[i]) * n + carry;
    r.w[i] = uint64_t(t);
    carry = uint64_t(t >> 64);
  }
  r.w[2] &= TOP_MASK;
  return r;
}

W w_mul_u64(const W &a, uint64_t n) { return w_mul_add(a, n, 0); }

W w_mul10(const W &a) { return w_mul_u64(a, 10); }

// How often d (at least 2^160) goes into r: the same digit as subtracting d
// as long as it goes, from an estimate on the top 64 bits that is low by at
// most two. r is left with the remainder.
unsigned w_quotient_digit(W *r, const W &d) {
  uint64_t rt = (r->w[2] << 24) | (r->w[1] >> 40);
  uint64_t dt = (d.w[2] << 24) | (d.w[1] >> 40);
  unsigned q = unsigned(rt / (dt + 1));
  if (q) *r = w_sub(*r, w_mul_u64(d, q));
  while (w_ucmp(*r, d) >= 0) {
    *r = w_sub(*r, d);
    ++q;
  }
  return q;
}

void report_overflow() { report(MSG_OVERFLOW, "", "", 0); }
void report_divide_by_zero() { report(MSG_DIVBYZERO, "", "", 0); }
[[noreturn]] void report_internal_here(InternalCode code, const char *arg) {
  report(code, arg, "", 0);
  flush_and_exit(9);
}

// Signed product of a and b, reduced to 168 bits; true when it does not fit.
bool w_mul_signed(const W &a, const W &b, W *out) {
  bool negative = w_neg(a) != w_neg(b);
  uint64_t p[6];
  w_mul_full(w_abs(a), w_abs(b), p);
  W low = {{p[0], p[1], p[2] & TOP_MASK}};
  bool high = (p[2] >> 40) != 0 || p[3] || p[4] || p[5];
  // |result| may reach 2^167 only when the result is negative.
  bool overflow = high || (w_neg(low) && !(negative && w_ucmp(low, w_shl(make(1), 167)) == 0));
  *out = negative ? w_negate(low) : low;
  return overflow;
}

int64_t sat_add(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_add_overflow(a, b, &r)) return b > 0 ? INT64_MAX : INT64_MIN;
  return r;
}

int64_t sat_sub(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_sub_overflow(a, b, &r)) return b < 0 ? INT64_MAX : INT64_MIN;
  return r;
}

BigInt digit_value(int d) {
  BigInt v{};
  v.byte[1] = uint8_t(d);
  return v;
}

}  // namespace

const BigInt pint_zero = {};
const BigReal real_zero = {0, {}, 0};
const BigInt pint_digits[10] = {digit_value(0), digit_value(1), digit_value(2), digit_value(3),
                                digit_value(4), digit_value(5), digit_value(6), digit_value(7),
                                digit_value(8), digit_value(9)};

// ---- BigInt -------------------------------------------------------------

void pint_from_int(BigInt *out, int32_t value) { pint_from_int64(out, value); }

void pint_from_int64(BigInt *out, int64_t value) {
  uint64_t u = uint64_t(value);
  uint64_t fill = value < 0 ? ~uint64_t(0) : 0;
  store(out, W{{u, fill, fill & TOP_MASK}});
}

void pint_to_int(int32_t *out, const BigInt *value) {
  W v = load(value);
  W m = w_abs(v);
  // The most negative 32-bit value has no positive counterpart but fits.
  const uint64_t limit = w_neg(v) ? 0x80000000u : 0x7FFFFFFFu;
  if (m.w[2] || m.w[1] || m.w[0] > limit) {
    report_overflow();
    *out = 0;
    return;
  }
  const uint32_t u = uint32_t(m.w[0]);
  *out = int32_t(w_neg(v) ? 0u - u : u);
}

bool pint_is_zero(const BigInt *value) { return w_zero(load(value)); }
bool pint_is_negative(const BigInt *value) { return value->byte[0] & 0x80; }

void pint_add(BigInt *out, const BigInt *a, const BigInt *b) {
  W x = load(a), y = load(b);
  W r = w_add(x, y);
  bool overflow = w_neg(x) == w_neg(y) && w_neg(r) != w_neg(x);
  store(out, r);
  if (overflow) report_overflow();
}

void pint_add_small(BigInt *out, const BigInt *a, int32_t n) {
  BigInt b;
  pint_from_int(&b, n);
  pint_add(out, a, &b);
}

void pint_sub(BigInt *out, const BigInt *a, const BigInt *b) {
  W x = load(a), y = load(b);
  W r = w_sub(x, y);
  bool overflow = w_neg(x) != w_neg(y) && w_neg(r) != w_neg(x);
  store(out, r);
  if (overflow) report_overflow();
}

void pint_mul_small(BigInt *out, const BigInt *a, int32_t n) {
  BigInt b;
  pint_from_int(&b, n);
  pint_mul(out, a, &b);
}

void pint_mul(BigInt *out, const BigInt *a, const BigInt *b) {
  W r;
  bool overflow = w_mul_signed(load(a), load(b), &r);
  store(out, r);
  if (overflow) report_overflow();
}

void pint_divmod(BigInt *quotient, const BigInt *a, const BigInt *b, BigInt *remainder) {
  W x = load(a), y = load(b);
  if (w_zero(y)) {
    *quotient = pint_zero;
    *remainder = pint_zero;
    report_divide_by_zero();
    return;
  }
  W ux = w_abs(x), uy = w_abs(y), q, r;
  w_udivmod(ux, uy, &q, &r);
  bool overflow = false;
  if (w_neg(x) != w_neg(y)) {
    // Floor division: round the quotient down, keep the remainder positive.
    if (w_zero(r)) {
      q = w_negate(q);
    } else {
      r = w_sub(uy, r);
      q = w_sub(w_negate(make(1)), q);
    }
  } else {
    overflow = w_neg(q);  // only -2^167 / -1
  }
  store(quotient, q);
  store(remainder, r);
  if (overflow) report_overflow();
}

void div_euclid_pint(BigInt *out, const BigInt *a, int32_t d, int32_t *remainder) {
  if (d < 1 || d > 255) report_internal_here(MSG_ERRINTFCT, "redizo div_euclid_pint");
  W q, r;
  w_udivmod(load(a), make(uint64_t(d)), &q, &r);
  store(out, q);
  if (remainder) *remainder = int32_t(r.w[0]);
}

int pint_compare(const BigInt *a, const BigInt *b) {
  W x = load(a), y = load(b);
  if (w_neg(x) != w_neg(y)) return w_neg(x) ? -1 : 1;
  return w_ucmp(x, y);
}

void pint_and(BigInt *out, const BigInt *a, const BigInt *b) {
  for (int i = 0; i < PINT_BYTES; ++i) out->byte[i] = a->byte[i] & b->byte[i];
}

void pint_or(BigInt *out, const BigInt *a, const BigInt *b) {
  for (int i = 0; i < PINT_BYTES; ++i) out->byte[i] = a->byte[i] | b->byte[i];
}

void pint_xor(BigInt *out, const BigInt *a, const BigInt *b) {
  for (int i = 0; i < PINT_BYTES; ++i) out->byte[i] = a->byte[i] ^ b->byte[i];
}

void pint_not(BigInt *out, const BigInt *a) {
  for (int i = 0; i < PINT_BYTES; ++i) out->byte[i] = uint8_t(~a->byte[i]);
}

void pint_logical_not(BigInt *out, const BigInt *a) { *out = pint_digits[pint_is_zero(a) ? 1 : 0]; }

// The shift distance: -1 for a negative count, 168 for any count of 168 or
// more (so that no distance can reach past the value).
static int shift_distance(const BigInt *count) {
  if (pint_is_negative(count)) return -1;
  W c = load(count);
  if (c.w[1] || c.w[2] || c.w[0] >= uint64_t(PINT_BITS)) return PINT_BITS;
  return int(c.w[0]);
}

void pint_shift_left(BigInt *out, const BigInt *a, const BigInt *count) {
  int n = shift_distance(count);
  if (n < 0 || n >= PINT_BITS) {
    *out = pint_zero;
    return;
  }
  store(out, w_shl(load(a), n));
}

void pint_shift_right(BigInt *out, const BigInt *a, const BigInt *count) {
  int n = shift_distance(count);
  if (n < 0) {
    *out = pint_zero;
    return;
  }
  W v = load(a);
  if (n >= PINT_BITS) {
    store(out, w_neg(v) ? w_negate(make(1)) : W_ZERO);
    return;
  }
  store(out, w_sar(v, n));
}

void pint_sign_extend(BigInt *value, int n) {
  if (n >= PINT_BITS) return;
  if (n <= 0) {
    *value = pint_zero;
    return;
  }
  W v = w_shl(load(value), PINT_BITS - n);
  store(value, w_sar(v, PINT_BITS - n));
}

void pint_truncate(BigInt *value, int n) {
  if (n >= PINT_BITS) return;
  if (n <= 0) {
    *value = pint_zero;
    return;
  }
  store(value, w_and(load(value), w_mask(n)));
}

bool pint_fits(const BigInt *value, int p, bool fill) {
  if (p >= PINT_BITS - 1) return true;
  W v = load(value);
  if (p < 0) return w_ucmp(v, fill ? w_not(W_ZERO) : W_ZERO) == 0;
  W r = w_sar(v, p);  // bit p and everything above it
  return w_zero(r) || w_ucmp(r, w_not(W_ZERO)) == 0;
}

void pint_image(const BigInt *value, int kind, int width, char *out) {
  static const char HEX[] = "0123456789ABCDEF";
  out[0] = '\0';
  char *p = out;
  switch (kind) {
    case PI_DECIMAL:
    case PI_DECIMAL_TOO:
    case PI_DECIMAL_ALSO: {
      W v = load(value);
      if (w_neg(v)) *p++ = '-';
      char digits[64];
      int n = w_decimal_digits(w_abs(v), digits);
      if (n == 0) *p++ = '0';
      while (n > 0) *p++ = char('0' + digits[--n]);
      *p = '\0';
      return;
    }
    case PI_HEX_SUFFIX:
    case PI_BINARY_SUFFIX:
    case PI_BINARY_PREFIX:
    case PI_HEX_PREFIX:
      break;
    default:
      report_internal_here(MSG_TRFSTRINT, "redizo pint_image");
  }

  const long bits = width < 0 ? -long(width) : long(width);
  const long nbytes = (bits + 7) / 8;
  if (nbytes > PINT_BYTES) {
    report_overflow();
    return;
  }
  const bool hex = kind == PI_HEX_SUFFIX || kind == PI_HEX_PREFIX;
  // Bytes in writing order (most significant first).
  int order[PINT_BYTES];
  int count = 0;
  if (nbytes >= 1 && nbytes <= 20) {
    // Bytes above the width are written from the highest significant one, so
    // that a value wider than its type is not shown cut; the sign byte 0
    // counts as the highest of all.
    int top = int(nbytes);
    bool from_sign_byte = false;
    if (hex) {
      auto significant = [&](int k, int lower) {
        uint8_t b = value->byte[k];
        return b != 0x00 && !(b == 0xFF && value->byte[lower] >= 0x80);
      };
      if (significant(0, 20)) {
        from_sign_byte = true;
        top = 20;
      } else {
        for (int k = 20; k > top; --k)
          if (significant(k, k - 1)) {
            top = k;
            break;
          }
      }
    }
    if (from_sign_byte) order[count++] = 0;
    for (int k = top; k >= 1; --k) order[count++] = k;
  } else {
    const uint8_t b0 = value->byte[0];
    order[count++] = 0;
    int k = 20;
    if (nbytes == 0 && (b0 == 0x00 || b0 == 0xFF))
      while (k >= 1 && value->byte[k] == b0) --k;
    for (; k >= 1; --k) order[count++] = k;
  }

  if (kind == PI_HEX_PREFIX) {
    *p++ = '0';
    *p++ = 'x';
  } else if (kind == PI_BINARY_PREFIX) {
    *p++ = '0';
    *p++ = 'b';
  }
  if (hex) {
    // A number must not start with a letter, or it would read as a name.
    if ((value->byte[order[0]] >> 4) >= 10) *p++ = '0';
    for (int i = 0; i < count; ++i) {
      uint8_t b = value->byte[order[i]];
      *p++ = HEX[b >> 4];
      *p++ = HEX[b & 15];
    }
  } else {
    for (int i = 0; i < count; ++i) {
      uint8_t b = value->byte[order[i]];
      for (int bit = 7; bit >= 0; --bit) *p++ = char('0' + ((b >> bit) & 1));
    }
  }
  if (kind == PI_HEX_SUFFIX)
    *p++ = 'H';
  else if (kind == PI_BINARY_SUFFIX)
    *p++ = 'B';
  *p = '\0';
}

std::string pint_image(const BigInt *value, int kind, int width) {
  char buf[PINT_IMAGE_SIZE];
  pint_image(value, kind, width, buf);
  return buf;
}

int32_t text_to_int(const char *text) {
  std::size_t end = 0;
  while (text[end] != '\0' && text[end] != ' ' && text[end] != '\t') ++end;
  uint32_t value = 0;
  if (end > 0 && (text[end - 1] == 'H' || text[end - 1] == 'h')) {
    for (std::size_t i = 0; i + 1 < end; ++i) {
      char c = text[i];
      unsigned d;
      if (c >= '0' && c <= '9')
        d = unsigned(c - '0');
      else if (c >= 'A' && c <= 'F')
        d = unsigned(c - 'A' + 10);
      else if (c >= 'a' && c <= 'f')
        d = unsigned(c - 'a' + 10);
      else
        break;
      value = value * 16u + d;
    }
  } else {
    for (std::size_t i = 0; i < end && text[i] >= '0' && text[i] <= '9'; ++i)
      value = value * 10u + unsigned(text[i] - '0');
  }
  return int32_t(value);
}

// ---- BigReal ------------------------------------------------------------

namespace {

bool real_zero_mantissa(const BigReal &v) { return w_zero(load(&v.mantissa)); }

BigReal normalised(const BigReal *v) {
  BigReal r = *v;
  real_normalise(&r);
  return r;
}

}  // namespace

void real_normalise(BigReal *value) {
  W m = load(&value->mantissa);
  if (w_zero(m)) {
    *value = real_zero;
    return;
  }
  int32_t negative = value->negative ? 1 : 0;
  if (w_neg(m)) {
    m = w_negate(m);
    negative ^= 1;
  }
  int64_t e = value->exponent;
  while (w_top_byte(m) >= 10) {
    w_div10(&m);
    e = sat_add(e, 1);
  }
  while (w_top_byte(m) == 0) {
    m = w_mul10(m);
    e = sat_sub(e, 1);
  }
  value->negative = negative;
  store(&value->mantissa, m);
  value->exponent = e;
}

void real_from_pint(BigReal *out, const BigInt *value) {
  W v = load(value);
  const int32_t negative = w_neg(v) ? 1 : 0;
  char digits[64];
  const int n = w_decimal_digits(w_abs(v), digits);
  W m = W_ZERO;
  for (int i = 0; i < n; ++i) {
    if (w_div10(&m) >= 5 && ++m.w[0] == 0 && ++m.w[1] == 0) ++m.w[2];
    m.w[2] += uint64_t(digits[i]) << 32;  // m is below 2^161 here: no carry out
  }
  out->negative = negative;
  store(&out->mantissa, m);
  out->exponent = n;
  real_normalise(out);
}

void real_add(BigReal *out, const BigReal *a, const BigReal *b) {
  BigReal x = normalised(a), y = normalised(b);
  if (real_zero_mantissa(x)) {
    *out = y;
    return;
  }
  if (real_zero_mantissa(y)) {
    *out = x;
    return;
  }
  // Only the smaller operand is scaled, down towards the larger exponent;
  // once its digits are all gone further division changes nothing.
  BigReal *small = x.exponent < y.exponent ? &x : &y;
  const int64_t target = x.exponent < y.exponent ? y.exponent : x.exponent;
  W ms = load(&small->mantissa);
  // (Nine truncating divisions by ten are one by 10^9.)
  for (int64_t e = small->exponent; e < target && !w_zero(ms);) {
    if (uint64_t(target) - uint64_t(e) >= 9) {  // the distance may exceed INT64_MAX
      w_div_billion(&ms);
      e += 9;
    } else {
      w_div10(&ms);
      ++e;
    }
  }
  store(&small->mantissa, ms);
  small->exponent = target;

  W mx = load(&x.mantissa), my = load(&y.mantissa);
  BigReal r;
  r.exponent = target;
  if (x.negative == y.negative) {
    r.negative = x.negative;
    store(&r.mantissa, w_add(mx, my));
  } else {
    r.negative = 0;
    store(&r.mantissa, x.negative ? w_sub(my, mx) : w_sub(mx, my));
  }
  real_normalise(&r);
  *out = r;
}

void real_sub(BigReal *out, const BigReal *a, const BigReal *b) {
  BigReal y = normalised(b);
  if (real_zero_mantissa(y)) {
    *out = normalised(a);
    return;
  }
  y.negative ^= 1;
  real_add(out, a, &y);
}

void real_mul(BigReal *out, const BigReal *a, const BigReal *b) {
  BigReal x = normalised(a), y = normalised(b);
  if (real_zero_mantissa(x) || real_zero_mantissa(y)) {
    *out = real_zero;
    return;
  }
  uint64_t p[6];
  w_mul_full(load(&x.mantissa), load(&y.mantissa), p);
  // Drop the 160 fraction bits of one factor: limbs from bit 160 upward.
  W m = {{(p[2] >> 32) | (p[3] << 32), (p[3] >> 32) | (p[4] << 32), ((p[4] >> 32) | (p[5] << 32)) & TOP_MASK}};
  BigReal r;
  r.negative = x.negative != y.negative ? 1 : 0;
  store(&r.mantissa, m);
  r.exponent = sat_sub(sat_add(x.exponent, y.exponent), 1);
  real_normalise(&r);
  *out = r;
}

void real_div(BigReal *out, const BigReal *a, const BigReal *b) {
  BigReal x = normalised(a), y = normalised(b);
  if (real_zero_mantissa(y)) {
    report_divide_by_zero();
    return;
  }
  if (real_zero_mantissa(x)) {
    *out = real_zero;
    return;
  }
  // Decimal long division: one quotient digit per round until the quotient
  // has reached the mantissa's integer byte.
  const W d = load(&y.mantissa);
  W r = load(&x.mantissa);
  W q = make(w_quotient_digit(&r, d));
  const int first = w_zero(q) ? 0 : 1;
  while (w_top_byte(q) == 0) {
    r = w_mul10(r);
    q = w_mul_add(q, 10, w_quotient_digit(&r, d));
  }
  BigInt qi;
  store(&qi, q);
  BigReal res;
  real_from_pint(&res, &qi);
  res.exponent = sat_add(sat_sub(x.exponent, y.exponent), first);
  res.negative = x.negative != y.negative ? 1 : 0;
  *out = res;
}

int32_t real_compare(const BigReal *a, const BigReal *b) {
  BigReal x = normalised(a), y = normalised(b);
  bool zx = real_zero_mantissa(x), zy = real_zero_mantissa(y);
  if (zx && zy) return 0;
  if (zx) return y.negative ? 1 : -1;
  if (zy) return x.negative ? -1 : 1;
  if (x.negative != y.negative) return x.negative ? -1 : 1;
  int c;
  if (x.exponent != y.exponent)
    c = x.exponent < y.exponent ? -1 : 1;
  else
    c = w_ucmp(load(&x.mantissa), load(&y.mantissa));
  return x.negative ? -c : c;
}

void real_logical_not(BigInt *out, const BigReal *a) {
  *out = pint_digits[real_zero_mantissa(*a) ? 1 : 0];
}

void real_from_text(BigReal *out, const char *text) {
  // Integer digits beyond the 168-bit range are dropped and counted in the
  // exponent instead of wrapping.
  static const W LIMIT = [] {
    W q, r, max = w_sub(w_shl(make(1), 167), make(10));
    w_udivmod(max, make(10), &q, &r);
    return q;
  }();
  const char *p = text;
  W x = W_ZERO;
  int64_t dropped = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (w_ucmp(x, LIMIT) <= 0)
      x = w_add(w_mul10(x), make(unsigned(*p - '0')));
    else
      dropped = sat_add(dropped, 1);
  }
  BigInt xi;
  store(&xi, x);
  BigReal r;
  real_from_pint(&r, &xi);
  if (!real_zero_mantissa(r)) r.exponent = sat_add(r.exponent, dropped);
  if (*p == '.') {
    ++p;
    for (int64_t position = 1; *p >= '0' && *p <= '9'; ++p, position = sat_add(position, 1)) {
      if (*p == '0') continue;
      BigReal digit;
      real_from_pint(&digit, &pint_digits[*p - '0']);
      digit.exponent = sat_sub(digit.exponent, position);
      real_add(&r, &r, &digit);
    }
  }
  if (*p == 'e' || *p == 'E') {
    ++p;
    bool minus = false;
    if (*p == '+' || *p == '-') minus = *p++ == '-';
    int64_t power = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
      power = power > INT64_MAX / 10 - 9 ? INT64_MAX : power * 10 + (*p - '0');
    if (!real_zero_mantissa(r)) r.exponent = minus ? sat_sub(r.exponent, power) : sat_add(r.exponent, power);
  }
  *out = r;
}

void real_image(const BigReal *value, char *out, int digits) {
  if (digits < 1 || digits > 19) digits = 19;
  BigReal v = normalised(value);
  if (real_zero_mantissa(v)) {
    std::strcpy(out, "0.0");
    return;
  }
  char text[24];
  int n = 0;
  W m = load(&v.mantissa);
  while (!w_zero(m) && n < digits) {
    text[n++] = char('0' + w_top_byte(m));
    m.w[2] &= (uint64_t(1) << 32) - 1;
    m = w_mul10(m);
  }
  int64_t e = v.exponent;
  // The binary mantissa leaves runs such as ...1999999 or ...2000001 where
  // the decimal value ends; the last written digit decides.
  if (n == digits && n >= 2) {
    char last = text[n - 1], before = text[n - 2];
    if (last >= '7' && before == '9') {
      --n;
      while (n > 0 && text[n - 1] == '9') --n;
      if (n == 0) {
        text[n++] = '1';
        e = sat_add(e, 1);
      } else {
        ++text[n - 1];
      }
    } else if (last <= '3' && before == '0') {
      --n;
      while (n > 1 && text[n - 1] == '0') --n;
    }
  }
  char *p = out;
  if (v.negative) *p++ = '-';
  *p++ = '0';
  *p++ = '.';
  std::memcpy(p, text, std::size_t(n));
  p += n;
  if (e != 0)
    std::snprintf(p, std::size_t(REAL_IMAGE_SIZE - (p - out)), "E%lld", static_cast<long long>(e));
  else
    *p = '\0';
}

std::string real_image(const BigReal *value, int digits) {
  char buf[REAL_IMAGE_SIZE];
  real_image(value, buf, digits);
  return buf;
}

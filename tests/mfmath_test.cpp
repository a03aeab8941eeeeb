#include "mfmath.h"

#include "merror.h"

#include <QString>
#include <fcntl.h>
#include <gmp.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <random>
#include <string>

// The integer operations are checked against GMP as the reference: exact
// results on random operands of every size and sign, then reduced to 168
// bits, with the overflow report expected exactly when the exact result
// leaves -2^167 .. 2^167-1.

namespace {

constexpr int CASES = 100000;

struct Z {
  mpz_t v;
  Z() { mpz_init(v); }
  ~Z() { mpz_clear(v); }
  Z(const Z &) = delete;
  Z &operator=(const Z &) = delete;
};

struct Limits {
  Z two168, min, max;
  Limits() {
    mpz_ui_pow_ui(two168.v, 2, 168);
    mpz_ui_pow_ui(max.v, 2, 167);
    mpz_neg(min.v, max.v);
    mpz_sub_ui(max.v, max.v, 1);
  }
};
const Limits &lim() {
  static Limits l;
  return l;
}

void to_mpz(mpz_t out, const BigInt &a) {
  uint8_t be[21];
  be[0] = a.byte[0];
  for (int k = 1; k <= 20; ++k) be[21 - k] = a.byte[k];
  mpz_import(out, 21, 1, 1, 0, 0, be);
  if (a.byte[0] & 0x80) mpz_sub(out, out, lim().two168.v);
}

BigInt from_mpz(const mpz_t v) {  // v mod 2^168
  static Z t;
  mpz_fdiv_r_2exp(t.v, v, 168);
  uint8_t be[21] = {};
  size_t n = 0;
  mpz_export(be + 21 - (mpz_sizeinbase(t.v, 256)), &n, 1, 1, 0, 0, t.v);
  BigInt r;
  r.byte[0] = be[0];
  for (int k = 1; k <= 20; ++k) r.byte[k] = be[21 - k];
  return r;
}

bool in_range(const mpz_t v) { return mpz_cmp(v, lim().min.v) >= 0 && mpz_cmp(v, lim().max.v) <= 0; }

BigInt from_i64(int64_t v) {
  BigInt r;
  pint_from_int64(&r, v);
  return r;
}

bool same(const BigInt &a, const BigInt &b) { return std::memcmp(a.byte, b.byte, 21) == 0; }
bool same(const BigReal &a, const BigReal &b) {
  return a.negative == b.negative && a.exponent == b.exponent && same(a.mantissa, b.mantissa);
}

// Boundaries and every size: random 168 bits shifted down by a random
// amount (so both signs and all magnitudes occur), or a boundary value.
BigInt random_pint(std::mt19937_64 &rng) {
  BigInt r;
  unsigned mode = rng() % 10;
  if (mode == 0) {
    static const int64_t small[] = {0, 1, -1, 2, -2, 9, 10, 127, 128, -128, 255, 256, INT32_MAX, INT32_MIN};
    return from_i64(small[rng() % (sizeof small / sizeof small[0])]);
  }
  if (mode == 1) {
    Z v;
    mpz_ui_pow_ui(v.v, 2, rng() % 168);
    switch (rng() % 4) {
      case 0: mpz_sub_ui(v.v, v.v, 1); break;
      case 1: mpz_neg(v.v, v.v); break;
      case 2: mpz_set(v.v, rng() % 2 ? lim().max.v : lim().min.v); break;
      default: break;
    }
    return from_mpz(v.v);
  }
  for (auto &b : r.byte) b = uint8_t(rng());
  BigInt count = from_i64(int64_t(rng() % 168));
  pint_shift_right(&r, &r, &count);
  return r;
}

// Descriptor 2 goes to /dev/null while the random loops raise thousands of
// overflow reports; the reports are still counted.
struct QuietStderr {
  int saved;
  QuietStderr() {
    std::fflush(stderr);
    saved = dup(2);
    int fd = open("/dev/null", O_WRONLY);
    dup2(fd, 2);
    close(fd);
  }
  ~QuietStderr() {
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
  }
};

class Redizo : public ::testing::Test {
 protected:
  void SetUp() override { reset_reporter(); }
  void TearDown() override { reset_reporter(); }
};

// Runs op and tells whether it raised exactly one report.
template <class F>
bool reported(F op) {
  int before = error_count();
  op();
  int n = error_count() - before;
  EXPECT_LE(n, 1);
  return n == 1;
}

TEST_F(Redizo, ArithmeticAgreesWithGmpIncludingOverflow) {
  QuietStderr quiet;
  std::mt19937_64 rng(20261207);
  Z x, y, e, q, r, t;
  for (int i = 0; i < CASES; ++i) {
    BigInt a = random_pint(rng), b = random_pint(rng), out, rem;
    to_mpz(x.v, a);
    to_mpz(y.v, b);
    auto operands = [&] { return pint_image(&a, 1, 0) + " , " + pint_image(&b, 1, 0); };

    mpz_add(e.v, x.v, y.v);
    ASSERT_EQ(reported([&] { pint_add(&out, &a, &b); }), !in_range(e.v)) << operands();
    ASSERT_TRUE(same(out, from_mpz(e.v))) << operands();

    mpz_sub(e.v, x.v, y.v);
    ASSERT_EQ(reported([&] { pint_sub(&out, &a, &b); }), !in_range(e.v)) << operands();
    ASSERT_TRUE(same(out, from_mpz(e.v))) << operands();

    mpz_mul(e.v, x.v, y.v);
    ASSERT_EQ(reported([&] { pint_mul(&out, &a, &b); }), !in_range(e.v)) << operands();
    ASSERT_TRUE(same(out, from_mpz(e.v))) << operands();

    int32_t n = rng() % 4 ? int32_t(rng() % 17) : int32_t(rng());
    mpz_mul_si(e.v, x.v, n);
    ASSERT_EQ(reported([&] { pint_mul_small(&out, &a, n); }), !in_range(e.v)) << operands();
    ASSERT_TRUE(same(out, from_mpz(e.v))) << operands();
    mpz_set_si(t.v, n);
    mpz_add(e.v, x.v, t.v);
    ASSERT_EQ(reported([&] { pint_add_small(&out, &a, n); }), !in_range(e.v)) << operands();
    ASSERT_TRUE(same(out, from_mpz(e.v))) << operands();

    if (mpz_sgn(y.v) == 0) {
      out = rem = a;
      ASSERT_TRUE(reported([&] { pint_divmod(&out, &a, &b, &rem); })) << operands();
      ASSERT_TRUE(pint_is_zero(&out) && pint_is_zero(&rem)) << operands();
    } else {
      mpz_fdiv_qr(q.v, r.v, x.v, y.v);
      mpz_abs(r.v, r.v);
      ASSERT_EQ(reported([&] { pint_divmod(&out, &a, &b, &rem); }), !in_range(q.v)) << operands();
      ASSERT_TRUE(same(out, from_mpz(q.v))) << operands();
      ASSERT_TRUE(same(rem, from_mpz(r.v))) << operands();
    }

    ASSERT_EQ(pint_compare(&a, &b), mpz_cmp(x.v, y.v) < 0 ? -1 : mpz_cmp(x.v, y.v) > 0 ? 1 : 0) << operands();

    int32_t small;
    bool fits32 = mpz_cmp_si(x.v, INT32_MIN) >= 0 && mpz_cmp_si(x.v, INT32_MAX) <= 0;
    ASSERT_EQ(reported([&] { pint_to_int(&small, &a); }), !fits32) << operands();
    ASSERT_EQ(small, fits32 ? int32_t(mpz_get_si(x.v)) : 0) << operands();

    char text[PINT_IMAGE_SIZE];
    static const int kinds[] = {1, 3, 6};
    pint_image(&a, kinds[rng() % 3], int(rng() % 200) - 100, text);
    mpz_set_str(t.v, text, 10);
    ASSERT_EQ(mpz_cmp(t.v, x.v), 0) << text;

    int32_t d = int32_t(rng() % 255 + 1), drem;
    BigInt ua = a;
    ua.byte[0] &= 0x7F;  // meant for magnitudes
    to_mpz(t.v, ua);
    div_euclid_pint(&out, &ua, d, &drem);
    ASSERT_EQ(int32_t(mpz_fdiv_q_ui(e.v, t.v, unsigned(d))), drem) << operands();
    ASSERT_TRUE(same(out, from_mpz(e.v))) << operands();
  }
}

TEST_F(Redizo, BitOperationsShiftsAndWidthsAgreeWithGmp) {
  std::mt19937_64 rng(1207);
  Z x, y, e, t;
  for (int i = 0; i < CASES; ++i) {
    BigInt a = random_pint(rng), b = random_pint(rng), out;
    to_mpz(x.v, a);
    to_mpz(y.v, b);

    pint_and(&out, &a, &b), mpz_and(e.v, x.v, y.v);
    ASSERT_TRUE(same(out, from_mpz(e.v)));
    pint_or(&out, &a, &b), mpz_ior(e.v, x.v, y.v);
    ASSERT_TRUE(same(out, from_mpz(e.v)));
    pint_xor(&out, &a, &b), mpz_xor(e.v, x.v, y.v);
    ASSERT_TRUE(same(out, from_mpz(e.v)));
    pint_not(&out, &a), mpz_com(e.v, x.v);
    ASSERT_TRUE(same(out, from_mpz(e.v)));
    pint_logical_not(&out, &a);
    ASSERT_TRUE(same(out, pint_digits[mpz_sgn(x.v) == 0]));

    // Counts: mostly in range, some at and past the width, some negative.
    int64_t c = rng() % 4 ? int64_t(rng() % 170) : int64_t(rng() % 2 ? rng() % 100000 : -int64_t(rng() % 300));
    BigInt count = from_i64(c);
    pint_shift_left(&out, &a, &count);
    if (c < 0 || c >= 168)
      mpz_set_ui(e.v, 0);
    else
      mpz_mul_2exp(e.v, x.v, c);
    ASSERT_TRUE(same(out, from_mpz(e.v))) << c;
    pint_shift_right(&out, &a, &count);
    if (c < 0)
      mpz_set_ui(e.v, 0);
    else
      mpz_fdiv_q_2exp(e.v, x.v, c >= 168 ? 168 : c);
    ASSERT_TRUE(same(out, from_mpz(e.v))) << c;

    int w = int(rng() % 170);
    out = a;
    pint_truncate(&out, w);
    mpz_fdiv_r_2exp(e.v, x.v, w > 168 ? 168 : w);
    if (w >= 168) mpz_set(e.v, x.v);
    ASSERT_TRUE(same(out, from_mpz(e.v))) << w;
    out = a;
    pint_sign_extend(&out, w);
    if (w > 0 && w < 168 && mpz_tstbit(e.v, w - 1)) {
      mpz_ui_pow_ui(t.v, 2, w);
      mpz_sub(e.v, e.v, t.v);
    }
    ASSERT_TRUE(same(out, from_mpz(e.v))) << w;

    int p = int(rng() % 172) - 2;
    bool fill = rng() % 2;
    bool fits;
    if (p >= 167) {
      fits = true;
    } else if (p < 0) {
      fits = mpz_cmp_si(x.v, fill ? -1 : 0) == 0;
    } else {
      mpz_ui_pow_ui(t.v, 2, p);
      fits = mpz_cmpabs(x.v, t.v) < 0 || (mpz_sgn(x.v) < 0 && mpz_cmpabs(x.v, t.v) == 0);
    }
    ASSERT_EQ(pint_fits(&a, p, fill), fits) << p;
  }
}

TEST_F(Redizo, IntegerBoundariesAndExamples) {
  BigInt v, q, r;
  pint_from_int(&v, -1);
  for (uint8_t b : v.byte) EXPECT_EQ(b, 0xFF);
  int32_t n = 1;
  BigInt big = from_i64(int64_t(1) << 31);
  EXPECT_TRUE(reported([&] { pint_to_int(&n, &big); }));
  EXPECT_EQ(n, 0);
  big = from_i64(-(int64_t(1) << 31) + 1);
  pint_to_int(&n, &big);
  EXPECT_EQ(n, INT32_MIN + 1);
  big = from_i64(INT32_MIN);
  EXPECT_FALSE(reported([&] { pint_to_int(&n, &big); }));
  EXPECT_EQ(n, INT32_MIN);

  struct { int a, b, q, r; } div[] = {{7, -2, -4, 1}, {-7, 2, -4, 1}, {-7, -2, 3, 1}, {6, -3, -2, 0}, {7, 2, 3, 1}};
  for (auto c : div) {
    BigInt a = from_i64(c.a), b = from_i64(c.b);
    pint_divmod(&q, &a, &b, &r);
    EXPECT_TRUE(same(q, from_i64(c.q)) && same(r, from_i64(c.r))) << c.a << " / " << c.b;
  }
  // Outputs may be the operands themselves.
  BigInt a = from_i64(-7), b = from_i64(2);
  pint_divmod(&a, &a, &b, &b);
  EXPECT_TRUE(same(a, from_i64(-4)) && same(b, from_i64(1)));

  BigInt minus = from_i64(-5), eight = from_i64(8), x = from_i64(0x1234);
  pint_shift_left(&v, &x, &minus);
  EXPECT_TRUE(pint_is_zero(&v));
  pint_shift_left(&v, &x, &eight);
  EXPECT_TRUE(same(v, from_i64(0x123400)));
  v = from_i64(0x80);
  pint_sign_extend(&v, 8);
  EXPECT_TRUE(same(v, from_i64(-128)));
  v = from_i64(-1);
  pint_truncate(&v, 16);
  EXPECT_TRUE(same(v, from_i64(65535)));

  // Digit accumulation of a hexadecimal literal checked against __int128.
  unsigned __int128 ref = 0;
  v = pint_zero;
  for (int i = 0; i < 31; ++i) {
    int d = (i * 7 + 3) % 16;
    pint_mul_small(&v, &v, 16);
    pint_add_small(&v, &v, d);
    ref = ref * 16 + unsigned(d);
  }
  BigInt lo = v, hi = v, sixty_four = from_i64(64);
  pint_truncate(&lo, 64);
  pint_shift_right(&hi, &hi, &sixty_four);
  EXPECT_EQ(pint_image(&lo, 1, 0), std::to_string(uint64_t(ref)));
  EXPECT_EQ(pint_image(&hi, 1, 0), std::to_string(uint64_t(ref >> 64)));
  EXPECT_FALSE(pint_fits(&v, 64, false));
  EXPECT_TRUE(pint_fits(&v, 122, false));  // the leading digit 3 leaves 122 bits
  EXPECT_FALSE(pint_fits(&v, 121, false));
}

TEST_F(Redizo, ReportsCarryTheCodeWithoutPosition) {
  register_message(MSG_OVERFLOW, QString("%1Integer operation overflow %2"));
  register_message(MSG_DIVBYZERO, QString("%1Division by zero"));
  set_report_position("t.c", 12);
  BigInt max = from_i64(-1), one = pint_digits[1], out;
  pint_shift_right(&max, &max, &one);
  max.byte[0] = 0x7F;  // 2^167 - 1
  testing::internal::CaptureStderr();
  pint_add(&out, &max, &one);
  pint_divmod(&out, &one, &pint_zero, &out);
  BigReal x = real_zero, y = real_zero;
  real_from_pint(&x, &one);
  BigReal keep = x;
  real_div(&x, &x, &y);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ProbaX-E-OVERFLOW,  Integer operation overflow \n"
            "ProbaX-E-DIVBYZERO,  Division by zero\n"
            "ProbaX-E-DIVBYZERO,  Division by zero\n");
  EXPECT_EQ(error_count(), 3);
  EXPECT_TRUE(same(x, keep));
}

TEST_F(Redizo, InternalErrorsEndTheRun) {
  BigInt v = pint_digits[5];
  int32_t r;
  EXPECT_EXIT(div_euclid_pint(&v, &v, 0, &r), testing::ExitedWithCode(9), "ERRINTFCT.*redizo div_euclid_pint");
  EXPECT_EXIT(div_euclid_pint(&v, &v, 256, &r), testing::ExitedWithCode(9), "ERRINTFCT");
  for (int kind : {-1, 4, 5, 9}) {
    char text[PINT_IMAGE_SIZE];
    EXPECT_EXIT(pint_image(&v, kind, 8, text), testing::ExitedWithCode(9), "TRFSTRINT.*redizo pint_image");
  }
}

TEST_F(Redizo, ImageForms) {
  struct Case { int64_t v; int kind, width; const char *text; } cases[] = {
      {10, 8, 8, "0x0A"},       {10, 0, 8, "0AH"},        {-5, 1, 0, "-5"},          {0, 1, 0, "0"},
      {0, 0, 0, "00H"},         {-1, 0, 0, "0FFH"},       {1, 0, 0, "0001H"},        {-1, 0, 8, "0FFH"},
      {-1, 0, -16, "0FFFFH"},   {-128, 0, 8, "80H"},      {-129, 0, 8, "0FF7FH"},    {0x1234, 0, 8, "1234H"},
      {255, 8, 8, "0x0FF"},     {5, 2, 8, "00000101B"},   {5, 7, 16, "0b0000000000000101"},
      {-2, 2, 4, "11111110B"},  {0x1234, 2, 8, "00110100B"}, {6, 3, 32, "6"},        {-6, 6, 0, "-6"}};
  for (auto c : cases) {
    BigInt v = from_i64(c.v);
    EXPECT_EQ(pint_image(&v, c.kind, c.width), c.text) << c.v << " kind " << c.kind << " width " << c.width;
  }
  BigInt m = from_i64(1), shift = from_i64(165);
  pint_shift_left(&m, &m, &shift);  // only the sign byte is non-zero
  EXPECT_EQ(pint_image(&m, 0, 8), "20" + std::string(40, '0') + "H");
  m = from_i64(-1);
  EXPECT_EQ(pint_image(&m, 0, 168), "0" + std::string(42, 'F') + "H");
  EXPECT_TRUE(reported([&] { EXPECT_EQ(pint_image(&m, 0, 169), ""); }));

  // A value reduced to a width prints as exactly that many bytes, whether it
  // was truncated or sign-extended.
  std::mt19937_64 rng(77);
  Z x;
  for (int i = 0; i < CASES; ++i) {
    BigInt a = random_pint(rng), u = a, s = a;
    int w = 8 * int(1 + rng() % 20);
    pint_truncate(&u, w);
    pint_sign_extend(&s, w);
    to_mpz(x.v, u);
    char hex[64];
    gmp_snprintf(hex, sizeof hex, "%0*ZX", w / 4, x.v);
    std::string want = std::string(hex[0] > '9' ? "0" : "") + hex + "H";
    ASSERT_EQ(pint_image(&u, 0, w), want);
    ASSERT_EQ(pint_image(&s, 0, w), want);
    ASSERT_EQ(pint_image(&s, 8, -w), "0x" + want.substr(0, want.size() - 1));
    std::string bin(size_t(w), '0');
    for (int k = 0; k < w; ++k) bin[size_t(w - 1 - k)] = char('0' + mpz_tstbit(x.v, k));
    ASSERT_EQ(pint_image(&s, 2, w - 3), bin + "B");
  }
}

TEST_F(Redizo, TextToInt) {
  EXPECT_EQ(text_to_int("1Fh"), 31);
  EXPECT_EQ(text_to_int("12 34"), 12);
  EXPECT_EQ(text_to_int("12x"), 12);
  EXPECT_EQ(text_to_int(""), 0);
  EXPECT_EQ(text_to_int("ffH rest"), 255);
  EXPECT_EQ(text_to_int("4294967297"), 1);  // wraps, silently
  std::string longtext(5000, '1');
  longtext += 'H';
  EXPECT_EQ(uint32_t(text_to_int(longtext.c_str())), 0x11111111u);

  std::mt19937_64 rng(31);
  for (int i = 0; i < CASES; ++i) {
    uint64_t v = rng() >> (rng() % 64);
    char text[40];
    bool hex = rng() % 2;
    std::snprintf(text, sizeof text, hex ? "%llx%c %llu" : "%llu%c", static_cast<unsigned long long>(v),
                  hex ? (rng() % 2 ? 'h' : 'H') : (rng() % 2 ? ' ' : ';'), 7ull);
    ASSERT_EQ(uint32_t(text_to_int(text)), uint32_t(v)) << text;
  }
}

// Operands within 64 bits: the exact results fit __int128.
TEST_F(Redizo, AgreesWithInt128) {
  std::mt19937_64 rng(128);
  auto from_i128 = [](__int128 v) {
    BigInt r, hi = from_i64(int64_t(v >> 64)), shift = from_i64(64), lo = from_i64(int64_t(uint64_t(v)));
    pint_truncate(&lo, 64);
    pint_shift_left(&r, &hi, &shift);
    pint_or(&r, &r, &lo);
    return r;
  };
  for (int i = 0; i < CASES; ++i) {
    int64_t p = int64_t(rng()) >> (rng() % 64), q = int64_t(rng()) >> (rng() % 64);
    BigInt a = from_i64(p), b = from_i64(q), out, rem;
    __int128 x = p, y = q;
    pint_add(&out, &a, &b);
    ASSERT_TRUE(same(out, from_i128(x + y)));
    pint_sub(&out, &a, &b);
    ASSERT_TRUE(same(out, from_i128(x - y)));
    pint_mul(&out, &a, &b);
    ASSERT_TRUE(same(out, from_i128(x * y)));
    if (q != 0) {
      __int128 fq = x / y - ((x % y != 0) && ((x < 0) != (y < 0)));
      __int128 fr = x - fq * y;
      pint_divmod(&out, &a, &b, &rem);
      ASSERT_TRUE(same(out, from_i128(fq)) && same(rem, from_i128(fr < 0 ? -fr : fr))) << p << " / " << q;
    }
  }
  EXPECT_EQ(error_count(), 0);
}

// ---- BigReal ------------------------------------------------------------

// Reference values at 512 bits: far finer than the library's 2^-160.
struct F {
  mpf_t v;
  F() { mpf_init2(v, 512); }
  ~F() { mpf_clear(v); }
  F(const F &) = delete;
  F &operator=(const F &) = delete;
};

const mpf_t &pow10(int64_t k) {
  static struct Table {
    F p[401];
    Table() {
      for (int k = 0; k <= 200; ++k) {
        mpf_set_ui(p[200 + k].v, 10);
        mpf_pow_ui(p[200 + k].v, p[200 + k].v, unsigned(k));
        mpf_ui_div(p[200 - k].v, 1, p[200 + k].v);
      }
    }
  } t;
  return t.p[200 + k].v;
}

void real_value(mpf_t out, const BigReal &r) {
  static Z m;
  to_mpz(m.v, r.mantissa);
  mpf_set_z(out, m.v);
  mpf_div_2exp(out, out, 160);
  mpf_mul(out, out, pow10(r.exponent - 1));
  if (r.negative) mpf_neg(out, out);
}

// |got - want| <= bound
bool within(const mpf_t got, const mpf_t want, const mpf_t bound) {
  static F d;
  mpf_sub(d.v, got, want);
  mpf_abs(d.v, d.v);
  return mpf_cmp(d.v, bound) <= 0;
}

bool close_relative(const BigReal &got, const mpf_t want, int64_t digits) {
  static F g, b;
  real_value(g.v, got);
  mpf_abs(b.v, want);
  mpf_mul(b.v, b.v, pow10(-digits));
  return within(g.v, want, b.v);
}

bool is_normalised(const BigReal &r) {
  if (pint_is_zero(&r.mantissa)) return r.negative == 0 && r.exponent == 0;
  return r.mantissa.byte[0] >= 1 && r.mantissa.byte[0] <= 9 && (r.negative == 0 || r.negative == 1);
}

BigReal random_real(std::mt19937_64 &rng) {
  BigReal r = real_zero;
  switch (rng() % 10) {
    case 0:
      return r;
    case 1: {
      BigInt v = from_i64(int64_t(rng() % 2000) - 1000);
      real_from_pint(&r, &v);
      return r;
    }
    default: {
      // A mantissa in [2^160, 10 x 2^160).
      static Z m, span, one;
      if (mpz_sgn(span.v) == 0) {
        mpz_ui_pow_ui(one.v, 2, 160);
        mpz_mul_ui(span.v, one.v, 9);
      }
      BigInt bits;
      for (auto &b : bits.byte) b = uint8_t(rng());
      bits.byte[0] &= 0x0F;
      to_mpz(m.v, bits);
      mpz_mod(m.v, m.v, span.v);
      mpz_add(m.v, m.v, one.v);
      r.mantissa = from_mpz(m.v);
      r.negative = int32_t(rng() % 2);
      r.exponent = int64_t(rng() % 61) - 30;
      return r;
    }
  }
}

TEST_F(Redizo, RealArithmeticAgreesWithReference) {
  QuietStderr quiet;
  std::mt19937_64 rng(5150);
  F va, vb, want, got, bound;
  Z sa, sb;
  for (int i = 0; i < CASES; ++i) {
    BigReal a = random_real(rng), b = random_real(rng), out;
    real_value(va.v, a);
    real_value(vb.v, b);
    const bool za = pint_is_zero(&a.mantissa), zb = pint_is_zero(&b.mantissa);
    const int64_t top = std::max(za ? -99 : a.exponent, zb ? -99 : b.exponent);

    // Alignment and normalisation each lose less than a unit of the larger
    // operand's last place (one place more after a carry).
    real_add(&out, &a, &b);
    ASSERT_TRUE(is_normalised(out));
    mpf_add(want.v, va.v, vb.v);
    real_value(got.v, out);
    mpf_div_2exp(bound.v, pow10(top), 159);
    ASSERT_TRUE(within(got.v, want.v, bound.v)) << real_image(&a, 19) << " + " << real_image(&b, 19);
    if (za) {
      ASSERT_TRUE(same(out, b));
    }

    real_sub(&out, &a, &b);
    ASSERT_TRUE(is_normalised(out));
    mpf_sub(want.v, va.v, vb.v);
    real_value(got.v, out);
    ASSERT_TRUE(within(got.v, want.v, bound.v)) << real_image(&a, 19) << " - " << real_image(&b, 19);

    real_mul(&out, &a, &b);
    ASSERT_TRUE(is_normalised(out));
    mpf_mul(want.v, va.v, vb.v);
    ASSERT_TRUE(close_relative(out, want.v, 46)) << real_image(&a, 19) << " * " << real_image(&b, 19);

    out = a;
    if (zb) {
      ASSERT_TRUE(reported([&] { real_div(&out, &a, &b); }));
      ASSERT_TRUE(same(out, a));
    } else {
      real_div(&out, &a, &b);
      ASSERT_TRUE(is_normalised(out));
      mpf_div(want.v, va.v, vb.v);
      ASSERT_TRUE(close_relative(out, want.v, 46)) << real_image(&a, 19) << " / " << real_image(&b, 19);
    }

    // Exact order: both as integers over a common power of ten.
    to_mpz(sa.v, a.mantissa);
    to_mpz(sb.v, b.mantissa);
    const int64_t low = std::min(a.exponent, b.exponent);
    static struct Powers {
      Z p[64];
      Powers() {
        for (unsigned k = 0; k < 64; ++k) mpz_ui_pow_ui(p[k].v, 10, k);
      }
    } ten;
    mpz_mul(sa.v, sa.v, ten.p[a.exponent - low].v);
    mpz_mul(sb.v, sb.v, ten.p[b.exponent - low].v);
    if (a.negative) mpz_neg(sa.v, sa.v);
    if (b.negative) mpz_neg(sb.v, sb.v);
    const int order = mpz_cmp(sa.v, sb.v);
    const int32_t c = real_compare(&a, &b);
    ASSERT_EQ(c < 0 ? -1 : c > 0 ? 1 : 0, order < 0 ? -1 : order > 0 ? 1 : 0);
    ASSERT_EQ(real_compare(&a, &a), 0);

    BigInt n = random_pint(rng);
    static Z nz;
    to_mpz(nz.v, n);
    real_from_pint(&out, &n);
    ASSERT_TRUE(is_normalised(out));
    mpf_set_z(want.v, nz.v);
    ASSERT_TRUE(close_relative(out, want.v, 47)) << pint_image(&n, 1, 0);
  }
}

TEST_F(Redizo, RealFromTextAgreesWithReference) {
  std::mt19937_64 rng(4242);
  F want;
  for (int i = 0; i < CASES; ++i) {
    std::string text;
    int whole = int(rng() % 26), frac = int(rng() % 26);
    if (whole + frac == 0) whole = 1;
    for (int k = 0; k < whole; ++k) text += char('0' + rng() % 10);
    if (frac || rng() % 2) text += '.';
    for (int k = 0; k < frac; ++k) text += char('0' + rng() % (k % 3 ? 10 : 2));
    if (rng() % 2) text += (rng() % 2 ? "e" : "E") + std::string(rng() % 2 ? "-" : "") + std::to_string(rng() % 40);
    BigReal r;
    real_from_text(&r, (text + "f").c_str());
    ASSERT_TRUE(is_normalised(r)) << text;
    mpf_set_str(want.v, text.c_str(), 10);
    ASSERT_TRUE(close_relative(r, want.v, 44)) << text << " -> " << real_image(&r, 19);
  }
}

TEST_F(Redizo, RealExamplesAndImages) {
  BigReal x, y, z;
  BigInt n = from_i64(1500);
  real_from_text(&x, "1.5e3");
  real_from_pint(&y, &n);
  EXPECT_TRUE(same(x, y));
  EXPECT_EQ(real_image(&x, 19), "0.15E4");

  BigInt one = pint_digits[1], three = pint_digits[3];
  real_from_pint(&x, &one);
  real_from_pint(&y, &three);
  real_div(&z, &x, &y);
  EXPECT_EQ(z.exponent, 0);
  EXPECT_EQ(real_image(&z, 19), "0.3333333333333333333");
  EXPECT_EQ(real_image(&z, 0), "0.3333333333333333333");
  EXPECT_EQ(real_image(&z, 4), "0.3333");
  real_sub(&z, &x, &z);  // 2/3
  EXPECT_EQ(real_image(&z, 3), "0.666");
  real_sub(&z, &x, &x);
  EXPECT_TRUE(same(z, real_zero));
  EXPECT_EQ(real_image(&z, 19), "0.0");

  struct { std::string text, image; } images[] = {
      {"12", "0.12E2"},   {"0.1", "0.1"},     {"2000", "0.2E4"},  {"199", "0.199E3"},  {"1999", "0.1999E4"},
      {".5", "0.5"},      {"0.001", "0.1E-2"}, {"0.9999999999999999999999", "0.1E1"}, {"123.456", "0.123456E3"},
      {"1" + std::string(79, '0') + ".0", "0.1E80"}, {"5e", "0.5E1"}, {"7.0e+2x", "0.7E3"}, {"-1", "0.0"}};
  for (auto c : images) {
    BigReal r;
    EXPECT_FALSE(reported([&] { real_from_text(&r, c.text.c_str()); })) << c.text;
    EXPECT_EQ(real_image(&r, 19), c.image) << c.text;
  }
  // Integers of up to 17 digits print their own digits.
  std::mt19937_64 rng(99);
  for (int i = 0; i < CASES; ++i) {
    int64_t v = int64_t(rng() % 100000000000000000ull) >> (rng() % 57);
    if (v == 0) continue;
    if (rng() % 2) v = -v;
    BigInt b = from_i64(v);
    real_from_pint(&x, &b);
    std::string digits = std::to_string(v < 0 ? -v : v);
    std::string want = (v < 0 ? "-0." : "0.") + digits.substr(0, digits.find_last_not_of('0') + 1) + "E" +
                       std::to_string(digits.size());
    ASSERT_EQ(real_image(&x, 19), want);
  }

  // Sign handling of comparisons and the logical not.
  BigReal minus_one = x, two;
  real_from_text(&minus_one, "1");
  minus_one.negative = 1;
  real_from_text(&two, "2");
  EXPECT_LT(real_compare(&real_zero, &two), 0);
  EXPECT_GT(real_compare(&real_zero, &minus_one), 0);
  EXPECT_GT(real_compare(&two, &minus_one), 0);
  real_mul(&z, &minus_one, &two);
  EXPECT_LT(real_compare(&z, &minus_one), 0);
  EXPECT_EQ(real_image(&z, 19), "-0.2E1");
  real_logical_not(&n, &real_zero);
  EXPECT_TRUE(same(n, pint_digits[1]));
  real_logical_not(&n, &two);
  EXPECT_TRUE(pint_is_zero(&n));
  real_add(&two, &two, &two);
  EXPECT_EQ(real_image(&two, 19), "0.4E1");
}

TEST_F(Redizo, HugeExponentsStayCheapAndSaturate) {
  auto start = std::chrono::steady_clock::now();
  BigReal big, one, sum;
  real_from_text(&big, "1e2000000000");
  real_from_text(&one, "1.0");
  real_add(&sum, &big, &one);
  EXPECT_TRUE(same(sum, big));
  real_sub(&sum, &one, &big);
  EXPECT_EQ(real_image(&sum, 19), "-0.1E2000000001");
  real_mul(&sum, &big, &big);
  EXPECT_EQ(sum.exponent, 4000000001);
  real_div(&sum, &one, &big);
  EXPECT_EQ(real_image(&sum, 19), "0.1E-1999999999");

  real_from_text(&big, "9e99999999999999999999999");
  EXPECT_EQ(big.exponent, INT64_MAX);
  real_mul(&sum, &big, &big);
  EXPECT_EQ(sum.exponent, INT64_MAX);
  real_div(&sum, &one, &big);
  real_div(&sum, &sum, &big);
  EXPECT_EQ(sum.exponent, INT64_MIN);
  BigReal total;
  real_add(&total, &big, &sum);
  EXPECT_TRUE(same(total, big));
  real_sub(&total, &sum, &big);
  EXPECT_EQ(real_image(&total, 19), "-0.9E9223372036854775807");
  EXPECT_GT(real_compare(&big, &one), 0);

  std::string fraction = "0." + std::string(3000, '3');
  real_from_text(&sum, fraction.c_str());
  EXPECT_EQ(real_image(&sum, 19), "0.3333333333333333333");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace

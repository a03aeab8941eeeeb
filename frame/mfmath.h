// redizo: exact integer and decimal arithmetic wider than any C type the
// analyser meets, so that constants and constant expressions are evaluated
// exactly and the target width is checked afterwards.
//
// Every operation writes its result into the first argument (or the named
// out argument); a result may be the same record as an operand. Nothing
// allocates. Overflow is reported ("OVERFLOW", error) and the wrapped result
// is still stored; the caller goes on.
#pragma once
#include <cstdint>
#include <string>

// 168-bit two's-complement integer. byte[0] holds bits 160..167 and, read as
// a signed byte, the sign of the whole value; byte[1] holds bits 0..7 and
// byte[k] (k = 2..20) bits 8(k-1)..8(k-1)+7. Zero is 21 zero bytes.
struct BigInt {
  uint8_t byte[21];
};

constexpr int PINT_BYTES = 21;
constexpr int PINT_BITS = 168;

// Decimal floating value: (mantissa / 2^160) / 10 x 10^exponent, i.e.
// 0.d1d2d3... x 10^exponent. The mantissa is a non-negative fixed-point
// number with 160 fraction bits; normalised, its byte[0] (the integer part)
// is d1, 1 to 9. Zero is {0, 0, 0}. The exponent is 64-bit and saturates,
// so absurd literals such as 1e2000000000 stay cheap and exact in form.
struct BigReal {
  int32_t negative;  // 0 positive or zero, 1 negative
  BigInt mantissa;
  int64_t exponent;  // power of ten
};

extern const BigInt pint_zero;
extern const BigReal real_zero;
// pint_digits[d] is the integer d (0 to 9).
extern const BigInt pint_digits[10];

// ---- BigInt -------------------------------------------------------------

void pint_from_int(BigInt *out, int32_t value);
void pint_from_int64(BigInt *out, int64_t value);
// Values outside the 32-bit range report "OVERFLOW" and give 0.
void pint_to_int(int32_t *out, const BigInt *value);

bool pint_is_zero(const BigInt *value);
bool pint_is_negative(const BigInt *value);

void pint_add(BigInt *out, const BigInt *a, const BigInt *b);
void pint_add_small(BigInt *out, const BigInt *a, int32_t n);
// Negation is pint_sub from pint_zero.
void pint_sub(BigInt *out, const BigInt *a, const BigInt *b);
void pint_mul_small(BigInt *out, const BigInt *a, int32_t n);
void pint_mul(BigInt *out, const BigInt *a, const BigInt *b);
// quotient = floor(a / b), remainder = |a - quotient x b| (never negative).
// b == 0 reports "DIVBYZERO" and leaves both outputs zero.
void pint_divmod(BigInt *quotient, const BigInt *a, const BigInt *b, BigInt *remainder);
// a (read as an unsigned magnitude) divided by d, 1 <= d <= 255; any other d
// is an internal error. remainder may be null.
void div_euclid_pint(BigInt *out, const BigInt *a, int32_t d, int32_t *remainder);

// -1, 0 or 1 (signed comparison).
int pint_compare(const BigInt *a, const BigInt *b);

void pint_and(BigInt *out, const BigInt *a, const BigInt *b);
void pint_or(BigInt *out, const BigInt *a, const BigInt *b);
void pint_xor(BigInt *out, const BigInt *a, const BigInt *b);
void pint_not(BigInt *out, const BigInt *a);
void pint_logical_not(BigInt *out, const BigInt *a);
// A negative count gives zero; a count of 168 or more gives zero (left) or
// all sign bits (right).
void pint_shift_left(BigInt *out, const BigInt *a, const BigInt *count);
void pint_shift_right(BigInt *out, const BigInt *a, const BigInt *count);

// Narrowing in place to a signed / unsigned type of n bits.
void pint_sign_extend(BigInt *value, int n);
void pint_truncate(BigInt *value, int n);
// True when every bit above position p equals bit p (p >= 167: always).
// When p < 0 every bit must equal fill. pint_fits(v, n, ...) for a
// non-negative v: fits an unsigned n-bit type; pint_fits(v, n-1, ...): fits
// a signed n-bit type.
bool pint_fits(const BigInt *value, int p, bool fill);

// Forms of pint_image. The decimal form answers to three numbers, which
// callers have used alike.
enum PintImageKind : int {
  PI_HEX_SUFFIX = 0,     // "0AH"
  PI_DECIMAL = 1,        // "-5"
  PI_BINARY_SUFFIX = 2,  // "00000101B"
  PI_DECIMAL_TOO = 3,
  PI_DECIMAL_ALSO = 6,
  PI_BINARY_PREFIX = 7,  // "0b00000101"
  PI_HEX_PREFIX = 8      // "0x0A"
};

// Text of value in the form kind (a PintImageKind). width in bits (its
// absolute value is used) selects the bytes written for the hexadecimal and
// binary forms. out must hold PINT_IMAGE_SIZE bytes. Any other kind is an
// internal error.
constexpr int PINT_IMAGE_SIZE = 176;
void pint_image(const BigInt *value, int kind, int width, char *out);
std::string pint_image(const BigInt *value, int kind, int width);

// Plain 32-bit integer from decimal digits, or hexadecimal digits when the
// last character before the first blank is 'H' or 'h'. Wraps silently.
int32_t text_to_int(const char *text);

// ---- BigReal ------------------------------------------------------------

void real_normalise(BigReal *value);
void real_from_pint(BigReal *out, const BigInt *value);
void real_add(BigReal *out, const BigReal *a, const BigReal *b);
void real_sub(BigReal *out, const BigReal *a, const BigReal *b);
void real_mul(BigReal *out, const BigReal *a, const BigReal *b);
// b == 0 reports "DIVBYZERO" and leaves out untouched.
void real_div(BigReal *out, const BigReal *a, const BigReal *b);
// Negative, zero or positive as a is below, equal to or above b.
int32_t real_compare(const BigReal *a, const BigReal *b);
void real_logical_not(BigInt *out, const BigReal *a);
// Decimal floating literal without sign: digits, '.', digits, e/E, sign,
// digits. Any other character ends the conversion silently.
void real_from_text(BigReal *out, const char *text);
// At most digits (1..19, otherwise 19) significant digits: "0.0",
// "0.15E4", "-0.333". out must hold REAL_IMAGE_SIZE bytes.
constexpr int REAL_IMAGE_SIZE = 48;
void real_image(const BigReal *value, char *out, int digits);
std::string real_image(const BigReal *value, int digits);

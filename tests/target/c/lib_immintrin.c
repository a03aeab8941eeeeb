/* globals: lanes wide; functions: add4 */
#include <x86intrin.h>
#include <immintrin.h>
#include <emmintrin.h>
__m128 lanes;
__m512i wide;
__m128 add4(__m128 a, __m128 b) { return _mm_add_ps(a, b); }

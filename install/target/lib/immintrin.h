/* The compiler's immintrin.h, read without the four parts of it that
   declare again vector types another part has already declared: the
   analyser, unlike the compiler, reports every second declaration of a name.
   Their functions are all inline and of no use to a test script, which
   includes the compiler's own header anyway; the types only they declare
   are declared here. */
#ifndef _ORTEK_IMMINTRIN_H
#define _ORTEK_IMMINTRIN_H

#define _AVX512BWINTRIN_H_INCLUDED
#define _AVX512CDINTRIN_H_INCLUDED
#define _AVX512ERINTRIN_H_INCLUDED
#define _AVX512PFINTRIN_H_INCLUDED
typedef short __v32hi_u __attribute__ ((__vector_size__ (64), __may_alias__, __aligned__ (1)));
typedef char __v64qi_u __attribute__ ((__vector_size__ (64), __may_alias__, __aligned__ (1)));
typedef unsigned long long __mmask64;

#include_next <immintrin.h>

#endif

#if 0
#include "zero.h"
#endif
#ifdef X
#include "x.h"
#endif
#define A 1
#define B 1
#if A
#include "first.h"
#elif B
#include "second.h"
#else
#include "third.h"
#endif
#if 010 == 8
#include "hex.h"
#endif
int g;

/* Positions stay those of the source: continued definitions, built-in
   macros before a later include, a definition with a trailing comment. */
#include <assert.h>
#define REG_CTRL 0x10 /* control register */
#define REG_MASK 0x0F // low bits
#define SUM3(a, b, c) \
   ((a) +           \
    (b) +           \
    (c))
static const char *where = __FILE__;
static int at_line = __LINE__;
#include "regs.h"
int total = SUM3(1, 2, 3);
int check(int v)
{
  assert(v > 0);
  return v & REG_MASK;
}
int broken = ;
#define LONG_ONE(x) \
  (x)
int broken_too = ;

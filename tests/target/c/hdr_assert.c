/* globals: checked; functions: must_be_positive */
#include <assert.h>
int checked;
int must_be_positive(int v) { assert(v > 0); return v; }

/* globals: largest path_buffer; functions: saturate */
#include <limits.h>
long largest = LONG_MAX;
char path_buffer[PATH_MAX];
int saturate(long v) { return v > INT_MAX ? INT_MAX : (int)v; }

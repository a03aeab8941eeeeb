/* globals: calls; functions: sum_ints sum_list */
#include <stdarg.h>
int calls;
int sum_ints(int count, ...) { va_list ap; int s = 0; va_start(ap, count); while (count--) s += va_arg(ap, int); va_end(ap); return s; }
int sum_list(int count, va_list ap) { return count; }

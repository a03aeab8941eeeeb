/* globals: last_offset; functions: weight_offset; types: record */
#include <stddef.h>
struct record { int key; double weight; };
ptrdiff_t last_offset;
size_t weight_offset(void) { return offsetof(struct record, weight); }

/* globals: last_size seed_value; functions: grow_block compare_ints */
#include <stdlib.h>
size_t last_size;
long seed_value = 42L;
void *grow_block(void *block, size_t size) { return realloc(block, size); }
int compare_ints(const void *a, const void *b) { return *(const int *)a - *(const int *)b; }

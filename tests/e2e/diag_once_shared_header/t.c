#include "own.h"
count_t total;
int add(count_t a, int b) { return a + b; }

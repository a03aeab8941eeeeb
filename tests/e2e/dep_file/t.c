#include "a.h"
int f(int x) { return x + g; }

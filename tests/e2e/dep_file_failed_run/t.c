#include "missing.h"
int f(int x) { return x; }

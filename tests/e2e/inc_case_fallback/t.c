#include "Config.H"
#include "sub\UTIL.h"
#include "exact.h"
int g = LIMIT;
int twice(int x) { return util(x) * 2; }

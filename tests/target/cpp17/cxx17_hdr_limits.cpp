/* globals: g_digits; functions: widest */
#include <limits>

int g_digits = std::numeric_limits<unsigned>::digits;

long widest(long a, long b)
{
    if (a == std::numeric_limits<long>::max()) return a;
    return a > b ? a : b;
}

/* globals: g_total; functions: sum_to */
#include <numeric>

long g_total;

long sum_to(const int *first, const int *last, long start)
{
    g_total = std::accumulate(first, last, start);
    return std::gcd(g_total, 12L);
}

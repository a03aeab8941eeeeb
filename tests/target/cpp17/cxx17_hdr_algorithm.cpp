/* globals: g_sorted; functions: largest */
#include <algorithm>

int g_sorted[8];

int largest(const int *first, int count)
{
    std::copy(first, first + count, g_sorted);
    std::sort(g_sorted, g_sorted + count);
    return *std::max_element(first, first + count);
}

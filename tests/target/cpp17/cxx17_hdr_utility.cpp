/* globals: g_range; functions: swap_ends */
#include <utility>

std::pair<int, long> g_range;

int swap_ends(std::pair<int, int> &p, int bias)
{
    std::swap(p.first, p.second);
    g_range = std::make_pair(p.first, static_cast<long>(bias));
    return p.first + bias;
}

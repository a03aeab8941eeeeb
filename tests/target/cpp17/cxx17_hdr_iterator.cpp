/* globals: g_steps; functions: distance_of */
#include <iterator>

long g_steps;

long distance_of(const int *first, const int *last)
{
    g_steps = std::distance(first, last);
    std::reverse_iterator<const int *> r(last);
    return g_steps + (r.base() == last);
}

/* globals: g_point; functions: first_of */
#include <tuple>

std::tuple<int, char> g_point;

int first_of(const std::tuple<int, long> &t, int bias)
{
    return std::get<0>(t) + bias + std::get<0>(g_point);
}

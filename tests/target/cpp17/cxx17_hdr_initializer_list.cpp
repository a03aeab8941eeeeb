/* globals: g_list; functions: total */
#include <initializer_list>

std::initializer_list<int> g_list;

int total(std::initializer_list<int> values)
{
    int sum = 0;
    for (int v : values) sum += v;
    return sum;
}

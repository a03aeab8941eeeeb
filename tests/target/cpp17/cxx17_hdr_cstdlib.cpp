/* globals: g_last; functions: parse_div */
#include <cstdlib>

std::ldiv_t g_last;

long parse_div(const char *text, long by)
{
    g_last = std::ldiv(std::strtol(text, nullptr, 10), by);
    return g_last.quot;
}

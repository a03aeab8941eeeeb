/* globals: g_last_error; functions: checked_div */
#include <stdexcept>

std::runtime_error g_last_error("none");

int checked_div(int a, int b)
{
    if (b == 0) throw std::invalid_argument("division by zero");
    return a / b;
}

/* globals: g_scale; functions: hypot_scaled */
#include <cmath>

double g_scale = 1.0;

double hypot_scaled(double x, double y)
{
    return std::sqrt(x * x + y * y) * std::fabs(g_scale);
}

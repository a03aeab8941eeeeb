/* globals: g_width; functions: padded */
#include <iomanip>
#include <sstream>

int g_width = 8;

std::string padded(int v)
{
    std::ostringstream s;
    s << std::setw(g_width) << std::setfill('0') << v;
    return s.str();
}

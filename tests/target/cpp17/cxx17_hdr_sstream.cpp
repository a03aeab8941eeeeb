/* globals: g_buffer; functions: to_text */
#include <sstream>

std::ostringstream g_buffer;

std::string to_text(int v)
{
    std::ostringstream s;
    s << v;
    return s.str();
}

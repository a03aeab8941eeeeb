/* globals: g_lines; functions: print_value */
#include <iostream>

int g_lines;

void print_value(std::ostream &out, int v)
{
    out << v << '\n';
    ++g_lines;
}

/* globals: g_log; functions: open_log */
#include <fstream>

std::ofstream g_log;

bool open_log(const char *path)
{
    g_log.open(path);
    return g_log.is_open();
}

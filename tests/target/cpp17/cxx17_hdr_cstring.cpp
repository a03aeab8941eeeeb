/* globals: g_length; functions: copy_name */
#include <cstring>

std::size_t g_length;

char *copy_name(char *to, const char *from, std::size_t size)
{
    g_length = std::strlen(from);
    if (g_length >= size) return nullptr;
    return static_cast<char *>(std::memcpy(to, from, g_length + 1));
}

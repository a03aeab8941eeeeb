/* globals: g_failures; functions: guarded */
#include <exception>

int g_failures;

int guarded(int (*step)(int), int value)
{
    try {
        return step(value);
    } catch (const std::exception &) {
        ++g_failures;
        return -1;
    }
}

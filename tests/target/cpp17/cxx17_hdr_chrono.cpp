/* globals: g_timeout; functions: elapsed_ms */
#include <chrono>

std::chrono::duration<long> g_timeout;

long elapsed_ms(std::chrono::duration<long, std::milli> waited)
{
    g_timeout = std::chrono::duration<long>(5);
    return waited.count() + std::chrono::duration_cast<std::chrono::milliseconds>(g_timeout).count();
}

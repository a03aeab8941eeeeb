/* globals: g_limit; functions: limit_or */
#include <optional>

std::optional<int> g_limit;

int limit_or(const std::optional<int> &given, int fallback)
{
    return given ? *given : g_limit.value_or(fallback);
}

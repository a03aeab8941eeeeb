/* globals: g_owner; functions: make_value */
#include <memory>

std::unique_ptr<int> g_owner;

int make_value(std::unique_ptr<int> &slot, int v)
{
    slot.reset(new int(v));
    return *slot;
}

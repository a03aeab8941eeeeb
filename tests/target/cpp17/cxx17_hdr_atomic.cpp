/* globals: g_hits; functions: bump */
#include <atomic>

std::atomic<int> g_hits;

int bump(std::atomic<int> &counter, int by)
{
    g_hits.fetch_add(1);
    return counter.fetch_add(by) + by;
}

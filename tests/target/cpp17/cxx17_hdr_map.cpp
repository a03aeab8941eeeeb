/* globals: g_ages; functions: age_of Registry_count; types: Registry */
#include <map>

std::map<int, unsigned> g_ages;

unsigned age_of(const std::map<int, unsigned> &ages, int id)
{
    auto found = ages.find(id);
    return found == ages.end() ? 0u : found->second;
}

struct Registry {
    std::multimap<long, int> entries;
    int count(long key) const;
};

int Registry::count(long key) const
{
    return static_cast<int>(entries.count(key));
}

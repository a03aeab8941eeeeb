/* globals: g_index; functions: lookup Cache_hits; types: Cache */
#include <unordered_map>

std::unordered_map<int, long> g_index;

long lookup(const std::unordered_map<int, long> &index, int key)
{
    auto it = index.find(key);
    return it == index.end() ? -1 : it->second;
}

struct Cache {
    std::unordered_map<long, int> entries;
    std::size_t hits(long key) const;
};

std::size_t Cache::hits(long key) const
{
    return entries.count(key);
}

/* globals: g_ids; functions: add_id */
#include <unordered_set>

std::unordered_set<int> g_ids;

bool add_id(std::unordered_set<int> &ids, int id)
{
    return ids.insert(id).second;
}

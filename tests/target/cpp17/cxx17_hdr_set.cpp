/* globals: g_seen; functions: first_time Visits_record; types: Visits */
#include <set>

std::set<int> g_seen;

bool first_time(std::set<int> &seen, int id)
{
    return seen.insert(id).second;
}

class Visits {
public:
    bool record(int id);
private:
    std::multiset<int> all_;
};

bool Visits::record(int id)
{
    all_.insert(id);
    return all_.count(id) == 1;
}

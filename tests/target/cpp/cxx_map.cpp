/* globals: hits; functions: Counter_count Counter_total lookup; types: Counter */
#include <map>
std::map<int, int> hits;
class Counter {
 public:
  int count(int key);
  int total() const;
 private:
  std::map<int, int> counts_;
};
int Counter::count(int key) { return ++counts_[key]; }
int Counter::total() const { return (int)counts_.size(); }
int lookup(const std::map<int, int> &m, int key) { std::map<int, int>::const_iterator it = m.find(key); return it == m.end() ? -1 : it->second; }

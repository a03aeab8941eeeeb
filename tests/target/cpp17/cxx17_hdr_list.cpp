/* globals: g_pending; functions: take_first Queue_push; types: Queue */
#include <list>

std::list<int> g_pending;

int take_first(std::list<int> &items)
{
    if (items.empty()) return -1;
    int v = items.front();
    items.pop_front();
    return v;
}

class Queue {
public:
    void push(int v);
private:
    std::list<int> items_;
};

void Queue::push(int v)
{
    items_.push_back(v);
}

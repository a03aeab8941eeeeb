/* globals: g_history; functions: remember Window_slide; types: Window */
#include <deque>

std::deque<long> g_history;

std::size_t remember(std::deque<long> &history, long value, std::size_t keep)
{
    history.push_back(value);
    while (history.size() > keep) history.pop_front();
    return history.size();
}

struct Window {
    std::deque<int> values;
    int slide(int v);
};

int Window::slide(int v)
{
    values.push_back(v);
    int old = values.front();
    values.pop_front();
    return old;
}

/* globals: g_lock g_count; functions: bump Counter_add; types: Counter */
#include <mutex>

std::mutex g_lock;
int g_count;

int bump()
{
    std::lock_guard<std::mutex> hold(g_lock);
    return ++g_count;
}

class Counter {
public:
    int add(int n);
private:
    std::mutex m_;
    int value_ = 0;
};

int Counter::add(int n)
{
    std::lock_guard<std::mutex> hold(m_);
    return value_ += n;
}

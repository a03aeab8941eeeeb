/* globals: g_callback; functions: apply_twice Button_press; types: Button */
#include <functional>

std::function<int(int)> g_callback;

int apply_twice(const std::function<int(int)> &f, int v)
{
    return f(f(v));
}

class Button {
public:
    int press(int code);
private:
    std::function<int(int)> on_press_;
};

int Button::press(int code)
{
    return on_press_ ? on_press_(code) : -1;
}

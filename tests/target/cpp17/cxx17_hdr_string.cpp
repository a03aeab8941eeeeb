/* globals: g_name; functions: greeting Label_text; types: Label */
#include <string>

std::string g_name;

std::size_t greeting(std::string &out, const std::string &who)
{
    out = "hello " + who;
    return out.size();
}

class Label {
public:
    std::string text() const;
private:
    std::string value_;
};

std::string Label::text() const
{
    return value_;
}

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace util::text {

inline bool is_blank(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string trim(const std::string &s)
{
    auto b = std::find_if_not(s.begin(), s.end(), is_blank);
    auto e = std::find_if_not(s.rbegin(), s.rend(), is_blank).base();
    return b < e ? std::string(b, e) : std::string();
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::vector<std::string> split(const std::string &s, char sep)
{
    std::vector<std::string> out;
    std::string::size_type start = 0, pos;
    while ((pos = s.find(sep, start)) != std::string::npos) {
        out.push_back(s.substr(start, pos - start));
        start = pos + 1;
    }
    out.push_back(s.substr(start));
    return out;
}

bool starts_with(const std::string &s, const std::string &prefix) noexcept
{
    return s.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), s.begin());
}

} // namespace util::text

constexpr int max_title = 120;

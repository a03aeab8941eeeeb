#include <string>
#include <tuple>
#include <variant>
#include <utility>

namespace outcome {

struct Error {
    int code;
    std::string message;
};

template <typename T>
using Result = std::variant<T, Error>;

Result<int> parse_int(const std::string &text)
{
    if (text.empty())
        return Error{1, "empty"};
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return Error{2, "not a digit"};
        value = value * 10 + (c - '0');
    }
    return value;
}

bool ok(const Result<int> &r) { return std::holds_alternative<int>(r); }

std::tuple<int, int, int> split_version(const std::string &text)
{
    int parts[3] = {0, 0, 0};
    int i = 0;
    for (char c : text) {
        if (c == '.') {
            if (++i == 3) break;
        } else if (c >= '0' && c <= '9')
            parts[i] = parts[i] * 10 + (c - '0');
    }
    return std::make_tuple(parts[0], parts[1], parts[2]);
}

int compare_versions(const std::string &a, const std::string &b)
{
    auto va = split_version(a), vb = split_version(b);
    return va < vb ? -1 : vb < va ? 1 : 0;
}

} // namespace outcome

std::pair<int, std::string> last_error{0, ""};

#include "shelf.h"
#include <cstdio>
#include <cstdlib>
#include <string>

namespace shelf {

constexpr std::int64_t cents_per_unit = 100;

std::string format_money(const Money &m)
{
    char buf[32];
    std::int64_t units = m.cents / cents_per_unit;
    std::int64_t rest = std::llabs(m.cents % cents_per_unit);
    std::snprintf(buf, sizeof buf, "%lld.%02lld", static_cast<long long>(units), static_cast<long long>(rest));
    return buf;
}

Money parse_money(const std::string &text)
{
    auto dot = text.find('.');
    std::int64_t units = std::atoll(text.substr(0, dot).c_str());
    std::int64_t rest = 0;
    if (dot != std::string::npos)
        rest = std::atoll(text.substr(dot + 1, 2).c_str());
    return Money(units * cents_per_unit + rest);
}

Money percent_of(const Money &m, int percent) noexcept
{
    return Money(m.cents * percent / 100);
}

} // namespace shelf

shelf::Money round_to_unit(shelf::Money m)
{
    return shelf::Money((m.cents + 50) / 100 * 100);
}

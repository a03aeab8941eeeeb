// Types shared by the sample's files: a small book-shop back end.
#ifndef SHELF_H
#define SHELF_H
#include <cstdint>
#include <string>
#include <vector>

namespace shelf {

enum class Status : std::uint8_t { Draft, Open, Paid, Shipped, Cancelled };

struct Money {
    std::int64_t cents = 0;
    constexpr Money() = default;
    constexpr explicit Money(std::int64_t c) : cents(c) {}
    Money operator+(const Money &o) const { return Money(cents + o.cents); }
    Money operator*(int n) const { return Money(cents * n); }
    bool operator<(const Money &o) const { return cents < o.cents; }
};

struct Item {
    std::string sku;
    std::string title;
    Money price;
    int stock = 0;
};

using ItemList = std::vector<Item>;

std::string format_money(const Money &m);

} // namespace shelf

#endif

#include "shelf.h"
#include <algorithm>
#include <functional>
#include <vector>

namespace shelf::pricing {

using Rule = std::function<Money(const Item &, Money)>;

Money apply_rules(const Item &item, const std::vector<Rule> &rules)
{
    Money price = item.price;
    for (const auto &rule : rules)
        price = rule(item, price);
    return price;
}

Rule discount(int percent)
{
    return [percent](const Item &, Money m) { return Money(m.cents * (100 - percent) / 100); };
}

Rule minimum(Money floor)
{
    return [floor](const Item &, Money m) { return m < floor ? floor : m; };
}

Money cheapest(const ItemList &items)
{
    if (items.empty())
        return Money();
    auto it = std::min_element(items.begin(), items.end(),
                               [](const Item &a, const Item &b) { return a.price < b.price; });
    return it->price;
}

} // namespace shelf::pricing

int default_discount = 5;

#include "shelf.h"
#include <algorithm>
#include <cctype>
#include <string>

namespace shelf {

bool valid_sku(const std::string &sku)
{
    if (sku.size() != 8)
        return false;
    return std::all_of(sku.begin(), sku.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

Item make_item(std::string sku, std::string title, Money price)
{
    Item item;
    item.sku = std::move(sku);
    item.title = std::move(title);
    item.price = price;
    return item;
}

bool in_stock(const Item &item) { return item.stock > 0; }

int restock(Item &item, int count)
{
    item.stock += count;
    return item.stock;
}

std::string describe(const Item &item)
{
    return item.sku + " " + item.title + " " + format_money(item.price);
}

} // namespace shelf

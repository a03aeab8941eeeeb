#include "shelf.h"
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace shelf {

class Inventory {
public:
    Inventory() = default;
    bool add(const Item &item);
    bool remove(const std::string &sku);
    const Item *find(const std::string &sku) const;
    ItemList low_stock(int below) const;
    std::size_t size() const noexcept { return items_.size(); }

private:
    std::map<std::string, Item> items_;
};

bool Inventory::add(const Item &item)
{
    return items_.emplace(item.sku, item).second;
}

bool Inventory::remove(const std::string &sku)
{
    return items_.erase(sku) > 0;
}

const Item *Inventory::find(const std::string &sku) const
{
    auto it = items_.find(sku);
    return it == items_.end() ? nullptr : &it->second;
}

ItemList Inventory::low_stock(int below) const
{
    ItemList out;
    for (const auto &[sku, item] : items_)
        if (item.stock < below)
            out.push_back(item);
    return out;
}

std::unique_ptr<Inventory> make_inventory(const ItemList &items)
{
    auto inv = std::make_unique<Inventory>();
    for (const auto &item : items)
        inv->add(item);
    return inv;
}

} // namespace shelf

std::unique_ptr<shelf::Inventory> main_inventory;

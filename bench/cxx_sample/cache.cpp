#include <cstddef>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

template <typename K, typename V>
class LruCache {
public:
    explicit LruCache(std::size_t capacity) : capacity_(capacity) {}

    void put(const K &key, V value)
    {
        auto it = index_.find(key);
        if (it != index_.end())
            order_.erase(it->second);
        order_.emplace_front(key, std::move(value));
        index_[key] = order_.begin();
        if (order_.size() > capacity_) {
            index_.erase(order_.back().first);
            order_.pop_back();
        }
    }

    std::optional<V> get(const K &key)
    {
        auto it = index_.find(key);
        if (it == index_.end())
            return std::nullopt;
        order_.splice(order_.begin(), order_, it->second);
        return it->second->second;
    }

    std::size_t size() const { return order_.size(); }

private:
    std::size_t capacity_;
    std::list<std::pair<K, V>> order_;
    std::unordered_map<K, typename std::list<std::pair<K, V>>::iterator> index_;
};

using TitleCache = LruCache<std::string, std::string>;

TitleCache title_cache(64);

std::string cached_title(const std::string &sku)
{
    if (auto hit = title_cache.get(sku))
        return *hit;
    std::string title = "unknown " + sku;
    title_cache.put(sku, title);
    return title;
}

std::size_t cache_fill() { return title_cache.size(); }

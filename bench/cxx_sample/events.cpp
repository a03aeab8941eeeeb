#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>

namespace events {

enum class Kind { Added, Removed, Sold };

struct Event {
    Kind kind;
    std::string sku;
    int amount;
};

class Bus {
public:
    using Handler = std::function<void(const Event &)>;
    int subscribe(Kind kind, Handler handler);
    void publish(Event event);
    std::size_t dispatch(std::size_t limit = 100);
    std::size_t pending() const { return queue_.size(); }

private:
    std::deque<Event> queue_;
    std::multimap<Kind, std::pair<int, Handler>> handlers_;
    int next_id_ = 1;
};

int Bus::subscribe(Kind kind, Handler handler)
{
    handlers_.emplace(kind, std::make_pair(next_id_, std::move(handler)));
    return next_id_++;
}

void Bus::publish(Event event)
{
    queue_.push_back(std::move(event));
}

std::size_t Bus::dispatch(std::size_t limit)
{
    std::size_t done = 0;
    while (!queue_.empty() && done < limit) {
        Event e = std::move(queue_.front());
        queue_.pop_front();
        auto range = handlers_.equal_range(e.kind);
        for (auto it = range.first; it != range.second; ++it)
            it->second.second(e);
        ++done;
    }
    return done;
}

const char *kind_name(Kind k)
{
    switch (k) {
    case Kind::Added: return "added";
    case Kind::Removed: return "removed";
    case Kind::Sold: return "sold";
    }
    return "?";
}

} // namespace events

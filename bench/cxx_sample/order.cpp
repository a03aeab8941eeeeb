#include "shelf.h"
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace shelf {

struct Line {
    std::string sku;
    int quantity;
    Money unit_price;
};

class Order {
public:
    explicit Order(std::string customer) : customer_(std::move(customer)) {}
    void add_line(const std::string &sku, int quantity, Money price);
    Money total() const;
    Status status() const { return status_; }
    void pay();
    void cancel();
    const std::vector<Line> &lines() const { return lines_; }

private:
    std::string customer_;
    std::vector<Line> lines_;
    Status status_ = Status::Draft;
};

void Order::add_line(const std::string &sku, int quantity, Money price)
{
    if (quantity <= 0)
        throw std::invalid_argument("quantity");
    lines_.push_back(Line{sku, quantity, price});
    status_ = Status::Open;
}

Money Order::total() const
{
    return std::accumulate(lines_.begin(), lines_.end(), Money(),
                           [](Money sum, const Line &l) { return sum + l.unit_price * l.quantity; });
}

void Order::pay()
{
    if (status_ != Status::Open)
        throw std::logic_error("order not open");
    status_ = Status::Paid;
}

void Order::cancel() { status_ = Status::Cancelled; }

} // namespace shelf

int orders_created = 0;

#include <string>
#include <vector>
#include <optional>
#include <algorithm>

enum class Tier { Basic, Silver, Gold };

class Customer {
public:
    Customer(std::string name, std::string email, Tier tier = Tier::Basic);
    const std::string &name() const { return name_; }
    std::optional<std::string> email() const;
    Tier tier() const { return tier_; }
    void promote();
    int discount_percent() const;

private:
    std::string name_;
    std::string email_;
    Tier tier_;
};

Customer::Customer(std::string name, std::string email, Tier tier)
    : name_(std::move(name)), email_(std::move(email)), tier_(tier)
{
}

std::optional<std::string> Customer::email() const
{
    if (email_.find('@') == std::string::npos)
        return std::nullopt;
    return email_;
}

void Customer::promote()
{
    if (tier_ == Tier::Basic)
        tier_ = Tier::Silver;
    else
        tier_ = Tier::Gold;
}

int Customer::discount_percent() const
{
    switch (tier_) {
    case Tier::Gold: return 10;
    case Tier::Silver: return 5;
    default: return 0;
    }
}

std::vector<Customer> gold_customers(const std::vector<Customer> &all)
{
    std::vector<Customer> out;
    std::copy_if(all.begin(), all.end(), std::back_inserter(out),
                 [](const Customer &c) { return c.tier() == Tier::Gold; });
    return out;
}

Tier default_tier = Tier::Basic;

#include <stdexcept>
#include <string>
#include <vector>

class InsufficientFunds : public std::runtime_error {
public:
    InsufficientFunds(long wanted, long available);
    long shortfall() const { return shortfall_; }

private:
    long shortfall_;
};

InsufficientFunds::InsufficientFunds(long wanted, long available)
    : std::runtime_error("insufficient funds"), shortfall_(wanted - available)
{
}

class Account {
public:
    Account(std::string owner, long balance) : owner_(std::move(owner)), balance_(balance) {}
    Account(const Account &) = delete;
    Account &operator=(const Account &) = delete;
    Account(Account &&) = default;
    void deposit(long amount);
    void withdraw(long amount);
    long balance() const { return balance_; }

private:
    std::string owner_;
    long balance_;
    std::vector<long> history_;
};

void Account::deposit(long amount)
{
    if (amount <= 0)
        throw std::invalid_argument("amount");
    balance_ += amount;
    history_.push_back(amount);
}

void Account::withdraw(long amount)
{
    if (amount > balance_)
        throw InsufficientFunds(amount, balance_);
    balance_ -= amount;
    history_.push_back(-amount);
}

bool transfer(Account &from, Account &to, long amount)
{
    try {
        from.withdraw(amount);
    } catch (const InsufficientFunds &) {
        return false;
    }
    to.deposit(amount);
    return true;
}

long total_fees = 0;

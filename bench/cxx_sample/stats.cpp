#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

template <typename T>
class Running {
public:
    void add(T value)
    {
        ++count_;
        sum_ += value;
        max_ = count_ == 1 ? value : std::max(max_, value);
    }
    double mean() const { return count_ ? static_cast<double>(sum_) / count_ : 0.0; }
    T max() const { return max_; }
    long count() const { return count_; }

private:
    long count_ = 0;
    T sum_{};
    T max_{};
};

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double stddev(const std::vector<double> &values)
{
    if (values.size() < 2)
        return 0.0;
    double mean = std::accumulate(values.begin(), values.end(), 0.0) / values.size();
    double sq = 0;
    for (double v : values)
        sq += (v - mean) * (v - mean);
    return std::sqrt(sq / (values.size() - 1));
}

template <typename It>
auto sum_range(It first, It last) -> decltype(*first + *first)
{
    decltype(*first + *first) total{};
    for (; first != last; ++first)
        total += *first;
    return total;
}

int total_sold(const std::vector<int> &sales) { return sum_range(sales.begin(), sales.end()); }

Running<int> daily_orders;
Running<double> daily_revenue;

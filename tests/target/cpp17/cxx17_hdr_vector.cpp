/* globals: g_samples; functions: average Histogram_add; types: Histogram */
#include <vector>

std::vector<double> g_samples;

double average(const std::vector<double> &values)
{
    double sum = 0;
    for (double v : values) sum += v;
    return values.empty() ? 0.0 : sum / values.size();
}

class Histogram {
public:
    void add(int bucket);
private:
    std::vector<unsigned> counts_;
};

void Histogram::add(int bucket)
{
    if (bucket >= static_cast<int>(counts_.size())) counts_.resize(bucket + 1);
    ++counts_[bucket];
}

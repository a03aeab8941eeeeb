/* globals: samples; functions: Series_add Series_mean largest; types: Series */
#include <vector>
std::vector<int> samples;
class Series {
 public:
  void add(double v);
  double mean() const;
 private:
  std::vector<double> values_;
};
void Series::add(double v) { values_.push_back(v); }
double Series::mean() const { double s = 0; for (std::size_t i = 0; i < values_.size(); ++i) s += values_[i]; return values_.empty() ? 0 : s / values_.size(); }
int largest(const std::vector<int> &v) { int m = 0; for (std::size_t i = 0; i < v.size(); ++i) if (v[i] > m) m = v[i]; return m; }

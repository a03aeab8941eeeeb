/* globals: shape_count; functions: Shape_Shape Shape_area Registry_add Registry_size make_name total_area; types: Shape Registry */
#include <string>
#include <vector>
#include <map>
#include <memory>

class Shape {
 public:
  Shape(const std::string &name);
  double area() const;
 private:
  std::string name_;
  double w_;
};

class Registry {
 public:
  void add(const std::string &key, int value);
  int size() const;
 private:
  std::map<std::string, int> items_;
  std::vector<int> order_;
};

int shape_count;

Shape::Shape(const std::string &name) : name_(name), w_(1.0) { ++shape_count; }
double Shape::area() const { return w_ * w_; }
void Registry::add(const std::string &key, int value) { items_[key] = value; order_.push_back(value); }
int Registry::size() const { return (int)order_.size(); }
std::string make_name(int n) { return std::string(n, 'x'); }
double total_area(const std::vector<Shape> &shapes) { double s = 0; for (size_t i = 0; i < shapes.size(); ++i) s += shapes[i].area(); return s; }

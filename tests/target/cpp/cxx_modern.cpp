/* globals: total; functions: Widget_Widget Widget_draw Widget_size helper; types: Widget */
#include <memory>
#include <vector>
#include <string>
int total;
class Widget {
 public:
  Widget(int n);
  virtual ~Widget() = default;
  void draw() const;
  int size() const;
 private:
  std::unique_ptr<int> data_;
  std::vector<std::string> names_;
  int n_ = 0;
};
Widget::Widget(int n) : n_(n) {}
void Widget::draw() const { auto x = n_; (void)x; }
int Widget::size() const { return n_; }
int helper(const Widget &w) { return w.size() + total; }

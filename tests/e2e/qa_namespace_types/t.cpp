#include "box.h"

int geo::shapes::Box::area() const { return w * h; }

namespace geo {
namespace shapes {
class Circle {
public:
    explicit Circle(int r) : r_(r) {}
    int radius() const { return r_; }
private:
    int r_;
};
}
struct Corner { int x, y; };
Corner lower_corner(const shapes::Box &b) { Corner c = { 0, b.h }; return c; }
}

geo::Corner last_corner;

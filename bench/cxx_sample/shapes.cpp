#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace geo {

class Shape {
public:
    virtual ~Shape() = default;
    virtual double area() const = 0;
    virtual std::string name() const { return "shape"; }
};

class Circle final : public Shape {
public:
    explicit Circle(double r) : r_(r) {}
    double area() const override;
    std::string name() const override { return "circle"; }

private:
    double r_;
};

class Rect : public Shape {
public:
    Rect(double w, double h) : w_(w), h_(h) {}
    double area() const override;
    bool square() const noexcept { return w_ == h_; }

private:
    double w_, h_;
};

double Circle::area() const { return M_PI * r_ * r_; }

double Rect::area() const { return w_ * h_; }

double total_area(const std::vector<std::unique_ptr<Shape>> &shapes)
{
    double sum = 0;
    for (const auto &s : shapes)
        sum += s->area();
    return sum;
}

std::unique_ptr<Shape> make_shape(const std::string &kind, double a, double b)
{
    if (kind == "circle")
        return std::make_unique<Circle>(a);
    return std::make_unique<Rect>(a, b);
}

} // namespace geo

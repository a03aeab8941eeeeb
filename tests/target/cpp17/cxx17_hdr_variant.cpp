/* globals: g_value; functions: as_double Cell_is_number; types: Cell */
#include <variant>

std::variant<int, double> g_value;

double as_double(const std::variant<int, double> &v)
{
    if (std::holds_alternative<int>(v)) return std::get<int>(v);
    return std::get<double>(v);
}

class Cell {
public:
    bool is_number() const;
private:
    std::variant<std::monostate, int, double> content_;
};

bool Cell::is_number() const
{
    return content_.index() != 0;
}

#include "shelf.h"
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

namespace report {

struct Column {
    std::string header;
    int width;
};

class Table {
public:
    explicit Table(std::vector<Column> columns) : columns_(std::move(columns)) {}
    void add_row(std::vector<std::string> cells);
    std::string render() const;
    std::size_t rows() const { return rows_.size(); }

private:
    std::vector<Column> columns_;
    std::vector<std::vector<std::string>> rows_;
};

void Table::add_row(std::vector<std::string> cells)
{
    cells.resize(columns_.size());
    rows_.push_back(std::move(cells));
}

std::string Table::render() const
{
    std::ostringstream out;
    for (const auto &c : columns_)
        out << std::left << std::setw(c.width) << c.header;
    out << '\n';
    for (const auto &row : rows_) {
        for (std::size_t i = 0; i < row.size(); ++i)
            out << std::left << std::setw(columns_[i].width) << row[i];
        out << '\n';
    }
    return out.str();
}

std::string stock_report(const shelf::ItemList &items)
{
    Table t({{"SKU", 10}, {"Title", 30}, {"Stock", 6}});
    for (const auto &item : items)
        t.add_row({item.sku, item.title, std::to_string(item.stock)});
    return t.render();
}

} // namespace report

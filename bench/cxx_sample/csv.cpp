#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace csv {

using Row = std::vector<std::string>;

Row split_line(std::string_view line, char sep = ',')
{
    Row out;
    std::string cell;
    bool quoted = false;
    for (char c : line) {
        if (c == '"')
            quoted = !quoted;
        else if (c == sep && !quoted) {
            out.push_back(cell);
            cell.clear();
        } else
            cell += c;
    }
    out.push_back(cell);
    return out;
}

std::vector<Row> read_file(const std::string &path, int *errors)
{
    std::vector<Row> rows;
    std::ifstream in(path);
    if (!in) {
        if (errors)
            ++*errors;
        return rows;
    }
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            rows.push_back(split_line(line));
    return rows;
}

std::string join(const Row &row, char sep)
{
    std::string out;
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i)
            out += sep;
        out += row[i];
    }
    return out;
}

} // namespace csv

std::size_t max_line_length = 4096;

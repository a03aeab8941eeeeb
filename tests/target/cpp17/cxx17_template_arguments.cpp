/* globals: g_rows g_due g_lines g_marks; functions: tally sheet_Board_post sheet_Board_count; types: sheet Line Board tags Mark */
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sheet {

struct Line { int qty; long price; };
using Row = std::vector<Line>;
using Clock = std::chrono::steady_clock;

class Board {
public:
    using Handler = std::function<void(const Line &)>;
    int post(Handler handler, std::chrono::milliseconds delay);
    int count(const std::map<std::string, Row> &by_name) const;
private:
    std::vector<std::pair<int, Handler>> handlers_;
};

int Board::post(Handler handler, std::chrono::milliseconds delay)
{
    handlers_.emplace_back(static_cast<int>(delay.count()), handler);
    return static_cast<int>(handlers_.size());
}

int Board::count(const std::map<std::string, Row> &by_name) const
{
    int n = 0;
    for (const auto &entry : by_name) n += static_cast<int>(entry.second.size());
    return n;
}

}  // namespace sheet

namespace tags { struct Mark { int id; }; }

std::vector<sheet::Row> g_rows;
sheet::Clock::time_point g_due;
std::vector<sheet::Line> g_lines;
std::vector<tags::Mark> g_marks;

int tally(const std::vector<sheet::Row> &rows)
{
    int n = 0;
    for (const sheet::Row &r : rows) n += static_cast<int>(r.size());
    return n;
}

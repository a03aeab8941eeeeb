#include <deque>
#include <limits>
#include <vector>

class Graph {
public:
    explicit Graph(int nodes) : adj_(static_cast<std::size_t>(nodes)) {}
    void connect(int a, int b);
    std::vector<int> distances(int from) const;
    int nodes() const { return static_cast<int>(adj_.size()); }

private:
    std::vector<std::vector<int>> adj_;
};

void Graph::connect(int a, int b)
{
    adj_[a].push_back(b);
    adj_[b].push_back(a);
}

std::vector<int> Graph::distances(int from) const
{
    std::vector<int> dist(adj_.size(), std::numeric_limits<int>::max());
    std::deque<int> todo{from};
    dist[from] = 0;
    while (!todo.empty()) {
        int n = todo.front();
        todo.pop_front();
        for (int m : adj_[n])
            if (dist[m] == std::numeric_limits<int>::max()) {
                dist[m] = dist[n] + 1;
                todo.push_back(m);
            }
    }
    return dist;
}

int diameter(const Graph &g)
{
    int best = 0;
    for (int n = 0; n < g.nodes(); ++n)
        for (int d : g.distances(n))
            if (d != std::numeric_limits<int>::max() && d > best)
                best = d;
    return best;
}

Graph *shop_map = nullptr;

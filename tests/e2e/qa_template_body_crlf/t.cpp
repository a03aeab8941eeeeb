template <typename T, int N>
class Ring {
public:
    Ring() : used(0) {}
    bool put(const T &v) { if (used >= N) return false; data[used++] = v; return true; }
    int size() const { return used; }
private:
    T data[N];
    int used;
};

Ring<int, 4> samples;

int sample_count() { return samples.size(); }

namespace box {
template <typename T> class Cell {
public:
    T get() const { return v; }
    T v;
};
}
box::Cell<int> cell;
int read_cell() { return cell.get(); }

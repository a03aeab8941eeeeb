namespace geo {
  struct pt { int x; };
  int scale;
  int area(int w) { return w; }
}
enum mode { OFF, ON };
enum mode current;
union u { int i; float f; } uv;
int (*handler)(int);
const int limit = 4;
inline int twice(int v) { return 2 * v; }
template <class T> class Box { public: T v; T get(); };
Box<int> ibox;

// Everything the script declares before BEGIN compiles as C++: members of
// namespaces inside their namespace, every overload, no invented name of an
// unnamed namespace, unnamed parameters named for the service.
namespace util {
int twice(int x) { return 2 * x; }
int counter;
double twice(double x) { return 2 * x; }
namespace deep { long depth(long d, int) { return d; } }
static int hidden_in_util;
}
int over(int a) { return a; }
int over(double a, int b) { return b; }
int g2(int, int b) { return b; }
namespace {
int file_local(int v) { return v; }
struct H { int v; int get() { return v; } };
}
namespace ns {
namespace {
struct H { int w; int get2() { return w; } };
}
H hh;
}
const int k = 3;
class C {
public:
  C(int a) : a_(a) {}
  static int count;
  int a_;
  int geta() const { return a_; }
};
int C::count = 0;
struct Mv { int v; Mv(Mv &&o) : v(o.v) {} Mv(const Mv &o) : v(o.v) {} };
int take(int &&r) { return r; }
int take(int &r) { return r; }

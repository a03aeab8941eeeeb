const int limit = 3;
class S {
public:
  S(int a);
  ~S();
  static int count;
  static const int fixed = 2;
  int f(int);
};
int S::count = 7;
S::S(int a) {}
S::~S() {}
int S::f(int x) { return x; }
namespace sn { int h(int v) { return v; } int hv; }

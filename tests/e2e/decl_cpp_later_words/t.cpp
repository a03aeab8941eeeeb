struct B { virtual int f() const; };
struct D : B { int f() const override; void g() final; };
enum class Color : unsigned char { Red, Green = 3, Blue };
Color paint = Color::Red;
constexpr int square(int x) { return x * x; }
int twice(int x) noexcept { return 2 * x; }
using Index = unsigned long;
Index next_index(Index i) { return i + 1; }
inline namespace v1 { int ver() { return 1; } }
typedef struct { int quot; int rem; } div_t;
div_t last_division;

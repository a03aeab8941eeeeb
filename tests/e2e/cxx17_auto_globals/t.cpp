// Variables whose type is deduced from their initialiser.
struct Point { int x; int y; Point(int a, int b); };
Point::Point(int a, int b) : x(a), y(b) {}
int twice(int v) { return 2 * v; }
auto count = 3;
auto big = 3000000000;
auto mask = 0xffffffffu;
auto ratio = 2.5;
auto narrow = 1.5f;
auto letter = 'a';
auto text = "hello";
auto flag = true;
static auto hidden = 7L;
const auto limit = 10;
auto wide = static_cast<long>(4);
auto cast = (short)5;
auto origin = Point(0, 0);
auto sum = 1 + 2;
auto call = twice(4);
auto fn = twice;
auto list = {1, 2};
int after = 1;

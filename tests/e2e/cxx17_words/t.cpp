// Later words of the language in declarations that read and write back cleanly.
namespace a::b { int nested_function(int x) { return x; } }
inline namespace v1 { int versioned(int x) { return x; } }
inline int shared_counter = 0;
constexpr int limit = 10;
constexpr int square(int x) { return x * x; }
thread_local int per_thread;
alignas(16) char buffer[32];
struct alignas(8) Aligned { int a; };
Aligned aligned_value;
[[nodiscard]] int checked(int x) { return x; }
[[deprecated("old")]] int old_one(int x) noexcept { return x; }
int *none = nullptr;
int braced{3};
int list[3]{1, 2, 3};
struct B { virtual ~B() = default; virtual int f() const; B() = default; B(const B &) = delete; };
int B::f() const { return 0; }
struct D final : B { int f() const override; };
int D::f() const { return 1; }
int noexcept_function(int x) noexcept(true) { return x; }
template <class... Args> int count(Args &&...args) { return sizeof...(args); }
int use_count() { return count(1, 2, 3); }
template <class T> using Ptr = T *;
using Int = int;
using Fn = int (*)(int);
Ptr<int> alias_pointer;
Int alias_value;
Fn callback;
static_assert(sizeof(int) >= 2, "int");
decltype(alias_value) same_type;
auto trailing(int a) -> int { return a; }
decltype(auto) deduced_result(int a) { return a; }
int last;

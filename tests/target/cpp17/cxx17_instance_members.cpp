/* globals: cursor last_key; functions: app_first app_Range_size walk; types: ns vec meta add_ptr app It VI Range CI */
// Types named through a member of an instance (X<args>::type): the class
// template is declared from its namespace, and a name written without
// that namespace (inside it, or after a using-directive) is qualified.
#include <vector>

namespace ns {
template <typename T> struct vec {
  typedef T *iterator;
  T *data;
};
}  // namespace ns

namespace meta {
template <typename T> struct add_ptr { typedef T *type; };
}  // namespace meta

namespace app {
using It = ns::vec<int>::iterator;
using VI = std::vector<int>::iterator;
struct Range {
  It begin;
  VI end;
  int size() const;
};
It first(Range r);
}  // namespace app

int app::Range::size() const { return 0; }
app::It app::first(app::Range r) { return r.begin; }

using namespace ns;
typedef vec<char>::iterator CI;
CI cursor;
meta::add_ptr<long>::type last_key;

int walk(meta::add_ptr<char>::type p, CI c) { return *p + *c; }

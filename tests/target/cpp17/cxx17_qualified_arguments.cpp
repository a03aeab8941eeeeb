/* globals: one many; functions: count first_id; types: u own id_t s ab Pair Slot Code Rack */
// Template arguments that name types of other namespaces, qualified or
// not, and typedef names: each type is declared before the instance that
// names it.
namespace u {
struct own {
  int x;
};
typedef unsigned long id_t;
}  // namespace u

namespace s {
template <typename T> struct ab {
  T a;
};
}  // namespace s

template <typename A, typename B> struct Pair {
  A a;
  B b;
};

struct Slot {
  short n;
};
typedef int Code;

struct Rack {
  s::ab<u::own> owned;
  Pair<Slot, Code> slot;
  s::ab<u::id_t> id;
};

s::ab<u::own> one;
Pair<Code, s::ab<Slot> > many;

int count(Rack *r) { return r->owned.a.x + r->slot.b; }
u::id_t first_id(const Rack &r) { return r.id.a; }

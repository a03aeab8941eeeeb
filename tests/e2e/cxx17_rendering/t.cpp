// Constructs whose rendered text must keep the source's meaning.
struct Mv {
  Mv(Mv &&other);
  Mv(const Mv &other);
  int v;
};
Mv::Mv(Mv &&other) : v(other.v) {}
Mv::Mv(const Mv &other) : v(other.v) {}
int take(int &&r) { return r; }

enum Small : unsigned char { S1, S2 };
enum class Color : short { Red, Green };
enum class Plain { P1, P2 };
Small small_value;
Color color_value;
Plain plain_value;
struct Holder { Small s; char c; };
Holder holder;

struct C { int m; double d; };
int C::*member_pointer;
int get(C &c, int C::*p) { return c.*p; }

template <class T> struct Box { T v; };
template <> struct Box<char> { char c; int n; };
Box<char> char_box;

class locale {
 public:
  class facet;
  int id;
};
class locale::facet {
 public:
  int refs;
  int count() const;
};
int locale::facet::count() const { return refs; }

// Explicit specialisations, and what the grammar cannot read: reported where
// it stands, the next declaration still read.
template <class T> T id(T x) { return x; }
template <> int id<int>(int x) { return x + 1; }
int after_function(int x) { return x; }
template <class T> struct Box { T v; void set(T); };
template <> void Box<int>::set(int) {}
int after_member;
template <> struct Box<double>;
int after_declaration;
template <> int broken<int>(int x) ) { return x; }
int after_error(int x) { return x; }
template <class T, class U> struct Two { T t; U u; };
Two<int> missing_argument;
int last;

/* globals: spare; functions: Box_char__get Box_double__get Box_int__get Holder_total take; types: Box Pair IntBox Holder */
// A class of the file that uses an instance of a class template declared
// before it, directly and through a typedef: the script declares the
// template before the class, whatever else it writes later.
template <typename T> struct Box {
  T value;
  T get() const { return value; }
};
template <typename A, typename B> struct Pair {
  A first;
  B second;
};
typedef Box<int> IntBox;

class Holder {
 public:
  IntBox box;
  Pair<Box<char>, long> *pair;
  int total();
};

int Holder::total() { return box.get() + (pair ? pair->first.get() : 0); }

Box<double> spare;

int take(Holder *h) { return h->total(); }

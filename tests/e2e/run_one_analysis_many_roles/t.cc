template <class T> class Box {
 public:
  T get() const;
  void put(T v) { value = v; }
  T value;
};
template <class T> T Box<T>::get() const { return value; }
Box<int> ibox;

class Counter {
 public:
  Counter();
  ~Counter();
  int step(int by);
  inline int peek() const { return count; }
 private:
  int count;
};
Counter::Counter() : count(0) {}
Counter::~Counter() {}
int Counter::step(int by) { count += by; return count; }
inline int twice(int n) { return 2 * n; }
int total;
int add(int a, int b) { return a + b; }

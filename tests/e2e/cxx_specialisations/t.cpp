// Specialisations the way number, hash and text libraries write them.
namespace num {
template<typename T> struct cx;
template<> struct cx<float>;
template<> struct cx<double>;
template<typename T> struct cx { T re; cx(T r) : re(r) { } };
template<> struct cx<float> {
  cx(float r) : re(r) { }
  explicit cx(const cx<double> &d);
  float re;
};
template<> struct cx<double> {
  cx(double r) : re(r) { }
  cx(const cx<float> &f) : re(f.re) { }
  double re;
};
inline namespace literals {
constexpr double operator""if(long double v) { return static_cast<double>(v); }
}
template<typename T> struct hasher;
}

struct key { int a; int b; };

template<> struct num::hasher<key> {
  unsigned long operator()(const key &k) const { return static_cast<unsigned long>(k.a * 31 + k.b); }
};

double real_part(const num::cx<double> &c) { return c.re; }

unsigned long widen(char32_t c, const char16_t *s) { return s ? static_cast<unsigned long>(c) + *s : 0u; }

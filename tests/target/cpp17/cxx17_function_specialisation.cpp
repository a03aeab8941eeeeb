/* globals: ; functions: scaled_int_ scaled width width_long_ text_twice_char_ use; types: scaled width text twice */
// Explicit specialisations of function templates are functions of their
// own: each gets a service, declared after its template, with or without
// its arguments written, at file scope and in a namespace.
template <typename T> T scaled(T x) { return x * 2; }
template <> int scaled<int>(int x) { return x * 3; }
template <> double scaled(double x) { return x * 4; }

template <typename T> int width(T);
template <> int width(char c) { return c ? 1 : 0; }
template <> int width<long>(long v) { return v > 0 ? 8 : 0; }

namespace text {
template <typename C> C twice(C c) { return c; }
template <> char twice<char>(char c) { return static_cast<char>(c + c); }
}  // namespace text

int use(int v) { return scaled(v) + width('a'); }

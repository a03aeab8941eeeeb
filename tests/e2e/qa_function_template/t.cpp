template <class T> T max_of(T a, T b) { return a < b ? b : a; }

int use_max(int a, int b) { return max_of(a, b); }

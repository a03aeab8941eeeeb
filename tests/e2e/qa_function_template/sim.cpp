template <typename T> T clamp_to(T v, T lo, T hi) { return v < lo ? lo : hi < v ? hi : v; }

int clamp_int(int v) { return clamp_to(v, 0, 9); }

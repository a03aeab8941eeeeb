typedef unsigned long ulong_t;
typedef struct { int a; } anon_t;
struct holder { ulong_t v; struct holder *self; };
anon_t one;
struct holder h;
ulong_t count;

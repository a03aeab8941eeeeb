#define V(f, ...) f(__VA_ARGS__)
#define V0(...) <__VA_ARGS__>
#define V2(a, b, ...) {a; b; __VA_ARGS__}
V(g, 1, 2, 3) V(g, x) V(g, (a, b), c) V0() V0(a,b) V0((a,b),c) V0( x )
V2(1, 2) V2(1, 2, 3) V2(1, 2, 3, 4, 5)
#define W(f, rest...) g(f2, 3, 4, 5)
#define W(f, rest...) g(f, rest)
W(1,2,3) W(1,x)
#define CALL(m, ...) m(__VA_ARGS__CALL(ADD, 1, 2) CALL(V0, p, q)
#define COUNT(...) COUNT_(__VA_ARGS__, 5, 4, 3, 2, 1)
#define COUNT_(a, b, c, d, e, n, ...) n
COUNT(x) COUNT(x, y) COUNT(x, y, z, w,, rest)
W(1,2,3) W(1,x)
#&define CALL(m, ...) m(__VA_ARGS__)
#define ADD(a, b) ((a) + (b))
CALL(ADD, 1, 2) CALL(V0, p, q)
#define COUNT(...) COUNT_(__VA_ARGS__, 5, 4, 3, 2, 1)
#define COUNT_(a, b, c, d, e, n, ...) n
COUNT(x) COUNT(x, y) COUNT(x, y, z, w, v)

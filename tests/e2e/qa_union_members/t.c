struct packet {
    union { int a; float b; } u;
    struct { int lo, hi; } range;
    union { long l; char c; };
    int tail;
} pkt;
union wrap {
    struct { int x; } first;
    int second;
} w;
union plain { int i; char c; } pl;
struct outer { struct inner { int q; } in; int z; } o;

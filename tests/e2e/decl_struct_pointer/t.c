struct point { int x; int y; };
struct point *origin;

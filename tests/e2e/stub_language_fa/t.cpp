struct box { int w; };
class Shelf { public: int put(struct box *b); };
int Shelf::put(struct box *b) { return 0; }
int g;

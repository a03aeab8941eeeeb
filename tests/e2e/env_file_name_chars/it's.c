int h;
int k(int a) { return a; }

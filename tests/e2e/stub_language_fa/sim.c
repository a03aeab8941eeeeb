int counter;
int f(int x) { return x; }

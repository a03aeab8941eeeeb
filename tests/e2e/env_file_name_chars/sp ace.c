int g;
int f(int a) { return a; }

int f(int x) { return x; }
int f(double d) { return 0; }
int f(char *s) { return 0; }
int f_2(void) { return 2; }
void tick() { }
int proto(int x);

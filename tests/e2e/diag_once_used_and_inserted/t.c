static int hidden;
int g;
int 3x;
int add(int a, int b) { return a + b; }

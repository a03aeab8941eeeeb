int shared;
int twice(int n) { return n * 2; }

/* A parameter without a name still takes an argument: the service names it. */
int pick(int, int second) { return second; }
int both(char *, int) { return 0; }
int none(void) { return 1; }

int level;
extern int elsewhere;
static int own;
int fresh;
int read(char *s, void *p, int *n) { return 0; }
static int helper(void) { return 0; }

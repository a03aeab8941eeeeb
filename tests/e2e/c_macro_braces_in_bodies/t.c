/* Function bodies whose braces come from macros, directly or through other
   macros; definitions and conditionals inside bodies that act after them. */
#define BEGIN {
#define END }
#define OPEN BEGIN
#define CLOSE END
#define BLOCK(s) { s; }
#define NOTHING
#define LOOP(n) for (int i = 0; i < (n); ++i) BLOCK(total += i)

int total;

int direct(int a) BEGIN return a + 1; END

int nested(int a) OPEN
  if (a) BLOCK(a--)
  LOOP(a)
  return a;
CLOSE

int mixed(int a) { if (a) OPEN a = 0; } return a; END

int inside(void) {
#define LATER 3
#undef NOTHING
#define NOTHING int
  return LATER;
}

NOTHING after_body = LATER;

int skipped(void) {
#if 0
  }
#define LATER 4
#else
  return LATER;
#endif
}

#ifdef NOTHING
int defined_in_body = 1;
#endif

int last(int x) { return x; }

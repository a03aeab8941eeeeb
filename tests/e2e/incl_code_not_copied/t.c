/* An include after function definitions: the declarations before it are
   copied, the function definitions are not. */
#include "first.h"
typedef int counter_t;
#define LIMIT 10
extern int shared;
int proto(int a);
static int helper(int x)
{
  if (x > LIMIT) { return 1; }
  return '{' == x;
}
int
old_style(a, b)
  int a;
  char *b;
{
  return a + b[0];
}
struct point { int x, y; };
struct point origin = { 0, 0 };
int (*pick(int k))(int) { return 0; }
static const int table[] = { 1, 2, 3 };
const char *text = "} not a brace {";
int one_line(void) { return 1; } int after_on_line;
#ifdef __cplusplus
extern "C" {
#endif
int inside_linkage(void) { return 2; }
#ifdef __cplusplus
}
#endif
counter_t total;
#include "second.h"
int after(int y) { return helper(y) + proto(y); }

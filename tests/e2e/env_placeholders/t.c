/* One global of every kind of type the placeholders tell apart. */
struct point { int x; int y; };
union number { int i; double d; };
enum color { RED, GREEN, BLUE };
typedef double real;
typedef struct { real w[3]; char *label; } tagged;
char *s;
int *p;
double d;
real r;
int a[4];
char buf[16];
struct point pt;
union number num;
enum color c;
tagged tg;
int (*handler)(int);
const int fixed = 1;

/* What a test can set: const objects of typedef'd structures are not
   listed, names declared through a function typedef are functions. */
typedef struct reg_entry { const char *name; int (*func)(int); } reg_entry;
typedef struct cfg cfg;
struct cfg { int a; int b; };
typedef const struct cfg const_cfg;
typedef int Handler(int);
static int one(int x) { return x; }
static const reg_entry funcs[] = { {"one", one}, {0, 0} };
const reg_entry pub_funcs[] = { {"one", one} };
reg_entry const pub_funcs2[] = { {"one", one} };
const cfg one_cfg = { 1, 2 };
const struct cfg two_cfg = { 3, 4 };
const_cfg three_cfg = { 5, 6 };
cfg settable;
const cfg *pointer_to_const;
Handler on_a, on_b;
int on_a(int x) { return x + 1; }

namespace io {
  int opened;
  int open(const char *name) { return 0; }
}
struct S { int a; static int count; int get(); };
int S::count = 0;
int S::get() { return a; }
typedef int handle_t;
handle_t last;

#include <types.h>
int integ_total;
struct range integ_window;
int integ_add(int v) { integ_total += v; return integ_total; }

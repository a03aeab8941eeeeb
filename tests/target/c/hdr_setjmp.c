/* globals: recovery_point; functions: try_call bail_out */
#include <setjmp.h>
jmp_buf recovery_point;
int try_call(void (*fn)(void)) { if (setjmp(recovery_point)) return 1; fn(); return 0; }
void bail_out(void) { longjmp(recovery_point, 1); }

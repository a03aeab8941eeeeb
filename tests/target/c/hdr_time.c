/* globals: started_at last_tick; functions: local_now elapsed */
#include <time.h>
time_t started_at;
struct timespec last_tick;
struct tm *local_now(time_t *when) { return localtime(when); }
double elapsed(clock_t start) { return (double)(clock() - start) / CLOCKS_PER_SEC; }

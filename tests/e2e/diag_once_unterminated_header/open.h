/* the group below is never closed */
typedef int step_t;
#if 1
extern step_t last;

/* globals: g buf big ubig flag q ll tl renamed also_renamed aligned_word; functions: die f pick */
#include <assert.h>
_Static_assert(sizeof(int) == 4, "int is 32 bits");
static_assert(1, "always");
int g;
_Noreturn void die(void) { for (;;) {} }
_Alignas(16) char buf[32];
__int128 big;
unsigned __int128 ubig;
_Bool flag;
_Float128 q;
__extension__ long long ll;
_Thread_local int tl;
int renamed __asm__("renamed_in_asm");
asm(".globl renamed_in_asm");
int also_renamed asm("also_in_asm");
_Pragma("GCC diagnostic push")
_Pragma("GCC diagnostic ignored \"-Wunused-variable\"")
int aligned_word __attribute__((aligned(8), unused));
_Pragma("GCC diagnostic pop")
static __inline__ int twice(int x) { return 2 * x; }
int f(int n, char *restrict p, int a[restrict 4]) { return twice(n); }
__attribute__((noinline)) const char *pick(const char *__restrict a, const char *__restrict b) { return a ? a : b; }

/* Functions, prototypes and types only: no environment block. */
struct pair { int a, b; };
typedef struct pair pair_t;
typedef int count_t;
enum mode { OFF, ON };
int proto(int x);
void tick(void) { }

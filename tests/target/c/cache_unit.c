/* A unit as real code is written. globals: cache_path handlers record_off default_mode last_error opts self_pipe stats_lock epsilon max_fd; consts: names; functions: cache_open cache_log parse_args main; types: record option_set */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <stddef.h>
#include <stdarg.h>
#include <stdbool.h>
#include <errno.h>
#include <math.h>
#include <limits.h>
#include <fcntl.h>
#include <unistd.h>
#include <pthread.h>
#include <sys/stat.h>
#include <float.h>
#include <inttypes.h>

struct record { int key; double weight; };
struct option_set { bool verbose; int level; char name[NAME_MAX + 1]; };

char *cache_path = NULL;
int (*handlers[4])(int);
const char *const names[] = { "alpha", "beta", NULL };
size_t record_off = offsetof(struct record, weight);
mode_t default_mode = S_IRUSR | S_IWUSR;
int last_error = EINVAL;
struct option_set opts;
int self_pipe[2] = { -1, -1 };
pthread_mutex_t stats_lock = PTHREAD_MUTEX_INITIALIZER;
double epsilon = DBL_EPSILON;
static long hits;
long max_fd = LONG_MAX;

static inline int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

int cache_open(const char *path, int flags)
{
    int fd = open(path, flags | O_CLOEXEC, default_mode);
    if (fd < 0) last_error = errno;
    return clamp(fd, -1, INT_MAX);
}

void cache_log(FILE *out, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vfprintf(out, fmt, ap);
    va_end(ap);
    fprintf(out, "%" PRIu64 "\n", (uint64_t)hits);
}

bool parse_args(int argc, char **argv, struct option_set *o)
{
    for (int i = 1; i < argc; i++)
        if (strcmp(argv[i], "-v") == 0) o->verbose = true;
    return o->verbose;
}

int main(int argc, char *argv[])
{
    if (!parse_args(argc, argv, &opts)) return EXIT_FAILURE;
    printf("%f\n", sqrt(2.0));
    return 0;
}

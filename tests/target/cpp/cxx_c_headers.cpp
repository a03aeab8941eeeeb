/* globals: counter; functions: Box_get helper; types: Box */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <stdint.h>
#include <stddef.h>
#include <stdarg.h>
#include <stdbool.h>
#include <errno.h>
#include <math.h>
#include <time.h>
#include <signal.h>
#include <pthread.h>
#include <sys/types.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>
#include <ctype.h>
#include <limits.h>
#include <assert.h>
#include <setjmp.h>
int counter;
class Box {
 public:
  int get() const;
 private:
  FILE *f_;
  pthread_mutex_t m_;
};
int Box::get() const { return 0; }
int helper(int x) { return x + counter; }

#define N 3
#include "a.h"
#define LATE 1
int late[LATE];

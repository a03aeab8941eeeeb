#include <stdio.h>
#include "t.h"
t_count total;
int report(void) { return printf("%d", total); }

#include ".\integ.c"
#include "./integ.c"
#include "integ.c"
int g;

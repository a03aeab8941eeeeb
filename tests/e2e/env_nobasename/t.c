#include "h.h"
int own;

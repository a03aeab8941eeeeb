#include ".\u.h"
#include "./u.h"
#include "u.h"
int g;

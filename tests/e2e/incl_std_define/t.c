#if TARGET_BITS == 32
#include "wide.h"
#endif
TARGET_INT g;

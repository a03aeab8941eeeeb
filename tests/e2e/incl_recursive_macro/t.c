#define FOO FOO
#if FOO
#include "never.h"
#else
#include "a.h"
#endif

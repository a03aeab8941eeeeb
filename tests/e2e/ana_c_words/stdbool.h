/* What the C library's <stdbool.h> gives a C file. */
#ifndef STDBOOL_H
#define STDBOOL_H
#ifndef __cplusplus
#define bool _Bool
#define true 1
#define false 0
#endif
#endif

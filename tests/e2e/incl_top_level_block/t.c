/* the unit */
int before;
#ifdef __cplusplus
#endif
extern "C" {
#include "a.h"
}
int after;

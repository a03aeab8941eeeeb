/* Simulated by the test: its functions are replaced by stubs. */
#include "counter.h"

int store_writes;

int store_value(const char *key, int value)
{
    store_writes++;
    return 0;
}

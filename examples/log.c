/* Integrated with the test: its code runs as it is. */
#include "counter.h"

int log_count;

void log_event(const char *what)
{
    log_count++;
}

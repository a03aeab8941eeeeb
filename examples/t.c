/* A small tested unit: a bounded counter that logs through an integrated
   file and stores its value through a simulated file. */
#include "counter.h"

#define STEP 1

int current;
static int calls;

int counter_add(struct counter *c, int amount)
{
    calls++;
    if (c->value + amount > c->limit) {
        log_event("overflow");
        return -1;
    }
    c->value += amount;
    current = c->value;
    return store_value(c->name, c->value);
}

int counter_step(struct counter *c)
{
    return counter_add(c, STEP);
}

void counter_reset(struct counter *c)
{
    c->value = 0;
}

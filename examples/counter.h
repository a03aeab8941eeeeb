#ifndef COUNTER_H
#define COUNTER_H

struct counter {
    const char *name;
    int value;
    int limit;
};

void log_event(const char *what);
int store_value(const char *key, int value);

#endif

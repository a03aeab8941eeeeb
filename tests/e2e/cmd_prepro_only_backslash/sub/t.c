#include "h.h"
counter_t hits;
int bump(counter_t by) { hits += by; return hits; }
int broken(;

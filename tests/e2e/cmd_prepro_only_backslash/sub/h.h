typedef int counter_t;

#ifndef OWN_H
#define OWN_H
typedef int count_t;
int 3x;
extern count_t total;
#endif

/* A doubly linked list as C code bases write it: "new" and "class" are
   ordinary names in C. */
#ifndef LIST_H
#define LIST_H
#include "stdbool.h"

struct node {
  struct node *next, *prev;
  int class;
};

static inline void list_insert(struct node *new, struct node *prev, struct node *next)
{
  next->prev = new;
  new->next = next;
  new->prev = prev;
  prev->next = new;
}

static inline bool list_empty(const struct node *head) { return head->next == head; }
#endif

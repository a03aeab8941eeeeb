#include "list.h"

struct node queue;
bool ready = true;
_Bool done;
int template = 3, this;

void list_add(struct node *new, struct node *head)
{
  list_insert(new, head, head->next);
}

int sel(int class)
{
  return class > 2;
}

int parse(char operator, int typename)
{
  if (operator == '+')
    goto try;
  return typename;
try:
  return 0;
}

int private_count(struct node *this)
{
  int delete = 0, friend = 1;
  return delete + friend + this->class;
}

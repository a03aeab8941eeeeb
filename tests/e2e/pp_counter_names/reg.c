#include "uniq.h"

int UNIQUE(slot_);
int UNIQUE(slot_);

int first_slot(void)
{
    return slot_1 + slot_2;
}

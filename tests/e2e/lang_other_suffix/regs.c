#include "regs.inc"

reg_t regs[2];

int template(int this, reg_t *operator)
{
    return this + operator->class;
}

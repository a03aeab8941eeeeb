int regs_count;

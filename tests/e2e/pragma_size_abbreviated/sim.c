#if sizeof(int) == 2
int sim_int_is_16_bits;
#else
int sim_int_is_32_bits;
#endif
#if sizeof(long) == 8
long sim_long_is_64_bits;
#endif
int sim_read(void) { return 0; }

int run(void) { return 0; }

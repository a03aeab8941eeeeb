int printf(const char *format, ...);

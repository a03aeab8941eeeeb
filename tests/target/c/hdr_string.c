/* globals: name_buffer; functions: name_length copy_name */
#include <string.h>
char name_buffer[64];
size_t name_length(const char *name) { return strlen(name); }
char *copy_name(char *dest, const char *src, size_t n) { return strncpy(dest, src, n); }

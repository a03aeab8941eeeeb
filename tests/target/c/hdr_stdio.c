/* globals: log_stream line_buffer; functions: log_line copy_stream */
#include <stdio.h>
FILE *log_stream;
char line_buffer[BUFSIZ];
int log_line(FILE *f, const char *format, ...) { return fputs(format, f); }
size_t copy_stream(FILE *in, FILE *out) { return 0; }

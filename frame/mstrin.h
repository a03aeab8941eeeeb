// String pool and small text operations.
#pragma once
#include <cstddef>

// Concatenation of a null-terminated list of sources; at most 61440
// characters are written (plus the terminating zero). The shared library's
// bounded copy for code that builds texts in fixed buffers: this tool's own
// modules build std::string and do not call it, but it stays part of what
// the library offers every module.
char *xstrcpy(char *destination, ...);
char *xstrcat(char *destination, ...);

void pool_init();
// One shared copy per distinct text, kept until exit; null/empty -> nullptr.
const char *intern_string(const char *text);
const char *intern_string(const char *text, std::size_t length);

int compare_strings(const char *a, const char *b);
void upper_case_in_place(char *text);

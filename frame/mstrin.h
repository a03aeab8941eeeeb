// String pool and small text operations.
#pragma once
#include <cstddef>

// Concatenation of a null-terminated list of sources; at most 61440
// characters are written (plus the terminating zero).
char *xstrcpy(char *destination, ...);
char *xstrcat(char *destination, ...);

void pool_init();
// One shared copy per distinct text, kept until exit; null/empty -> nullptr.
const char *intern_string(const char *text);
const char *intern_string(const char *text, std::size_t length);
const char *non_null_text(const char *text);

void copy_string(char *destination, const char *source);
char *append_string(const char *source, char *destination);
int compare_strings(const char *a, const char *b);
void upper_case_in_place(char *text);
const char *trim_blanks(const char *text, int *skipped, int *length);
void copy_substring(const char *source, int start, int length, char *destination);
void copy_trimmed(const char *source, char *destination);
void pad_right(const char *source, char fill, int width, char *destination);

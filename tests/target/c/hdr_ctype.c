/* globals: folded; functions: fold_char */
#include <ctype.h>
int folded;
int fold_char(int c) { return isupper(c) ? tolower(c) : c; }

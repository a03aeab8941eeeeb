/* globals: open_flags; functions: open_read */
#include <fcntl.h>
int open_flags = O_RDONLY | O_CLOEXEC;
int open_read(const char *path) { return open(path, open_flags); }

/* globals: default_mode; functions: is_directory */
#include <sys/stat.h>
mode_t default_mode = 0644;
int is_directory(const char *path) { struct stat st; return stat(path, &st) == 0 && S_ISDIR(st.st_mode); }

/* globals: work_dir; functions: write_all sleep_a_bit */
#include <unistd.h>
char work_dir[256];
ssize_t write_all(int fd, const void *data, size_t size) { return write(fd, data, size); }
int sleep_a_bit(unsigned int seconds) { return sleep(seconds); }

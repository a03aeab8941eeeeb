/* globals: saved_errno; functions: save_errno */
#include <errno.h>
int saved_errno;
int save_errno(void) { saved_errno = errno; return saved_errno == EINTR; }

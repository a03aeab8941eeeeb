// The small layer between the tool and the operating system. Names the tool
// composes use the host's separator; names the user wrote with "\" are
// mapped to the host's only here, at the system call, so that they still
// open as they did.
#pragma once
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

// The directory separator of the host ('/' here), the one every name the
// tool composes is written with.
char sys_separator();
std::string sys_native_path(const char *name);
// The name made absolute against the working directory, "." and ".."
// steps resolved as text (links are kept).
std::string sys_absolute_path(const char *name);
std::FILE *sys_fopen(const char *name, const char *mode);
// A file opened for reading as a descriptor (-1 when it cannot be), read
// with one call per block: a stream's read of a known size asks once more to
// find the end. sys_read retries an interrupted call; 0 is the end, -1 an
// error.
int sys_open_read(const char *name);
long sys_read(int descriptor, char *buffer, std::size_t size);
void sys_close(int descriptor);
int sys_access(const char *name, int mode);  // 0 when allowed; modes as access(2)
int sys_stat(const char *name, struct stat *status);
int sys_unlink(const char *name);
int sys_rename(const char *from, const char *to);
bool sys_is_directory(const char *name);
bool sys_is_regular_file(const char *name);
// The entry names of a directory, "." and ".." left out, in no set order;
// false when it cannot be read.
bool sys_read_directory(const char *name, std::vector<std::string> &entries);
// Current local time as ctime(3) prints it, including its final newline.
std::string sys_ctime_now();
const char *sys_getenv(const char *name);  // case-sensitive names
// Large blocks go back to the system as soon as they are freed. An analysis
// frees its whole table before the next one is built; left to the
// allocator's own adaptive rule, the freed blocks would stay with the
// process, between the records of tables that live on, and the next table
// would need as much again. The heap of small records grows in large steps.
void sys_tune_memory();

// File and path utilities: suffix completion and directory checks.
#pragma once
#include <string>
#include <sys/stat.h>

enum FileKind : int {
  KIND_SCRIPT = 4,   // ORTEKPTU, "ptu"
  KIND_SYMBOLS = 7,  // ORTEKSMB, "smb"
  KIND_DEFINES = 8,  // ORTEKDEF, "def"
  KIND_HEADER = 10,  // ORTEKEXH, "h"
  KIND_SOURCE = 11   // ORTEKCPP, "cc"
};

std::string file_suffix(int kind);
// Directory (with the host's separators and a trailing one, "." when absent) and name.
void split_path(const std::string &path, std::string &directory, std::string &name);
void split_extension(const std::string &name, std::string &extension, std::string &base);
void make_file_name(std::string &path, int kind);
int file_not_readable(const char *path);
// The target folder (standard defines and headers): QZLTGT when it is set,
// none when it is set and empty, otherwise the one installed with the tool,
// PROBAXDIR/target/gcc, when that folder exists.
std::string target_directory();
int check_directory(const char *path);
int file_status(const char *path, struct stat *status);

// The generator's command line: its command table, the decoded options and
// the canonical command text echoed into the script header.
#pragma once
#include <string>

#include "sliste.h"

struct GeneratorOptions {
  std::string tested_file;     // positional 1, at most 999 characters
  std::string generated_file;  // positional 2, at most 999 characters
  StrList integrated_files;    // INTEGRATE values, command order
  StrList simulated_files;     // SIMULATE values, command order
  StrList used_files;          // USE values, command order
  int insert_requested = 0;    // 1 when INSERT was given
  int prepro_only = 0;         // 1 when PREPRO_ONLY was given
  StrList include_dirs;        // INCL values that are existing directories
  StrList defines;             // DEFINE values as typed ("NAME" or "NAME=value")
  std::string std_define_file; // STD_DEFINE, else the target's file (target_defines_file of target_directory), else empty
  std::string symbtab_file;
  std::string ada_link_file;
  std::string standard_file;
  std::string studio_log_file;
  std::string dependency_file;  // DEPFILE: written after a run that wrote its script
  std::string class_name = "ORTEK";
  int class_given = 0;
  int no_exceptions = 0;
  int no_image = 0;
  int kr_mode = 0;    // always 0 after decoding (KR is refused)
  int ansi_mode = 0;  // always 1 after decoding
  std::string command_text;  // canonical command, same text as handed back to main
};

// The process-wide options record: set once by decode_generator_command,
// read-only afterwards.
GeneratorOptions &generator_options();

// Releases the lists of generator_options() and gives it its initial values;
// a second decoding (tests, replays) starts from here instead of dropping
// the lists of the first.
void reset_generator_options();

// What a file name's suffix alone says of its language: ".c" is C; ".C" and
// ".cc", ".cpp", ".cxx", ".c++", ".hpp", ".hh", ".hxx" in any case are C++;
// any other suffix (".h", ".inc", none) leaves it to the including file.
enum SuffixLanguage { SUFFIX_C, SUFFIX_CPP, SUFFIX_OTHER };
SuffixLanguage suffix_language(const std::string &name);
// Whether a file name has a suffix of C++ source or header text.
bool is_cpp_file_name(const std::string &name);

// The standard defines file of the target directory `target` for a tested
// file: the C++ one for a C++ name, else the C one.
std::string target_defines_file(const std::string &target, const std::string &tested_file);

// Decodes the command line into generator_options() and composes the
// canonical command text into command_text (also kept in the record).
// Returns only when the command line was accepted; any complaint ends the
// run with the fatal "CMDFATALE" (status 7).
void decode_generator_command(int argc, char **argv, std::string &command_text);

// The compile database of a build (compile_commands.json): its entries read
// and checked, and each entry's compiler flags turned into ortekstart
// options.
#pragma once
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

struct CompileEntry {
  int index = 0;          // 1-based position in the database, for messages
  QString directory;      // the directory the compiler ran in (absolute)
  QString source;         // the source file, absolute and clean
  QStringList arguments;  // the compiler's command as words, argv[0] first
};

struct CompileDatabase {
  QString path;                       // the compile_commands.json read
  std::vector<CompileEntry> entries;  // the usable entries, database order
  QStringList problems;               // one clear message per rejected entry
  bool fatal = false;                 // not readable, not JSON, not an array
};

// Reads PATH: a compile_commands.json or the folder that holds one. An entry
// that cannot be used is named in `problems` and left out; the others stay.
CompileDatabase read_compile_database(const QString &path);

// Splits a command text into words as a POSIX shell does for plain words,
// quotes and backslashes (no expansions).
QStringList split_command(const QString &command);

// The ortekstart options of one entry: -INCL, -DEFINE, -USE (for -include)
// and -STD_DEFINE (a C++98/03 standard, when the target has that file).
// Flags that cannot change what the analyser sees (warnings, optimisation,
// code generation, dependency output) are dropped; any other flag is added
// to `unmapped` (flag -> first source that used it).
QStringList map_flags(const CompileEntry &entry, const QString &target_dir,
                      std::map<QString, QString> &unmapped);

// The target folder ortekstart will use: QZLTGT when set (empty: none), else
// PROBAXDIR/target/gcc when it exists.
QString batch_target_directory();

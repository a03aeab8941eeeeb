// Running ortekstart over the files of a compile database: the plan (which
// script each file gets, which are up to date), the parallel runs, the
// summary, the JSON report and the ninja file.
#pragma once
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

#include "bcomdb.h"

struct BatchOptions {
  QString database;       // PATH: compile_commands.json or its folder
  QString out_dir;        // --out
  QString root;           // --root: the folder mirrored under out_dir (default: common folder of the sources)
  QStringList filters;    // --filter GLOB, repeatable
  int jobs = 0;           // -j N (0: the number of cores)
  bool force = false;     // --force
  double timeout = 0;     // --timeout S (0: none)
  QString report;         // --report FILE.json
  QString ninja;          // --ninja FILE
  QString tool;           // --tool PATH (default: ortekstart beside ortekbatch)
  QStringList extra;      // after "--": given to every run
};

enum Outcome { OUT_CLEAN, OUT_WARNINGS, OUT_ERRORS, OUT_FATAL, OUT_SKIPPED };

struct BatchItem {
  CompileEntry entry;
  QString relative;   // source relative to the root
  QString script;     // absolute
  QString depfile;    // absolute
  QStringList arguments;  // ortekstart's arguments
  QString stamp;      // the arguments as one text, to see a changed command
  // Results.
  Outcome outcome = OUT_SKIPPED;
  int status = -1;    // exit status; -1 not run
  QString failure;    // "timeout", "killed by signal N", "could not start"
  double seconds = 0;
  std::map<QString, int> messages;  // message code -> count
  QString diagnostics;  // standard error of the run
};

// Parses the command line; false (with the reason in `error`) on bad usage.
// `help` is set for --help.
bool parse_batch_arguments(const QStringList &args, BatchOptions &options, QString &error, bool &help);
QString batch_usage();

// The whole batch; returns the exit status.
int run_batch(const BatchOptions &options);

// Whether a script is newer than everything its dependency file names (and
// all of them still exist); exposed for the tests.
bool script_up_to_date(const QString &script, const QString &depfile);
// The names of a make-style dependency file (prerequisites only).
QStringList read_depfile(const QString &depfile);
// Quoting for a POSIX shell, and escaping for a ninja path or variable.
QString shell_quoted(const QString &word);
QString ninja_escaped(const QString &text, bool path);

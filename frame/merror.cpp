#include "merror.h"

#include <QString>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

struct Reporter {
  // By code; an entry never registered stays null.
  std::vector<QString> catalogue = std::vector<QString>(MESSAGE_CODE_COUNT);
  int errors = 0;
  int warnings = 0;
  int told_count = 0;  // every diagnostic printed, whatever its severity
  std::string file;  // stored whole, however long
  int line = 0;
  bool suppressed = false;
  // Every diagnostic of a file position told in this run, by code, position
  // and text: the same text may be read more than once in a run (a header the tested file and
  // an integrated file both include, the tested file's own headers read for
  // the include section and again for its declarations), and the user is
  // told about each fault once.
  std::unordered_set<std::string> told;
};

Reporter &reporter() {
  static Reporter *r = new Reporter;  // process lifetime
  return *r;
}

// "%1" and "%2" are replaced in one pass over the catalogue text, so that an
// inserted argument (a file named a%2.c) is never scanned for placeholders.
std::string substitute(const std::string &text, std::string_view first, std::string_view second) {
  std::string out;
  out.reserve(text.size() + first.size() + second.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size()) {
      char n = text[i + 1];
      if (n == '1') {
        out.append(first);
        ++i;
        continue;
      }
      if (n == '2') {
        out.append(second);
        ++i;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

// A counter stops at its maximum instead of overflowing; the summary of a
// run that long is still right in kind (errors, warnings).
void count(int &counter) {
  if (counter < INT_MAX) ++counter;
}

}  // namespace

void register_message(MessageCode code, const QString &text) {
  // An empty text stays distinct from an entry never registered.
  reporter().catalogue[code.index()] = text.isNull() ? QString("") : text;
}

void emit_diagnostic(MessageCode code, char letter, std::string_view first, std::string_view second) {
  std::string line = "ProbaX-";
  line.push_back(letter);
  line += '-';
  line += message_name(code);
  line += ",  ";
  const QString &entry = reporter().catalogue[code.index()];
  if (!entry.isNull()) {
    std::string text = entry.toLocal8Bit().toStdString();
    line += substitute(text, first, second);
  } else {
    line.append(first);
    line += ' ';
    line.append(second);
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

static ExitHook exit_hook = nullptr;

ExitHook set_exit_hook(ExitHook hook) {
  ExitHook old = exit_hook;
  exit_hook = hook;
  return old;
}

void flush_and_exit(int status) {
  std::fflush(stderr);
  std::fflush(stdout);
  if (exit_hook) exit_hook(status);
#if defined(ORTEK_FULL_EXIT) || defined(__SANITIZE_ADDRESS__)
  // The leak check runs among the exit handlers.
  std::exit(status);
#else
  // One run is one process: what the libraries' exit handlers would do
  // (destroy their codecs and tables, give their memory back, touching
  // pages for it) goes with the process anyway. Every stream is flushed and
  // the run's own cleanups, registered for this exit too, are called.
  std::fflush(nullptr);
  std::quick_exit(status);
#endif
}

void report(MessageCode code, std::string_view arg, std::string_view file, int line) {
  Reporter &r = reporter();
  const Severity severity = code.severity();
  if (r.suppressed && severity >= SEV_ERROR) return;
  std::string prefix;
  if (!file.empty())
    prefix = "[" + std::string(file) + ":" + std::to_string(line) + "] ";
  else if (line != 0)
    prefix = "[" + std::to_string(line) + "] ";
  if (severity >= SEV_ERROR && !file.empty()) {
    std::string key = std::to_string(code.index());
    key += '\0';
    key += prefix;
    key += '\0';
    key.append(arg);
    if (!r.told.insert(std::move(key)).second) return;
  }
  ++r.told_count;
  switch (severity) {
    case SEV_INTERNAL:
      emit_diagnostic(code, 'S', prefix, arg);
      flush_and_exit(9);
    case SEV_FATAL:
      emit_diagnostic(code, 'F', prefix, arg);
      flush_and_exit(7);
    case SEV_ERROR:
      count(r.errors);
      emit_diagnostic(code, 'E', prefix, arg);
      break;
    case SEV_WARNING:
      count(r.warnings);
      emit_diagnostic(code, 'W', prefix, arg);
      break;
    default:
      emit_diagnostic(code, 'I', prefix, arg);
      break;
  }
}

static void report_here(MessageCode code, std::string_view arg) {
  report(code, arg, reporter().file, reporter().line);
}

void report_internal(InternalCode code, std::string_view arg) {
  report_here(code, arg);
  flush_and_exit(9);
}
void report_fatal(FatalCode code, std::string_view arg) {
  report_here(code, arg);
  flush_and_exit(7);
}
void report_fatal_text(FatalCode code, const char *text) { report_fatal(code, text ? text : ""); }
void report_error(ErrorCode code, std::string_view arg) { report_here(code, arg); }
void report_warning(WarningCode code, std::string_view arg) { report_here(code, arg); }
void report_info(InfoCode code, std::string_view arg) { report_here(code, arg); }

void set_report_position(std::string_view file, int line) {
  reporter().file.assign(file);
  reporter().line = line;
}

void report_at_position(MessageCode code, std::string_view arg, std::string_view file, int line) {
  set_report_position(file, line);
  report_here(code, arg);
}

void finish_run() {
  const int e = reporter().errors, w = reporter().warnings;
  InfoCode code;
  std::string first, second;
  int status;
  if (e > 0) {
    code = w > 0 ? MSG_ENDERRWAR : MSG_ENDERRNWR;
    status = 5;
    first = std::to_string(e);
    if (w > 0) second = std::to_string(w);
  } else if (w > 0) {
    code = MSG_ENDNOEWAR;
    status = 3;
    second = std::to_string(w);
  } else {
    code = MSG_ENDNOENWR;
    status = 0;
  }
  emit_diagnostic(code, 'I', first, second);
  flush_and_exit(status);
}

int error_count() { return reporter().errors; }
int warning_count() { return reporter().warnings; }
int diagnostics_told() { return reporter().told_count; }

bool set_reports_suppressed(bool on) {
  bool old = reporter().suppressed;
  reporter().suppressed = on;
  return old;
}

void reset_reporter() {
  Reporter &r = reporter();
  r.errors = r.warnings = 0;
  r.file.clear();
  r.line = 0;
  r.suppressed = false;
  r.told.clear();
}

// Diagnostic reporting: every module tells the user something through here.
#pragma once
#include <string_view>

class QString;

enum Severity : int {
  SEV_INTERNAL = 0,  // 'S', exit 9
  SEV_FATAL = 1,     // 'F', exit 7
  SEV_ERROR = 2,     // 'E', counted
  SEV_WARNING = 3,   // 'W', counted
  SEV_INFO = 4       // 'I'
};

// Arguments are byte strings in the local 8-bit encoding; they are inserted
// into the (translated) catalogue text as they are.
void register_message(const char *code, const QString &text);

void report(int severity, const char *code, std::string_view arg, std::string_view file, int line);
[[noreturn]] void report_internal(const char *code, std::string_view arg = {});
[[noreturn]] void report_fatal(const char *code, std::string_view arg = {});
[[noreturn]] void report_fatal_text(const char *code, const char *text);
void report_error(const char *code, std::string_view arg = {});
void report_warning(const char *code, std::string_view arg = {});
void report_info(const char *code, std::string_view arg = {});
void set_report_position(std::string_view file, int line);
void report_at_position(int severity, const char *code, std::string_view arg, std::string_view file, int line);

// The callback the preprocessor and the analyser report through.
using ReportCallback = void (*)(int severity, const char *code, std::string_view arg,
                                std::string_view file, int line);

// One formatted diagnostic line on standard error; not counted.
void emit_diagnostic(const char *code, char letter, std::string_view first, std::string_view second);

[[noreturn]] void finish_run();
[[noreturn]] void flush_and_exit(int status);

int error_count();
int warning_count();

// While suppressed, reports of severity 2 to 4 print nothing and count
// nothing (fatal and internal reports still end the run). Returns the
// previous setting so that callers can nest.
bool set_reports_suppressed(bool on);

// Test support: while a hook is set, every exit of the reporter (fatal and
// internal reports, finish_run) calls it with the status after flushing;
// the hook must not return (it throws or jumps). Returns the previous hook.
using ExitHook = void (*)(int status);
ExitHook set_exit_hook(ExitHook hook);

// Test support: clears counters, position and suppression (not the catalogue).
void reset_reporter();

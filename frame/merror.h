// Diagnostic reporting: every module tells the user something through here.
#pragma once
#include <string_view>

#include "mcodes.h"

class QString;

// Arguments are byte strings in the local 8-bit encoding; they are inserted
// into the (translated) catalogue text as they are. A report's severity is
// the one of its code's row (mcodes.h).
void register_message(MessageCode code, const QString &text);

// An error, warning or info at a file position told already in this run
// (same code, file, line and text) is neither printed nor counted again.
// Reports with the given position, which does not become the current one.
void report(MessageCode code, std::string_view arg, std::string_view file, int line);
[[noreturn]] void report_internal(InternalCode code, std::string_view arg = {});
[[noreturn]] void report_fatal(FatalCode code, std::string_view arg = {});
[[noreturn]] void report_fatal_text(FatalCode code, const char *text);
void report_error(ErrorCode code, std::string_view arg = {});
void report_warning(WarningCode code, std::string_view arg = {});
void report_info(InfoCode code, std::string_view arg = {});
void set_report_position(std::string_view file, int line);
void report_at_position(MessageCode code, std::string_view arg, std::string_view file, int line);

// The one report signature: what the preprocessor and the analyser report
// through, and what a caller hands them to collect or silence their reports.
using ReportCallback = void (*)(MessageCode code, std::string_view arg, std::string_view file, int line);

// One formatted diagnostic line on standard error; not counted.
void emit_diagnostic(MessageCode code, char letter, std::string_view first, std::string_view second);

[[noreturn]] void finish_run();
[[noreturn]] void flush_and_exit(int status);

int error_count();
int warning_count();
// Every diagnostic printed so far, information included: a caller tells
// whether anything was said while it worked.
int diagnostics_told();

// While suppressed, reports of severity 2 to 4 print nothing and count
// nothing (fatal and internal reports still end the run). Returns the
// previous setting so that callers can nest.
bool set_reports_suppressed(bool on);

// Test support: while a hook is set, every exit of the reporter (fatal and
// internal reports, finish_run) calls it with the status after flushing;
// the hook must not return (it throws or jumps). Returns the previous hook.
using ExitHook = void (*)(int status);
ExitHook set_exit_hook(ExitHook hook);

// Test support: clears counters, position, suppression and the diagnostics
// told (not the catalogue).
void reset_reporter();

// Internals shared by the preprocessor's source files; not for other modules.
#pragma once
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "cprepr.h"
#include "y1_tab.h"

// Level kinds.
enum : int { LV_TEXT = 1, LV_RESCAN = 3, LV_FILE = 6, LV_MACRO = 7 };

// Character classes, indexed by the byte as unsigned char.
extern unsigned char pp_class[256];
enum : unsigned char { CC_ID = 1, CC_IDSTART = 2, CC_HSPACE = 4, CC_SPACE = 8 };
inline bool is_id(char c) { return pp_class[(unsigned char)c] & CC_ID; }
inline bool is_idstart(char c) { return pp_class[(unsigned char)c] & CC_IDSTART; }
inline bool is_hspace(char c) { return pp_class[(unsigned char)c] & CC_HSPACE; }
inline bool is_space(char c) { return pp_class[(unsigned char)c] & CC_SPACE; }
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
void pp_build_classes();

// Length of a backslash-newline at p (2 for "\\\n", 3 for "\\\r\n"), else 0.
inline int continuation_at(const char *p) {
  if (p[0] != '\\') return 0;
  if (p[1] == '\n') return 2;
  if (p[1] == '\r' && p[2] == '\n') return 3;
  return 0;
}

// Would a and b, written next to each other, read as one operator token
// ("- -1" written as "--1")? Expansions keep such neighbours apart.
inline bool would_paste(char a, char b) {
  // The first two characters of every operator of two or more characters,
  // and the comment openers.
  static const char pairs[] = "++--->+=-=*=/=%=&=|=^=<<>><=>===!=&&||##::..///*.*";
  if (!a || !b) return false;
  for (const char *p = pairs; p[0] && p[1]; p += 2)
    if (p[0] == a && p[1] == b) return true;
  return false;
}

// ---- state, levels, reporting (cprepr.cpp)
InputLevel *pp_innermost_named();
InputLevel &pp_top();
// A fixed argument text of a report, in the user's language.
std::string pp_translated(const char *text);
// Reports at the innermost named level (line -1: its current line).
void pp_report(int severity, const char *code, std::string_view arg = {}, int line = -1);
// The one routine that pushes a level: "NBRECURSI" (fatal) when the stack is full.
InputLevel &pp_push_level(int kind);
// Pushes a level over a text it owns (kept NUL-terminated).
InputLevel &pp_push_owned(int kind, std::string text);
// Pushes a level over a text owned elsewhere that outlives the level.
InputLevel &pp_push_view(int kind, const char *text, std::size_t length);
// Pops the top level; re-enables its macro.
void pp_pop_level();
// The include directives; operand is the collected text after the name.
void pp_include(const char *start, const char *end, bool next, OutputBuffer &out);
IncludeDir *pp_append_dir(const std::string &text);
void pp_register_standard_dir(const std::string &text);

// ---- scanning and output (cpscan.cpp)
void pp_scan(OutputBuffer &out, int output_marks);
void pp_line_marker(InputLevel &level, OutputBuffer &out, bool resync);
// Skips a literal starting at the quote *start; returns the position after
// it (or the newline / end where it stops). *newlines counts
// backslash-newlines; *unterminated tells it stopped early.
const char *pp_skip_literal(const char *start, const char *end, int *newlines, bool *unterminated);
// p at "/*"; returns after "*/" or end; counts newlines; *unterminated.
const char *pp_skip_block_comment(const char *p, const char *end, int *newlines, bool *unterminated);
// Pushes text as a rescan level and scans it into a fresh buffer.
std::string pp_rescan(const std::string &text, int rescan_kind, int output_marks);

// ---- directives (cpdirec.cpp)
// Level positioned after the '#'; returns 1 when a directive was handled.
int pp_directive(InputLevel &level, OutputBuffer &out);
// Skips lines until the #else/#elif/#endif of the current conditional.
void pp_skip_group(InputLevel &level);
// Does the text after "pragma" start analysis again (directly or through the map)?
bool pp_pragma_starts_analysis(const char *start, const char *end);
void pp_release_conditionals();
void pp_install_eval_hooks();

// ---- macros (cpmacro.cpp)
void pp_install_builtins();
void pp_define(const char *start, const char *end);
void pp_undefine(const char *name, std::size_t length);
// Expands one use of entry; for function-like macros the caller has consumed
// the opening bracket (opener). Pushes a level or writes a built-in's text.
void pp_expand(MacroEntry *entry, OutputBuffer &out, char opener);
// Looks past white space and comments (crossing exhausted expansion levels
// above base) for the opening bracket of a call; consumes it and returns it
// when found, else 0 and nothing is consumed.
char pp_find_call_bracket(MacroEntry *entry, int base);
MacroEntry *pp_insert_entry(const char *name, std::size_t length, int kind);
void pp_remove_entry(MacroEntry *entry);
void pp_free_definition(MacroDefinition *def);

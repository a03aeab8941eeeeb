// The C preprocessor: turns a C or C++ text into the one preprocessed text
// (with "#line" markers and the pass-through pragma lines) that the
// declaration analyser scans.
//
// Life cycle: pp_init once per analysis context (each context owns its
// MacroTable), any number of pp_process_text runs, then pp_release.
// The state is one process-wide record: one run at a time.
#pragma once
#include <cstddef>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "merror.h"

constexpr int PP_HASH_SIZE = 1403;   // a prime: names spread better than with 1024
constexpr int PP_STACK_SIZE = 2000;  // input levels; "NBRECURSI" once 1999 are in use
constexpr int PP_MAX_DEPTH = PP_STACK_SIZE - 1;

// ---------------------------------------------------------------- macros

enum MacroKind : int {
  MK_LINE = 10,
  MK_DATE = 11,
  MK_FILE = 12,
  MK_BASE_FILE = 13,
  MK_INCLUDE_LEVEL = 14,
  MK_TIME = 16,
  MK_STDC = 17,
  MK_USER = 18,
  MK_DISABLED = 19,  // a user macro whose expansion is being scanned
  MK_DEFINED = 20    // "defined", present only while an #if text is expanded
};

// One parameter reference of a function-like body, in body order.
struct MacroReference {
  int nchars = 0;          // expansion characters since the previous reference
  int argno = 0;           // parameter index; -1 for __VA_ARGS__
  char stringify = 0;      // 0, '"' for #, '\'' for #@
  bool raw_before = false; // follows ##
  bool raw_after = false;  // precedes ##
};

struct MacroDefinition {
  int nargs = -1;              // -1 object-like; else parameter count ("..." counts one)
  std::string expansion;       // body without the parameter references
  int rest_args = 0;           // 0 none, 1 named "name...", 2 anonymous "..." (__VA_ARGS__)
  bool bracketed = false;      // parameters written and called with [ ]
  std::vector<MacroReference> pattern;
  std::string parameter_names; // joined with ", "
};

struct MacroEntry {
  MacroEntry *next = nullptr;
  MacroEntry *prev = nullptr;
  int bucket = 0;
  int kind = MK_USER;
  std::string name;
  MacroDefinition *value = nullptr;  // kinds 18 and 19 only
};

// Owned by the caller (one per analysis context).
struct MacroTable {
  MacroEntry *buckets[PP_HASH_SIZE] = {};
};

// Bucket of a name as the scanner computes it while reading an identifier.
int pp_hash_bucket(const char *name, std::size_t length);
// The entry of that name, or nullptr; bucket -1 means "compute it".
MacroEntry *pp_lookup(const char *name, std::size_t length, int bucket = -1);

// ---------------------------------------------------------------- state

struct IncludeDir {
  IncludeDir *prev = nullptr;
  IncludeDir *next = nullptr;
  std::string text;
  bool bare = false;     // no text: stands for the bare name
  bool builtin = false;  // /usr/include and /usr/local/include: never freed
};

struct InputLevel {
  std::string name;  // nominal file name
  bool named = false;
  int line = 1;
  const char *buffer = nullptr;    // NUL-terminated
  const char *position = nullptr;  // next character to read
  const char *end = nullptr;       // the terminating NUL
  std::size_t length = 0;
  MacroEntry *macro = nullptr;     // the macro whose expansion this level holds
  std::size_t if_stack_at_entry = 0;  // conditional frames at or above belong to this level
  std::string owned_text;          // storage for texts the level owns
  int kind = 0;                    // 1 caller text, 3 rescan, 6 file, 7 macro expansion
  IncludeDir *found_in = nullptr;  // chain entry where the file was found
  IncludeDir *appended_dir = nullptr;  // includer's directory node, cleared at the end
};

struct CondFrame {
  std::string file;
  int line = 0;
  int if_succeeded = 0;
  int kind = 5;  // 5 #if/#ifdef/#ifndef; 3/4/5 inside a skipped group; 6 after #else; 7 after #elif
};

struct SkipMarker {
  std::size_t frame = 0;  // index into if_stack
  int skipping = 0;
  int line = 0;
};

struct PragmaMapEntry {
  std::string pattern;
  std::string replacement;
};

struct OutputBuffer {
  int line = 1;
  int rescan_kind = 2;  // 2 run output; 3 pragma, 4 #if, 5 #include operand, 8 macro argument
  std::string text;
};

// Cached contents of files read by the include search, keyed by path.
struct PpFileCache;

struct PpState {
  MacroTable *macro_table = nullptr;
  std::vector<InputLevel> levels;  // reserved to PP_STACK_SIZE: never moves
  int depth = -1;
  IncludeDir *include_head = nullptr;
  IncludeDir *include_tail = nullptr;
  std::size_t longest_dir = 19;
  std::vector<std::string> included_files;
  std::unordered_set<std::string> included_index;
  std::vector<CondFrame> if_stack;     // innermost last
  std::vector<SkipMarker> skip_stack;  // innermost last
  std::vector<PragmaMapEntry> pragma_map;
  OutputBuffer *output = nullptr;
  int escape_line_names = 0;  // PREPRO_ONLY: escape "\" and '"' in line markers
  int analysis_on = 1;        // switched by the stop/start pragmas; survives runs
  int start_now = 1;
  int error_count = 0;
  ReportCallback callback = nullptr;
  std::vector<std::string> type_modifiers;
  std::vector<std::string> standard_dirs;  // registered for the analyser
  PpFileCache *file_cache = nullptr;
  int plain_char_unsigned = 0;  // set by the "signof" pragma; the analyser reads it
};

extern PpState pp_state;

// ---------------------------------------------------------------- run

// definitions and include_dirs: arrays ending with a null entry (or null).
void pp_init(const char *const *definitions, const char *const *include_dirs,
             MacroTable &macro_table, int full);
// Returns the number of error reports; result receives the preprocessed text.
int pp_process_text(const char *text, int start_now, const char *name, int line,
                    std::string &result, MacroTable &macro_table, ReportCallback callback);
void pp_release(MacroTable &macro_table, int free_chain);

// NAME or NAME=VALUE, as given with -D.
void pp_define_option(const char *text);
void pp_undefine_name(const char *name);
// Appends the directory of a file name to the include chain; nullptr for "".
IncludeDir *pp_add_dir_of_file(const char *name);
// Expansion text of a user macro when not empty, else nullptr.
const char *pp_lookup_macro_text(const char *name);
// "name value": defined unless a user macro of that name exists.
void pp_define_if_absent(const char *text);

// Trigraph then digraph replacement in place; line lengths are kept.
void pp_prepare_buffer(std::string &text);

// ---------------------------------------------------------------- for the analyser

// Directories of standard headers ("lib" target directory, the two system
// directories, "incl_std" pragmas), in registration order.
const std::vector<std::string> &pp_standard_dirs();
bool pp_is_type_modifier(const char *name, std::size_t length);
// The report callback given to the last pp_process_text.
ReportCallback pp_report_callback();

// The type sizes that sizeof in #if consults live with the evaluator
// (y1_tab.h: if_target_sizes, if_register_type_size); the "sizeof" pragma
// below changes them. Whether plain char is unsigned is
// pp_state.plain_char_unsigned.

// Lets the analyser size or sign a type name declared from a basic type:
// bits > 0 sets the size; sign 0 signed, 1 unsigned, -1 unchanged.
// Returns false when the name is no such type.
using PpBasicTypeHook = bool (*)(const char *name, int bits, int sign);
void pp_set_basic_type_hook(PpBasicTypeHook hook);

// Operands of the passed-through lines "#pragma ortek sizeof ..." and
// "... signof ...": "[(]type[)] = value".
void pp_pragma_sizeof(const char *operand);
void pp_pragma_signof(const char *operand);

// Test support: forgets the include chain, lists, pragma map, cache and
// flags (the state of a fresh process). Tables stay with their owners.
void pp_reset_for_tests();

// The C preprocessor: turns a C or C++ text into the one preprocessed text
// (with "#line" markers and the pass-through pragma lines) that the
// declaration analyser scans.
//
// Life cycle: pp_init once per analysis context (each context owns its
// MacroTable), any number of pp_process_text runs, then pp_release. Every
// call that reads or changes macros names the table it works on. The
// preprocessor's own state (input stack, include chain, conditionals,
// pragma map) is one process-wide record private to this library: one run
// at a time.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct MacroIndex;  // the entries and their name index, private to the preprocessor

// The macros of one analysis context. Owned by the caller; the entries the
// preprocessor leaves in it (the built-ins stay after pp_release) go with it.
struct MacroTable {
  MacroTable();
  ~MacroTable();
  MacroTable(const MacroTable &) = delete;
  MacroTable &operator=(const MacroTable &) = delete;
  MacroIndex &index() { return *index_; }

 private:
  std::unique_ptr<MacroIndex> index_;
};

// ---------------------------------------------------------------- run

// definitions and include_dirs: arrays ending with a null entry (or null).
// Only the first context (full) appends the include directories and the
// target directory to the chain, which the contexts share.
void pp_init(const char *const *definitions, const char *const *include_dirs, MacroTable &macro_table,
             bool full);
// Returns the number of error reports; result receives the preprocessed text.
// Reports go through report_at_position with the position of the construct.
int pp_process_text(const char *text, bool start_now, const char *name, int line, std::string &result,
                    MacroTable &macro_table);
// Reports the conditionals left open, undefines the user macros of the
// table (the built-ins stay) and, with free_chain, empties the include chain.
void pp_release(MacroTable &macro_table, bool free_chain);
// The table's last use before the process ends: the conditionals left open
// are reported as pp_release does, and nothing is freed, since the process
// gives everything back at once.
void pp_release_at_exit(MacroTable &macro_table);

// Includes made while exactly `named` named levels are open (0: those of
// the caller's text, 1: those of the file the text includes) are recorded,
// and read from a recording when the macros they look at, the include chain
// and the file are the same as then; -1 (the default) switches this off.
// Recordings serve every macro table of the run.
void pp_set_include_reuse(int named);
// Includes taken from a recording so far (tests, measurements).
int pp_reused_includes();

// Line markers of later runs escape "\" and '"' in file names (PREPRO_ONLY).
void pp_set_escape_line_names(bool escape);

// NAME or NAME=VALUE, as given with -D.
void pp_define_option(MacroTable &macro_table, const char *text);
void pp_undefine_name(MacroTable &macro_table, const char *name);
// Expansion text of a user macro when not empty, else nullptr.
const char *pp_lookup_macro_text(MacroTable &macro_table, const char *name);
// "name value": defined unless a user macro of that name exists.
void pp_define_if_absent(MacroTable &macro_table, const char *text);
// Appends the directory of a file name to the include chain (nothing for "").
void pp_add_dir_of_file(const char *name);

// Trigraph then digraph replacement in place; line lengths are kept.
void pp_prepare_buffer(std::string &text);
// False when the text holds no pair of characters that starts a trigraph or
// is a digraph: pp_prepare_buffer leaves it, and every part of it, as it is
// (a part with blanks or '#' put in, too: neither is in such a pair).
bool pp_may_need_preparing(const std::string &text);

// ---------------------------------------------------------------- for the analyser

// Names declared with the "type_modifier" pragma (until pp_release).
bool pp_is_type_modifier(const char *name, std::size_t length);
// How many there are: the analysis of a text reads its words in the light of
// every one declared before it is read, wherever in the text it stands.
std::size_t pp_type_modifier_count();

// ---------------------------------------------------------------- the tool's pragmas
//
// "#pragma ortek KEYWORD operand". A keyword may be abbreviated down to its
// shortest accepted form; the first keyword of the table that the word
// abbreviates is the one meant (so "stop" is "stop_analyse", "si" is
// "sizeof"). Most keywords act in the preprocessor; those of the analyser's
// layer are passed through to the analyser, which acts on them when it
// meets their line, through the same table.

// The operand "[(]type[)] = value" of the size and sign pragmas, read by the
// one parser both layers use: the blanks in the type name are dropped
// ("long long" is "longlong").
struct PragmaOperand {
  std::string type;
  std::string value;
  int bits = 0;         // sizeof: the size set
  int sign = -1;        // signof: 1 unsigned, 0 signed
  bool basic = false;   // a basic type's size or sign, all done by the handler
};
bool pp_pragma_operand(std::string_view text, PragmaOperand &operand);

enum class PragmaLayer { preprocessor, analyser, none };

struct PragmaKeyword {
  const char *spelling;
  int shortest;  // length of the shortest accepted abbreviation
  PragmaLayer layer;
  // The action on the operand (the rest of the line after the keyword);
  // false when the operand is malformed. For the analyser's keywords it sets
  // the target sizes and fills parsed; the analyser then sizes or signs a
  // type name of its own (parsed.basic false).
  bool (*handler)(std::string_view operand, PragmaOperand *parsed);
};

// text: what follows the word "pragma". The keyword of an "ortek" pragma, or
// nullptr (another pragma, no keyword, a word that abbreviates none);
// operand receives the rest of the line after the keyword.
const PragmaKeyword *pp_ortek_pragma(std::string_view text, std::string_view *operand = nullptr);
// The keyword a word abbreviates, or nullptr.
const PragmaKeyword *pp_pragma_keyword(std::string_view word);

// Test support: forgets the include chain, lists, pragma map, cache and
// flags (the state of a fresh process). Tables stay with their owners.
// Every file the preprocessor has read during the run, in first-read order.
const std::vector<std::string> &pp_included_files();

void pp_reset_for_tests();

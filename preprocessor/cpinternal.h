// Internals shared by the preprocessor's source files (and its own tests);
// not for other modules.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <string_view>

#include <deque>
#include <unordered_set>
#include <vector>

#include "cprepr.h"
#include "merror.h"
#include "mstrin.h"
#include "y1_tab.h"

constexpr int PP_STACK_SIZE = 2000;  // input levels; "NBRECURSI" once 1999 are in use
constexpr int PP_MAX_DEPTH = PP_STACK_SIZE - 1;

// Input level kinds: the caller's text, a rescanned directive or argument
// text, a file, a macro expansion.
enum LevelKind : int { LV_TEXT = 1, LV_RESCAN = 3, LV_FILE = 6, LV_MACRO = 7 };

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
  MK_DEFINED = 20,  // "defined", present only while an #if text is expanded
  MK_COUNTER = 21   // __COUNTER__, a common extension: 0, 1, 2... per table
};

// Pseudo parameter numbers that bracket the group of a __VA_OPT__.
constexpr int VA_OPT_BEGIN = -3;
constexpr int VA_OPT_END = -4;

// One parameter reference of a function-like body, in body order.
struct MacroReference {
  int nchars = 0;          // expansion characters since the previous reference
  int argno = 0;           // parameter index; -1 for __VA_ARGS__; VA_OPT_BEGIN, VA_OPT_END
  char stringify = 0;      // 0, '"' for #, '\'' for #@
  bool raw_before = false; // follows ##
  bool raw_after = false;  // precedes ##
};

// The storage of macro entries and definitions (cpmacro.cpp): they come and
// go by the thousand, and are carved from blocks kept for the process, a
// freed one kept for the next of its size.
void *pp_pool_allocate(std::size_t size);
// cell came from pp_pool_allocate(size).
void pp_pool_free(void *cell, std::size_t size);

struct MacroDefinition {
  int nargs = -1;              // -1 object-like; else parameter count ("..." counts one)
  std::string expansion;       // body without the parameter references
  int rest_args = 0;           // 0 none, 1 named "name...", 2 anonymous "..." (__VA_ARGS__)
  bool bracketed = false;      // parameters written and called with [ ]
  std::vector<MacroReference> pattern;
  std::string parameter_names; // joined with ", "
  // A definition does not change once entered: the tables and the recordings
  // of included files that hold it share it (see pp_share_definition), and
  // it is never copied.
  std::uint32_t holders = 1;
  MacroDefinition() = default;
  MacroDefinition(const MacroDefinition &) = delete;
  MacroDefinition &operator=(const MacroDefinition &) = delete;
  static void *operator new(std::size_t size) { return pp_pool_allocate(size); }
  static void operator delete(void *cell, std::size_t size) { pp_pool_free(cell, size); }
};

struct MacroEntry {
  MacroEntry *next = nullptr;
  MacroEntry *prev = nullptr;
  std::uint32_t hash = 0;  // pp_hash_name of the name; its low bits choose the bucket
  MacroKind kind = MK_USER;
  // A user macro whose expansion is being scanned: its name is not expanded
  // again until the expansion's level is popped.
  bool expanding = false;
  // The recording of an included file that noted this entry (cpreuse.cpp).
  std::uint32_t memo_mark = 0;
  // Its characters follow the entry in the entry's own allocation (see
  // pp_insert_entry and pp_delete_entry), NUL-terminated.
  std::string_view name;
  MacroDefinition *value = nullptr;  // user macros only
};

// The entries by name: chains hanging from a power-of-two array of heads
// that doubles whenever the entries outnumber it, so that a lookup walks
// one or two entries however many macros a file defines. Within a chain
// the newest entry of a name comes first (a temporary "defined" hides a
// user macro of that name), and growing keeps that order.
struct MacroIndex {
  std::vector<MacroEntry *> buckets = std::vector<MacroEntry *>(1024, nullptr);
  std::size_t count = 0;
  std::size_t bucket_of(std::uint32_t hash) const { return (hash ^ (hash >> 15)) & (buckets.size() - 1); }
  // Files that said "#pragma once", by device and file number: a link or
  // another spelling of the path names the same file.
  std::set<std::pair<unsigned long long, unsigned long long>> once_files;
  // The next value of __COUNTER__: a table is one translation unit.
  long counter = 0;
};

// The hash of a name, one character at a time, as the scanner computes it
// while it reads an identifier.
constexpr std::uint32_t PP_HASH_START = 2166136261u;
inline std::uint32_t pp_hash_step(std::uint32_t hash, char c) {
  return (hash ^ static_cast<unsigned char>(c)) * 16777619u;
}
std::uint32_t pp_hash_name(const char *name, std::size_t length);

// The newest entry of that name in the current table, or nullptr.
// Inline (defined at the end): the scan looks up every name it reads.
inline MacroEntry *pp_lookup(const char *name, std::size_t length, std::uint32_t hash);
MacroEntry *pp_lookup(const char *name, std::size_t length);

// ---------------------------------------------------------------- state

struct IncludeDir {
  IncludeDir *prev = nullptr;
  IncludeDir *next = nullptr;
  std::string text;
  bool bare = false;     // no text: stands for the bare name
  bool builtin = false;  // /usr/include and /usr/local/include: never freed
  bool standard = false; // placed by "pragma ortek incl_std"
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
  LevelKind kind = LV_TEXT;
  IncludeDir *found_in = nullptr;  // chain entry where the file was found
  IncludeDir *appended_dir = nullptr;  // includer's directory node, cleared at the end
};

// The level's name, interned: every conditional of a header keeps it.
// Hashing the path at each #if of a header cost more than the rest of
// opening the conditional; the name last interned is kept and compared
// instead (a file's conditionals mostly follow one another).
inline const char *pp_interned_name(const InputLevel &lv) {
  static const char *last = nullptr;  // a copy of the pool's: kept until exit
  static std::size_t last_length = 0;
  const std::size_t length = lv.name.size();
  if (!last || last_length != length || !same_text_bytes(last, lv.name.data(), length)) {
    last = intern_string(lv.name.data(), length);
    last_length = length;
  }
  return last;
}

// Where a conditional stands. One opened normally is CK_IF whatever its
// directive; one opened inside a skipped group keeps its directive's kind
// (only the "unterminated" report tells them apart).
enum CondKind : int { CK_IFDEF = 3, CK_IFNDEF = 4, CK_IF = 5, CK_ELSE = 6, CK_ELIF = 7 };

struct CondFrame {
  // The file's name, interned (none for a level without one): a conditional
  // is opened at every #if of every header, and a copy of the path each
  // time cost an allocation.
  const char *file = nullptr;
  int line = 0;
  int if_succeeded = 0;  // groups taken so far
  CondKind kind = CK_IF;
};

struct SkipMarker {
  std::size_t frame = 0;  // index into if_stack
  bool skipping = false;
  int line = 0;
};

struct PragmaMapEntry {
  std::string pattern;
  std::string replacement;
};

// What a scan's output is for.
enum RescanKind : int {
  RK_OUTPUT = 2,    // the run's output
  RK_PRAGMA = 3,    // a pragma map replacement: its directives act, its text is dropped
  RK_IF = 4,        // an #if expression: a '#' ends it
  RK_INCLUDE = 5,   // an #include operand
  RK_ARGUMENT = 8   // a macro argument expanded before substitution
};

struct OutputBuffer {
  int line = 1;
  RescanKind rescan_kind = RK_OUTPUT;
  std::string text;
};

// Cached contents of files read by the include search, keyed by path.
struct PpFileCache;
// The reading of an included file being recorded for reuse (cpreuse.cpp).
struct MemoRecording;

// The names of the type_modifier pragma. The analyser asks for every
// identifier, and few identifiers begin like a modifier and are as long as
// one: a bit per pair of leading characters and a bit per length answer
// most of them without hashing the name.
class TypeModifierSet {
 public:
  bool contains(std::string_view name) const {
    // The length first: it is one bit, and no name is empty (nor is bit 0
    // ever set), so that most files, which declare no modifier, are
    // answered at once.
    if (!may_have_length(name.size()) || !may_start(name[0], name.size() > 1 ? name[1] : '\0')) return false;
    return set_.count(name) != 0;
  }
  void insert(std::string_view name) {
    if (name.empty() || contains(name)) return;
    names_.emplace_back(name);
    set_.insert(names_.back());
    const unsigned b = start_bit(name[0], name.size() > 1 ? name[1] : '\0');
    starts_[b / 64] |= std::uint64_t{1} << (b % 64);
    lengths_ |= length_bit(name.size());
  }
  void clear() {
    set_.clear();
    names_.clear();
    for (std::uint64_t &w : starts_) w = 0;
    lengths_ = 0;
  }
  std::size_t size() const { return set_.size(); }

 private:
  static unsigned start_bit(char first, char second) {
    return ((static_cast<unsigned char>(first) << 3) ^ static_cast<unsigned char>(second)) & 255u;
  }
  static std::uint64_t length_bit(std::size_t length) { return std::uint64_t{1} << (length < 63 ? length : 63); }
  bool may_start(char first, char second) const {
    const unsigned b = start_bit(first, second);
    return (starts_[b / 64] >> (b % 64)) & 1u;
  }
  bool may_have_length(std::size_t length) const { return (lengths_ & length_bit(length)) != 0; }

  // The views of the set point into the deque, whose elements stay where
  // they are.
  std::deque<std::string> names_;
  std::unordered_set<std::string_view> set_;
  std::uint64_t starts_[4] = {};
  std::uint64_t lengths_ = 0;
};

// Hashes a path or a name for the standard containers the way the string
// pool does, eight characters at a time: the include search looks up every
// path it tries, and the library's own hash reads them a byte at a time.
struct PpTextHash {
  std::size_t operator()(const std::string &text) const {
    return static_cast<std::size_t>(hash_text_bytes(text.data(), text.size()));
  }
};

struct PpState {
  MacroTable *macro_table = nullptr;  // the table the current entry point was given
  std::vector<InputLevel> levels;  // reserved to PP_STACK_SIZE: never moves
  int depth = -1;
  IncludeDir *include_head = nullptr;
  IncludeDir *include_tail = nullptr;
  IncludeDir *spare_dir = nullptr;  // a node dropped from the chain's end, for the next one
  std::size_t longest_dir = 19;
  std::vector<std::string> included_files;
  std::unordered_set<std::string, PpTextHash> included_index;
  std::vector<CondFrame> if_stack;     // innermost last
  std::vector<SkipMarker> skip_stack;  // innermost last
  std::vector<PragmaMapEntry> pragma_map;
  OutputBuffer *output = nullptr;
  bool escape_line_names = false;  // PREPRO_ONLY: escape "\" and '"' in line markers
  bool analysis_on = true;         // switched by the stop/start pragmas; survives runs
  bool start_now = true;
  int error_count = 0;
  long report_count = 0;     // reports of every kind, for as long as the process lives
  long directive_count = 0;  // directives acted on, likewise
  TypeModifierSet type_modifiers;  // names of the type_modifier pragma
  PpFileCache *file_cache = nullptr;
  // Includes made while this many named levels are open are recorded and
  // reused (-1: none); see pp_set_include_reuse.
  int reuse_named_levels = -1;
  MemoRecording *recording = nullptr;
  // Buffers of texts that served an expansion, a rescan or an argument and
  // are ready to serve another (see pp_take_text).
  std::vector<std::string> spare_texts;
  // The arguments of a call that reads as written are taken where they
  // stand (see read_in_place in cpmacro.cpp); tests turn this off to
  // compare with the reading that copies them.
  bool arguments_in_place = true;
};

extern PpState pp_state;

// Makes table the current one for the rest of an entry point.
inline void pp_use_table(MacroTable &table) { pp_state.macro_table = &table; }


// Character classes, indexed by the byte as unsigned char.
extern unsigned char pp_class[256];
// CC_PLAIN: a character the main scan copies as it is, with nothing to
// decide (no identifier, number, literal, comment, continuation, directive
// or line end), so that runs of them are copied at once.
enum : unsigned char { CC_ID = 1, CC_IDSTART = 2, CC_HSPACE = 4, CC_SPACE = 8, CC_PLAIN = 16 };
inline bool is_id(char c) { return pp_class[(unsigned char)c] & CC_ID; }
inline bool is_idstart(char c) { return pp_class[(unsigned char)c] & CC_IDSTART; }
inline bool is_hspace(char c) { return pp_class[(unsigned char)c] & CC_HSPACE; }
inline bool is_space(char c) { return pp_class[(unsigned char)c] & CC_SPACE; }
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
// Where the name at p ends (at e at the latest), its pp_hash_step hash
// into *hash: a name looked up as soon as it is read is hashed in passing.
inline const char *pp_skip_name(const char *p, const char *e, std::uint32_t *hash) {
  std::uint32_t h = PP_HASH_START;
  while (p < e && is_id(*p)) h = pp_hash_step(h, *p++);
  *hash = h;
  return p;
}
inline bool is_plain(char c) { return pp_class[(unsigned char)c] & CC_PLAIN; }
void pp_build_classes();

// Length of a backslash-newline at p (2 for "\\\n", 3 for "\\\r\n"), else 0.
inline int continuation_at(const char *p) {
  if (p[0] != '\\') return 0;
  if (p[1] == '\n') return 2;
  if (p[1] == '\r' && p[2] == '\n') return 3;
  return 0;
}

// From p inside a line comment: where the comment ends, at the first
// newline no backslash continues (or at end); *continued counts the lines
// it continues over (cpscan.cpp).
const char *pp_line_comment_end(const char *p, const char *end, int *continued);

// Would a and b, written next to each other, read as one operator token
// ("- -1" written as "--1")? Expansions keep such neighbours apart.
// The first two characters of every operator of two or more characters,
// and the comment openers.
constexpr const char kPastePairs[] = "++--->+=-=*=/=%=&=|=^=<<>><=>===!=&&||##::..///*.*";
struct PasteFirsts {
  bool first[256] = {};
  constexpr PasteFirsts() {
    for (const char *p = kPastePairs; p[0] && p[1]; p += 2) first[static_cast<unsigned char>(p[0])] = true;
  }
};
constexpr PasteFirsts kPasteFirsts;
inline bool would_paste(char a, char b) {
  // Most texts end in a name, a bracket or a blank, which starts no operator.
  if (!kPasteFirsts.first[static_cast<unsigned char>(a)] || !b) return false;
  const char *pairs = kPastePairs;
  for (const char *p = pairs; p[0] && p[1]; p += 2)
    if (p[0] == a && p[1] == b) return true;
  return false;
}

// ---- state, levels, reporting (cprepr.cpp)
InputLevel *pp_innermost_named();
inline InputLevel &pp_top() { return pp_state.levels[pp_state.depth]; }
// A fixed argument text of a report, in the user's language.
std::string pp_translated(const char *text);
// Reports at the innermost named level (line -1: its current line).
void pp_report(MessageCode code, std::string_view arg = {}, int line = -1);
// The one routine that pushes a level: "NBRECURSI" (fatal) when the stack is full.
InputLevel &pp_push_level(LevelKind kind);
// Pushes a level over a text it owns (kept NUL-terminated).
InputLevel &pp_push_owned(LevelKind kind, std::string &&text);
// Pushes a level over a text owned elsewhere that outlives the level.
InputLevel &pp_push_view(LevelKind kind, const char *text, std::size_t length);
// Pops the top level; re-enables its macro.
void pp_pop_level();
// An empty text, with room from a text given back when there is one: an
// expansion, a rescan and an argument each build a short text and drop it
// soon after, and would otherwise allocate and free one each time. Inline,
// as the texts given back are: a call of a macro takes and gives a few.
inline std::string pp_take_text() {
  std::vector<std::string> &spare = pp_state.spare_texts;
  if (spare.empty()) return std::string();
  std::string text = std::move(spare.back());  // given back empty
  spare.pop_back();
  return text;
}
// The room of a string that has none of its own.
inline const std::size_t pp_local_text_room = std::string().capacity();
void pp_keep_text_room(std::string &text);
// Gives the room of text back for a later pp_take_text (text is left empty;
// a large text's room is freed).
inline void pp_give_text(std::string &text) {
  if (text.capacity() <= pp_local_text_room)
    text.clear();  // no room of its own (a level over a view, a short text)
  else
    pp_keep_text_room(text);
}
// The includer's directory node of a file that has been read (null: none).
void pp_release_appended_dir(IncludeDir *node);
// The include directives; operand is the collected text after the name.
void pp_include(const char *start, const char *end, bool next, OutputBuffer &out);
IncludeDir *pp_append_dir(std::string_view text);
// Takes a linked entry out of the chain and links it again at its end.
void pp_move_dir_to_end(IncludeDir *node);
// The directory of a file name as a new chain node; nullptr for "".
IncludeDir *pp_append_dir_of_file(const char *name);
// "#pragma once": the innermost file is not entered again in this context.
void pp_mark_included_once();
// The files found in this run are looked at again before their next use,
// as at the start of a run (for tests that change a file within a run).
void pp_recheck_files();

// ---- scanning and output (cpscan.cpp)
// output_marks: keep the white-space and no-expansion markers in the output
// (for texts that are scanned again).
void pp_scan(OutputBuffer &out, bool output_marks);
void pp_line_marker(InputLevel &level, OutputBuffer &out, bool resync);
// Skips a literal starting at the quote *start; returns the position after
// it (or the newline / end where it stops). *newlines counts
// backslash-newlines; *unterminated tells it stopped early.
const char *pp_skip_literal(const char *start, const char *end, int *newlines, bool *unterminated);
// p at "/*"; returns after "*/" or end; counts newlines; *unterminated.
const char *pp_skip_block_comment(const char *p, const char *end, int *newlines, bool *unterminated);
// Pushes text as a rescan level and scans it into a fresh buffer.
std::string pp_rescan(std::string text, RescanKind rescan_kind, bool output_marks);

// ---- directives (cpdirec.cpp)
// Level positioned after the '#'; true when a directive was handled.
bool pp_directive(InputLevel &level, OutputBuffer &out);
// Skips lines until the #else/#elif/#endif of the current conditional.
void pp_skip_group(InputLevel &level);
// Is the text one "#ifndef GUARD" group, ended by its "#endif", with only
// blank lines and comments before and after it, such that skipping the
// group reports nothing? guard receives the name.
bool pp_find_guard(const char *text, const char *end, std::string &guard);
// The name pp_find_guard would give, when the text opens as a guard does:
// false when pp_find_guard is false too. Costs a look at the first lines.
bool pp_guard_candidate(const char *text, const char *end, std::string_view &name);
// Does the text after "pragma" start analysis again (directly or through the map)?
bool pp_pragma_starts_analysis(const char *start, const char *end);
// The handlers of the sizeof and signof pragmas (cprepr.cpp).
bool pp_pragma_sizeof(std::string_view operand, PragmaOperand *parsed);
bool pp_pragma_signof(std::string_view operand, PragmaOperand *parsed);
void pp_release_conditionals();
void pp_install_eval_hooks();

// ---- reuse of included files (cpreuse.cpp)
// Whether an include about to be read may be taken from a recording or recorded.
bool pp_memo_candidate(bool next, const OutputBuffer &out);
// Takes the file's text and macro changes from a matching recording; false
// when none matches (nothing done then).
bool pp_memo_replay(const std::string &path, const std::string *text, OutputBuffer &out, IncludeDir *appended);
// Starts recording the file whose level was just pushed; its output starts at out_start.
void pp_memo_start(const std::string &path, const std::string *text, OutputBuffer &out, std::size_t out_start);
// While pp_state.recording is set: what the reading looks at and changes.
void pp_memo_note_lookup(const char *name, std::size_t length, std::uint32_t hash, MacroEntry *found);
void pp_memo_note_change(MacroEntry *entry);
void pp_memo_note_file(const std::string &path);
void pp_memo_note_search(bool next);
// An input level is in use at depth.
void pp_memo_note_depth(int depth);
// A macro of that name is defined or undefined, with no entry at hand.
void pp_memo_note_change(const char *name, std::size_t length, std::uint32_t hash);
// The temporary entry of the "defined" operator came and went (an #if
// expanded without it is noted alike): the same as pp_memo_note_change of
// the name, with nothing to look at after the first time.
void pp_memo_note_defined();
// A pragma of the tool's own whose handler depends on nothing but its operand,
// the include chain and the type modifiers: a reuse calls it again.
void pp_memo_note_pragma(const PragmaKeyword &keyword, std::string_view operand);
// The reading depends on something no recording holds: it is not kept.
void pp_memo_spoil();
// The recorded file's level is being popped.
void pp_memo_end(const InputLevel &level);
void pp_memo_forget();

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
MacroEntry *pp_insert_entry(const char *name, std::size_t length, MacroKind kind);
// The same, with the name's hash (pp_hash_name) already known.
MacroEntry *pp_insert_entry(const char *name, std::size_t length, std::uint32_t hash, MacroKind kind);
void pp_remove_entry(MacroEntry *entry);
// Frees an entry no longer linked in any table (its definition is not freed).
void pp_delete_entry(MacroEntry *entry);
// Lets one holder of def go; the last one frees it (null: nothing).
void pp_free_definition(MacroDefinition *def);
// One more holder of def (not null).
inline MacroDefinition *pp_share_definition(MacroDefinition *def) {
  ++def->holders;
  return def;
}

inline MacroEntry *pp_lookup(const char *name, std::size_t length, std::uint32_t hash) {
  if (!pp_state.macro_table) return nullptr;
  const MacroIndex &t = pp_state.macro_table->index();
  MacroEntry *e = t.buckets[t.bucket_of(hash)];
  while (e && !(e->hash == hash && e->name.size() == length && same_text_bytes(e->name.data(), name, length)))
    e = e->next;
  if (pp_state.recording) pp_memo_note_lookup(name, length, hash, e);
  return e;
}

// The macro table, #define parsing, built-in macros and expansion of calls.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <new>

#include "cpinternal.h"

// ---------------------------------------------------------------- storage

namespace {

// Cells are made in sizes of kCellGrain bytes up to kLargestCell, from
// blocks of kPoolBlock bytes; larger ones are the allocator's. An entry,
// its name and a definition fit in a few classes; malloc's search for a
// fitting chunk, and its bookkeeping when the chunk is freed, cost more
// than the rest of making most entries.
constexpr std::size_t kCellGrain = 16;
constexpr std::size_t kLargestCell = 256;
constexpr std::size_t kPoolBlock = 64 * 1024;

struct FreeCell {
  FreeCell *next;
};

struct Pool {
  FreeCell *free[kLargestCell / kCellGrain + 1] = {};
  char *next = nullptr;  // the unused rest of the newest block
  char *end = nullptr;
  std::vector<void *> blocks;  // kept for the process
};

Pool &pool() {
  static Pool *p = new Pool;  // process lifetime: tables may outlive statics
  return *p;
}

}  // namespace

void *pp_pool_allocate(std::size_t size) {
  if (size > kLargestCell) return ::operator new(size);
  const std::size_t cls = (size + kCellGrain - 1) / kCellGrain;
  Pool &p = pool();
  if (FreeCell *c = p.free[cls]) {
    p.free[cls] = c->next;
    return c;
  }
  const std::size_t bytes = cls * kCellGrain;
  if (static_cast<std::size_t>(p.end - p.next) < bytes) {
    p.next = static_cast<char *>(::operator new(kPoolBlock));
    p.end = p.next + kPoolBlock;
    p.blocks.push_back(p.next);
  }
  void *cell = p.next;
  p.next += bytes;
  return cell;
}

void pp_pool_free(void *cell, std::size_t size) {
  if (!cell) return;
  if (size > kLargestCell) {
    ::operator delete(cell);
    return;
  }
  FreeCell *c = static_cast<FreeCell *>(cell);
  FreeCell *&head = pool().free[(size + kCellGrain - 1) / kCellGrain];
  c->next = head;
  head = c;
}

// ---------------------------------------------------------------- table

std::uint32_t pp_hash_name(const char *name, std::size_t length) {
  std::uint32_t h = PP_HASH_START;
  for (std::size_t i = 0; i < length; ++i) h = pp_hash_step(h, name[i]);
  return h;
}

MacroEntry *pp_lookup(const char *name, std::size_t length) {
  return pp_lookup(name, length, pp_hash_name(name, length));
}

namespace {

void link_at_head(MacroIndex &t, MacroEntry *e) {
  MacroEntry *&head = t.buckets[t.bucket_of(e->hash)];
  e->prev = nullptr;
  e->next = head;
  if (head) head->prev = e;
  head = e;
}

// Twice the heads. Each old chain is moved from its tail, so that entries
// that land in the same new chain keep their order.
void grow(MacroIndex &t) {
  std::vector<MacroEntry *> old(t.buckets.size() * 2, nullptr);
  old.swap(t.buckets);
  for (MacroEntry *head : old) {
    MacroEntry *tail = head;
    while (tail && tail->next) tail = tail->next;
    for (MacroEntry *e = tail; e;) {
      MacroEntry *before = e->prev;
      link_at_head(t, e);
      e = before;
    }
  }
}

}  // namespace

MacroEntry *pp_insert_entry(const char *name, std::size_t length, MacroKind kind) {
  return pp_insert_entry(name, length, pp_hash_name(name, length), kind);
}

// An entry and its name in one allocation: most names of the system
// headers are too long for a string's own room, and each cost an
// allocation of its own besides the entry's.
static MacroEntry *new_entry(const char *name, std::size_t length) {
  void *block = pp_pool_allocate(sizeof(MacroEntry) + length + 1);
  MacroEntry *e = new (block) MacroEntry;
  char *chars = reinterpret_cast<char *>(e + 1);
  std::memcpy(chars, name, length);
  chars[length] = '\0';
  e->name = std::string_view(chars, length);
  return e;
}

void pp_delete_entry(MacroEntry *e) {
  const std::size_t size = sizeof(MacroEntry) + e->name.size() + 1;
  e->~MacroEntry();
  pp_pool_free(e, size);
}

MacroEntry *pp_insert_entry(const char *name, std::size_t length, std::uint32_t hash, MacroKind kind) {
  MacroIndex &t = pp_state.macro_table->index();
  if (t.count >= t.buckets.size()) grow(t);
  MacroEntry *e = new_entry(name, length);
  e->kind = kind;
  e->hash = hash;
  link_at_head(t, e);
  ++t.count;
  if (pp_state.recording) pp_memo_note_change(e);
  return e;
}

void pp_free_definition(MacroDefinition *def) {
  if (def && --def->holders == 0) delete def;
}

void pp_remove_entry(MacroEntry *e) {
  if (pp_state.recording) pp_memo_note_change(e);
  MacroIndex &t = pp_state.macro_table->index();
  if (e->prev)
    e->prev->next = e->next;
  else
    t.buckets[t.bucket_of(e->hash)] = e->next;
  --t.count;
  if (e->next) e->next->prev = e->prev;
  pp_free_definition(e->value);
  pp_delete_entry(e);
}

void pp_install_builtins() {
  static const struct {
    const char *name;
    MacroKind kind;
  } builtins[] = {{"__LINE__", MK_LINE},       {"__DATE__", MK_DATE},
                  {"__FILE__", MK_FILE},       {"__BASE_FILE__", MK_BASE_FILE},
                  {"__INCLUDE_LEVEL__", MK_INCLUDE_LEVEL}, {"__TIME__", MK_TIME},
                  {"__STDC__", MK_STDC},       {"__COUNTER__", MK_COUNTER}};
  for (const auto &b : builtins) {
    std::size_t n = std::strlen(b.name);
    if (!pp_lookup(b.name, n)) pp_insert_entry(b.name, n, b.kind);
  }
}

// ---------------------------------------------------------------- definitions

namespace {

// White-space runs (markers included) are equal to one another; white space
// at either end of the whole text does not count.
std::string normalised(const std::string &s, std::size_t from, std::size_t count, bool first, bool last) {
  std::string r;
  bool space = false;
  for (std::size_t i = from; i < from + count && i < s.size(); ++i) {
    char c = s[i];
    if (is_space(c)) {
      space = true;
      continue;
    }
    if (space && !(first && r.empty())) r.push_back(' ');
    space = false;
    r.push_back(c);
  }
  if (space && !last && !(first && r.empty())) r.push_back(' ');
  return r;
}

bool same_definition(const MacroDefinition &a, const MacroDefinition &b) {
  if (a.nargs != b.nargs || a.parameter_names != b.parameter_names || a.pattern.size() != b.pattern.size() ||
      a.rest_args != b.rest_args || a.bracketed != b.bracketed)
    return false;
  std::size_t pa = 0, pb = 0;
  const std::size_t n = a.pattern.size();
  for (std::size_t i = 0; i <= n; ++i) {
    std::size_t ca = i < n ? a.pattern[i].nchars : a.expansion.size() - pa;
    std::size_t cb = i < n ? b.pattern[i].nchars : b.expansion.size() - pb;
    if (normalised(a.expansion, pa, ca, i == 0, i == n) != normalised(b.expansion, pb, cb, i == 0, i == n))
      return false;
    pa += ca;
    pb += cb;
    if (i < n) {
      const MacroReference &ra = a.pattern[i], &rb = b.pattern[i];
      if (ra.argno != rb.argno || ra.stringify != rb.stringify || ra.raw_before != rb.raw_before ||
          ra.raw_after != rb.raw_after)
        return false;
    }
  }
  return true;
}

int parameter_index(const std::vector<std::string_view> &params, int rest_args, const char *name, std::size_t len) {
  for (std::size_t i = 0; i < params.size(); ++i)
    if (params[i].size() == len && same_text_bytes(params[i].data(), name, len)) return (int)i;
  if (rest_args == 2 && len == 11 && std::memcmp(name, "__VA_ARGS__", 11) == 0) return -1;
  return -2;
}

// The body of a definition: references out, operators applied.
void collect_body(MacroDefinition &def, const std::vector<std::string_view> &params, const char *p, const char *e) {
  while (e > p && is_space(e[-1])) --e;
  std::string &exp = def.expansion;
  // Only the markers of leading white space (two characters for one) make
  // the text longer than the body; most bodies of the system headers then
  // fit in the string's own room and need no allocation.
  const char *first = p;
  while (first < e && is_space(*first)) ++first;
  exp.reserve(static_cast<std::size_t>(e - p) + static_cast<std::size_t>(first - p));
  while (p < e && is_space(*p)) {
    exp += "\n ";
    ++p;
  }
  const bool function_like = def.nargs >= 0;
  // Most bodies of the system headers are object-like and hold neither
  // '#' nor '\\': no operator, reference or escape, so that the walk below
  // would copy them character for character.
  if (!function_like && !std::memchr(p, '#', e - p) && !std::memchr(p, '\\', e - p)) {
    exp.append(p, e - p);
    return;
  }
  std::size_t last_ref_end = 0;  // expansion size after the last reference
  bool paste_next = false;       // a ## precedes what comes next
  // Parentheses open inside the group of a __VA_OPT__, or -1 outside one.
  int va_opt_depth = -1;
  auto add_ref = [&](int argno, char stringify) {
    MacroReference r;
    r.nchars = (int)(exp.size() - last_ref_end);
    r.argno = argno;
    r.stringify = stringify;
    r.raw_before = paste_next;
    def.pattern.push_back(r);
    last_ref_end = exp.size();
    paste_next = false;
  };
  while (p < e) {
    char c = *p;
    if (c == '"' || c == '\'') {
      int nl = 0;
      bool open = false;
      const char *q = pp_skip_literal(p, e, &nl, &open);
      exp.append(p, q - p);
      p = q;
      paste_next = false;
      continue;
    }
    if (c == '#' && p + 1 < e && p[1] == '#') {
      while (exp.size() > last_ref_end && is_hspace(exp.back())) exp.pop_back();
      if (!def.pattern.empty() && exp.size() == last_ref_end) def.pattern.back().raw_after = true;
      p += 2;
      while (p < e && is_hspace(*p)) ++p;
      paste_next = true;
      continue;
    }
    if (c == '#' && function_like) {
      const char *q = p + 1;
      char kind = '"';
      if (q < e && *q == '@') {
        kind = '\'';
        ++q;
      }
      while (q < e && is_hspace(*q)) ++q;
      const char *n = q;
      while (q < e && is_id(*q)) ++q;
      int argno = (q > n && is_idstart(*n)) ? parameter_index(params, def.rest_args, n, q - n) : -2;
      if (argno != -2) {
        add_ref(argno, kind);
        p = q;
        continue;
      }
      pp_report(MSG_OPERMACRO);
      ++p;
      continue;
    }
    if (c == '\\' && p + 1 < e && p[1] == '#') {
      exp.push_back('#');
      p += 2;
      paste_next = false;
      continue;
    }
    if (va_opt_depth >= 0 && (c == '(' || c == ')')) {
      if (c == ')' && va_opt_depth == 0) {
        add_ref(VA_OPT_END, 0);
        va_opt_depth = -1;
        ++p;
        continue;
      }
      va_opt_depth += c == '(' ? 1 : -1;
    }
    if (is_idstart(c)) {
      const char *q = p;
      while (q < e && is_id(*q)) ++q;
      if (def.rest_args && va_opt_depth < 0 && q - p == 10 && std::memcmp(p, "__VA_OPT__", 10) == 0) {
        // __VA_OPT__(text): the text is kept only when the variadic
        // arguments are not empty; it is bracketed by two references.
        const char *r = q;
        while (r < e && is_hspace(*r)) ++r;
        if (r < e && *r == '(') {
          add_ref(VA_OPT_BEGIN, 0);
          va_opt_depth = 0;
          p = r + 1;
          continue;
        }
      }
      int argno = function_like ? parameter_index(params, def.rest_args, p, q - p) : -2;
      if (argno != -2) {
        add_ref(argno, 0);
      } else {
        exp.append(p, q - p);
        paste_next = false;
      }
      p = q;
      continue;
    }
    if (is_digit(c)) {
      const char *q = p;
      while (q < e && (is_id(*q) || *q == '.')) ++q;
      exp.append(p, q - p);
      p = q;
      paste_next = false;
      continue;
    }
    exp.push_back(c);
    if (!is_hspace(c)) paste_next = false;
    ++p;
  }
  // A __VA_OPT__ group left open ends with the body.
  if (va_opt_depth >= 0) add_ref(VA_OPT_END, 0);
}

// The hash is the name's pp_hash_name, taken while the name was read.
void install(std::string_view name, std::uint32_t hash, MacroDefinition *def) {
  MacroEntry *e = pp_lookup(name.data(), name.size(), hash);
  if (!e) {
    e = pp_insert_entry(name.data(), name.size(), hash, MK_USER);
    e->value = def;
    return;
  }
  bool silent = e->kind == MK_STDC ||
                (e->kind == MK_USER && e->value && same_definition(*e->value, *def));
  if (!silent) pp_report(MSG_IDENREDEF, name);
  if (pp_state.recording) pp_memo_note_change(e);
  pp_free_definition(e->value);
  e->value = def;
  e->kind = MK_USER;
}

}  // namespace

void pp_define(const char *start, const char *end) {
  if (!pp_state.macro_table) return;  // no context prepared yet
  pp_build_classes();
  const char *p = start;
  while (p < end && is_hspace(*p)) ++p;
  const char *n = p;
  std::uint32_t hash;
  p = pp_skip_name(p, end, &hash);
  const std::string_view name(n, p - n);
  if (name == "defined")
    pp_report(MSG_INVDEFINE);
  else if (name.empty() || !is_idstart(name[0]))
    pp_report(MSG_INVAMACRO, name);

  MacroDefinition *def = new MacroDefinition;
  // The parameters' names, as views of the directive's text; the list is
  // kept for the next definition (a definition defines no other).
  static std::vector<std::string_view> params;
  params.clear();
  if (p < end && (*p == '(' || *p == '[')) {
    def->bracketed = *p == '[';
    const char closer = def->bracketed ? ']' : ')';
    ++p;
    def->nargs = 0;
    while (p < end && is_hspace(*p)) ++p;
    bool dropped = false;
    if (p < end && *p == closer) {
      ++p;
    } else {
      for (;;) {
        while (p < end && is_hspace(*p)) ++p;
        if (p >= end || *p == '\n') {
          pp_report(MSG_UNTPARDEF);
          dropped = true;
          break;
        }
        if (def->rest_args != 0) {
          pp_report(MSG_BADPARDEF, pp_translated("another parameter follow \"...\""));
          dropped = true;
          break;
        }
        if (!is_idstart(*p) && *p != '.') pp_report(MSG_PARASTART, std::string(p, end));
        const char *s = p;
        while (p < end && is_id(*p)) ++p;
        std::string_view param(s, static_cast<std::size_t>(p - s));
        int dots = 0;
        while (p < end && *p == '.') {
          ++dots;
          ++p;
        }
        if (dots == 3)
          def->rest_args = param.empty() ? 2 : 1;
        else if (dots)
          pp_report(MSG_BADPARDEF, pp_translated("\"...\" expected"));
        if (def->rest_args == 2 && param.empty()) param = "...";
        if (!def->parameter_names.empty() || !params.empty()) def->parameter_names += ", ";
        def->parameter_names += param;
        params.push_back(param);
        ++def->nargs;
        while (p < end && is_hspace(*p)) ++p;
        if (p < end && *p == ',') {
          ++p;
          continue;
        }
        if (p < end && *p == closer) {
          ++p;
          break;
        }
        if (p >= end || *p == '\n') {
          pp_report(MSG_UNTPARDEF);
        } else {
          pp_report(MSG_BADPARDEF, std::string(p, end));
        }
        dropped = true;
        break;
      }
    }
    if (dropped) {
      delete def;
      return;
    }
    if (p < end && (*p == ' ' || *p == '\t')) ++p;
    // The anonymous "..." is reached through __VA_ARGS__ only.
    if (def->rest_args == 2) params.back() = {};
  } else {
    if (p < end && is_hspace(*p)) ++p;
  }
  collect_body(*def, params, p, end);
  install(name, hash, def);
}

void pp_undefine(const char *name, std::size_t length) {
  if (length == 7 && std::memcmp(name, "defined", 7) == 0) pp_report(MSG_UNDEFININ, "defined");
  const std::uint32_t hash = pp_hash_name(name, length);
  while (MacroEntry *e = pp_lookup(name, length, hash)) {
    if (e->kind != MK_USER && e->kind != MK_STDC)
      pp_report(MSG_UNDEFININ, std::string(name, length));
    pp_remove_entry(e);
  }
}

static void on_pseudo_level(const char *name, void (*action)(const char *), const char *arg) {
  InputLevel &lv = pp_push_view(LV_TEXT, "", 0);
  lv.name = name;
  lv.named = true;
  lv.line = 0;
  action(arg);
  pp_pop_level();
}

void pp_define_option(MacroTable &macro_table, const char *text) {
  pp_use_table(macro_table);
  on_pseudo_level("*Initialization*", [](const char *t) {
    const char *p = t;
    if (!is_idstart(*p)) {
      pp_report(MSG_MALFOROPT, std::string("-D") + t);
      return;
    }
    while (is_id(*p)) ++p;
    if (*p != '=' && *p != '\0') {
      pp_report(MSG_MALFOROPT, std::string("-D") + t);
      return;
    }
    std::string line(t, p);
    line.push_back(' ');
    if (*p == '=') {
      for (const char *v = p + 1; *v; ++v) {
        if (int k = continuation_at(v)) {
          v += k - 1;
          continue;
        }
        line.push_back(*v);
      }
    } else {
      line.push_back('1');
    }
    pp_define(line.data(), line.data() + line.size());
  }, text);
}

void pp_undefine_name(MacroTable &macro_table, const char *name) {
  pp_use_table(macro_table);
  on_pseudo_level("*undef*", [](const char *n) { pp_undefine(n, std::strlen(n)); }, name);
}

const char *pp_lookup_macro_text(MacroTable &macro_table, const char *name) {
  pp_use_table(macro_table);
  MacroEntry *e = pp_lookup(name, std::strlen(name));
  if (!e || e->kind != MK_USER || !e->value) return nullptr;
  const char *t = e->value->expansion.c_str();
  while (*t && is_space(*t)) ++t;
  return *t ? t : nullptr;
}

void pp_define_if_absent(MacroTable &macro_table, const char *text) {
  pp_use_table(macro_table);
  pp_build_classes();
  const char *p = text;
  while (is_hspace(*p)) ++p;
  const char *n = p;
  while (is_id(*p)) ++p;
  MacroEntry *e = pp_lookup(n, p - n);
  if (e && e->kind == MK_USER) return;
  pp_define(text, text + std::strlen(text));
}

// ---------------------------------------------------------------- calls

char pp_find_call_bracket(MacroEntry *entry, int base) {
  const bool square = entry->value->bracketed;
  int d = pp_state.depth;
  const char *q = pp_state.levels[d].position;
  int newlines = 0;
  for (;;) {
    InputLevel &L = pp_state.levels[d];
    if (q >= L.end) {
      if (L.kind == LV_MACRO && d > base) {
        --d;
        q = pp_state.levels[d].position;
        newlines = 0;
        continue;
      }
      return 0;
    }
    const char c = *q;
    const bool in_macro = L.kind == LV_MACRO || L.kind == LV_RESCAN;
    if (is_hspace(c)) {
      ++q;
      continue;
    }
    if (c == '\n') {
      if (in_macro) {
        q += (q[1] == '-' || is_hspace(q[1])) ? 2 : 1;
      } else {
        ++newlines;
        ++q;
      }
      continue;
    }
    if (L.kind != LV_MACRO) {
      if (int k = continuation_at(q)) {
        ++newlines;
        q += k;
        continue;
      }
      if (c == '/' && q[1] == '*') {
        int nl = 0;
        bool open = false;
        q = pp_skip_block_comment(q, L.end, &nl, &open);
        newlines += nl;
        continue;
      }
      if (c == '/' && q[1] == '/') {
        while (q < L.end && *q != '\n') ++q;
        continue;
      }
    }
    if (c == '(' || (square && c == '[')) {
      while (pp_state.depth > d) pp_pop_level();
      InputLevel &T = pp_top();
      T.position = q + 1;
      if (T.kind != LV_MACRO && T.kind != LV_RESCAN) T.line += newlines;
      return c;
    }
    return 0;
  }
}

namespace {

struct Argument {
  // The text as read, markers kept: a view of the calling level's text when
  // the call reads there as written (see read_in_place), else of own.
  std::string_view raw;
  std::string own;
  std::string expanded;
  bool has_expanded = false;
  bool same_as_raw = false;  // the rescan gives the raw text back: expanded stays empty
};

// The arguments of the calls being expanded, the innermost call's last.
// They stay, with the room of their texts, for the calls that follow: a call
// allocates neither its list nor, most of the time, its arguments' texts.
// A deque, so that the calls nested in an argument's rescan add theirs
// without moving the enclosing call's.
std::deque<Argument> argument_stack;
std::size_t argument_top = 0;
// Where each argument of the stack stands, by its place in the stack: a
// deque finds its element through its block map at every index, and the
// arguments of a call are read again and again while it is expanded. The
// deque only grows, and its elements never move.
std::vector<Argument *> argument_places;

// One call's stretch of the stack, given back however the expansion ends.
class Arguments {
 public:
  Arguments() : base_(argument_top) {}
  Arguments(const Arguments &) = delete;
  Arguments &operator=(const Arguments &) = delete;
  ~Arguments() { clear(); }
  std::size_t size() const { return count_; }
  Argument &operator[](std::size_t i) { return *argument_places[base_ + i]; }
  Argument &back() { return *argument_places[base_ + count_ - 1]; }
  Argument &add() {
    const std::size_t at = base_ + count_;
    if (at == argument_stack.size()) {
      argument_stack.emplace_back();
      argument_places.push_back(&argument_stack.back());
    }
    argument_top = at + 1;
    ++count_;
    return *argument_places[at];
  }
  void clear() {
    for (std::size_t i = 0; i < count_; ++i) {
      Argument &a = *argument_places[base_ + i];
      a.raw = {};
      // As for the texts given back (pp_give_text), the room of a large text
      // is not kept, nor that of an argument past the first few.
      if (a.own.capacity() > 4096 || base_ + i >= 64)
        std::string().swap(a.own);
      else
        a.own.clear();
      pp_give_text(a.expanded);
      a.has_expanded = a.same_as_raw = false;
    }
    count_ = 0;
    argument_top = base_;
  }

 private:
  std::size_t base_;
  std::size_t count_ = 0;
};

bool all_white(std::string_view s) {
  for (char c : s)
    if (!is_space(c) && c != '-') return false;
  // "-" only as part of a "\n-" marker
  for (std::size_t i = 0; i < s.size(); ++i)
    if (s[i] == '-' && (i == 0 || s[i - 1] != '\n')) return false;
  return true;
}

// Characters at which reading an argument has something to decide; all
// others are copied to the argument as they are, a run at a time.
struct ArgumentStops {
  bool stop[256] = {};
  constexpr ArgumentStops() {
    for (char c : {'"', '\'', '\n', '\\', '/', '(', ')', '[', ']', ','}) stop[static_cast<unsigned char>(c)] = true;
  }
  constexpr bool operator[](char c) const { return stop[static_cast<unsigned char>(c)]; }
};
constexpr ArgumentStops kArgumentStops;

// Most calls lie within one level and hold nothing that reading changes
// (a line end, a comment, a continuation): their arguments are the very
// characters between the brackets and commas, and are taken as views of the
// level's text, which stays while the call is expanded. False, with nothing
// read or kept, for any other call: collect_arguments reads it then.
bool read_in_place(Arguments &args, char opener, char closer) {
  if (!pp_state.arguments_in_place) return false;
  InputLevel &L = pp_top();
  const char *q = L.position;
  const char *const end = L.end;
  const bool in_macro = L.kind == LV_MACRO || L.kind == LV_RESCAN;
  const bool comments = !in_macro || L.kind == LV_RESCAN;
  const char *from = q;
  int nest = 0;
  while (q < end) {
    while (q < end && !kArgumentStops[*q]) ++q;
    if (q >= end) break;
    const char c = *q;
    if (c == '"' || c == '\'') {
      int nl = 0;
      bool open = false;
      const char *e = pp_skip_literal(q, end, &nl, &open);
      if (nl) break;
      q = e;
      continue;
    }
    if (c == '\n') {
      // Only a marker (in an expansion or rescanned text) reads as written.
      if (in_macro && (q[1] == '-' || is_hspace(q[1]))) {
        q += 2;
        continue;
      }
      break;
    }
    if (comments && (continuation_at(q) || (c == '/' && (q[1] == '*' || q[1] == '/')))) break;
    ++q;
    if (c == opener) {
      ++nest;
    } else if (c == closer) {
      if (nest == 0) {
        args.add().raw = std::string_view(from, static_cast<std::size_t>(q - 1 - from));
        L.position = q;
        return true;
      }
      --nest;
    } else if (c == ',' && nest == 0) {
      args.add().raw = std::string_view(from, static_cast<std::size_t>(q - 1 - from));
      from = q;
    }
  }
  args.clear();
  return false;
}

// Reads the arguments of a call up to its closing bracket; false when the
// text ends first.
bool collect_arguments(Arguments &args, char opener) {
  const char closer = opener == '[' ? ']' : ')';
  if (read_in_place(args, opener, closer)) return true;
  // Each argument's raw view is made once all are read.
  struct Views {
    Arguments &args;
    ~Views() {
      for (std::size_t i = 0; i < args.size(); ++i) args[i].raw = args[i].own;
    }
  } views{args};
  int nest = 0;
  args.add();
  for (;;) {
    InputLevel &L = pp_top();
    const char *q = L.position;
    const char *const end = L.end;
    if (q >= end) {
      if (L.kind == LV_MACRO) {
        pp_pop_level();
        continue;
      }
      pp_report(MSG_ERRINLINE, "unterminated macro call");
      return false;
    }
    const bool in_macro = L.kind == LV_MACRO || L.kind == LV_RESCAN;
    // Comments and continuations are read in source and rescanned texts;
    // in an expansion they are plain characters.
    const bool comments = !in_macro || L.kind == LV_RESCAN;
    std::string *cur = &args.back().own;
    while (q < end) {
      const char *run = q;
      while (q < end && !kArgumentStops[*q]) ++q;
      cur->append(run, q - run);
      if (q >= end) break;
      const char c = *q;
      if (c == '"' || c == '\'') {
        int nl = 0;
        bool open = false;
        const char *e = pp_skip_literal(q, end, &nl, &open);
        if (nl) {
          for (const char *r = q; r < e;) {
            if (int k = continuation_at(r)) {
              r += k;
            } else {
              cur->push_back(*r++);
            }
          }
          if (!in_macro) L.line += nl;
        } else {
          cur->append(q, e - q);
        }
        q = e;
        continue;
      }
      if (c == '\n') {
        if (in_macro) {
          // Markers stay in the raw text.
          cur->push_back('\n');
          if (q[1] == '-' || is_hspace(q[1])) {
            cur->push_back(q[1]);
            q += 2;
          } else {
            cur->push_back(' ');
            q += 1;
          }
        } else {
          // A call written over several lines: the newline is white space.
          cur->push_back(' ');
          ++L.line;
          q += 1;
        }
        continue;
      }
      if (comments) {
        if (int k = continuation_at(q)) {
          if (!in_macro) ++L.line;
          q += k;
          continue;
        }
        if (c == '/' && q[1] == '*') {
          int nl = 0;
          bool open = false;
          const char *e = pp_skip_block_comment(q, end, &nl, &open);
          if (!in_macro) L.line += nl;
          cur->push_back(' ');
          q = e;
          continue;
        }
        if (c == '/' && q[1] == '/') {
          while (q < end && *q != '\n') ++q;
          cur->push_back(' ');
          continue;
        }
      }
      ++q;
      if (c == opener) {
        ++nest;
      } else if (c == closer) {
        if (nest == 0) {
          L.position = q;
          return true;
        }
        --nest;
      } else if (c == ',' && nest == 0) {
        cur = &args.add().own;
        continue;
      }
      cur->push_back(c);
    }
    L.position = q;
  }
}

// Trims white space and "\n-" markers.
std::string_view trim_raw(std::string_view s, bool front, bool back) {
  std::size_t b = 0, e = s.size();
  if (front)
    while (b < e && (is_space(s[b]) || (s[b] == '-' && b > 0 && s[b - 1] == '\n'))) ++b;
  if (back)
    while (e > b && (is_space(s[e - 1]) || (s[e - 1] == '-' && e - 1 > b && s[e - 2] == '\n'))) --e;
  return s.substr(b, e - b);
}

void stringify_into(std::string &r, std::string_view raw, char quote) {
  r.reserve(raw.size() + 8);
  r.push_back(quote);
  bool space = false;
  char in_literal = 0;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    unsigned char c = (unsigned char)raw[i];
    if (!in_literal && c == '\n' && i + 1 < raw.size() && raw[i + 1] == '-') {
      ++i;
      continue;
    }
    if (!in_literal && is_space((char)c)) {
      space = true;
      continue;
    }
    if (space && r.size() > 1) r.push_back(' ');
    space = false;
    if (in_literal) {
      if (c == '\\') {
        r += "\\\\";
        if (i + 1 < raw.size()) {
          unsigned char n = (unsigned char)raw[++i];
          if (n == '"')
            r += "\\\"";
          else if (n == '\\')
            r += "\\\\";
          else
            r.push_back((char)n);
        }
        continue;
      }
      if (c == (unsigned char)in_literal) in_literal = 0;
    } else if (c == '"' || c == '\'') {
      in_literal = (char)c;
    }
    if (c == '"') {
      r += "\\\"";
    } else if (c < 32 || c >= 127) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\%03o", (unsigned)c);
      r += buf;
    } else {
      r.push_back((char)c);
    }
  }
  r.push_back(quote);
}

// Would the rescan of an argument give back its text unchanged? It does
// when the text holds no literal, comment or continuation and none of its
// names is a macro (names inside numbers are looked up too, which only sends
// a few more texts through the rescan). The markers an expansion leaves
// ("\n-" and a newline before a blank) are read back as they are; a newline
// before anything else is not.
bool reads_unchanged(std::string_view raw) {
  const char *p = raw.data();
  const char *const e = p + raw.size();
  while (p < e) {
    const char c = *p;
    if (c == '\n') {
      if (p + 1 < e && (p[1] == '-' || is_hspace(p[1]))) {
        p += 2;
        continue;
      }
      return false;
    }
    if (c == '"' || c == '\'' || c == '/' || c == '\\') return false;
    if (!is_id(c)) {
      ++p;
      continue;
    }
    const char *name = p;
    std::uint32_t hash;
    p = pp_skip_name(p, e, &hash);
    if (is_idstart(*name) && pp_lookup(name, p - name, hash)) return false;
  }
  return true;
}

std::string_view expanded_of(Argument &a) {
  if (!a.has_expanded) {
    a.has_expanded = true;
    a.same_as_raw = reads_unchanged(a.raw);
    if (!a.same_as_raw) {
      std::string copy = pp_take_text();
      copy.assign(a.raw.data(), a.raw.size());
      a.expanded = pp_rescan(std::move(copy), RK_ARGUMENT, true);
    }
  }
  return a.same_as_raw ? a.raw : std::string_view(a.expanded);
}

// The text of one reference: an argument's text where it stands, or one
// built in scratch (joined variadic arguments, a string literal).
std::string_view reference_text(const MacroReference &ref, Arguments &args, int first_variadic,
                                bool variadic, std::string &scratch) {
  auto form = [&](Argument &a) -> std::string_view {
    if (ref.stringify) return a.raw;
    if (ref.raw_before || ref.raw_after) return trim_raw(a.raw, ref.raw_before, ref.raw_after);
    return expanded_of(a);
  };
  std::string_view text;
  if (variadic) {
    std::string &joined = scratch;
    joined.clear();
    for (std::size_t i = first_variadic; i < args.size(); ++i) {
      if (i > (std::size_t)first_variadic) joined.push_back(',');
      joined += form(args[i]);
    }
    text = joined;
  } else if (ref.argno >= 0 && (std::size_t)ref.argno < args.size()) {
    text = form(args[ref.argno]);
  }
  if (!ref.stringify) return text;
  std::string literal;
  stringify_into(literal, text, ref.stringify);
  scratch = std::move(literal);
  return scratch;
}

// A file name as a string literal that means that name: a backslash
// (".\\t.c") or a double quote in it is escaped.
std::string string_literal(const std::string &name) {
  std::string r;
  r.reserve(name.size() + 2);
  r.push_back('"');
  for (char c : name) {
    if (c == '\\' || c == '"') r.push_back('\\');
    r.push_back(c);
  }
  r.push_back('"');
  return r;
}

std::string builtin_text(MacroEntry *e) {
  InputLevel *named = pp_innermost_named();
  bool needs_file = e->kind == MK_LINE || e->kind == MK_FILE || e->kind == MK_BASE_FILE ||
                    e->kind == MK_INCLUDE_LEVEL;
  if (!named) {
    pp_report(MSG_FICINCONN);
    if (needs_file) return std::string();
  }
  static bool clock_read = false;
  static struct tm now;
  if ((e->kind == MK_DATE || e->kind == MK_TIME) && !clock_read) {
    std::time_t t = std::time(nullptr);
    localtime_r(&t, &now);
    clock_read = true;
  }
  char buf[64];
  switch (e->kind) {
    case MK_LINE:
      return std::to_string(named->line);
    case MK_FILE:
      return string_literal(named->name);
    case MK_BASE_FILE:
      // Where the reading stands in the include stack: not the same when
      // an included file's text is reused elsewhere.
      if (pp_state.recording) pp_memo_spoil();
      // The file the run was started on: the outermost named level (the
      // text an analysis starts from is only its #include line).
      for (int i = 0; i <= pp_state.depth; ++i)
        if (pp_state.levels[i].named) return string_literal(pp_state.levels[i].name);
      return std::string("\"\"");
    case MK_INCLUDE_LEVEL: {
      if (pp_state.recording) pp_memo_spoil();
      int n = 0;
      for (int i = 0; i <= pp_state.depth; ++i)
        if (pp_state.levels[i].named) ++n;
      return std::to_string(n - 1);
    }
    case MK_DATE: {
      static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
      std::snprintf(buf, sizeof buf, "\"%s %2d %4d\"", months[now.tm_mon % 12], now.tm_mday, now.tm_year + 1900);
      return buf;
    }
    case MK_TIME:
      std::snprintf(buf, sizeof buf, "\"%02d:%02d:%02d\"", now.tm_hour, now.tm_min, now.tm_sec);
      return buf;
    case MK_STDC:
      return "0";
    case MK_COUNTER:
      // Each use takes the next value: a reading that took some is not the
      // same when its text is reused at another count.
      if (pp_state.recording) pp_memo_spoil();
      return std::to_string(pp_state.macro_table->index().counter++);
    case MK_DEFINED:
      return " 0 ";
    default:
      pp_report(MSG_INVHASTYP);
  }
  return std::string();
}

}  // namespace

void pp_expand(MacroEntry *entry, OutputBuffer &out, char opener) {
  if (pp_state.depth + 1 >= PP_MAX_DEPTH) pp_report(MSG_NBRECURSI);
  if (entry->kind != MK_USER) {
    out.text += builtin_text(entry);
    return;
  }
  MacroDefinition *def = entry->value;
  if (def->nargs < 0) {
    if (!out.text.empty() && !def->expansion.empty() && would_paste(out.text.back(), def->expansion[0]))
      out.text.push_back(' ');
    InputLevel &lv = pp_push_view(LV_MACRO, def->expansion.c_str(), def->expansion.size());
    lv.macro = entry;
    entry->expanding = true;
    return;
  }
  Arguments args;
  if (!collect_arguments(args, opener)) {
    // A call without its closing bracket stays as it was written: expanding
    // it would take the rest of the text as an argument, and an argument
    // that holds calls of the macros around it again would nest without end.
    std::string &o = out.text;
    o += entry->name;
    o.push_back(opener);
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (i) o.push_back(',');
      const std::string_view raw = args[i].raw;
      for (std::size_t k = 0; k < raw.size(); ++k) {
        if (raw[k] == '\n' && k + 1 < raw.size() && (raw[k + 1] == '-' || is_hspace(raw[k + 1]))) {
          if (out.rescan_kind == RK_ARGUMENT) {
            o.append(raw, k, 2);
          } else if (raw[k + 1] != '-') {
            o.push_back(raw[k + 1]);
          }
          ++k;
          continue;
        }
        o.push_back(raw[k]);
      }
    }
    return;
  }
  if (args.size() == 1 && all_white(args[0].raw)) args.clear();
  const int n = (int)args.size(), np = def->nargs;
  // The variadic parameter may take nothing: va() is a complete call.
  const int wanted = def->rest_args ? np - 1 : np;
  const std::string_view name = entry->name;
  if (np == 0 && n > 0)
    pp_report(MSG_ARGTOMACR, name);
  else if (n > np && def->rest_args == 0)
    pp_report(MSG_TOMANYARG, name);
  else if (n == 0 && wanted > 0)
    pp_report(MSG_NOARTOMAC, name);
  else if (n > 0 && n < wanted)
    pp_report(MSG_NBARGMACR, name);

  // The variadic parameter takes the arguments from its position on, joined
  // with commas.
  const int first_variadic = def->rest_args ? np - 1 : np;
  std::string text = pp_take_text();
  text.reserve(def->expansion.size() + 16);
  std::string scratch;
  std::size_t pos = 0;
  // Where a substitution (or an empty one) would join two operator
  // characters that the source kept apart, a white-space marker keeps them
  // apart; ## joins on purpose and is left alone.
  auto keep_apart = [&text](char next) {
    if (!text.empty() && would_paste(text.back(), next)) text += "\n ";
  };
  bool pasted = false;
  // The variadic arguments hold no more than white space (or were not given).
  bool no_variadic = true;
  if (def->rest_args)
    for (int i = first_variadic; i < n && no_variadic; ++i) no_variadic = all_white(args[i].raw);
  bool in_va_opt = false, dropping = false;
  for (const MacroReference &ref : def->pattern) {
    if (ref.nchars > 0 && !dropping) {
      if (!pasted) keep_apart(def->expansion[pos]);
      text.append(def->expansion, pos, ref.nchars);
    }
    pos += ref.nchars;
    if (ref.argno == VA_OPT_BEGIN || ref.argno == VA_OPT_END) {
      in_va_opt = ref.argno == VA_OPT_BEGIN;
      dropping = in_va_opt && no_variadic;
      pasted = false;
      continue;
    }
    if (dropping) continue;
    bool variadic = (def->rest_args == 2 && ref.argno == -1) || (def->rest_args == 1 && ref.argno == np - 1);
    // ", ## __VA_ARGS__" when no variadic argument is given: the comma goes
    // too, so that LOG("x") calls log_impl("x"); LOG("x",) keeps it.
    if (variadic && ref.raw_before && !ref.stringify && ref.nchars > 0 && n <= first_variadic &&
        !text.empty() && text.back() == ',') {
      text.pop_back();
      pasted = ref.raw_after;
      continue;
    }
    const std::string_view arg = reference_text(ref, args, first_variadic, variadic, scratch);
    if (!arg.empty() && !ref.raw_before) keep_apart(arg[0]);
    text += arg;
    pasted = ref.raw_after;
  }
  if (pos < def->expansion.size() && !dropping) {
    if (!pasted) keep_apart(def->expansion[pos]);
    text.append(def->expansion, pos, std::string::npos);
  }
  if (!out.text.empty() && !text.empty() && would_paste(out.text.back(), text[0])) out.text.push_back(' ');
  InputLevel &lv = pp_push_owned(LV_MACRO, std::move(text));
  lv.macro = entry;
  entry->expanding = true;
}

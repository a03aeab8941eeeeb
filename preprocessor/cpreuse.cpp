// Reuse of an included file's preprocessed text. The script's include
// section and the analysis of the tested file read the same headers, each
// in its own macro table: the first reading is recorded together with every
// macro it looked at and every macro it changed, and a later inclusion of
// the same file whose table gives exactly the same answers to all those
// looks takes the recorded text and changes instead of reading again.
//
// What else an inclusion depends on is either compared (the file's text,
// the line-name escaping; the include chain and the "#pragma once" files
// when the reading included anything; the target sizes when its #if asked
// for one) or makes the recording unusable when it happens: a report, a
// pragma of the tool's own (but those that declare standard directories or
// type modifiers before the reading included anything, which are acted on
// again), "#include_next", the built-ins that tell where
// the reading stands in the include stack, conditionals left open, an input
// stack deeper than the place of a later inclusion allows.
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "cpinternal.h"

namespace {

// A definition held by a recording, shared with the tables that hold it.
class SharedDefinition {
 public:
  SharedDefinition() = default;
  explicit SharedDefinition(MacroDefinition *def) : def_(def ? pp_share_definition(def) : nullptr) {}
  SharedDefinition(const SharedDefinition &other) : SharedDefinition(other.def_) {}
  SharedDefinition(SharedDefinition &&other) noexcept : def_(other.def_) { other.def_ = nullptr; }
  SharedDefinition &operator=(SharedDefinition other) noexcept {
    std::swap(def_, other.def_);
    return *this;
  }
  // Most that end were moved from (a recording's states move as their
  // vectors grow): those call nothing.
  ~SharedDefinition() {
    if (def_) pp_free_definition(def_);
  }
  MacroDefinition *get() const { return def_; }

 private:
  MacroDefinition *def_ = nullptr;
};

// A macro as one look found it (or did not find it).
struct MacroState {
  std::uint32_t name = 0;  // index into the reading's names
  bool present = false;
  MacroKind kind = MK_USER;
  SharedDefinition value;  // user macros only (null: an empty definition)
};

bool same_state(const MacroState &s, const MacroEntry *e) {
  if (!e) return !s.present;
  if (!s.present || e->kind != s.kind) return false;
  if (e->kind != MK_USER) return true;
  if (!e->value) return false;
  if (e->value == s.value.get()) return true;
  static const MacroDefinition empty;
  const MacroDefinition &a = *e->value, &b = s.value.get() ? *s.value.get() : empty;
  if (a.nargs != b.nargs || a.expansion != b.expansion || a.rest_args != b.rest_args || a.bracketed != b.bracketed ||
      a.parameter_names != b.parameter_names || a.pattern.size() != b.pattern.size())
    return false;
  for (std::size_t i = 0; i < a.pattern.size(); ++i) {
    const MacroReference &x = a.pattern[i], &y = b.pattern[i];
    if (x.nchars != y.nchars || x.argno != y.argno || x.stringify != y.stringify || x.raw_before != y.raw_before ||
        x.raw_after != y.raw_after)
      return false;
  }
  return true;
}

MacroState state_of(std::uint32_t name, const MacroEntry *e) {
  MacroState s;
  s.name = name;
  if (!e) return s;
  s.present = true;
  s.kind = e->kind;
  if (e->kind == MK_USER && e->value) s.value = SharedDefinition(e->value);
  return s;
}

// Names, their characters kept back to back.
class NameList {
 public:
  std::string_view operator[](std::uint32_t i) const {
    return std::string_view(chars_.data() + spans_[i].offset, spans_[i].length);
  }
  std::uint32_t hash(std::uint32_t i) const { return spans_[i].hash; }
  std::uint32_t size() const { return static_cast<std::uint32_t>(spans_.size()); }
  std::uint32_t add(const char *name, std::size_t length, std::uint32_t hash) {
    spans_.push_back({static_cast<std::uint32_t>(chars_.size()), static_cast<std::uint32_t>(length), hash});
    chars_.append(name, length);
    return size() - 1;
  }
  bool is(std::uint32_t i, const char *name, std::size_t length) const {
    return spans_[i].length == length && same_text_bytes(chars_.data() + spans_[i].offset, name, length);
  }

 private:
  struct Span {
    std::uint32_t offset, length, hash;
  };
  std::string chars_;
  std::vector<Span> spans_;
};

// Names seen by a recording, found by the hash the scanner computed, and
// which of them it changed: a look at a name costs no allocation.
class NameSet {
 public:
  NameSet() { grow(); }
  // Whether the name is in the set. Every name a recorded reading looks at
  // is looked for, nearly always one already there: this way calls nothing.
  bool contains(const char *name, std::size_t length, std::uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const Slot s = slots_[i];
      if (s.index == 0) return false;
      if (s.hash == hash && names_.is(s.index - 1, name, length)) return true;
    }
  }
  // The name's index in names(); *added tells it was not in the set (it is now).
  std::uint32_t insert(const char *name, std::size_t length, std::uint32_t hash, bool *added) {
    if (names_.size() >= slots_.size() / 2) grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot &s = slots_[i];
      if (s.index == 0) {
        s.hash = hash;
        s.index = names_.add(name, length, hash) + 1;
        changed_.push_back(false);
        *added = true;
        return s.index - 1;
      }
      if (s.hash == hash && names_.is(s.index - 1, name, length)) {
        *added = false;
        return s.index - 1;
      }
    }
  }
  void insert(const char *name, std::size_t length, std::uint32_t hash) {
    bool added;
    insert(name, length, hash, &added);
  }
  // The name is in the set, and among the changed ones.
  void insert_changed(const char *name, std::size_t length, std::uint32_t hash) {
    bool added;
    const std::uint32_t i = insert(name, length, hash, &added);
    if (changed_[i]) return;
    changed_[i] = true;
    changed_order_.push_back(i);
  }
  const NameList &names() const { return names_; }
  // The changed names' indices, in the order of their first change.
  const std::vector<std::uint32_t> &changed() const { return changed_order_; }
  NameList take_names() { return std::move(names_); }

 private:
  struct Slot {
    std::uint32_t hash = 0;
    std::uint32_t index = 0;  // into names_, plus one; 0: a free slot
  };
  void grow() {
    std::vector<Slot> old(slots_.empty() ? 1024 : slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot &s : old) {
      if (s.index == 0) continue;
      std::size_t i = s.hash & mask;
      while (slots_[i].index != 0) i = (i + 1) & mask;
      slots_[i] = s;
    }
  }
  std::vector<Slot> slots_;
  NameList names_;
  std::vector<bool> changed_;
  std::vector<std::uint32_t> changed_order_;
};

using OnceSet = std::set<std::pair<unsigned long long, unsigned long long>>;

// What decides how the file reads, besides the macros.
struct Surroundings {
  const std::string *text = nullptr;  // the cached text of the file
  bool escape_line_names = false;
  std::vector<std::string> chain;     // the include chain's directories
  OnceSet once_files;
  // What sizeof gives in #if: the sizes of the basic types, and the newest
  // size declared for each other name (every context declares them again).
  TargetSizes sizes;
  std::map<std::string, int> declared;
};

std::vector<std::string> chain_directories() {
  // A bare node or a directory already in the chain changes no search
  // ("#include_next" is not reused).
  std::vector<std::string> dirs;
  for (const IncludeDir *d = pp_state.include_head; d; d = d->next)
    if (!d->bare && std::find(dirs.begin(), dirs.end(), d->text) == dirs.end()) dirs.push_back(d->text);
  return dirs;
}

Surroundings current_surroundings(const std::string *text) {
  Surroundings s;
  s.text = text;
  s.escape_line_names = pp_state.escape_line_names;
  s.chain = chain_directories();
  s.once_files = pp_state.macro_table->index().once_files;
  s.sizes = target_sizes();
  for (const auto &d : s.sizes.declared_sizes) s.declared[d.first] = d.second;
  s.sizes.declared_sizes.clear();
  return s;
}

bool same_sizes(const TargetSizes &a, const TargetSizes &b) {
  return a.char_bits == b.char_bits && a.short_bits == b.short_bits && a.int_bits == b.int_bits &&
         a.long_bits == b.long_bits && a.longlong_bits == b.longlong_bits &&
         a.plain_char_unsigned == b.plain_char_unsigned;
}

// searched, sizes: whether the reading included files, asked for sizes.
bool same_surroundings(const Surroundings &a, const Surroundings &b, bool searched, bool sizes) {
  return a.text == b.text && a.escape_line_names == b.escape_line_names &&
         (!searched || (a.chain == b.chain && a.once_files == b.once_files)) &&
         (!sizes || (same_sizes(a.sizes, b.sizes) && a.declared == b.declared));
}

// One recorded reading of a file.
struct Reading {
  Surroundings before;
  std::vector<MacroState> looked;   // macros found, as they were before the reading
  // Names looked at and not found (indices into names).
  NameList names;
  std::vector<std::uint32_t> absent;
  std::vector<MacroState> changed;  // macros as the reading left them
  OnceSet once_added;               // files the reading marked "#pragma once"
  // The pragmas it acted on, in order, with their operands.
  std::vector<std::pair<const PragmaKeyword *, std::string>> pragmas;
  std::vector<std::string> files;   // files read, in first-read order
  std::string output;               // from the file's first line marker on
  int depth_used = 0;               // input levels used above the file's own
  bool asked_sizes = false;
  bool searched = false;            // included files (found or not)
  std::size_t longest_dir = 0;
};

}  // namespace

struct MemoRecording {
  std::string path;
  Reading reading;
  NameSet seen;  // names looked at or changed
  std::uint32_t mark = 0;
  int depth = 0;    // the file's level
  OutputBuffer *out = nullptr;
  std::size_t out_start = 0;
  std::size_t if_frames = 0, skip_frames = 0;
  bool spoiled = false;
  bool defined_noted = false;  // the "defined" operator's entry is among the changed names
};

namespace {

// Readings per file; a file is read in few different states in one run.
constexpr std::size_t kReadingsPerFile = 4;

struct Memo {
  std::map<std::string, std::vector<std::unique_ptr<Reading>>> files;
  std::uint32_t next_mark = 0;
  int reused = 0;
};

Memo &memo() {
  static Memo *m = new Memo;  // process lifetime
  return *m;
}

int named_levels() {
  int n = 0;
  for (int i = 0; i <= pp_state.depth; ++i)
    if (pp_state.levels[static_cast<std::size_t>(i)].named) ++n;
  return n;
}

bool matches(const Reading &r, const Surroundings &now) {
  if (!same_surroundings(r.before, now, r.searched, r.asked_sizes)) return false;
  if (pp_state.depth + r.depth_used + 1 >= PP_MAX_DEPTH) return false;
  for (const std::uint32_t a : r.absent) {
    const std::string_view n = r.names[a];
    if (pp_lookup(n.data(), n.size(), r.names.hash(a))) return false;
  }
  for (const MacroState &s : r.looked) {
    const std::string_view n = r.names[s.name];
    if (!same_state(s, pp_lookup(n.data(), n.size(), r.names.hash(s.name)))) return false;
  }
  return true;
}

void apply(const Reading &r, OutputBuffer &out) {
  for (const MacroState &s : r.changed) {
    const std::string_view n = r.names[s.name];
    const std::uint32_t hash = r.names.hash(s.name);
    while (MacroEntry *e = pp_lookup(n.data(), n.size(), hash)) pp_remove_entry(e);
    if (!s.present) continue;
    MacroEntry *e = pp_insert_entry(n.data(), n.size(), hash, s.kind);
    if (s.kind == MK_USER)
      e->value = s.value.get() ? pp_share_definition(s.value.get()) : new MacroDefinition;
  }
  pp_state.macro_table->index().once_files.insert(r.once_added.begin(), r.once_added.end());
  for (const std::string &f : r.files)
    if (pp_state.included_index.insert(f).second) pp_state.included_files.push_back(f);
  pp_state.longest_dir = std::max(pp_state.longest_dir, r.longest_dir);
  // Where the reading stood when it met them: its includer's directory is
  // still in the chain, and it had included nothing.
  for (const auto &p : r.pragmas) p.first->handler(p.second, nullptr);
  std::string &o = out.text;
  if (!o.empty() && o.back() != '\n') o.push_back('\n');
  o += r.output;
}

}  // namespace

void pp_set_include_reuse(int named) { pp_state.reuse_named_levels = named; }

int pp_reused_includes() { return memo().reused; }

bool pp_memo_candidate(bool next, const OutputBuffer &out) {
  return pp_state.reuse_named_levels >= 0 && !pp_state.recording && !next && out.rescan_kind == RK_OUTPUT &&
         pp_state.pragma_map.empty() && pp_state.analysis_on && pp_state.macro_table &&
         named_levels() == pp_state.reuse_named_levels;
}

bool pp_memo_replay(const std::string &path, const std::string *text, OutputBuffer &out, IncludeDir *appended) {
  auto it = memo().files.find(path);
  if (it == memo().files.end()) return false;
  const Surroundings now = current_surroundings(text);
  for (const std::unique_ptr<Reading> &r : it->second) {
    if (!matches(*r, now)) continue;
    apply(*r, out);
    ++memo().reused;
    // As when the file's level ends: the includer's directory served only
    // the files it includes itself, and the includer's position is marked.
    pp_release_appended_dir(appended);
    pp_line_marker(pp_top(), out, false);
    return true;
  }
  return false;
}

void pp_memo_start(const std::string &path, const std::string *text, OutputBuffer &out, std::size_t out_start) {
  auto it = memo().files.find(path);
  if (it != memo().files.end() && it->second.size() >= kReadingsPerFile) return;
  MemoRecording *m = new MemoRecording;
  m->path = path;
  m->reading.before = current_surroundings(text);
  m->mark = ++memo().next_mark;
  if (m->mark == 0) m->mark = ++memo().next_mark;  // 0 marks no recording
  m->depth = pp_state.depth;
  m->out = &out;
  m->out_start = out_start;
  m->if_frames = pp_state.if_stack.size();
  m->skip_frames = pp_state.skip_stack.size();
  pp_state.recording = m;
}

// A name the recording had not seen: as it stands now.
static __attribute__((noinline)) void note_first_lookup(MemoRecording &m, const char *name, std::size_t length,
                                                        std::uint32_t hash, MacroEntry *found) {
  bool added;
  const std::uint32_t index = m.seen.insert(name, length, hash, &added);
  if (found) {
    found->memo_mark = m.mark;
    m.reading.looked.push_back(state_of(index, found));
  } else {
    m.reading.absent.push_back(index);
  }
}

void pp_memo_note_lookup(const char *name, std::size_t length, std::uint32_t hash, MacroEntry *found) {
  MemoRecording &m = *pp_state.recording;
  if (found && found->memo_mark == m.mark) return;  // changed by the reading or already noted
  if (m.seen.contains(name, length, hash)) return;
  note_first_lookup(m, name, length, hash, found);
}

void pp_memo_note_change(MacroEntry *entry) {
  MemoRecording &m = *pp_state.recording;
  entry->memo_mark = m.mark;
  m.seen.insert_changed(entry->name.data(), entry->name.size(), entry->hash);
}

void pp_memo_note_file(const std::string &path) { pp_state.recording->reading.files.push_back(path); }

void pp_memo_note_search(bool next) {
  MemoRecording &m = *pp_state.recording;
  m.reading.searched = true;
  if (next) m.spoiled = true;
}

void pp_memo_note_depth(int depth) {
  MemoRecording &m = *pp_state.recording;
  m.reading.depth_used = std::max(m.reading.depth_used, depth - m.depth);
}

void pp_memo_note_change(const char *name, std::size_t length, std::uint32_t hash) {
  pp_state.recording->seen.insert_changed(name, length, hash);
}

void pp_memo_note_defined() {
  MemoRecording &m = *pp_state.recording;
  if (m.defined_noted) return;
  m.defined_noted = true;
  static const std::uint32_t hash = pp_hash_name("defined", 7);
  m.seen.insert_changed("defined", 7, hash);
}

void pp_memo_note_pragma(const PragmaKeyword &keyword, std::string_view operand) {
  MemoRecording &m = *pp_state.recording;
  // A file the reading included leaves its directory's node behind in the
  // chain, which a directory pragma may find: that is not replayed.
  if (m.reading.searched) m.spoiled = true;
  m.reading.pragmas.emplace_back(&keyword, std::string(operand));
}

void pp_memo_spoil() { pp_state.recording->spoiled = true; }

namespace {

// pp_memo_end at the recorded file's own level: a call of its own, so that
// the end of every other level (most are expansions) saves no registers.
__attribute__((noinline)) void end_recording(const InputLevel &level) {
  std::unique_ptr<MemoRecording> m(pp_state.recording);
  pp_state.recording = nullptr;
  if (m->spoiled || level.position < level.end || pp_state.if_stack.size() != m->if_frames ||
      pp_state.skip_stack.size() != m->skip_frames || m->out != pp_state.output || m->out->text.size() < m->out_start)
    return;
  Reading &r = m->reading;
  const NameList &names = m->seen.names();
  for (const std::uint32_t i : m->seen.changed()) {
    const std::string_view name = names[i];
    r.changed.push_back(state_of(i, pp_lookup(name.data(), name.size(), names.hash(i))));
  }
  r.names = m->seen.take_names();
  for (const auto &id : pp_state.macro_table->index().once_files)
    if (!r.before.once_files.count(id)) r.once_added.insert(id);
  r.asked_sizes = target_sizes().asked != r.before.sizes.asked;
  r.output.assign(m->out->text, m->out_start, std::string::npos);
  r.longest_dir = pp_state.longest_dir;
  auto &readings = memo().files[m->path];
  if (readings.size() < kReadingsPerFile) readings.push_back(std::make_unique<Reading>(std::move(r)));
}

}  // namespace

void pp_memo_end(const InputLevel &level) {
  if (pp_state.depth == pp_state.recording->depth) end_recording(level);
}

void pp_memo_forget() {
  delete pp_state.recording;
  pp_state.recording = nullptr;
  memo().files.clear();
}

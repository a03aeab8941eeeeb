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
  ~SharedDefinition() { pp_free_definition(def_); }
  MacroDefinition *get() const { return def_; }

 private:
  MacroDefinition *def_ = nullptr;
};

// A macro as one look found it (or did not find it).
struct MacroState {
  std::string name;
  std::uint32_t hash = 0;
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

MacroState state_of(const std::string &name, std::uint32_t hash, const MacroEntry *e) {
  MacroState s;
  s.name = name;
  s.hash = hash;
  if (!e) return s;
  s.present = true;
  s.kind = e->kind;
  if (e->kind == MK_USER && e->value) s.value = SharedDefinition(e->value);
  return s;
}

// Names seen by a recording, found by the hash the scanner computed: a look
// at a name costs no allocation once the name is known.
class NameSet {
 public:
  // True when the name was not in the set (it is now).
  bool insert(const char *name, std::size_t length, std::uint32_t hash) {
    if ((count_ + 1) * 2 > slots_.size()) grow();
    std::size_t i = hash & (slots_.size() - 1);
    for (;; i = (i + 1) & (slots_.size() - 1)) {
      Slot &s = slots_[i];
      if (!s.used) {
        s.used = true;
        s.hash = hash;
        s.index = static_cast<std::uint32_t>(names_.size());
        names_.emplace_back(name, length);
        ++count_;
        return true;
      }
      const std::string &n = names_[s.index];
      if (s.hash == hash && n.size() == length && std::memcmp(n.data(), name, length) == 0) return false;
    }
  }
  bool contains(const char *name, std::size_t length, std::uint32_t hash) const {
    if (slots_.empty()) return false;
    for (std::size_t i = hash & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
      const Slot &s = slots_[i];
      if (!s.used) return false;
      const std::string &n = names_[s.index];
      if (s.hash == hash && n.size() == length && std::memcmp(n.data(), name, length) == 0) return true;
    }
  }
  const std::vector<std::string> &names() const { return names_; }
  std::vector<std::string> take_names() { return std::move(names_); }

 private:
  struct Slot {
    std::uint32_t hash = 0;
    std::uint32_t index = 0;
    bool used = false;
  };
  void grow() {
    std::vector<Slot> old(slots_.empty() ? 1024 : slots_.size() * 2);
    old.swap(slots_);
    for (const Slot &s : old) {
      if (!s.used) continue;
      std::size_t i = s.hash & (slots_.size() - 1);
      while (slots_[i].used) i = (i + 1) & (slots_.size() - 1);
      slots_[i] = s;
    }
  }
  std::vector<Slot> slots_;
  std::vector<std::string> names_;
  std::size_t count_ = 0;
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
  // Names looked at and not found (indices into names, with their hashes).
  std::vector<std::string> names;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> absent;
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
  NameSet seen;     // names looked at or changed
  NameSet changed;  // names changed
  std::uint32_t mark = 0;
  int depth = 0;    // the file's level
  OutputBuffer *out = nullptr;
  std::size_t out_start = 0;
  std::size_t if_frames = 0, skip_frames = 0;
  bool spoiled = false;
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
  for (const auto &a : r.absent) {
    const std::string &n = r.names[a.second];
    if (pp_lookup(n.data(), n.size(), a.first)) return false;
  }
  for (const MacroState &s : r.looked)
    if (!same_state(s, pp_lookup(s.name.data(), s.name.size(), s.hash))) return false;
  return true;
}

void apply(const Reading &r, OutputBuffer &out) {
  for (const MacroState &s : r.changed) {
    while (MacroEntry *e = pp_lookup(s.name.data(), s.name.size(), s.hash)) pp_remove_entry(e);
    if (!s.present) continue;
    MacroEntry *e = pp_insert_entry(s.name.data(), s.name.size(), s.hash, s.kind);
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

void pp_memo_note_lookup(const char *name, std::size_t length, std::uint32_t hash, MacroEntry *found) {
  MemoRecording &m = *pp_state.recording;
  if (found && found->memo_mark == m.mark) return;  // changed by the reading or already noted
  if (!m.seen.insert(name, length, hash)) return;
  if (found) {
    found->memo_mark = m.mark;
    m.reading.looked.push_back(state_of(found->name, hash, found));
  } else {
    m.reading.absent.emplace_back(hash, static_cast<std::uint32_t>(m.seen.names().size() - 1));
  }
}

void pp_memo_note_change(MacroEntry *entry) {
  MemoRecording &m = *pp_state.recording;
  entry->memo_mark = m.mark;
  m.seen.insert(entry->name.data(), entry->name.size(), entry->hash);
  m.changed.insert(entry->name.data(), entry->name.size(), entry->hash);
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
  MemoRecording &m = *pp_state.recording;
  m.seen.insert(name, length, hash);
  m.changed.insert(name, length, hash);
}

void pp_memo_note_pragma(const PragmaKeyword &keyword, std::string_view operand) {
  MemoRecording &m = *pp_state.recording;
  // A file the reading included leaves its directory's node behind in the
  // chain, which a directory pragma may find: that is not replayed.
  if (m.reading.searched) m.spoiled = true;
  m.reading.pragmas.emplace_back(&keyword, std::string(operand));
}

void pp_memo_spoil() { pp_state.recording->spoiled = true; }

void pp_memo_end(const InputLevel &level) {
  if (pp_state.depth != pp_state.recording->depth) return;
  std::unique_ptr<MemoRecording> m(pp_state.recording);
  pp_state.recording = nullptr;
  if (m->spoiled || level.position < level.end || pp_state.if_stack.size() != m->if_frames ||
      pp_state.skip_stack.size() != m->skip_frames || m->out != pp_state.output || m->out->text.size() < m->out_start)
    return;
  Reading &r = m->reading;
  for (const std::string &name : m->changed.names()) {
    const std::uint32_t hash = pp_hash_name(name.data(), name.size());
    r.changed.push_back(state_of(name, hash, pp_lookup(name.data(), name.size(), hash)));
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

void pp_memo_forget() {
  delete pp_state.recording;
  pp_state.recording = nullptr;
  memo().files.clear();
}

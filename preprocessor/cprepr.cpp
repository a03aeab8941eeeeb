// Preprocessor state, life cycle, input stack and include search.
#include "cprepr.h"

#include <QString>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "cpcase.h"
#include "cpinternal.h"
#include "i18nutil.h"
#include "mplatf.h"
#include "msystm.h"
#include "y1_tab.h"

PpState pp_state;
unsigned char pp_class[256];

namespace {

// The two system directories are static and linked in as they are.
IncludeDir usr_include_node{nullptr, nullptr, "/usr/include", false, true};
IncludeDir usr_local_include_node{nullptr, nullptr, "/usr/local/include", false, true};

bool classes_built = false;

}  // namespace

// A file's prepared text, reused while its size and time stay the same, so
// that a header included many times behind a guard is read from disk once.
struct CachedFile {
  std::string text;
  off_t size = 0;
  time_t mtime = 0;
  long mtime_ns = 0;
  // Whether an include met the file already: its shape is looked at when
  // it is met again.
  bool met_before = false;
  // The guard macro when the text is one "#ifndef GUARD" group with only
  // comments and blank lines around it (empty: not such a text).
  bool guard_known = false;
  std::string guard;
  // What a reading while the guard is defined writes, from the file's own
  // line marker on, and the output line it ends at; by line-name escaping.
  bool skipped_known[2] = {false, false};
  std::string skipped_output[2];
  int skipped_line[2] = {0, 0};
  // The run that last found the file unchanged (see PpFileCache::run), and
  // its identity then, for "#pragma once".
  unsigned checked_run = 0;
  unsigned long long device = 0, inode = 0;
};
struct PpFileCache {
  std::unordered_map<std::string, std::unique_ptr<CachedFile>, PpTextHash> files;
  std::vector<std::unique_ptr<CachedFile>> retired;
  // Paths this run found to be no readable file: every search of a common
  // header name tries the same directories before the one that holds it.
  std::unordered_set<std::string, PpTextHash> missing;
  // The folders named inside header names ("bits" of "bits/types.h") below
  // each directory tried, and whether they are folders: most directories
  // of the chain hold no "bits", and every header of it would be looked
  // for there in vain.
  std::unordered_map<std::string, bool, PpTextHash> folders;
  // A file is looked at once per run (from pp_init to pp_release of the
  // chain): a header included again, guarded or not, is taken from the
  // cache without asking the system whether it changed.
  unsigned run = 1;
};

void pp_build_classes() {
  if (classes_built) return;
  std::memset(pp_class, 0, sizeof pp_class);
  for (int c = 0; c < 256; ++c) {
    bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
    if (alpha) pp_class[c] |= CC_ID | CC_IDSTART;
    if (c >= '0' && c <= '9') pp_class[c] |= CC_ID;
    if (c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r') pp_class[c] |= CC_HSPACE | CC_SPACE;
    if (c == '\n') pp_class[c] |= CC_SPACE;
    if (!(pp_class[c] & CC_ID) && c != '\n' && c != '"' && c != '\'' && c != '/' && c != '\\' && c != '#' &&
        c != '\0')
      pp_class[c] |= CC_PLAIN;
  }
  classes_built = true;
}

// Built before main, so that every entry point (the pragma handlers the
// analyser calls, the glue's helpers) sees the classes.
[[maybe_unused]] static const bool classes_at_start = (pp_build_classes(), true);

static void ensure_levels() {
  if (pp_state.levels.capacity() < (std::size_t)PP_STACK_SIZE) pp_state.levels.reserve(PP_STACK_SIZE);
}

InputLevel *pp_innermost_named() {
  for (int i = pp_state.depth; i >= 0; --i)
    if (pp_state.levels[i].named) return &pp_state.levels[i];
  return nullptr;
}

std::string pp_translated(const char *text) {
  return translate("ana_c_cpp", text).toLocal8Bit().toStdString();
}

void pp_report(MessageCode code, std::string_view arg, int line) {
  InputLevel *named = pp_innermost_named();
  std::string file = named ? named->name : std::string();
  int at = line >= 0 ? line : (named ? named->line : 0);
  if (code.severity() == SEV_ERROR) ++pp_state.error_count;
  ++pp_state.report_count;
  // A reading that reports is not reused: its reports belong to its place.
  if (pp_state.recording) pp_memo_spoil();
  report_at_position(code, arg, file, at);
}

// pp_push_level's rare work, a call of its own so that the push saves no
// registers for it: the stack's room, the report of too deep a nesting,
// and a level record never used before.
static __attribute__((noinline)) void prepare_push() {
  ensure_levels();
  // Files, expansions and rescans all come through here, so the one check
  // bounds every way the input can nest.
  if (pp_state.depth + 1 >= PP_MAX_DEPTH) pp_report(MSG_NBRECURSI);
  if ((int)pp_state.levels.size() <= pp_state.depth + 1) pp_state.levels.emplace_back();
}

InputLevel &pp_push_level(LevelKind kind) {
  if (pp_state.levels.capacity() < (std::size_t)PP_STACK_SIZE || pp_state.depth + 1 >= PP_MAX_DEPTH ||
      (int)pp_state.levels.size() <= pp_state.depth + 1)
    prepare_push();
  ++pp_state.depth;
  if (pp_state.recording) pp_memo_note_depth(pp_state.depth);
  InputLevel &lv = pp_state.levels[pp_state.depth];
  lv.name.clear();
  lv.named = false;
  lv.line = 1;
  lv.buffer = lv.position = lv.end = "";
  lv.length = 0;
  lv.macro = nullptr;
  lv.if_stack_at_entry = pp_state.if_stack.size();
  lv.owned_text.clear();
  lv.kind = kind;
  lv.found_in = nullptr;
  lv.appended_dir = nullptr;
  return lv;
}

InputLevel &pp_push_owned(LevelKind kind, std::string &&text) {
  InputLevel &lv = pp_push_level(kind);
  lv.owned_text = std::move(text);
  lv.buffer = lv.position = lv.owned_text.c_str();
  lv.length = lv.owned_text.size();
  lv.end = lv.buffer + lv.length;
  return lv;
}

InputLevel &pp_push_view(LevelKind kind, const char *text, std::size_t length) {
  InputLevel &lv = pp_push_level(kind);
  lv.buffer = lv.position = text;
  lv.length = length;
  lv.end = text + length;
  return lv;
}

void pp_release_appended_dir(IncludeDir *d) {
  if (!d) return;
  // The includer's directory only serves the files it includes itself.
  // A bare node only repeats the first try of every search, so one at the
  // end of the chain is dropped: the chain does not grow with each include.
  d->text.clear();
  d->bare = true;
  if (d == pp_state.include_tail && !d->builtin) {
    pp_state.include_tail = d->prev;
    if (d->prev)
      d->prev->next = nullptr;
    else
      pp_state.include_head = nullptr;
    // Kept for the next include's directory, with the room of its text:
    // every include appends one and drops it again.
    if (!pp_state.spare_dir) {
      d->prev = d->next = nullptr;
      pp_state.spare_dir = d;
    } else {
      delete d;
    }
  }
}

namespace {
// Spare buffers kept: enough for the texts of nested expansions in flight;
// a larger text (a file, the tested text) is freed as before.
constexpr std::size_t kSpareTexts = 64;
constexpr std::size_t kSpareTextRoom = 4096;
}  // namespace

void pp_keep_text_room(std::string &text) {
  std::vector<std::string> &spare = pp_state.spare_texts;
  text.clear();
  if (text.capacity() <= kSpareTextRoom && spare.size() < kSpareTexts) {
    spare.push_back(std::move(text));
    text.clear();
  } else {
    std::string().swap(text);
  }
}

void pp_pop_level() {
  InputLevel &lv = pp_top();
  if (pp_state.recording) pp_memo_end(lv);
  if (lv.macro) lv.macro->expanding = false;
  lv.macro = nullptr;
  if (lv.appended_dir) {  // a file's level only: expansions and rescans have none
    pp_release_appended_dir(lv.appended_dir);
    lv.appended_dir = nullptr;
  }
  pp_give_text(lv.owned_text);
  lv.buffer = lv.position = lv.end = "";
  --pp_state.depth;
}

// ---------------------------------------------------------------- include chain

static void link_at_end(IncludeDir *node) {
  node->next = nullptr;
  node->prev = pp_state.include_tail;
  if (pp_state.include_tail)
    pp_state.include_tail->next = node;
  else
    pp_state.include_head = node;
  pp_state.include_tail = node;
  if (!node->bare && node->text.size() > pp_state.longest_dir) pp_state.longest_dir = node->text.size();
}

static bool is_linked(const IncludeDir *node) {
  for (IncludeDir *d = pp_state.include_head; d; d = d->next)
    if (d == node) return true;
  return false;
}

IncludeDir *pp_append_dir(std::string_view text) {
  IncludeDir *node = pp_state.spare_dir;
  if (node) {
    pp_state.spare_dir = nullptr;
    node->standard = false;  // the rest is as a new node has it, or set below
  } else {
    node = new IncludeDir;
  }
  node->text.assign(text.data(), text.size());
  node->bare = false;
  link_at_end(node);
  return node;
}

void pp_move_dir_to_end(IncludeDir *node) {
  if (node == pp_state.include_tail) return;
  if (node->prev)
    node->prev->next = node->next;
  else
    pp_state.include_head = node->next;
  if (node->next) node->next->prev = node->prev;
  link_at_end(node);
}

IncludeDir *pp_append_dir_of_file(const char *name) {
  if (!name || !*name) return nullptr;
  // Every include from a named file comes here: the directory is handed
  // over as a view of the name, not copied first. Its end is the last
  // separator of either kind.
  const char *cut = std::strrchr(name, '/');
  if (const char *back = std::strrchr(cut ? cut : name, '\\')) cut = back;
  if (!cut) return pp_append_dir(".");
  return pp_append_dir(std::string_view(name, cut == name ? 1 : static_cast<std::size_t>(cut - name)));
}

void pp_add_dir_of_file(const char *name) { pp_append_dir_of_file(name); }

// ---------------------------------------------------------------- reading files

static PpFileCache &file_cache() {
  if (!pp_state.file_cache) pp_state.file_cache = new PpFileCache;
  return *pp_state.file_cache;
}

// Headers are read again by every analysis of a run and stay cached; a
// file above this size is nearly always the tested file itself, read a few
// times only, and keeping it would weigh on the analyses that follow.
constexpr off_t kCachedFileLimit = 1 << 20;

// A new run: files may have been made, changed or removed since the last one.
static void start_file_run() {
  PpFileCache &cache = file_cache();
  cache.missing.clear();
  cache.folders.clear();
  ++cache.run;
}

void pp_recheck_files() { ++file_cache().run; }

static bool is_path_separator(char c) { return c == '/' || c == '\\'; }

// False when a folder that path goes through from position name_start on
// (the header name's own folders) is no folder: no file can be found below it.
// Each such folder is looked at once per run. An absolute name, and a "."
// or ".." step, name folders that are there whenever the file can be: they
// are not looked at.
static bool folders_exist(PpFileCache &cache, const std::string &path, std::size_t name_start) {
  const std::size_t start = name_start;
  if (start >= path.size() || is_path_separator(path[start])) return true;
  for (std::size_t s = start + 1, step = start; s < path.size(); ++s) {
    if (!is_path_separator(path[s])) continue;
    const std::size_t length = s - step;
    const bool dots = path[step] == '.' && (length == 1 || (length == 2 && path[step + 1] == '.'));
    step = s + 1;
    if (dots || length == 0) continue;
    std::string folder = path.substr(0, s);
    auto known = cache.folders.find(folder);
    if (known == cache.folders.end()) {
      struct stat st;
      const bool is_folder = sys_stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
      known = cache.folders.emplace(std::move(folder), is_folder).first;
    }
    if (!known->second) return false;
  }
  return true;
}

// The prepared text of path, or nullptr when it cannot be opened for reading.
// A file too large for the cache is read into `uncached`, which the caller
// hands to its input level; *entry receives the cache's entry (else nullptr).
// The header name starts at position name_start of path (npos: path is not
// made of a directory and a header name).
static const std::string *read_source(const std::string &path, std::string &uncached, CachedFile **entry_out,
                                      std::size_t name_start = std::string::npos) {
  *entry_out = nullptr;
  PpFileCache &cache = file_cache();
  if (cache.missing.count(path)) return nullptr;
  auto it = cache.files.find(path);
  if (it != cache.files.end() && it->second->checked_run == cache.run) {
    *entry_out = it->second.get();
    return &it->second->text;
  }
  struct stat st;
  if ((name_start != std::string::npos && !folders_exist(cache, path, name_start)) || sys_stat(path.c_str(), &st) != 0 ||
      S_ISDIR(st.st_mode)) {
    cache.missing.insert(path);
    return nullptr;
  }
  if (st.st_size > kCachedFileLimit) {
    // A file that includes itself is read once: the levels share its text.
    for (int d = 0; d <= pp_state.depth; ++d) {
      const InputLevel &lv = pp_state.levels[static_cast<std::size_t>(d)];
      if (lv.kind == LV_FILE && !lv.owned_text.empty() && lv.name == path) return &lv.owned_text;
    }
  }
  auto &files = cache.files;
  if (it != files.end() && it->second->size == st.st_size && it->second->mtime == st.st_mtim.tv_sec &&
      it->second->mtime_ns == st.st_mtim.tv_nsec) {
    it->second->checked_run = cache.run;
    it->second->device = st.st_dev;
    it->second->inode = st.st_ino;
    *entry_out = it->second.get();
    return &it->second->text;
  }
  const int file = sys_open_read(path.c_str());
  if (file < 0) return nullptr;
  // The text is read into its own room, a block a call: a read of a plain
  // file that comes back short has met its end (a pipe's may not have).
  const bool plain = S_ISREG(st.st_mode);
  std::string text;
  text.reserve(st.st_size > 0 ? (std::size_t)st.st_size + 2 : 512);
  const std::size_t block = 65536;
  for (;;) {
    // The room reserved for the size stat reported comes first: a file that
    // did not grow meanwhile is read without a buffer twice its size.
    std::size_t old = text.size();
    std::size_t room = text.capacity() > old + 1 ? text.capacity() - old - 1 : block;
    text.resize(old + room);
    const long count = sys_read(file, &text[old], room);
    const std::size_t got = count > 0 ? static_cast<std::size_t>(count) : 0;
    text.resize(old + got);
    // A NUL byte ends the file there.
    if (const void *z = std::memchr(text.data() + old, 0, got)) {
      text.resize((const char *)z - text.data());
      break;
    }
    if (got == 0 || (got < room && plain)) break;
  }
  sys_close(file);
  pp_prepare_buffer(text);
  if (text.empty() || text.back() != '\n') text.push_back('\n');
  if (st.st_size > kCachedFileLimit) {
    if (it != files.end()) {
      cache.retired.push_back(std::move(it->second));
      files.erase(it);
    }
    uncached = std::move(text);
    return &uncached;
  }
  auto entry = std::make_unique<CachedFile>();
  entry->text = std::move(text);
  entry->size = st.st_size;
  entry->mtime = st.st_mtim.tv_sec;
  entry->mtime_ns = st.st_mtim.tv_nsec;
  entry->checked_run = cache.run;
  entry->device = st.st_dev;
  entry->inode = st.st_ino;
  const std::string *result = &entry->text;
  *entry_out = entry.get();
  // A text replaced in the cache may still be read by a level: keep it.
  if (it != files.end()) cache.retired.push_back(std::move(it->second));
  files[path] = std::move(entry);
  return result;
}

static bool header_name(std::string_view op, std::string &name) {
  if (op.size() >= 2 && ((op.front() == '"' && op.back() == '"') || (op.front() == '<' && op.back() == '>'))) {
    name.assign(op.data() + 1, op.size() - 2);
    return true;
  }
  return false;
}

static std::string_view trimmed(const char *start, const char *end) {
  while (start < end && is_hspace(*start)) ++start;
  while (end > start && is_hspace(end[-1])) --end;
  return std::string_view(start, static_cast<std::size_t>(end - start));
}

// The identity of a file for "#pragma once"; false when it cannot be read.
static bool file_identity(const std::string &path, std::pair<unsigned long long, unsigned long long> &id) {
  PpFileCache &cache = file_cache();
  auto it = cache.files.find(path);
  if (it != cache.files.end() && it->second->checked_run == cache.run) {
    id = {it->second->device, it->second->inode};
    return true;
  }
  struct stat st;
  if (sys_stat(path.c_str(), &st) != 0) return false;
  id = {(unsigned long long)st.st_dev, (unsigned long long)st.st_ino};
  return true;
}

void pp_mark_included_once() {
  InputLevel *named = pp_innermost_named();
  std::pair<unsigned long long, unsigned long long> id;
  if (named && pp_state.macro_table && file_identity(named->name, id))
    pp_state.macro_table->index().once_files.insert(id);
}

// A file met again while its guard macro is defined reads as its comments
// and blank lines: the text that reading wrote the first time is written
// again, without scanning the file. Its level is entered and left all the
// same (for the include depth and the includer's directory). False when the
// file is read as usual.
static bool skip_guarded(CachedFile &file, const std::string &path, IncludeDir *found_in, IncludeDir *appended,
                         OutputBuffer &out) {
  if (!file.guard_known) {
    // Most files are included once: their shape is looked at when met again.
    if (!file.met_before) {
      file.met_before = true;
      return false;
    }
    // The walk over the whole file waits until the guard could matter: the
    // file would be passed over and the name its first line tests is
    // defined. That look-up is the one the file's "#ifndef" makes when read.
    if (!pp_state.analysis_on || out.rescan_kind != RK_OUTPUT) return false;
    std::string_view candidate;
    if (pp_guard_candidate(file.text.data(), file.text.data() + file.text.size(), candidate) &&
        !pp_lookup(candidate.data(), candidate.size()))
      return false;
    file.guard_known = true;
    if (!pp_find_guard(file.text.data(), file.text.data() + file.text.size(), file.guard)) file.guard.clear();
  }
  if (file.guard.empty() || !pp_state.analysis_on || out.rescan_kind != RK_OUTPUT ||
      !pp_lookup(file.guard.data(), file.guard.size()))
    return false;
  const int escaped = pp_state.escape_line_names ? 1 : 0;
  InputLevel &lv = pp_push_view(LV_FILE, file.text.c_str(), file.text.size());
  lv.name = path;
  lv.named = true;
  lv.line = 1;
  lv.found_in = found_in;
  lv.appended_dir = appended;
  std::string &o = out.text;
  if (file.skipped_known[escaped]) {
    if (!o.empty() && o.back() != '\n') o.push_back('\n');
    o += file.skipped_output[escaped];
    out.line = file.skipped_line[escaped];
  } else {
    // The first time, the file is scanned as usual; what it wrote is kept
    // when the reading did what its shape promises: the two directives of
    // the guard and nothing else.
    const int depth = pp_state.depth;
    const std::size_t frames = pp_state.if_stack.size(), skips = pp_state.skip_stack.size();
    const long reports = pp_state.report_count, directives = pp_state.directive_count;
    const std::size_t start = o.size() + (!o.empty() && o.back() != '\n' ? 1 : 0);
    pp_line_marker(lv, out, false);
    pp_scan(out, false);
    if (pp_state.depth == depth && lv.position >= lv.end && pp_state.if_stack.size() == frames &&
        pp_state.skip_stack.size() == skips && pp_state.report_count == reports &&
        pp_state.directive_count == directives + 2) {
      file.skipped_known[escaped] = true;
      file.skipped_output[escaped] = o.substr(start);
      file.skipped_line[escaped] = out.line;
    }
  }
  pp_pop_level();
  pp_line_marker(pp_top(), out, false);
  return true;
}

void pp_include(const char *start, const char *end, bool next, OutputBuffer &out) {
  std::string_view operand = trimmed(start, end);
  std::string name;
  if (!header_name(operand, name)) {
    const std::string expanded = pp_rescan(std::string(operand), RK_INCLUDE, false);
    operand = trimmed(expanded.data(), expanded.data() + expanded.size());
    if (!header_name(operand, name)) {
      pp_report(MSG_ERINCLUDE);
      return;
    }
  }
  // What a search finds depends on the include chain and on the files
  // already read with "#pragma once"; "#include_next" also on where the
  // includer was found, which no recording compares.
  if (pp_state.recording) pp_memo_note_search(next);
  IncludeDir *appended = nullptr;
  IncludeDir *from = nullptr;
  if (!next) {
    InputLevel *named = pp_innermost_named();
    if (named) appended = pp_append_dir_of_file(named->name.c_str());
    from = pp_state.include_head;
  } else {
    from = pp_state.include_head;
    InputLevel *named = pp_innermost_named();
    if (named && named->found_in) from = named->found_in->next;
  }
  std::string path = name;
  std::string uncached;
  CachedFile *entry = nullptr;
  const std::string *text = read_source(path, uncached, &entry, 0);
  IncludeDir *found_in = nullptr;
  for (IncludeDir *d = from; !text && d; d = d->next) {
    // A bare entry tries the name itself again: that was the first try.
    if (d->bare) continue;
    path.clear();
    path.reserve(d->text.size() + 1 + name.size());
    path.append(d->text).append("/").append(name);
    text = read_source(path, uncached, &entry, d->text.size() + 1);
    if (text) found_in = d;
  }
  if (!text && pp_case_search(name, from, path, found_in) && (text = read_source(path, uncached, &entry)) &&
      pp_case_first_use(name, path))
    pp_report(MSG_INCLCASSE, path);
  if (!text) pp_report(MSG_IMPOUVFIC, name);
  if (!pp_state.macro_table->index().once_files.empty()) {
    std::pair<unsigned long long, unsigned long long> id;
    if (file_identity(path, id) && pp_state.macro_table->index().once_files.count(id)) return;
  }
  if (pp_state.included_index.insert(path).second) pp_state.included_files.push_back(path);
  if (pp_state.recording) pp_memo_note_file(path);
  if (entry && skip_guarded(*entry, path, found_in, appended, out)) return;
  // A file read again in the same state is not read again: its recorded
  // text and macro changes serve (only files of the cache have a stable text).
  const bool reusable = text && text != &uncached && pp_memo_candidate(next, out);
  if (reusable && pp_memo_replay(path, text, out, appended)) return;
  // The output of a file is about as long as the file: room made for it at
  // once saves the copies and first touches of growing by doubling.
  const std::size_t expected = out.text.size() + text->size() + text->size() / 8;
  if (expected > out.text.capacity()) out.text.reserve(expected);
  InputLevel &lv =
      text == &uncached ? pp_push_owned(LV_FILE, std::move(uncached)) : pp_push_view(LV_FILE, text->c_str(), text->size());
  lv.name = path;
  lv.named = true;
  lv.line = 1;
  lv.found_in = found_in;
  lv.appended_dir = appended;
  const std::size_t before = out.text.size() + (!out.text.empty() && out.text.back() != '\n' ? 1 : 0);
  pp_line_marker(lv, out, false);
  if (reusable) pp_memo_start(path, text, out, before);
}

// ---------------------------------------------------------------- life cycle

MacroTable::MacroTable() : index_(new MacroIndex) {}

MacroTable::~MacroTable() {
  for (MacroEntry *&head : index_->buckets)
    while (MacroEntry *e = head) {
      head = e->next;
      pp_free_definition(e->value);
      pp_delete_entry(e);
    }
}

void pp_init(const char *const *definitions, const char *const *include_dirs, MacroTable &macro_table,
             bool full) {
  ensure_levels();
  pp_use_table(macro_table);
  pp_build_classes();
  pp_install_eval_hooks();
  if (full) {
    start_file_run();
    for (const char *const *d = include_dirs; d && *d; ++d) pp_append_dir(*d);
    const char *chosen = sys_getenv("QZUTGT");
    const std::string target = chosen && *chosen ? std::string(chosen) : target_directory();
    if (!target.empty()) {
      std::string lib = target + sys_separator() + "lib";
      pp_append_dir(lib);
    }
    if (sys_getenv("QZW_ADD_USR_INCLUDE")) {
      for (IncludeDir *node : {&usr_include_node, &usr_local_include_node}) {
        if (!is_linked(node)) link_at_end(node);
      }
    }
  }
  static const char *const predefined[] = {"QZL_WIN32 1", "USE_QZU 1", "QZL_CPLUSPLUS_LANGUAGE 1"};
  for (const char *p : predefined) pp_define(p, p + std::strlen(p));
  pp_install_builtins();
  for (const char *const *d = definitions; d && *d; ++d) pp_define_option(macro_table, *d);
}

int pp_process_text(const char *text, bool start_now, const char *name, int line, std::string &result,
                    MacroTable &macro_table) {
  pp_build_classes();
  pp_install_eval_hooks();
  pp_state.start_now = start_now;
  pp_use_table(macro_table);
  pp_state.error_count = 0;
  OutputBuffer out;
  out.rescan_kind = RK_OUTPUT;
  out.text.reserve(30);
  OutputBuffer *saved = pp_state.output;
  pp_state.output = &out;
  std::string copy = text ? text : "";
  pp_prepare_buffer(copy);
  InputLevel &lv = pp_push_owned(LV_TEXT, std::move(copy));
  if (name && *name) {
    lv.name = name;
    lv.named = true;
  }
  lv.line = line;
  out.line = line;
  int base = pp_state.depth;
  pp_line_marker(lv, out, true);
  pp_scan(out, false);
  while (pp_state.depth >= base) pp_pop_level();
  result = std::move(out.text);
  // The text grew by doubling and is analysed next, while it stays: a large
  // one gives its unused room back first.
  if (result.size() > (1u << 20) && result.capacity() - result.size() > result.size() / 8) result.shrink_to_fit();
  pp_state.output = saved;
  return pp_state.error_count;
}

void pp_release(MacroTable &macro_table, bool free_chain) {
  pp_use_table(macro_table);
  pp_release_conditionals();
  // Levels left by a run that was cut short (a fatal report caught by an
  // embedding program) end with the context.
  while (pp_state.depth >= 0) pp_pop_level();
  // The user macros go in one pass over the entries (undefining them one
  // name at a time cost a lookup and an input level each).
  for (MacroEntry *head : macro_table.index().buckets)
    for (MacroEntry *e = head; e;) {
      MacroEntry *next = e->next;
      if (e->kind == MK_USER) pp_remove_entry(e);
      e = next;
    }
  macro_table.index().once_files.clear();
  macro_table.index().counter = 0;
  pp_state.type_modifiers.clear();
  if (free_chain) {
    for (IncludeDir *d = pp_state.include_head; d;) {
      IncludeDir *next = d->next;
      d->prev = d->next = nullptr;
      d->standard = false;
      if (!d->builtin) delete d;
      d = next;
    }
    pp_state.include_head = pp_state.include_tail = nullptr;
    pp_state.longest_dir = 19;
    start_file_run();
  }
}

void pp_release_at_exit(MacroTable &macro_table) {
  pp_use_table(macro_table);
  pp_release_conditionals();
}

void pp_set_escape_line_names(bool escape) { pp_state.escape_line_names = escape; }

// ---------------------------------------------------------------- for the analyser

bool pp_is_type_modifier(const char *name, std::size_t length) {
  return pp_state.type_modifiers.contains(std::string_view(name, length));
}

std::size_t pp_type_modifier_count() { return pp_state.type_modifiers.size(); }

bool pp_pragma_operand(std::string_view text, PragmaOperand &operand) {
  const char *p = text.data(), *e = p + text.size();
  auto skip = [&] {
    while (p < e && is_hspace(*p)) ++p;
  };
  skip();
  if (p < e && *p == '(') ++p;
  skip();
  operand.type.clear();
  for (; p < e && *p != '=' && *p != ')'; ++p)
    if (!is_hspace(*p)) operand.type.push_back(*p);
  if (p < e && *p == ')') ++p;
  skip();
  if (p >= e || *p != '=') return false;
  ++p;
  skip();
  const char *v = p;
  while (p < e && !is_hspace(*p)) ++p;
  operand.value.assign(v, p);
  return !operand.type.empty() && !operand.value.empty();
}

bool pp_pragma_sizeof(std::string_view text, PragmaOperand *parsed) {
  PragmaOperand op;
  if (!pp_pragma_operand(text, op)) return false;
  int bits = 0;
  for (char c : op.value) {
    if (!is_digit(c)) return false;
    bits = bits * 10 + (c - '0');
    if (bits > 1000000) return false;
  }
  // Widths the analyser's arithmetic cannot hold are malformed like any
  // other bad pragma.
  if (bits <= 0 || bits > 160) return false;
  TargetSizes &sizes = target_sizes();
  sizes.declared_sizes.emplace_back(op.type, bits / 8);
  int *basic = op.type == "int"        ? &sizes.int_bits
               : op.type == "short"    ? &sizes.short_bits
               : op.type == "long"     ? &sizes.long_bits
               : op.type == "longlong" ? &sizes.longlong_bits
               : op.type == "char"     ? &sizes.char_bits
                                       : nullptr;
  if (basic) *basic = bits;
  op.bits = bits;
  op.basic = basic != nullptr;
  if (parsed) *parsed = std::move(op);
  return true;
}

bool pp_pragma_signof(std::string_view text, PragmaOperand *parsed) {
  PragmaOperand op;
  if (!pp_pragma_operand(text, op)) return false;
  if (op.value != "signed" && op.value != "unsigned") return false;
  op.sign = op.value == "unsigned" ? 1 : 0;
  if (op.type == "char") target_sizes().plain_char_unsigned = op.sign == 1;
  // The sign of int, short and long is not the pragma's to change.
  op.basic = op.type == "char" || op.type == "int" || op.type == "short" || op.type == "long";
  if (parsed) *parsed = std::move(op);
  return true;
}

const std::vector<std::string> &pp_included_files() { return pp_state.included_files; }

void pp_reset_for_tests() {
  while (pp_state.depth >= 0) pp_pop_level();
  for (IncludeDir *d = pp_state.include_head; d;) {
    IncludeDir *next = d->next;
    d->prev = d->next = nullptr;
    d->standard = false;
    if (!d->builtin) delete d;
    d = next;
  }
  pp_state.include_head = pp_state.include_tail = nullptr;
  pp_state.longest_dir = 19;
  pp_state.included_files.clear();
  pp_state.included_index.clear();
  pp_state.spare_texts.clear();
  pp_state.arguments_in_place = true;
  pp_state.if_stack.clear();
  pp_state.skip_stack.clear();
  pp_state.pragma_map.clear();
  pp_state.output = nullptr;
  pp_state.escape_line_names = false;
  pp_state.analysis_on = true;
  pp_state.start_now = true;
  pp_state.error_count = 0;
  pp_state.type_modifiers.clear();
  pp_memo_forget();
  delete pp_state.file_cache;
  pp_state.file_cache = nullptr;
  reset_target_sizes();
}

#include "siofic.h"

#include <unordered_set>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "i18nutil.h"
#include "merror.h"
#include "mplatf.h"
#include "msystm.h"
#include "sliste.h"
#include "sancmd.h"
#include "sgener.h"
#include "ssydat.h"

#include <QString>

namespace {

const char kTitle[] = "C Source Code Parser";
const char kVersion[] = "8.2.0.1.070.020";
const char kCommentPrefix[] = "--";
const char kLineSuffix[] = "";
// The writer's own lines go to the stream in blocks of this size: a block
// per system call is enough to make the calls rare, and a small one adds no
// memory.
constexpr std::size_t kPendingBlock = 64 * 1024;
// The stream's own buffer keeps only the header and the ends of blocks: the
// stream writes whole multiples of its buffer straight from the block. A
// buffer as large as a big script copied every byte once more and touched a
// megabyte of fresh memory, which costs more here than the system calls.
constexpr std::size_t kScriptBufferSize = 16 * 1024;

bool ends_with(const std::string &text, const char *tail) {
  std::string_view t(tail);
  return text.size() >= t.size() && text.compare(text.size() - t.size(), t.size(), t) == 0;
}

// A file's status, taken once for the comparisons of one check.
struct FileStatus {
  bool exists = false;
  struct stat st {};
};

FileStatus status_of(const std::string &path) {
  FileStatus status;
  status.exists = sys_stat(path.c_str(), &status.st) == 0;
  return status;
}

// Two spellings name the same file when they are equal or, both existing,
// lead to the same inode (.\t.c and t.c, a hard link, a symbolic link).
// This form has the status of a at hand.
bool same_file(const std::string &a, const FileStatus &sa, const std::string &b) {
  if (a == b) return true;
  struct stat sb;
  if (!sa.exists || sys_stat(b.c_str(), &sb) != 0) return false;
  return sa.st.st_dev == sb.st_dev && sa.st.st_ino == sb.st_ino;
}

bool same_file(const std::string &a, const std::string &b) { return a == b || same_file(a, status_of(a), b); }

bool exists(const std::string &path) {
  struct stat st;
  return sys_stat(path.c_str(), &st) == 0;
}

// The files the run reads, with their names completed as the analysis will
// complete them.
std::vector<std::string> analysed_inputs(const GeneratorOptions &o) {
  std::vector<std::string> inputs;
  inputs.push_back(o.tested_file);
  auto add = [&inputs](const StrList &list, int kind) {
    for (const StrNode *n = list.head; n; n = n->next) {
      std::string name(n->text ? n->text : "");
      make_file_name(name, kind);
      inputs.push_back(name);
    }
  };
  add(o.integrated_files, KIND_SOURCE);
  add(o.simulated_files, KIND_SOURCE);
  add(o.used_files, KIND_HEADER);
  return inputs;
}

void discard_temporary() {
  ScriptWriter &w = script_writer();
  if (!w.temporary.empty()) {
    sys_unlink(w.temporary.c_str());
    w.temporary.clear();
  }
}

// Appends the studio-log line for a script just opened.
void append_studio_log(const std::string &opened) {
  const std::string &log = generator_options().studio_log_file;
  if (log.empty()) return;
  std::FILE *f = sys_fopen(log.c_str(), "a");
  if (!f) report_fatal(MSG_IMPOUVFIC, log);
  if (ends_with(opened, ".ptu")) std::fprintf(f, "PTU %s\n", opened.c_str());
  bool failed = std::ferror(f) != 0;
  if (std::fclose(f) != 0 || failed) report_fatal(MSG_IMPFERFIC, log);
}

// A new, exclusive file beside the script: the same directory, so that the
// final rename stays within one file system.
std::FILE *open_temporary(ScriptWriter &w) {
  std::size_t cut = w.path.find_last_of("/\\");
  std::string directory = cut == std::string::npos ? std::string() : w.path.substr(0, cut + 1);
  const long pid = static_cast<long>(getpid());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = directory + ".ortekstart-" + std::to_string(pid) + "-" + std::to_string(attempt);
    std::FILE *f = sys_fopen(candidate.c_str(), "wx");
    if (f) {
      w.temporary = candidate;
      append_studio_log(w.path);
      return f;
    }
    if (errno != EEXIST) break;
  }
  report_fatal(MSG_IMPOUVFIC, w.path);
}

// The protection test of an old backup before it is replaced: it is a file
// the user can delete, not a directory nor a file marked read-only.
bool backup_protected(const std::string &backup) {
  struct stat st;
  if (sys_stat(backup.c_str(), &st) != 0) return false;
  if (S_ISDIR(st.st_mode)) return true;
  if ((st.st_mode & S_IWUSR) == 0) return true;
  return sys_access(backup.c_str(), W_OK) != 0;
}

void complete_names(GeneratorOptions &o) {
  make_file_name(o.tested_file, KIND_SOURCE);
  make_file_name(o.generated_file, KIND_SCRIPT);
  if (!o.symbtab_file.empty()) make_file_name(o.symbtab_file, KIND_SYMBOLS);
  if (!o.std_define_file.empty()) make_file_name(o.std_define_file, KIND_DEFINES);
}

// Nothing the run writes may land on a file it reads.
void refuse_overwriting_inputs(GeneratorOptions &o) {
  std::vector<std::string> inputs = analysed_inputs(o);
  if (!o.std_define_file.empty()) inputs.push_back(o.std_define_file);
  const std::string &script = o.generated_file;
  const std::string backup = backup_name(script);
  // The script is compared with every input: its status is taken once.
  const FileStatus script_status = status_of(script);
  const bool backs_up = backup != script && script_status.exists;
  for (const std::string &input : inputs) {
    if (same_file(script, script_status, input)) report_fatal(MSG_CMDFATALE, script);
    if (backs_up && same_file(backup, input)) report_fatal(MSG_CMDFATALE, backup);
  }
  // The log line would land in the old script just before it is backed up.
  if (!o.studio_log_file.empty() && same_file(script, script_status, o.studio_log_file))
    report_fatal(MSG_CMDFATALE, script);
  if (script_status.exists && S_ISDIR(script_status.st.st_mode)) report_fatal(MSG_IMPOUVFIC, script);
  if (!o.dependency_file.empty()) {
    const std::string &dep = o.dependency_file;
    bool clash = same_file(dep, script) || (backs_up && same_file(dep, backup)) || sys_is_directory(dep.c_str());
    for (const std::string &input : inputs) clash = clash || same_file(dep, input);
    if (clash) report_fatal(MSG_CMDFATALE, dep);
  }
  if (o.symbtab_file.empty()) return;
  bool clash = same_file(o.symbtab_file, script);
  for (const std::string &input : inputs) clash = clash || same_file(o.symbtab_file, input);
  if (clash) {
    std::string text = translate("CmdLine", "improper -SYMBTAB option").toLocal8Bit().toStdString();
    report_warning(MSG_CMDERREUR, text + " " + o.symbtab_file);
    o.symbtab_file.clear();
  }
}

// The backup is made once the script is complete, but its messages belong
// to the opening of the script, before any file was analysed: the source
// position left by the analyses does not apply to them.
void report_unpositioned(MessageCode code, const std::string &arg) {
  report(code, arg, "", 0);
}

// Moves the complete, closed script into place, keeping the previous one as
// its backup.
void commit_script(ScriptWriter &w) {
  if (exists(w.path) && backup_name(w.path) != w.path) {
    if (script_backup(w.path) != 0) report_unpositioned(MSG_IMPFICREN, w.path);
    report_unpositioned(MSG_FICRENAME, w.path);
  }
  if (sys_rename(w.temporary.c_str(), w.path.c_str()) != 0) report_unpositioned(MSG_IMPFERFIC, w.path);
  w.temporary.clear();
}

}  // namespace

ScriptWriter &script_writer() {
  static ScriptWriter *w = new ScriptWriter;  // process lifetime
  return *w;
}

int script_open(const std::string &command_text) {
  GeneratorOptions &o = generator_options();
  ScriptWriter &w = script_writer();
  complete_names(o);
  refuse_overwriting_inputs(o);
  w.path = o.generated_file;
  prepare_script_contexts();
  static bool cleanup_registered = false;
  if (!cleanup_registered) {
    // The fatal exit path leaves no temporary behind (the reporter ends the
    // process with quick_exit, any other exit goes through exit).
    std::atexit(discard_temporary);
    std::at_quick_exit(discard_temporary);
    cleanup_registered = true;
  }
  w.stream = open_temporary(w);
  w.pending.clear();
  w.pending.reserve(kPendingBlock + kPendingBlock / 4);
  static char *const buffer = new char[kScriptBufferSize];  // process lifetime
  std::setvbuf(w.stream, buffer, _IOFBF, kScriptBufferSize);
  date_text(w.date);
  script_write_header(w.path, w.stream, kCommentPrefix, kLineSuffix, command_text, w.date);
  return 1;
}

void script_write_line(const std::string &path, std::FILE *stream, std::string_view text) {
  // Only the run's one thread writes a script, and a large one has millions
  // of lines: the stream's lock would be taken three times for each.
#if defined(__GLIBC__)
  if (!text.empty()) fwrite_unlocked(text.data(), 1, text.size(), stream);
  putc_unlocked('\n', stream);
  if (ferror_unlocked(stream)) report_fatal(MSG_IMPECRFIC, path);
#else
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  if (std::ferror(stream)) report_fatal(MSG_IMPECRFIC, path);
#endif
}

namespace {

// The waiting lines go to the stream; a stream error is fatal as for a line.
void write_pending(ScriptWriter &w) {
  if (w.pending.empty()) return;
#if defined(__GLIBC__)
  fwrite_unlocked(w.pending.data(), 1, w.pending.size(), w.stream);
  const bool failed = ferror_unlocked(w.stream);
#else
  std::fwrite(w.pending.data(), 1, w.pending.size(), w.stream);
  const bool failed = std::ferror(w.stream);
#endif
  w.pending.clear();
  if (failed) report_fatal(MSG_IMPECRFIC, w.path);
}

}  // namespace

void flush_script_lines() { write_pending(script_writer()); }

void write_script_line(std::string_view text) { write_script_pieces({text}); }

void write_script_pieces(std::initializer_list<std::string_view> pieces) {
  ScriptWriter &w = script_writer();
  w.pending.append_line(pieces);
  if (w.pending.size() >= kPendingBlock) write_pending(w);
}

void PendingLines::grow(std::size_t more) {
  const std::size_t wanted = size_ + more;
  std::size_t capacity = capacity_ ? capacity_ * 2 : 64;
  if (capacity < wanted) capacity = wanted;
  std::unique_ptr<char[]> bigger(new char[capacity]);
  if (size_) std::memcpy(bigger.get(), data_.get(), size_);
  data_.swap(bigger);
  capacity_ = capacity;
}

int script_close(const std::string &path, std::FILE *stream, int remove) {
  ScriptWriter &w = script_writer();
  if (stream && stream == w.stream) {
    write_pending(w);
    // Lines still buffered are written now: a full disk shows here.
    if (std::fflush(stream) != 0 || std::ferror(stream)) report_fatal(MSG_IMPECRFIC, path);
    w.stream = nullptr;
    if (std::fclose(stream) != 0) report_fatal(MSG_IMPFERFIC, path);
    if (remove)
      discard_temporary();
    else
      commit_script(w);
    return 1;
  }
  if (!stream || std::fclose(stream) != 0) report_fatal(MSG_IMPFERFIC, path);
  if (remove && sys_unlink(path.c_str()) != 0) report_fatal(MSG_IMPFERFIC, path);
  return 1;
}

std::string backup_name(const std::string &path) {
  std::size_t cut = path.find_last_of("/\\");
  std::size_t start = cut == std::string::npos ? 0 : cut + 1;
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) return path + ".bck";
  return path.substr(0, dot) + ".bck";
}

int script_backup(const std::string &path) {
  const std::string backup = backup_name(path);
  if (backup_protected(backup)) report(MSG_IMPFERFIC, backup, "", 0);
  // rename replaces an old backup in one step: there is no moment at which
  // neither the old backup nor the script exists.
  return sys_rename(path.c_str(), backup.c_str());
}

int io_open_file(const std::string &path, std::FILE **stream_out, int mode) {
  static const char *const kModes[] = {"r", "w", "w+"};
  if (mode < 0 || mode > 2) report_internal(MSG_ERRINTFCT, "io_open_file");
  std::FILE *f = sys_fopen(path.c_str(), kModes[mode]);
  if (!f) report_fatal(MSG_IMPOUVFIC, path);
  // The log records a file only once it has really been opened.
  if (mode == 1) append_studio_log(path);
  *stream_out = f;
  return 1;
}

void script_write_header(const std::string &script_path, std::FILE *stream, const char *prefix,
                         const char *suffix, const std::string &command_text, const std::string &date) {
  const std::string p(prefix), s(suffix);
  const std::string stars = p + std::string(80, '*') + s;
  const std::string box = p + "*" + std::string(78, ' ') + "*" + s;
  auto line = [&](const std::string &text) { script_write_line(script_path, stream, text); };
  line(stars);
  line(p + " tool : " + kTitle + " VERSION " + kVersion + s);
  line(box);
  line(p + "%c " + command_text + s);
  line(box);
  line(p + " File : " + script_path + s);
  const GeneratorOptions &o = generator_options();
  std::fprintf(stream, "%s%%f ", prefix);
  if (!o.insert_requested) std::fprintf(stream, "\"%s\" ", o.tested_file.c_str());
  for (const StrNode *n = o.integrated_files.head; n; n = n->next)
    std::fprintf(stream, "\"%s\" ", n->text ? n->text : "");
  line(s);
  line(box);
  line(p + "%d " + "DATE : " + date + s);
  line(box);
  line(stars);
}

void subst_char(std::string &text, char from, char to) {
  for (char &c : text)
    if (c == from) c = to;
}

void identifier_chars(std::string &text) {
  for (char &c : text)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) c = '_';
}

namespace {
// Make's spelling of a name: a blank or "#" is escaped, "$" doubled.
std::string make_escaped(const std::string &name) {
  std::string out;
  out.reserve(name.size() + 8);
  for (char c : name) {
    if (c == ' ' || c == '#' || c == '\t') out += '\\';
    if (c == '$') out += '$';
    out += c;
  }
  return out;
}
}  // namespace

void write_dependency_file(const std::string &path, const std::string &target,
                           const std::vector<std::string> &inputs) {
  std::string text = make_escaped(sys_absolute_path(target.c_str())) + ":";
  std::unordered_set<std::string> seen;
  for (const std::string &input : inputs) {
    const std::string name = sys_absolute_path(input.c_str());
    if (!seen.insert(name).second) continue;
    // A header found only during the run may carry the name too.
    if (same_file(path, input)) report_fatal(MSG_CMDFATALE, path);
    text += " \\\n  " + make_escaped(name);
  }
  text += "\n";
  std::size_t cut = path.find_last_of("/\\");
  const std::string directory = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  const std::string temporary = directory + ".ortekstart-dep-" + std::to_string(static_cast<long>(getpid()));
  std::FILE *f = sys_fopen(temporary.c_str(), "w");
  if (!f) report_fatal(MSG_IMPOUVFIC, path);
  std::fwrite(text.data(), 1, text.size(), f);
  const bool failed = std::fflush(f) != 0 || std::ferror(f);
  if (std::fclose(f) != 0 || failed) {
    sys_unlink(temporary.c_str());
    report_fatal(MSG_IMPECRFIC, path);
  }
  if (sys_rename(temporary.c_str(), path.c_str()) != 0) {
    sys_unlink(temporary.c_str());
    report_fatal(MSG_IMPFERFIC, path);
  }
}

void reset_script_writer() {
  ScriptWriter &w = script_writer();
  w.stream = nullptr;
  w.path.clear();
  w.temporary.clear();
  w.date.clear();
  w.pending.clear();
}

// The one output file of a run: the generated test script. Every line an
// emitter produces goes through script_write_line; every failure on the way
// (open, write, close, rename) ends the run, so no caller checks a result.
#pragma once
#include <cstdio>
#include <cstring>
#include <memory>
#include <initializer_list>
#include <string>
#include <vector>
#include <string_view>

// The bytes of whole lines waiting for the stream. A line is copied in as a
// few pieces: a string's append costs twice the copy of a short piece, as it
// checks and may move its own storage for each one.
class PendingLines {
 public:
  bool empty() const { return size_ == 0; }
  const char *data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  void clear() { size_ = 0; }
  void reserve(std::size_t capacity) {
    if (capacity > capacity_) grow(capacity - size_);
  }
  // The pieces of one line and its newline, with one check of the room.
  void append_line(std::initializer_list<std::string_view> pieces) {
    std::size_t n = 1;
    for (std::string_view piece : pieces) n += piece.size();
    if (n > capacity_ - size_) grow(n);
    char *to = data_.get() + size_;
    for (std::string_view piece : pieces) {
      copy_piece(to, piece.data(), piece.size());
      to += piece.size();
    }
    *to = '\n';
    size_ += n;
  }

 private:
  // Room for `more` bytes after the taken ones, at least doubling.
  void grow(std::size_t more);
  // Most pieces are a few characters: copied in at most two moves of a
  // fixed size, which need no call. (The two may overlap.)
  static void copy_piece(char *to, const char *text, std::size_t n) {
    if (n >= 8 && n <= 16) {
      move_bytes<8>(to, text);
      move_bytes<8>(to + n - 8, text + n - 8);
    } else if (n >= 4 && n < 8) {
      move_bytes<4>(to, text);
      move_bytes<4>(to + n - 4, text + n - 4);
    } else if (n > 16) {
      std::memcpy(to, text, n);
    } else {
      for (std::size_t i = 0; i < n; ++i) to[i] = text[i];
    }
  }
  template <std::size_t N>
  static void move_bytes(char *to, const char *from) {
    char chunk[N];
    std::memcpy(chunk, from, N);
    std::memcpy(to, chunk, N);
  }
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

struct ScriptWriter {
  std::string path;       // the completed generated name; every diagnostic names it
  std::FILE *stream = nullptr;
  // The lines are written into this file beside the script and moved into
  // place only when the script is complete, so that a failed run leaves the
  // previous script and its backup as they were.
  std::string temporary;
  std::string date;       // header date, filled once per run
  // Lines waiting to go to the stream, which takes them in large blocks: a
  // large script has millions of lines, and each call to the stream cost
  // more than copying its line.
  PendingLines pending;
};

// The process-wide writer (one script per run).
ScriptWriter &script_writer();

// Completes the file names of the options in place, refuses a generated name
// that would overwrite an input, prepares the analysis contexts, opens the
// script and writes its eleven-line header. Returns 1; failures are fatal.
int script_open(const std::string &command_text);

// Writes text and one line end; a stream error is the fatal "IMPECRFIC"
// naming path (always the generated script).
void script_write_line(const std::string &path, std::FILE *stream, std::string_view text);
// Hands the script's waiting lines to its stream (script_close does it
// too); for a caller that opened the stream itself and closes it itself.
void flush_script_lines();
// The same on the script that script_open opened.
void write_script_line(std::string_view text);
// One line of the script made of pieces, written one after the other: the
// fixed lines repeated for every service need no text built first.
void write_script_pieces(std::initializer_list<std::string_view> pieces);

// Closes stream. For the script itself this also backs up an older script
// and moves the new one into place (or, with remove, discards it). Failures
// are fatal ("IMPECRFIC" for pending lines that cannot be written,
// "IMPFERFIC" otherwise). Returns 1.
int script_close(const std::string &path, std::FILE *stream, int remove);

// Renames path to its backup name (see backup_name); an old backup that is
// protected against deletion is the fatal "IMPFERFIC". Returns the rename
// result, 0 on success.
int script_backup(const std::string &path);
// The path with the suffix of its file-name part replaced by "bck", or with
// ".bck" appended when the file name has no ".".
std::string backup_name(const std::string &path);

// Opens path: mode 0 "r", 1 "w" (and the studio-log line), 2 "w+". A failed
// open is the fatal "IMPOUVFIC". Returns 1.
int io_open_file(const std::string &path, std::FILE **stream_out, int mode);

void script_write_header(const std::string &script_path, std::FILE *stream, const char *prefix,
                         const char *suffix, const std::string &command_text, const std::string &date);

void subst_char(std::string &text, char from, char to);
// Every character that cannot stand in an identifier (anything but letters,
// digits and "_") becomes "_": names the script builds from file names.
void identifier_chars(std::string &text);

// Test support: forgets the script (closing nothing) so that a test can open
// another one in the same process.
// Writes the make-style dependency file `path`: `target` depends on each of
// `inputs` (names made absolute, duplicates dropped). Written beside and
// renamed into place, so that a reader never sees half a file and a failure
// leaves an old one as it was; a failure is fatal.
void write_dependency_file(const std::string &path, const std::string &target,
                           const std::vector<std::string> &inputs);

void reset_script_writer();

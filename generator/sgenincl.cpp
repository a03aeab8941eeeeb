#include "sgenincl.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <sys/stat.h>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cpptab.h"
#include "ctylex.h"
#include "y_cppa.h"
#include "merror.h"
#include "mplatf.h"
#include "msystm.h"
#include "sliste.h"
#include "cprepr.h"
#include "sancmd.h"
#include "sgener.h"
#include "siofic.h"

namespace {

struct ScanMacro {
  std::string name;
  std::string value;
  bool busy = false;
};

struct PendingDirective {
  std::string text;
  bool undef = false;
  int line = 0;  // in the tested file
};

// Whole files are read at once; the reader hands out physical lines.
struct LineReader {
  std::string data;
  std::size_t pos = 0;
  int line = 0;  // physical lines handed out so far
  // The file holds no trigraph or digraph: its lines need no preparing.
  bool plain = false;
  // Source lines that start here or later are not kept for an include:
  // none can follow them.
  std::size_t copy_limit = std::string::npos;
  bool at_end() const { return pos >= data.size(); }
  // One physical line with its newline (none on a last line without one),
  // into line_text, whose room serves the next lines again.
  void next(std::string &line_text) {
    std::size_t nl = data.find('\n', pos);
    std::size_t end = nl == std::string::npos ? data.size() : nl + 1;
    line_text.assign(data, pos, end - pos);
    pos = end;
    ++line;
  }
};

// Follows the top-level structure of the copied source lines, so that a
// function definition is left out of the copy: the script needs the tested
// file's declarations before an include, not its code (a copied body would
// be defined twice when the test is linked).
struct CodeFilter {
  enum Token { NONE, IDENT, CLOSE_PAREN, SEMICOLON, STRING, OTHER };
  bool in_comment = false;
  int depth = 0;            // braces open in the current top-level construct
  bool in_function = false; // those braces are a function body
  int linkage_blocks = 0;   // open extern "C" { and namespace { blocks
  int paren = 0;            // parentheses open in the current declaration
  Token last = NONE;
  std::string last_word, word_before;
  bool arrow = false;           // "->" after a ")": a trailing return type
  bool assigned = false;        // an "=": braces that follow are an initialiser
  bool operator_name = false;   // after "operator", up to its "(": "=" names it
  bool close_then_word = false; // a ")" followed by a word: maybe an old-style head
  // Where the current declaration starts, in the pending text and in the
  // text given to the preprocessor.
  std::size_t start_text = 0, start_parse = 0;
  // Declarations ended by ";" since the last other boundary, newest last,
  // with their starts and whether they may be the head of an old-style
  // definition (parameters declared between ")" and "{").
  struct Ended {
    std::size_t text, parse;
    bool head;
  };
  std::vector<Ended> ended;
  // The start of the definition being left out.
  std::size_t cut_text = 0, cut_parse = 0;
};

struct ScanState {
  // Newest last; the index holds, per name, the live macros newest last.
  std::deque<ScanMacro> macros;
  std::unordered_map<std::string, std::vector<ScanMacro *>> by_name;
  std::vector<PendingDirective> pending;  // oldest first
  std::string pending_text;
  bool in_comment = false;
  bool first_include = true;
  // Braces that copied top-level text left open (an extern "C" block whose
  // closing brace follows the last include).
  int open_blocks = 0;
  // The pending text as the preprocessor reads it: the same lines, with
  // "#line" directives where lines were left out, so that __LINE__ and the
  // positions of reports are those of the tested file.
  std::string pending_parse;
  int pending_next_line = -1;
  // Active source lines read since the last include, each ended by a NUL,
  // not yet added to the pending texts. They are copied and followed only
  // when an include comes after them: in most files the includes come
  // first, and the whole rest of the file would be copied twice and
  // followed for nothing.
  struct DeferredLine {
    std::size_t at;
    int first_line, lines;
  };
  std::string deferred_text;
  std::vector<DeferredLine> deferred;
  std::string tested_path;
  int directive_line = 0;  // line of the directive being read
  CodeFilter code;
};

ScanState &state() {
  static ScanState *s = new ScanState;  // process lifetime
  return *s;
}

bool is_word_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

const char *skip_blanks_backslashes(const char *p) {
  while (*p == ' ' || *p == '\t' || *p == '\\') ++p;
  return p;
}

std::string first_word(const char *p) {
  p = skip_blanks_backslashes(p);
  const char *s = p;
  while (is_word_char(*p)) ++p;
  return std::string(s, p);
}

// The scan's definitions go to the script's macros, so that the copied
// include lines are preprocessed with them.
MacroTable &scan_macros() { return *script_context().macros; }

ScanMacro *find_macro(const std::string &name) {
  auto it = state().by_name.find(name);
  if (it == state().by_name.end() || it->second.empty()) return nullptr;
  return it->second.back();
}

ScanMacro *add_macro(std::string name, std::string value) {
  ScanState &s = state();
  std::vector<ScanMacro *> &live = s.by_name[name];
  s.macros.push_back({std::move(name), std::move(value), false});
  live.push_back(&s.macros.back());
  return live.back();
}

// The "#" after every backslash-newline turned back into a blank (the scan
// puts one there so that a copied continuation stays a comment line of the
// script).
std::string without_continuation_marks(const std::string &text) {
  std::string out = text;
  for (std::size_t i = 0; i + 2 < out.size(); ++i)
    if (out[i] == '\\' && out[i + 1] == '\n' && out[i + 2] == '#') out[i + 2] = ' ';
  return out;
}

// ------------------------------------------------------------ conditions

constexpr int kMacroNestingLimit = 1000;

class Condition {
 public:
  // paren_depth: the parentheses open around this text, counted across the
  // macro values being evaluated, so that the two limits together bound
  // the call depth.
  explicit Condition(const char *text, int macro_depth = 0, int paren_depth = 0)
      : p_(text), macro_depth_(macro_depth), paren_depth_(paren_depth) {}

  long evaluate() {
    long v = expression(paren_depth_);
    return failed_ ? 0 : v;
  }

  bool failed() const { return failed_; }

 private:
  enum Tok { T_END, T_OR, T_AND, T_NOT, T_MINUS, T_NE, T_EQ, T_GE, T_GT, T_LE, T_LT, T_OPEN, T_CLOSE,
             T_DEFINED, T_WORD };

  Tok peek(std::string *word = nullptr) {
    const char *save = p_;
    Tok t = next(word);
    p_ = save;
    return t;
  }

  Tok next(std::string *word = nullptr) {
    for (;;) {
      while (*p_ && (static_cast<unsigned char>(*p_) <= 32 || *p_ == '\\' || *p_ == '#')) ++p_;
      if (p_[0] == '/' && p_[1] == '*') {
        const char *e = std::strstr(p_ + 2, "*/");
        p_ = e ? e + 2 : p_ + std::strlen(p_);
        continue;
      }
      break;
    }
    const char c = *p_;
    const char d = c ? p_[1] : 0;
    auto two = [&](Tok t) { p_ += 2; return t; };
    auto one = [&](Tok t) { p_ += 1; return t; };
    switch (c) {
      case '|': return d == '|' ? two(T_OR) : T_END;
      case '&': return d == '&' ? two(T_AND) : T_END;
      case '!': return d == '=' ? two(T_NE) : one(T_NOT);
      case '=': return d == '=' ? two(T_EQ) : T_END;
      case '>': return d == '=' ? two(T_GE) : one(T_GT);
      case '<': return d == '=' ? two(T_LE) : one(T_LT);
      case '-': return one(T_MINUS);
      case '(': return one(T_OPEN);
      case ')': return one(T_CLOSE);
      default: break;
    }
    if (!is_word_char(c)) return T_END;
    const char *s = p_;
    while (is_word_char(*p_)) ++p_;
    std::string w(s, p_);
    if (w == "defined") return T_DEFINED;
    if (word) *word = w;
    return T_WORD;
  }

  static long number(const std::string &w) {
    const int base = w[0] == '0' ? 16 : 10;
    return static_cast<long>(std::strtoul(w.c_str(), nullptr, base));
  }

  long macro_value(const std::string &name) {
    ScanMacro *m = find_macro(name);
    if (!m) {
      const char *text = pp_lookup_macro_text(scan_macros(), name.c_str());
      if (!text) return 0;
      m = add_macro(name, text);
    }
    // A macro met again while its own text is evaluated (#define FOO FOO) is
    // legal C: it stands for nothing the scan can know, so 0.
    if (m->busy) return 0;
    if (macro_depth_ >= kMacroNestingLimit) {
      failed_ = true;
      return 0;
    }
    m->busy = true;
    const std::string value = m->value;  // the deque may grow while evaluating
    Condition inner(value.c_str(), macro_depth_ + 1, current_depth_);
    long v = inner.evaluate();
    m->busy = false;
    if (inner.failed()) failed_ = true;  // a limit reached inside makes the whole condition 0
    return v;
  }

  bool known(const std::string &name) { return find_macro(name) || pp_lookup_macro_text(scan_macros(), name.c_str()); }

  // One operand with the unary operators before it; nullopt-like: ok false
  // when the expression has ended.
  long operand(int depth, bool &ok) {
    current_depth_ = depth;
    std::vector<Tok> unary;
    for (Tok t = peek(); t == T_NOT || t == T_MINUS; t = peek()) unary.push_back(next());
    std::string word;
    Tok t = next(&word);
    long v = 0;
    ok = true;
    if (t == T_WORD) {
      v = (word[0] >= '0' && word[0] <= '9') ? number(word) : macro_value(word);
    } else if (t == T_DEFINED) {
      const char *save = p_;
      std::string name;
      if (next() == T_OPEN && next(&name) == T_WORD && next() == T_CLOSE) {
        v = known(name) ? 1 : 0;
      } else {
        p_ = save;
        v = macro_value("defined");
      }
    } else if (t == T_OPEN) {
      if (depth + 1 >= SCAN_PAREN_LIMIT) {
        failed_ = true;
        return 0;
      }
      v = expression(depth + 1);
      if (peek() == T_CLOSE) next();
    } else {
      ok = false;
    }
    for (auto it = unary.rbegin(); it != unary.rend(); ++it)
      v = *it == T_NOT ? !v : static_cast<long>(0UL - static_cast<unsigned long>(v));
    return v;
  }

  static bool is_binary(Tok t) { return t >= T_OR && t <= T_LT && t != T_NOT && t != T_MINUS; }

  static long apply(Tok op, long a, long b) {
    switch (op) {
      case T_NE: return a != b;
      case T_EQ: return a == b;
      case T_GE: return a >= b;
      case T_GT: return a > b;
      case T_LE: return a <= b;
      case T_LT: return a < b;
      case T_AND: return a && b;
      case T_OR: return a || b;
      default: return 0;
    }
  }

  // Reads operands and binary operators up to the end of this
  // (sub-)expression, then reduces in passes: comparisons, "&&", "||",
  // each grouping from the right.
  long expression(int depth) {
    std::vector<long> values;
    std::vector<Tok> ops;
    bool ok = false;
    values.push_back(operand(depth, ok));
    while (ok && !failed_) {
      Tok t = peek();
      if (!is_binary(t)) break;
      next();
      ops.push_back(t);
      values.push_back(operand(depth, ok));
    }
    if (failed_) return 0;
    // One pass folds from the right the operators it takes, in linear time
    // (a long line can hold very many operators).
    auto pass = [&](bool (*member)(Tok)) {
      std::vector<long> kept_values;
      std::vector<Tok> kept_ops;
      long acc = values.back();
      for (std::size_t i = ops.size(); i-- > 0;) {
        if (member(ops[i])) {
          acc = apply(ops[i], values[i], acc);
        } else {
          kept_values.push_back(acc);
          kept_ops.push_back(ops[i]);
          acc = values[i];
        }
      }
      kept_values.push_back(acc);
      values.assign(kept_values.rbegin(), kept_values.rend());
      ops.assign(kept_ops.rbegin(), kept_ops.rend());
    };
    pass([](Tok t) { return t >= T_NE && t <= T_LT; });
    pass([](Tok t) { return t == T_AND; });
    pass([](Tok t) { return t == T_OR; });
    return values.empty() ? 0 : values.front();
  }

  const char *p_;
  int macro_depth_;
  int paren_depth_;
  int current_depth_ = 0;
  bool failed_ = false;
};

// ------------------------------------------------------------ reading

// Reads one line into `line`, tracking block comments ("#" inside one
// becomes a blank; string literals are not recognised), and joins
// continuation lines.
void read_line(LineReader &in, std::string &line) {
  ScanState &s = state();
  // Outside a comment only a '/' can matter, inside one a '*' or a '#':
  // the line is passed over up to the next of those.
  auto track = [&s](std::string &line) {
    char *p = &line[0];
    char *const e = p + line.size();
    while (p < e) {
      if (!s.in_comment) {
        p = static_cast<char *>(std::memchr(p, '/', static_cast<std::size_t>(e - p)));
        if (!p) return;
        if (p + 1 < e && p[1] == '*') {
          s.in_comment = true;
          p += 2;
        } else {
          ++p;
        }
        continue;
      }
      while (p < e && *p != '*' && *p != '#') ++p;
      if (p == e) return;
      if (*p == '#') {
        *p++ = ' ';
      } else if (p + 1 < e && p[1] == '/') {
        s.in_comment = false;
        p += 2;
      } else {
        ++p;
      }
    }
  };
  in.next(line);
  track(line);
  std::string more;
  while (line.size() >= 2 && line.size() < SCAN_JOIN_LIMIT && line[line.size() - 1] == '\n' &&
         line[line.size() - 2] == '\\' && !in.at_end()) {
    in.next(more);
    track(more);
    line += '#';
    line += more;
  }
}

bool read_file(const std::string &path, std::string &data) {
  std::FILE *f = sys_fopen(path.c_str(), "rb");
  if (!f) return false;
  // Room for the whole file at once: growing a large text block by block
  // copies it again at every doubling. The file is read straight into it,
  // without a buffer of the stream's own (which would cost a status call
  // of its own and a copy).
  std::setvbuf(f, nullptr, _IONBF, 0);
  struct stat st;
  std::size_t room = 65536;
  // One byte more than the size, so that a file that did not grow is read
  // to its end in one call.
  if (fstat(fileno(f), &st) == 0 && st.st_size > 0) room = static_cast<std::size_t>(st.st_size) + 1;
  for (;;) {
    const std::size_t old = data.size();
    data.resize(old + room);
    const std::size_t got = std::fread(&data[old], 1, room, f);
    data.resize(old + got);
    if (got < room) break;
    room = 65536;
  }
  std::fclose(f);
  return true;
}

// name: the file whose lines the text holds ("" for generated lines).
void preprocess_script(const std::string &text, std::string &out, const std::string &name = std::string(),
                       int line = 0) {
  out.clear();
  pp_set_escape_line_names(generator_options().prepro_only != 0);
  pp_process_text(text.c_str(), false, name.c_str(), line, out, *script_context().macros);
}

void parse_script(const std::string &text) {
  lex_set_escaped_line_names(generator_options().prepro_only != 0);
  analyse_text(text.c_str(), *script_context().table, "", "", 1, 0, 0);
}

// The text with the braces balanced for a parse of its own: a "}" closing a
// block an earlier copied text opened is blanked, blocks this text leaves
// open are closed. open_blocks follows what stays open.
std::string balanced_for_parse(const std::string &text) {
  ScanState &s = state();
  std::string out = text;
  int local = 0;
  bool block = false, line_comment = false;
  char quote = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const char c = out[i];
    const char d = i + 1 < out.size() ? out[i + 1] : 0;
    if (block) {
      if (c == '*' && d == '/') block = false, ++i;
    } else if (line_comment) {
      if (c == '\n') line_comment = false;
    } else if (quote) {
      if (c == '\\') ++i;
      else if (c == quote || c == '\n') quote = 0;
    } else if (c == '/' && d == '*') {
      block = true, ++i;
    } else if (c == '/' && d == '/') {
      line_comment = true, ++i;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '{') {
      ++local;
    } else if (c == '}') {
      if (local > 0) {
        --local;
      } else if (s.open_blocks > 0) {
        --s.open_blocks;
        out[i] = ' ';
      }
    }
  }
  for (int k = 0; k < local; ++k) out += "\n}";
  s.open_blocks += local;
  return out;
}

// The completed name is written with the host's separator; an operand
// spelled with the other one names the same file and is left out as well.
bool same_completed_name(const std::string &completed, const std::string &operand) {
  if (completed.size() != operand.size()) return false;
  for (std::size_t i = 0; i < completed.size(); ++i) {
    const char a = completed[i] == '\\' ? '/' : completed[i];
    const char b = operand[i] == '\\' ? '/' : operand[i];
    if (a != b) return false;
  }
  return true;
}

void flush_deferred_lines();

void scan_include(const char *rest) {
  ScanState &s = state();
  const GeneratorOptions &o = generator_options();
  const char *p = rest;
  while (*p == ' ' || *p == '\t' || *p == '\\' || *p == '#') ++p;
  const std::string raw = p;
  if (*p == '<' || *p == '"') ++p;
  const char *e = p;
  while (*e && *e != '>' && *e != '"') ++e;
  const std::string header(p, e);
  for (const StrNode *n = o.used_files.head; n; n = n->next) {
    std::string f = n->text ? n->text : "";
    make_file_name(f, KIND_HEADER);
    if (same_completed_name(f, header)) return;
  }
  for (const StrNode *n = o.integrated_files.head; n; n = n->next) {
    std::string f = n->text ? n->text : "";
    make_file_name(f, KIND_SOURCE);
    if (same_completed_name(f, header)) return;
  }
  if (s.first_include) {
    write_banner_block(KW_BANNER_TESTED_INCLUDES);
    write_script_line("");
    s.first_include = false;
  }
  flush_deferred_lines();
  std::string out;
  for (const PendingDirective &d : s.pending) {
    write_script_line(std::string("##") + (d.undef ? "undef " : "define ") + d.text);
    preprocess_script(std::string("#") + (d.undef ? "undef " : "define ") + without_continuation_marks(d.text),
                      out, s.tested_path, d.line);
  }
  s.pending.clear();
  if (!s.pending_text.empty()) {
    // The tested file's own text goes into the script's table before this
    // header: its analysis can no longer start from that table.
    tested_headers_unusable();
    preprocess_script(balanced_for_parse(without_continuation_marks(s.pending_parse)), out, s.tested_path);
    parse_script(out);
    std::string text = s.pending_text;
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
      if (text[i] == '\n') text[i + 1] = '#';
    write_script_line(text);
  }
  s.pending_text.clear();
  s.pending_parse.clear();
  s.pending_next_line = -1;
  s.code.start_text = s.code.start_parse = 0;
  s.code.cut_text = s.code.cut_parse = 0;
  s.code.ended.clear();
  // The analysis of the tested file reads the same headers: what this
  // reading finds is recorded for it.
  pp_set_include_reuse(0);
  preprocess_script("#include " + raw, out);
  pp_set_include_reuse(-1);
  tested_headers_text(out);
  parse_script(out);
  write_script_line("##include " + raw);
}

bool is_word_start(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$'; }

bool is_head_keyword(const std::string &w) {
  // Words that may stand between a function's parameter list and its body.
  static const char *const words[] = {"const", "volatile", "noexcept", "override", "final", "mutable", "try"};
  for (const char *k : words)
    if (w == k) return true;
  return false;
}

// Leaves the definition that ended at the "}" before text[end_text] (and
// parse[end_parse]) out of both pending texts.
void cut_definition(std::size_t end_text, std::size_t end_parse) {
  ScanState &s = state();
  CodeFilter &f = s.code;
  std::size_t from = f.cut_text;
  // A definition that follows the end of a line's declaration starts on the
  // next line.
  std::size_t k = from;
  while (k < s.pending_text.size() && (s.pending_text[k] == ' ' || s.pending_text[k] == '\t')) ++k;
  if (s.pending_text.compare(k, 2, "\n ") == 0) from = k + 2;
  const char *line_break = "";
  // A definition that starts its line takes the line's "\n " with it; what
  // follows it on its closing line then starts a line of its own.
  if (from >= 2 && s.pending_text.compare(from - 2, 2, "\n ") == 0) {
    from -= 2;
    std::size_t rest = end_text;
    while (rest < s.pending_text.size() && (s.pending_text[rest] == ' ' || s.pending_text[rest] == '\t')) ++rest;
    if (rest < s.pending_text.size() && s.pending_text[rest] != '\n') {
      line_break = "\n ";
      end_parse += rest - end_text;
      end_text = rest;
    }
  }
  s.pending_text.replace(from, end_text - from, line_break);
  // The preprocessor's copy keeps a line break, so that what follows on the
  // closing line never joins a "#line" directive; the next line is numbered
  // again.
  s.pending_parse.replace(f.cut_parse, end_parse - f.cut_parse, "\n");
  s.pending_next_line = -1;
  f.start_text = from + std::strlen(line_break);
  f.start_parse = f.cut_parse + 1;
}

// Follows one copied line (already appended at text_at and parse_at).
void filter_code(std::size_t line_text_at, std::size_t line_parse_at) {
  ScanState &s = state();
  CodeFilter &f = s.code;
  // Where the line's text starts in both copies (moved by a cut).
  std::size_t text_at = line_text_at, parse_at = line_parse_at;
  std::size_t i = text_at;
  auto parse_pos = [&](std::size_t k) { return parse_at + (k - text_at); };
  auto word = [&f](const std::string &w) {
    f.word_before = f.last_word;
    f.last_word = w;
    if (f.last == CodeFilter::CLOSE_PAREN && f.paren == 0 && !f.depth) f.close_then_word = true;
    if (w == "operator") f.operator_name = true;
    f.last = CodeFilter::IDENT;
  };
  auto boundary = [&f](std::size_t t, std::size_t p) {
    f.start_text = t;
    f.start_parse = p;
    f.paren = 0;
    f.arrow = false;
    f.assigned = false;
    f.operator_name = false;
    f.close_then_word = false;
    f.last = CodeFilter::NONE;
  };
  while (i < s.pending_text.size()) {
    const std::string &t = s.pending_text;
    const char c = t[i];
    const char d = i + 1 < t.size() ? t[i + 1] : 0;
    if (f.in_comment) {
      if (c == '*' && d == '/') f.in_comment = false, ++i;
      ++i;
      continue;
    }
    if (c == '/' && d == '*') {
      f.in_comment = true;
      i += 2;
      continue;
    }
    if (c == '/' && d == '/') break;
    if (c == '\\' && d == '\n') {  // a continuation: "\\\n#" in the copy
      i += 2;
      if (i < t.size() && t[i] == '#') ++i;
      continue;
    }
    if (c == '"' || c == '\'') {
      ++i;
      while (i < t.size() && t[i] != c && t[i] != '\n') i += t[i] == '\\' ? 2 : 1;
      ++i;
      if (!f.depth) f.last = CodeFilter::STRING;
      continue;
    }
    if (is_word_start(c)) {
      std::size_t b = i;
      while (i < t.size() && (is_word_char(t[i]) || t[i] == '$')) ++i;
      if (!f.depth) word(t.substr(b, i - b));
      continue;
    }
    ++i;
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') continue;
    if (f.depth) {
      if (c == '{') {
        ++f.depth;
      } else if (c == '}' && --f.depth == 0) {
        if (f.in_function) {
          f.in_function = false;
          cut_definition(i, parse_pos(i));
          i = text_at = f.start_text;
          parse_at = f.start_parse;
          f.ended.clear();
          boundary(f.start_text, f.start_parse);
          continue;
        }
        f.last = CodeFilter::OTHER;
      }
      continue;
    }
    if (c == '(') {
      f.operator_name = false;
      ++f.paren;
      f.last = CodeFilter::OTHER;
    } else if (c == ')') {
      if (f.paren > 0) --f.paren;
      f.last = CodeFilter::CLOSE_PAREN;
    } else if (f.paren > 0) {
      // Braces inside parentheses (a macro argument) open no block.
      f.last = CodeFilter::OTHER;
    } else if (c == '=') {
      if (!f.operator_name) f.assigned = true;
      f.last = CodeFilter::OTHER;
    } else if (c == ';') {
      f.ended.push_back({f.start_text, f.start_parse, f.close_then_word});
      boundary(i, parse_pos(i));
    } else if (c == '{') {
      const bool linkage = (f.last == CodeFilter::STRING && f.last_word == "extern") ||
                           (f.last == CodeFilter::IDENT && (f.last_word == "namespace" || f.word_before == "namespace"));
      bool function = !f.assigned && (f.last == CodeFilter::CLOSE_PAREN ||
                                      (f.last == CodeFilter::IDENT && (is_head_keyword(f.last_word) || f.arrow)));
      f.cut_text = f.start_text;
      f.cut_parse = f.start_parse;
      if (!function && f.last == CodeFilter::NONE && !f.ended.empty()) {
        // "int f(a, b) int a; char *b; {": an old-style definition starts
        // at the newest declaration that may be its head.
        for (std::size_t k = f.ended.size(); k-- > 0;)
          if (f.ended[k].head) {
            function = true;
            f.cut_text = f.ended[k].text;
            f.cut_parse = f.ended[k].parse;
            break;
          }
      }
      if (linkage) {
        ++f.linkage_blocks;
        f.ended.clear();
        boundary(i, parse_pos(i));
      } else {
        f.depth = 1;
        f.in_function = function;
        f.ended.clear();
      }
    } else if (c == '}' && f.linkage_blocks > 0) {
      --f.linkage_blocks;
      f.ended.clear();
      boundary(i, parse_pos(i));
    } else if (c == '-' && d == '>') {
      ++i;
      f.arrow = f.last == CodeFilter::CLOSE_PAREN || f.arrow;
      f.last = CodeFilter::OTHER;
    } else {
      f.last = CodeFilter::OTHER;
    }
  }
}

// Adds one active source line of the tested file (first_line: its number;
// lines: the physical lines it joins) to the pending texts.
void append_source_line(const char *text, int first_line, int lines) {
  ScanState &s = state();
  if (first_line != s.pending_next_line) {
    s.pending_parse += "\n#line ";
    s.pending_parse += std::to_string(first_line);
  }
  s.pending_next_line = first_line + lines;
  const std::size_t text_at = s.pending_text.size() + 2, parse_at = s.pending_parse.size() + 2;
  s.pending_text += "\n ";
  s.pending_text += text;
  s.pending_parse += "\n ";
  s.pending_parse += text;
  filter_code(text_at, parse_at);
}

void defer_source_line(const char *text, std::size_t length, int first_line, int lines) {
  ScanState &s = state();
  s.deferred.push_back({s.deferred_text.size(), first_line, lines});
  s.deferred_text.append(text, length);
  s.deferred_text.push_back('\0');
}

void flush_deferred_lines() {
  ScanState &s = state();
  if (s.deferred.empty()) return;
  s.pending_text.reserve(s.pending_text.size() + s.deferred_text.size() + s.deferred_text.size() / 4);
  s.pending_parse.reserve(s.pending_parse.size() + s.deferred_text.size() + s.deferred_text.size() / 4);
  for (const ScanState::DeferredLine &l : s.deferred)
    append_source_line(s.deferred_text.c_str() + l.at, l.first_line, l.lines);
  s.deferred.clear();
  s.deferred_text.clear();
}

// One file: the conditional groups are followed with an explicit stack, so
// that deep #if nesting costs no call depth.
void scan_lines(LineReader &in, int is_tested) {
  struct Group {
    bool outer;   // the enclosing group is active
    bool active;  // this part of the conditional is active
    bool taken;   // an earlier part of this conditional was taken
  };
  std::vector<Group> groups{{true, true, true}};
  ScanState &s = state();
  std::string line;
  while (!in.at_end()) {
    const int first_line = in.line + 1;
    const std::size_t line_at = in.pos;
    read_line(in, line);
    if (!in.plain) pp_prepare_buffer(line);
    std::size_t end = line.size();
    while (end > 0 && static_cast<unsigned char>(line[end - 1]) <= 32) --end;
    std::size_t start = 0;
    while (start < end && (static_cast<unsigned char>(line[start]) <= 32 || line[start] == '\\')) ++start;
    Group &g = groups.back();
    const bool active = g.outer && g.active;
    if (start == end || line[start] != '#') {
      // Copied up to its trailing blanks, which the line keeps: only a
      // directive is read as a text that ends there.
      if (active && is_tested && line_at < in.copy_limit)
        defer_source_line(line.c_str() + start, end - start, first_line, in.line - first_line + 1);
      continue;
    }
    line.resize(end);
    const char *text = line.c_str() + start;
    s.directive_line = first_line;
    const char *d = skip_blanks_backslashes(text + 1);
    auto is = [&d](const char *name) {
      const std::size_t n = std::strlen(name);
      if (std::strncmp(d, name, n) != 0) return false;
      d += n;
      return true;
    };
    if (is("include")) {
      if (active) scan_include(d);
    } else if (is("ifdef")) {
      const bool c = scan_is_defined(d);
      groups.push_back({active, c, c});
    } else if (is("undef")) {
      if (active) scan_undef(d, is_tested);
    } else if (is("define")) {
      if (active) scan_define(d, is_tested);
    } else if (is("ifndef")) {
      const bool c = !scan_is_defined(d);
      groups.push_back({active, c, c});
    } else if (is("if")) {
      const bool c = scan_condition(d) != 0;
      groups.push_back({active, c, c});
    } else if (is("elif")) {
      const bool c = !g.taken && scan_condition(d) != 0;
      g.active = c;
      g.taken = g.taken || c;
    } else if (is("endif")) {
      if (groups.size() == 1) return;  // the file's own group ends here
      groups.pop_back();
    } else if (is("else")) {
      g.active = !g.taken;
      g.taken = true;
    }
  }
}

// Where the last "#" that an include directive may follow stands (0: no
// such "#"), for a text without trigraphs or digraphs: a directive is only
// read as one when "include" follows its "#" on the same physical line
// after blanks and backslashes. A "#" in a comment or literal may count:
// this only tells where none can be.
std::size_t last_include_at(const std::string &data) {
  std::size_t last = 0;
  const char *const begin = data.data();
  const char *const end = begin + data.size();
  for (const char *p = begin; (p = static_cast<const char *>(std::memchr(p, '#', static_cast<std::size_t>(end - p))));) {
    // The text ends with a zero, where the skip stops.
    const char *d = skip_blanks_backslashes(++p);
    if (std::strncmp(d, "include", 7) == 0) last = static_cast<std::size_t>(p - begin);
  }
  return last;
}

void scan_file(const std::string &path, int is_tested) {
  LineReader in;
  if (!read_file(path, in.data)) return;  // unreadable files are passed over
  // Most files hold none: one look at the whole file instead of one per line.
  in.plain = !pp_may_need_preparing(in.data);
  ScanState &s = state();
  s.in_comment = false;
  if (is_tested) {
    // The source lines wait for the next include, which copies those before
    // it into the script; the lines after the file's last include would wait
    // for nothing, and most of a file comes after its includes.
    in.copy_limit = in.plain ? last_include_at(in.data) : in.data.size();
    // They wait there, which would otherwise be copied again at every
    // doubling on a large file.
    s.deferred_text.reserve(s.deferred_text.size() + in.copy_limit + in.copy_limit / 8);
  }
  scan_lines(in, is_tested);
}

}  // namespace

void scan_reset() {
  ScanState &s = state();
  s.by_name.clear();
  s.macros.clear();
  // The pending text may have held a whole file: give its room back.
  std::vector<PendingDirective>().swap(s.pending);
  std::string().swap(s.pending_text);
  std::string().swap(s.pending_parse);
  std::string().swap(s.deferred_text);
  std::vector<ScanState::DeferredLine>().swap(s.deferred);
  s.pending_next_line = -1;
  s.code = CodeFilter();
  s.in_comment = false;
  s.open_blocks = 0;
}

void scan_reset_run() {
  scan_reset();
  state().first_include = true;
}

long scan_condition(const char *text) { return Condition(text).evaluate(); }

// A definition's text without its comments, as the preprocessor reads a
// directive line: a comment is one blank, and "//" ends the line.
std::string without_comments(const std::string &text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '"' || c == '\'') {
      std::size_t e = i + 1;
      while (e < text.size() && text[e] != c && text[e] != '\n') e += text[e] == '\\' ? 2 : 1;
      e = std::min(e + 1, text.size());
      out.append(text, i, e - i);
      i = e;
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      std::size_t e = text.find("*/", i + 2);
      i = e == std::string::npos ? text.size() : e + 2;
      out.push_back(' ');
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      break;
    } else {
      out.push_back(c);
      ++i;
    }
  }
  return out;
}

void scan_define(const char *text, int queue) {
  const char *p = skip_blanks_backslashes(text);
  if (queue) state().pending.push_back({p, false, state().directive_line});
  // The preprocessor reads the definition as one logical line, without its
  // comments: the copied line defines the macro again in the same words.
  // Without a backslash or a slash (most definitions of a defines file) it
  // is that line already.
  if (std::strpbrk(p, "\\/")) {
    std::string logical = without_continuation_marks(p);
    for (std::size_t i = 0; (i = logical.find("\\\n", i)) != std::string::npos;) logical.erase(i, 2);
    logical = without_comments(logical);
    pp_define_if_absent(scan_macros(), logical.c_str());
  } else {
    pp_define_if_absent(scan_macros(), p);
  }
  const char *n = p;
  while (*n && *n != '(' && *n != ' ' && *n != '\t' && *n != '=') ++n;
  std::string name(p, n);
  const char *v = skip_blanks_backslashes(n);
  if (*v == '=') ++v;
  add_macro(std::move(name), v);
}

void scan_undef(const char *text, int queue) {
  const char *p = skip_blanks_backslashes(text);
  if (queue) state().pending.push_back({p, true, state().directive_line});
  const std::string name = first_word(p);
  pp_undefine_name(scan_macros(), name.c_str());
  auto it = state().by_name.find(name);
  if (it != state().by_name.end() && !it->second.empty()) it->second.pop_back();
}

bool scan_is_defined(const char *text) {
  const std::string name = first_word(text);
  return find_macro(name) || pp_lookup_macro_text(scan_macros(), name.c_str());
}

void scan_tested_includes(const std::string &tested_path) {
  const GeneratorOptions &o = generator_options();
  tested_headers_begin();
  if (o.insert_requested) {
    tested_headers_unusable();
    return;
  }
  scan_reset();
  for (const StrNode *n = o.defines.head; n; n = n->next) scan_define(n->text ? n->text : "", 0);
  if (!o.std_define_file.empty()) scan_file(o.std_define_file, 0);
  state().open_blocks = 0;
  std::string path = tested_path;
  make_file_name(path, KIND_SOURCE);
  pp_add_dir_of_file(path.c_str());
  state().tested_path = path;
  scan_file(path, 1);
  const bool open_block = state().open_blocks > 0;
  scan_reset();
  if (open_block) write_script_line("#}");
  tested_headers_end();
}

#include "sgenincl.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <unordered_map>
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
};

// Whole files are read at once; the reader hands out physical lines.
struct LineReader {
  std::string data;
  std::size_t pos = 0;
  bool at_end() const { return pos >= data.size(); }
  // One physical line with its newline (none on a last line without one).
  std::string next() {
    std::size_t nl = data.find('\n', pos);
    std::size_t end = nl == std::string::npos ? data.size() : nl + 1;
    std::string line = data.substr(pos, end - pos);
    pos = end;
    return line;
  }
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

ScanMacro *add_macro(const std::string &name, const std::string &value) {
  ScanState &s = state();
  s.macros.push_back({name, value, false});
  ScanMacro *m = &s.macros.back();
  s.by_name[name].push_back(m);
  return m;
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

// Reads one line, tracking block comments ("#" inside one becomes a blank;
// string literals are not recognised), and joins continuation lines.
std::string read_line(LineReader &in) {
  ScanState &s = state();
  auto track = [&s](std::string &line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (!s.in_comment && line[i] == '/' && i + 1 < line.size() && line[i + 1] == '*') {
        s.in_comment = true;
        ++i;
      } else if (s.in_comment && line[i] == '*' && i + 1 < line.size() && line[i + 1] == '/') {
        s.in_comment = false;
        ++i;
      } else if (s.in_comment && line[i] == '#') {
        line[i] = ' ';
      }
    }
  };
  std::string line = in.next();
  track(line);
  while (line.size() >= 2 && line.size() < SCAN_JOIN_LIMIT && line[line.size() - 1] == '\n' &&
         line[line.size() - 2] == '\\' && !in.at_end()) {
    std::string more = in.next();
    track(more);
    line += '#';
    line += more;
  }
  return line;
}

bool read_file(const std::string &path, std::string &data) {
  std::FILE *f = sys_fopen(path.c_str(), "rb");
  if (!f) return false;
  char block[65536];
  std::size_t n;
  while ((n = std::fread(block, 1, sizeof block, f)) > 0) data.append(block, n);
  std::fclose(f);
  return true;
}

void preprocess_script(const std::string &text, std::string &out) {
  out.clear();
  pp_set_escape_line_names(generator_options().prepro_only != 0);
  pp_process_text(text.c_str(), false, "", 0, out, *script_context().macros);
}

void parse_script(const std::string &text) {
  lex_set_escaped_line_names(generator_options().prepro_only != 0);
  analyse_text(text.c_str(), *script_context().table, "", "", 1, report_at_position, 0, 0);
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
  std::string out;
  for (const PendingDirective &d : s.pending) {
    write_script_line(std::string("##") + (d.undef ? "undef " : "define ") + d.text);
    preprocess_script(std::string("#") + (d.undef ? "undef " : "define ") + without_continuation_marks(d.text),
                      out);
  }
  s.pending.clear();
  if (!s.pending_text.empty()) {
    preprocess_script(balanced_for_parse(without_continuation_marks(s.pending_text)), out);
    parse_script(out);
    std::string text = s.pending_text;
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
      if (text[i] == '\n') text[i + 1] = '#';
    write_script_line(text);
    s.pending_text.clear();
  }
  preprocess_script("#include " + raw, out);
  parse_script(out);
  write_script_line("##include " + raw);
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
  while (!in.at_end()) {
    std::string line = read_line(in);
    pp_prepare_buffer(line);
    std::size_t end = line.size();
    while (end > 0 && static_cast<unsigned char>(line[end - 1]) <= 32) --end;
    line.resize(end);
    std::size_t start = 0;
    while (start < line.size() && (static_cast<unsigned char>(line[start]) <= 32 || line[start] == '\\')) ++start;
    const char *text = line.c_str() + start;
    Group &g = groups.back();
    const bool active = g.outer && g.active;
    if (*text != '#') {
      if (active && is_tested) {
        s.pending_text += "\n ";
        s.pending_text += text;
      }
      continue;
    }
    const char *d = text + 1;
    while (*d == ' ' || *d == '\t' || *d == '\\') ++d;
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

void scan_file(const std::string &path, int is_tested) {
  LineReader in;
  if (!read_file(path, in.data)) return;  // unreadable files are passed over
  state().in_comment = false;
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
  s.in_comment = false;
  s.open_blocks = 0;
}

void scan_reset_run() {
  scan_reset();
  state().first_include = true;
}

long scan_condition(const char *text) { return Condition(text).evaluate(); }

void scan_define(const char *text, int queue) {
  const char *p = skip_blanks_backslashes(text);
  if (queue) state().pending.push_back({p, false});
  // The preprocessor reads the definition as one logical line.
  std::string logical = without_continuation_marks(p);
  for (std::size_t i = 0; (i = logical.find("\\\n", i)) != std::string::npos;) logical.erase(i, 2);
  pp_define_if_absent(scan_macros(), logical.c_str());
  const char *n = p;
  while (*n && *n != '(' && *n != ' ' && *n != '\t' && *n != '=') ++n;
  std::string name(p, n);
  const char *v = skip_blanks_backslashes(n);
  if (*v == '=') ++v;
  add_macro(name, v);
}

void scan_undef(const char *text, int queue) {
  const char *p = skip_blanks_backslashes(text);
  if (queue) state().pending.push_back({p, true});
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
  if (o.insert_requested) return;
  scan_reset();
  for (const StrNode *n = o.defines.head; n; n = n->next) scan_define(n->text ? n->text : "", 0);
  if (!o.std_define_file.empty()) scan_file(o.std_define_file, 0);
  state().open_blocks = 0;
  std::string path = tested_path;
  make_file_name(path, KIND_SOURCE);
  pp_add_dir_of_file(path.c_str());
  scan_file(path, 1);
  const bool open_block = state().open_blocks > 0;
  scan_reset();
  if (open_block) write_script_line("#}");
}

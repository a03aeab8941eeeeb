// Directives, the conditional stack and the tool's own pragmas.
#include <climits>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <utility>
#include <vector>

#include "cpinternal.h"
#include "mstrin.h"

namespace {

enum DirectiveKind : int {
  DK_DEFINE = 1,
  DK_INCLUDE = 2,
  DK_IFDEF = 3,
  DK_IFNDEF = 4,
  DK_IF = 5,
  DK_ELSE = 6,
  DK_ELIF = 7,
  DK_UNDEF = 8,
  DK_ENDIF = 9,
  DK_PRAGMA = 22,
  DK_WARNERR = 23,
  DK_LINE = 24
};

struct DirectiveEntry {
  const char *name;
  int length;
  int kind;
  bool angle_brackets;
  bool passes_through;
};

constexpr DirectiveEntry directives[] = {
    {"define", 6, DK_DEFINE, false, false},   {"if", 2, DK_IF, false, false},
    {"ifdef", 5, DK_IFDEF, false, false},     {"ifndef", 6, DK_IFNDEF, false, false},
    {"endif", 5, DK_ENDIF, false, false},     {"else", 4, DK_ELSE, false, false},
    {"elif", 4, DK_ELIF, false, false},       {"include", 7, DK_INCLUDE, true, false},
    {"include_next", 12, DK_INCLUDE, true, false}, {"undef", 5, DK_UNDEF, false, false},
    {"pragma", 6, DK_PRAGMA, false, false},   {"warning", 7, DK_WARNERR, false, true},
    {"error", 5, DK_WARNERR, false, true},    {"line", 4, DK_LINE, false, false},
    {nullptr, -1, 0, false, false}};
// find_directive names the entries by their places.
static_assert(directives[0].kind == DK_DEFINE && directives[1].kind == DK_IF && directives[2].kind == DK_IFDEF &&
                  directives[3].kind == DK_IFNDEF && directives[4].kind == DK_ENDIF && directives[5].kind == DK_ELSE &&
                  directives[6].kind == DK_ELIF && directives[7].length == 7 && directives[8].length == 12 &&
                  directives[9].kind == DK_UNDEF && directives[10].kind == DK_PRAGMA && directives[11].length == 7 &&
                  directives[12].length == 5 && directives[13].kind == DK_LINE,
              "directive places");

// Every directive of every header is looked up, the skipped ones too: by
// its length first, then by comparisons of known sizes.
const DirectiveEntry *find_directive(const char *name, std::size_t length) {
  const auto is = [name](const char *word, std::size_t size) { return std::memcmp(name, word, size) == 0; };
  const DirectiveEntry *found = nullptr;
  switch (length) {
    case 2: found = is("if", 2) ? &directives[1] : nullptr; break;
    case 4: found = is("else", 4) ? &directives[5] : is("elif", 4) ? &directives[6] : is("line", 4) ? &directives[13] : nullptr; break;
    case 5:
      found = is("ifdef", 5)   ? &directives[2]
              : is("endif", 5) ? &directives[4]
              : is("undef", 5) ? &directives[9]
              : is("error", 5) ? &directives[12]
                               : nullptr;
      break;
    case 6: found = is("define", 6) ? &directives[0] : is("ifndef", 6) ? &directives[3] : is("pragma", 6) ? &directives[10] : nullptr; break;
    case 7: found = is("include", 7) ? &directives[7] : is("warning", 7) ? &directives[11] : nullptr; break;
    case 12: found = is("include_next", 12) ? &directives[8] : nullptr; break;
    default: break;
  }
  return found;
}

const char *skip_hspace(const char *p, const char *e) {
  while (p < e && is_hspace(*p)) ++p;
  return p;
}
// Where the line from p ends: its newline, or e. Line comments are the
// longest stretches a directive, a skipped group or a header's opening
// passes over, and the search reads them a vector at a time.
const char *line_end(const char *p, const char *e) {
  if (p >= e) return p;
  const void *newline = std::memchr(p, '\n', static_cast<std::size_t>(e - p));
  return newline ? static_cast<const char *>(newline) : e;
}
const char *skip_id(const char *p, const char *e) {
  while (p < e && is_id(*p)) ++p;
  return p;
}
std::string trimmed(const char *p, const char *e) {
  p = skip_hspace(p, e);
  while (e > p && is_hspace(e[-1])) --e;
  return std::string(p, e);
}

// ---------------------------------------------------------------- conditionals

void resync(InputLevel &lv, OutputBuffer &out) { pp_line_marker(lv, out, true); }

bool has_open_conditional(const InputLevel &lv) { return pp_state.if_stack.size() > lv.if_stack_at_entry; }

void match_line(const InputLevel &lv, const CondFrame &f) {
  std::string arg = " " + std::to_string(f.line);
  const std::string_view file = f.file ? f.file : "";
  if (file != lv.name) {
    arg += " file ";
    arg += file;
  }
  pp_report(MSG_MATCHLINE, arg);
}

void open_conditional(InputLevel &lv, OutputBuffer &out, int line, bool holds) {
  CondFrame f;
  f.file = pp_interned_name(lv);
  f.line = line;
  f.kind = CK_IF;
  pp_state.if_stack.push_back(std::move(f));
  SkipMarker m;
  m.frame = pp_state.if_stack.size() - 1;
  m.line = line;
  if (holds) {
    m.skipping = false;
    pp_state.if_stack.back().if_succeeded = 1;
    pp_state.skip_stack.push_back(m);
    resync(lv, out);
  } else {
    m.skipping = true;
    pp_state.skip_stack.push_back(m);
    pp_skip_group(lv);
  }
}

SkipMarker &innermost_marker() {
  if (pp_state.skip_stack.empty() || pp_state.skip_stack.back().frame != pp_state.if_stack.size() - 1) {
    SkipMarker m;
    m.frame = pp_state.if_stack.size() - 1;
    m.line = pp_state.if_stack.back().line;
    pp_state.skip_stack.push_back(m);
  }
  return pp_state.skip_stack.back();
}

bool eval_condition(std::string_view text) { return pp_eval_if(text.data(), text.size()); }

void do_else(InputLevel &lv, OutputBuffer &out) {
  if (!has_open_conditional(lv)) {
    pp_report(MSG_NOCONDITI, "#else");
    return;
  }
  CondFrame &f = pp_state.if_stack.back();
  if (f.kind != CK_IF && f.kind != CK_ELIF) {
    pp_report(MSG_ELIFAELSE, "#else");
    match_line(lv, f);
  }
  f.kind = CK_ELSE;
  SkipMarker &m = innermost_marker();
  if (!f.if_succeeded) {
    m.skipping = false;
    ++f.if_succeeded;
    resync(lv, out);
  } else {
    m.skipping = true;
    pp_skip_group(lv);
  }
}

void do_elif(InputLevel &lv, OutputBuffer &out, std::string_view text) {
  if (!has_open_conditional(lv)) {
    pp_report(MSG_NOCONDITI, "#elif");
    return;
  }
  CondFrame *f = &pp_state.if_stack.back();
  if (f->kind == CK_ELSE) {
    pp_report(MSG_ELIFAELSE, "elif");
    match_line(lv, *f);
  }
  f->kind = CK_ELIF;
  if (f->if_succeeded) {
    innermost_marker().skipping = true;
    pp_skip_group(lv);
    return;
  }
  bool holds = eval_condition(text);
  f = &pp_state.if_stack.back();
  SkipMarker &m = innermost_marker();
  if (holds) {
    m.skipping = false;
    ++f->if_succeeded;
    resync(lv, out);
  } else {
    m.skipping = true;
    pp_skip_group(lv);
  }
}

void do_endif(InputLevel &lv, OutputBuffer &out) {
  if (!has_open_conditional(lv)) {
    pp_report(MSG_UNBAENDIF);
    return;
  }
  pp_state.if_stack.pop_back();
  if (!pp_state.skip_stack.empty() && pp_state.skip_stack.back().frame >= pp_state.if_stack.size())
    pp_state.skip_stack.pop_back();
  resync(lv, out);
}

void do_ifdef(InputLevel &lv, OutputBuffer &out, int line, std::string_view text, bool negate) {
  const char *what = negate ? "ifndef" : "ifdef";
  const char *p = skip_hspace(text.data(), text.data() + text.size());
  const char *e = text.data() + text.size();
  bool defined = false;
  if (p < e && is_id(*p)) {
    const char *n = p;
    // Hashed as it is read, as the scan hashes a name.
    std::uint32_t hash;
    p = pp_skip_name(p, e, &hash);
    if (is_digit(*n))
      pp_report(MSG_STARTDIGI, what);
    else if (skip_hspace(p, e) < e)
      pp_report(MSG_INVALIEND, what);
    defined = pp_lookup(n, p - n, hash) != nullptr;
  } else if (p >= e) {
    pp_report(MSG_NOARGUMEN, what);
  } else {
    pp_report(MSG_ARGPUNCTU, what);
  }
  open_conditional(lv, out, line, negate ? !defined : defined);
}

// ---------------------------------------------------------------- other directives

void do_undef(std::string_view text) {
  const char *e = text.data() + text.size();
  const char *p = skip_hspace(text.data(), e);
  const char *n = p;
  p = skip_id(p, e);
  if (p > n) pp_undefine(n, p - n);
}

// Returns true when the directive acted (it then takes its newline).
bool do_line(InputLevel &lv, OutputBuffer &out, std::string_view text) {
  const char *e = text.data() + text.size();
  const char *p = skip_hspace(text.data(), e);
  const char *f1 = p;
  while (p < e && !is_hspace(*p)) ++p;
  const char *f1e = p;
  p = skip_hspace(p, e);
  const char *f2 = p;
  if (p < e && *p == '"') {
    // A quoted name may hold blanks; they are removed below.
    ++p;
    while (p < e && *p != '"') ++p;
    if (p < e) ++p;
  } else {
    while (p < e && !is_hspace(*p)) ++p;
  }
  std::string field2(f2, p);
  if (f1 == f1e || !is_digit(*f1)) return false;
  long long number = 0;
  for (const char *d = f1; d < f1e && is_digit(*d); ++d) {
    number = number * 10 + (*d - '0');
    if (number > INT_MAX) return false;
  }
  if (number == 0) return false;
  std::string name;
  for (char c : field2)
    if (c != '"' && !is_hspace(c)) name.push_back(c);
  // "#line N" alone renumbers the lines and keeps the name.
  if (field2.empty() && lv.named) name = lv.name;
  if (name.empty()) {
    if (!field2.empty() || lv.named) return false;
    // An unnamed text only counts its lines.
    if (lv.position < lv.end && *lv.position == '\n') ++lv.position;
    lv.line = (int)number;
    out.line = lv.line;
    return true;
  }
  bool renamed = !lv.named || name != lv.name;
  lv.name = name;
  lv.named = true;
  if (lv.position < lv.end && *lv.position == '\n') ++lv.position;
  lv.line = (int)number;
  if (renamed) {
    const char *q = lv.position;
    while (*q == '\n') ++q;
    if (std::strncmp(q, "#line", 5) != 0) pp_line_marker(lv, out, false);
  } else {
    pp_line_marker(lv, out, true);
  }
  return true;
}

void do_warning(const DirectiveEntry &d, std::string_view text) {
  std::string message = "#";
  message += d.name;
  message += ' ';
  message += trimmed(text.data(), text.data() + text.size());
  if (message.size() > 511) message.resize(511);
  pp_report(MSG_WARNERR, message);
}

// A double-quoted text from p (at the quote): up to the first quote not
// preceded by a backslash; escaped quotes lose their backslash.
std::string quoted(const char *&p, const char *e) {
  std::string r;
  ++p;
  while (p < e && *p != '"') {
    if (*p == '\\' && p + 1 < e && p[1] == '"') {
      r.push_back('"');
      p += 2;
      continue;
    }
    r.push_back(*p++);
  }
  if (p < e) ++p;
  return r;
}

bool define_pragma_map(std::string_view operand, PragmaOperand *) {
  const char *p = operand.data(), *e = p + operand.size();
  p = skip_hspace(p, e);
  std::string pattern;
  if (p < e && *p == '"') {
    pattern = quoted(p, e);
    p = skip_hspace(p, e);
    if (p >= e || *p != '=') return false;
  } else {
    const char *eq = (const char *)std::memchr(p, '=', e - p);
    if (!eq) return false;
    pattern = trimmed(p, eq);
    p = eq;
  }
  ++p;
  p = skip_hspace(p, e);
  std::string replacement = (p < e && *p == '"') ? quoted(p, e) : trimmed(p, e);
  for (PragmaMapEntry &m : pp_state.pragma_map)
    if (m.pattern == pattern) {
      m.replacement = replacement;
      return true;
    }
  if (!pattern.empty()) pp_state.pragma_map.push_back({pattern, replacement});
  return !pattern.empty();
}

bool declare_type_modifier(std::string_view operand, PragmaOperand *) {
  const char *p = operand.data(), *e = p + operand.size();
  p = skip_hspace(p, e);
  if (p >= e || *p != '=') {
    pp_report(MSG_TYPMODINC);
    return false;
  }
  p = skip_hspace(p + 1, e);
  const char *n = p;
  if (p < e && is_idstart(*p)) p = skip_id(p, e);
  if (p == n) {
    pp_report(MSG_TYPMODINC);
    return false;
  }
  pp_state.type_modifiers.insert(std::string_view(n, p - n));
  return true;
}

bool include_standard_dirs(std::string_view operand, PragmaOperand *) {
  const char *p = operand.data(), *e = p + operand.size();
  bool any = false;
  while (p < e) {
    while (p < e && (is_hspace(*p) || *p == ',')) ++p;
    const char *s = p;
    while (p < e && !is_hspace(*p) && *p != ',') ++p;
    std::string dir;
    for (const char *q = s; q < p; ++q)
      if (*q != '"') dir.push_back(*q);
    if (dir.empty()) continue;
    any = true;
    // A standard defines file read for every analysed file names the same
    // directories each time: the first entry is the one every search finds,
    // a second one would only lengthen the chain. A directory that stands
    // earlier for another reason (QZW_ADD_USR_INCLUDE, an INCL option) moves
    // to its place among the standard ones, as the compiler keeps a system
    // directory in its system place: a library header's #include_next
    // searches the directories after its own, and /usr/include must be
    // among them.
    IncludeDir *present = nullptr;
    for (IncludeDir *d = pp_state.include_head; d && !present; d = d->next)
      if (!d->bare && d->text == dir) present = d;
    if (!present)
      present = pp_append_dir(dir);
    else if (!present->standard)
      pp_move_dir_to_end(present);
    present->standard = true;
  }
  if (!any) pp_report(MSG_SYNTAXERR, "empty pragma ortek incl_std");
  return any;
}

bool stop_analysis(std::string_view, PragmaOperand *) {
  pp_state.analysis_on = false;
  return true;
}

bool start_analysis(std::string_view, PragmaOperand *) {
  pp_state.analysis_on = true;
  return true;
}

constexpr PragmaLayer PP = PragmaLayer::preprocessor, ANALYSER = PragmaLayer::analyser, NONE = PragmaLayer::none;

// In matching order: a word stands for the first keyword it abbreviates,
// which is what the shortest forms below follow from (a test checks them).
constexpr PragmaKeyword pragma_keywords[] = {
    {"incl_std", 1, PP, include_standard_dirs},
    {"stop_analyse", 1, PP, stop_analysis},
    {"start_analyse", 3, PP, start_analysis},
    {"sizeof", 2, ANALYSER, pp_pragma_sizeof},
    {"signof", 3, ANALYSER, pp_pragma_signof},
    {"pragma", 1, PP, define_pragma_map},
    {"type_modifier", 1, PP, declare_type_modifier},
    {"crc_justify", 1, NONE, nullptr},
    {"crc_justify_all", 12, NONE, nullptr},
    {"crc_justify_everywhere", 13, NONE, nullptr},
    {"stop_analyze", 11, PP, stop_analysis},
    {"start_analyze", 12, PP, start_analysis},
    {"insert", 3, NONE, nullptr},
    {"prefix_call", 3, NONE, nullptr},
    {"type_boolean", 6, NONE, nullptr},
    {"ex_call", 1, NONE, nullptr},
    {"exit_instr", 3, NONE, nullptr},
    {"accept", 1, NONE, nullptr},
    {"reduce", 1, NONE, nullptr},
    {"fctreduce", 1, NONE, nullptr},
    {"nothingbefore", 1, NONE, nullptr},
    {"nointerpret", 3, NONE, nullptr},
    {"directive", 1, NONE, nullptr},
    {"stop_instr", 6, NONE, nullptr},
    {"start_instr", 7, NONE, nullptr},
    {"ato_stub", 2, NONE, nullptr},
    {"testing_tool_call_place", 2, NONE, nullptr}};
static_assert(sizeof pragma_keywords / sizeof pragma_keywords[0] == 27, "27 pragma keywords");

// Is text (after "pragma") an "ortek" pragma? word and operand receive the
// keyword's word and the rest of the line.
bool ortek_words(std::string_view text, std::string_view &word, std::string_view &operand) {
  const char *e = text.data() + text.size();
  const char *w = skip_hspace(text.data(), e);
  // Every directive's line is asked: most are told at their first word.
  if (e - w < 5 || std::memcmp(w, "ortek", 5) != 0 || (e - w > 5 && is_id(w[5]))) return false;
  const char *p = w + 5;
  p = skip_hspace(p, e);
  const char *k = p;
  p = skip_id(p, e);
  word = std::string_view(k, p - k);
  operand = std::string_view(p, e - p);
  return true;
}

const PragmaMapEntry *map_entry_for(const char *p, const char *e) {
  std::string text = trimmed(p, e);
  for (const PragmaMapEntry &m : pp_state.pragma_map)
    if (trimmed(m.pattern.data(), m.pattern.data() + m.pattern.size()) == text) return &m;
  return nullptr;
}

void do_pragma(std::string_view text) {
  std::string_view word, operand;
  if (ortek_words(text, word, operand)) {
    const PragmaKeyword *k = pp_pragma_keyword(word);
    if (k && k->layer == PragmaLayer::preprocessor) {
      // Its effects go beyond the macros. The directories and type modifiers
      // a reading declares are declared again when the reading is reused (the
      // defines file every context reads declares both); a reading that acts
      // on another pragma is not reused.
      if (pp_state.recording) {
        if (k->handler == include_standard_dirs || k->handler == declare_type_modifier)
          pp_memo_note_pragma(*k, operand);
        else
          pp_memo_spoil();
      }
      k->handler(operand, nullptr);
    }
    return;
  }
  {
    const char *e = text.data() + text.size();
    const char *w = skip_hspace(text.data(), e);
    const char *p = skip_id(w, e);
    if (p - w == 4 && std::memcmp(w, "once", 4) == 0 && skip_hspace(p, e) == e) {
      pp_mark_included_once();
      return;
    }
  }
  if (const PragmaMapEntry *m = map_entry_for(text.data(), text.data() + text.size())) {
    std::string replacement = m->replacement;
    if (pp_state.recording) pp_memo_spoil();
    pp_rescan(std::move(replacement), RK_PRAGMA, false);
  }
}

// The analyser acts on its pragmas when it meets their lines; the text of
// any directive that reads as one of them goes to it.
bool passes_through(const DirectiveEntry &d, std::string_view text) {
  if (d.passes_through) return true;
  // Every directive is asked; only a line whose first word is "ortek" may
  // name a pragma of the tool's own.
  const char *e = text.data() + text.size();
  const char *w = skip_hspace(text.data(), e);
  if (w == e || *w != 'o') return false;
  const PragmaKeyword *k = pp_ortek_pragma(text);
  return k && k->layer == PragmaLayer::analyser;
}

// Characters at which reading a directive line has something to decide
// (the NUL that ends every level's text among them); the others are passed
// over a run at a time.
struct LineStops {
  bool stop[256] = {};
  constexpr LineStops() {
    for (char c : {'"', '\'', '<', '/', '\\', '\n', '\0'}) stop[static_cast<unsigned char>(c)] = true;
  }
  constexpr bool operator[](char c) const { return stop[static_cast<unsigned char>(c)]; }
};
constexpr LineStops kLineStops;

// The next stop of a directive line from p; the level's text ends with a NUL.
const char *next_line_stop(const char *p, const char *end) {
#if defined(__SSE2__)
  const __m128i dquote = _mm_set1_epi8('"'), squote = _mm_set1_epi8('\''), lt = _mm_set1_epi8('<'),
                slash = _mm_set1_epi8('/'), backslash = _mm_set1_epi8('\\'), newline = _mm_set1_epi8('\n'),
                nul = _mm_setzero_si128();
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    const __m128i hits = _mm_or_si128(
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, dquote), _mm_cmpeq_epi8(v, squote)),
                     _mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, slash))),
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, backslash), _mm_cmpeq_epi8(v, newline)), _mm_cmpeq_epi8(v, nul)));
    if (const int mask = _mm_movemask_epi8(hits)) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#else
  (void)end;
#endif
  while (!kLineStops[*p]) ++p;
  return p;
}

// The rest of a directive line: literals as units, comments out, the
// continuations joined (with the white space around them as one blank).
// text receives the line; it points into the level's own text when the line
// needs none of those changes (nearly every line), else into storage.
const char *collect_line(InputLevel &lv, const char *p, bool angle, std::string_view &text, std::string &storage) {
  const char *end = lv.end;
  const char *s = p;
  bool dirty = false;
  int lines = 0;
  for (;;) {
    p = next_line_stop(p, end);
    if (p >= end || *p == '\n') break;
    char c = *p;
    if (c == '"' || c == '\'') {
      int nl = 0;
      bool open = false;
      p = pp_skip_literal(p, end, &nl, &open);
      if (nl) dirty = true;
      lines += nl;
    } else if (c == '<' && angle) {
      ++p;
      while (p < end && *p != '>' && *p != '\n') ++p;
      if (p < end && *p == '>') ++p;
    } else if (c == '/' && p[1] == '*') {
      int nl = 0;
      bool open = false;
      const int start_line = lv.line + lines;
      p = pp_skip_block_comment(p, end, &nl, &open);
      if (open) pp_report(MSG_UNTERCOMM, {}, start_line);
      lines += nl;
      dirty = true;
    } else if (c == '/' && p[1] == '/') {
      int continued = 0;
      p = pp_line_comment_end(p, end, &continued);
      lines += continued;
      dirty = true;
    } else if (int k = continuation_at(p)) {
      p += k;
      ++lines;
      dirty = true;
    } else {
      ++p;
    }
  }
  lv.line += lines;
  if (!dirty) {
    text = std::string_view(s, p - s);
    return p;
  }
  // The room of a text given back: a header's continued and commented
  // lines would otherwise each allocate one.
  std::string &t = storage;
  if (t.capacity() <= pp_local_text_room) t = pp_take_text();
  t.clear();
  t.reserve(p - s);
  for (const char *q = s; q < p;) {
    // The characters up to the next that may need a change go as they are;
    // the first walk stopped at the line's end, so the search stops there.
    const char *run = next_line_stop(q, end);
    if (run > p) run = p;
    t.append(q, static_cast<std::size_t>(run - q));
    q = run;
    if (q >= p) break;
    char c = *q;
    if (c == '"' || c == '\'') {
      int nl = 0;
      bool open = false;
      const char *le = pp_skip_literal(q, p, &nl, &open);
      for (; q < le;) {
        if (int k = continuation_at(q))
          q += k;
        else
          t.push_back(*q++);
      }
    } else if (c == '<' && angle) {
      const char *r = q + 1;
      while (r < p && *r != '>') ++r;
      if (r < p) ++r;
      t.append(q, r - q);
      q = r;
    } else if (c == '/' && q[1] == '*') {
      int nl = 0;
      bool open = false;
      q = pp_skip_block_comment(q, p, &nl, &open);
      t.push_back(' ');
    } else if (c == '/' && q[1] == '/') {
      t.push_back(' ');
      q = p;
    } else if (int k = continuation_at(q)) {
      bool space = false;
      while (!t.empty() && is_hspace(t.back())) {
        t.pop_back();
        space = true;
      }
      q += k;
      while (q < p && is_hspace(*q)) {
        ++q;
        space = true;
      }
      if (space) t.push_back(' ');
    } else {
      t.push_back(c);
      ++q;
    }
  }
  text = t;
  return p;
}

}  // namespace

bool pp_directive(InputLevel &lv, OutputBuffer &out) {
  const char *p = lv.position;
  const char *end = lv.end;
  const int line = lv.line;
  int lines = 0;
  for (;;) {
    if (p < end && is_hspace(*p)) {
      ++p;
    } else if (int k = continuation_at(p)) {
      p += k;
      ++lines;
    } else if (p[0] == '/' && p[1] == '*') {
      int nl = 0;
      bool open = false;
      p = pp_skip_block_comment(p, end, &nl, &open);
      lines += nl;
    } else if (p[0] == '/' && p[1] == '/') {
      p = line_end(p, end);
    } else {
      break;
    }
  }
  const char *n = p;
  p = skip_id(p, end);
  if (p == n) {
    if (p >= end || *p == '\n') {
      lv.line += lines;
      lv.position = p;
      return true;
    }
    return false;
  }
  const DirectiveEntry *d = find_directive(n, p - n);
  if (!d) return false;
  ++pp_state.directive_count;
  lv.line += lines;
  std::string storage;
  std::string_view text;
  lv.position = collect_line(lv, p, d->angle_brackets, text, storage);
  if (passes_through(*d, text)) {
    out.text.push_back('#');
    out.text += d->name;
    out.text += text;
  }
  switch (d->kind) {
    case DK_DEFINE: pp_define(text.data(), text.data() + text.size()); break;
    case DK_IF: open_conditional(lv, out, line, eval_condition(text)); break;
    case DK_IFDEF: do_ifdef(lv, out, line, text, false); break;
    case DK_IFNDEF: do_ifdef(lv, out, line, text, true); break;
    case DK_ENDIF: do_endif(lv, out); break;
    case DK_ELSE: do_else(lv, out); break;
    case DK_ELIF: do_elif(lv, out, text); break;
    case DK_INCLUDE:
      pp_include(text.data(), text.data() + text.size(), d->length == 12, out);
      break;
    case DK_UNDEF: do_undef(text); break;
    case DK_PRAGMA: do_pragma(text); break;
    case DK_WARNERR: do_warning(*d, text); break;
    case DK_LINE: do_line(lv, out, text); break;
    default: break;
  }
  pp_give_text(storage);
  return true;
}

namespace {
struct SkipStops {
  bool stop[256] = {};
  constexpr SkipStops() {
    for (char c : {'\n', '\\', '/', '"', '\''}) stop[static_cast<unsigned char>(c)] = true;
  }
  constexpr bool operator[](unsigned char c) const { return stop[c]; }
};
constexpr SkipStops kSkipStops;

// The first stop of a skipped line's text in [p, end), or end. Skipped
// groups and the headers whose guard is looked for are mostly such text:
// where the processor compares sixteen bytes at once, it does.
const char *next_skip_stop(const char *p, const char *end) {
#if defined(__SSE2__)
  const __m128i newline = _mm_set1_epi8('\n'), backslash = _mm_set1_epi8('\\'), slash = _mm_set1_epi8('/'),
                dquote = _mm_set1_epi8('"'), squote = _mm_set1_epi8('\'');
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    const __m128i hits = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, newline), _mm_cmpeq_epi8(v, backslash)),
        _mm_or_si128(_mm_cmpeq_epi8(v, slash), _mm_or_si128(_mm_cmpeq_epi8(v, dquote), _mm_cmpeq_epi8(v, squote))));
    if (const int mask = _mm_movemask_epi8(hits)) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  while (p < end && !kSkipStops[static_cast<unsigned char>(*p)]) ++p;
  return p;
}
}  // namespace

// Reads text as a skipped group is read: over blanks, comments, literals
// and continuations, stopping only at the directives that start a line.
// count_lines(n) hears of every line ended on the way outside directives;
// at a directive, directive(kind, lines) gets its kind (0 for none known)
// and the lines ended between its '#' and its name, and returns true to
// stop there. Returns where the walk
// stopped (that directive's line start) or ended, and whether it stopped.
template <class CountLines, class Directive>
std::pair<const char *, bool> walk_group(const char *p, const char *end, bool bol, CountLines count_lines,
                                         Directive directive) {
  const char *line_start = p;
  while (p < end) {
    const char c = *p;
    if (c == '\n') {
      count_lines(1);
      ++p;
      bol = true;
      line_start = p;
      continue;
    }
    if (is_hspace(c)) {
      ++p;
      continue;
    }
    if (int k = continuation_at(p)) {
      count_lines(1);
      p += k;
      continue;
    }
    if (c == '/' && p[1] == '*') {
      int nl = 0;
      bool open = false;
      p = pp_skip_block_comment(p, end, &nl, &open);
      count_lines(nl);
      continue;
    }
    if (c == '/' && p[1] == '/') {
      p = line_end(p, end);
      continue;
    }
    if (c == '"' || c == '\'') {
      int nl = 0;
      bool open = false;
      p = pp_skip_literal(p, end, &nl, &open);
      count_lines(nl);
      bol = false;
      continue;
    }
    if (c == '#' && bol) {
      bol = false;
      const char *q = p + 1;
      int lines = 0;
      for (;;) {
        if (q < end && is_hspace(*q)) {
          ++q;
        } else if (int k = continuation_at(q)) {
          q += k;
          ++lines;
        } else if (q[0] == '/' && q[1] == '*') {
          int nl = 0;
          bool open = false;
          q = pp_skip_block_comment(q, end, &nl, &open);
          lines += nl;
        } else {
          break;
        }
      }
      const char *n = q;
      q = skip_id(q, end);
      const DirectiveEntry *d = find_directive(n, q - n);
      if (directive(d ? d->kind : 0, lines)) return {line_start, true};
      p = q;
      continue;
    }
    // The rest of a line that started with text matters only where a
    // comment, a literal, a continuation or the line's end begins.
    bol = false;
    ++p;
    p = next_skip_stop(p, end);
  }
  return {p, false};
}

void pp_skip_group(InputLevel &lv) {
  const std::size_t target = pp_state.skip_stack.empty() ? pp_state.if_stack.size() - 1
                                                          : pp_state.skip_stack.back().frame;
  const auto count_lines = [&lv](int n) { lv.line += n; };
  const auto directive = [&lv, target](int kind, int lines) {
    if (kind == DK_IF || kind == DK_IFDEF || kind == DK_IFNDEF) {
      CondFrame f;
      f.file = pp_interned_name(lv);
      f.line = lv.line + lines;
      f.kind = kind == DK_IF ? CK_IF : kind == DK_IFDEF ? CK_IFDEF : CK_IFNDEF;
      pp_state.if_stack.push_back(std::move(f));
    } else if (kind == DK_ELSE || kind == DK_ELIF || kind == DK_ENDIF) {
      // The conditional being skipped: its directive is handled by the scanner.
      if (pp_state.if_stack.size() <= target + 1) return true;
      lv.line += lines;
      if (kind == DK_ENDIF) {
        pp_state.if_stack.pop_back();
      } else {
        CondFrame &f = pp_state.if_stack.back();
        if (f.kind == CK_ELSE) pp_report(MSG_ELIFAELSE, pp_translated("else or elif"));
        f.kind = kind == DK_ELSE ? CK_ELSE : CK_ELIF;
      }
      return false;
    }
    lv.line += lines;
    return false;
  };
  lv.position = walk_group(lv.position, lv.end, lv.position == lv.buffer, count_lines, directive).first;
}

namespace {

// From p over blank lines and complete comments, as the scan passes over
// them without output other than white space. Returns where something else
// starts (a '#' at a line's start, or end); nullptr at anything else,
// including a continuation, which could join what follows.
const char *skip_blank_lines(const char *p, const char *end) {
  bool bol = true;
  while (p < end) {
    const char c = *p;
    if (c == '\n') {
      bol = true;
      ++p;
    } else if (is_hspace(c)) {
      ++p;
    } else if (c == '/' && p[1] == '*') {
      int nl = 0;
      bool open = false;
      p = pp_skip_block_comment(p, end, &nl, &open);
      if (open) return nullptr;
    } else if (c == '/' && p[1] == '/') {
      const char *e = line_end(p, end);
      if (std::memchr(p, '\\', static_cast<std::size_t>(e - p))) return nullptr;
      p = e;
    } else if (c == '#' && bol) {
      return p;
    } else {
      return nullptr;
    }
  }
  return p;
}

// The walk of pp_skip_group over a whole group, with nested conditionals
// counted instead of stacked: from the end of the line that opens the group
// to the start of the line of its "#endif". Returns that line's start, or
// nullptr when the group has an #else or #elif of its own, ends early, or
// skipping it reports something (an #else or #elif after a nested #else).
const char *end_of_group(const char *p, const char *end) {
  std::vector<bool> after_else;  // the nested conditionals
  bool found = false;
  const auto directive = [&after_else, &found](int kind, int) {
    if (kind == DK_IF || kind == DK_IFDEF || kind == DK_IFNDEF) {
      after_else.push_back(false);
    } else if (kind == DK_ELSE || kind == DK_ELIF || kind == DK_ENDIF) {
      if (after_else.empty()) {
        found = kind == DK_ENDIF;
        return true;
      }
      if (kind == DK_ENDIF) {
        after_else.pop_back();
      } else if (after_else.back()) {
        return true;
      } else {
        after_else.back() = kind == DK_ELSE;
      }
    }
    return false;
  };
  const auto walked = walk_group(p, end, false, [](int) {}, directive);
  return walked.second && found ? walked.first : nullptr;
}

}  // namespace

// The name of the "#ifndef NAME" that opens text, alone on its line, as the
// first thing that is not blank; nullptr when text opens otherwise. *line_end
// receives the end of that line.
static const char *guard_candidate(const char *text, const char *end, const char **name_end,
                                   const char **line_end) {
  const char *p = skip_blank_lines(text, end);
  if (!p || p >= end) return nullptr;
  p = skip_hspace(p + 1, end);
  if (end - p < 6 || std::memcmp(p, "ifndef", 6) != 0) return nullptr;
  p += 6;
  if (p >= end || !is_hspace(*p)) return nullptr;
  p = skip_hspace(p, end);
  if (p >= end || !is_idstart(*p)) return nullptr;
  const char *name = p;
  p = skip_id(p, end);
  *name_end = p;
  p = skip_hspace(p, end);
  if (p >= end || *p != '\n') return nullptr;
  *line_end = p;
  return name;
}

bool pp_guard_candidate(const char *text, const char *end, std::string_view &name) {
  const char *name_end = nullptr, *line_end = nullptr;
  const char *start = guard_candidate(text, end, &name_end, &line_end);
  if (!start) return false;
  name = std::string_view(start, static_cast<std::size_t>(name_end - start));
  return true;
}

bool pp_find_guard(const char *text, const char *end, std::string &guard) {
  const char *name_end = nullptr, *p = nullptr;
  const char *name = guard_candidate(text, end, &name_end, &p);
  if (!name) return false;
  // Its "#endif", alone on its line but for comments, and nothing after it
  // but blank lines and comments.
  p = end_of_group(p, end);
  if (!p) return false;
  p = skip_hspace(p, end);
  if (p >= end || *p != '#') return false;
  p = skip_hspace(p + 1, end);
  if (end - p < 5 || std::memcmp(p, "endif", 5) != 0) return false;
  p += 5;
  if (p < end && is_id(*p)) return false;
  for (;;) {
    p = skip_hspace(p, end);
    if (p + 1 < end && p[0] == '/' && p[1] == '*') {
      int nl = 0;
      bool open = false;
      p = pp_skip_block_comment(p, end, &nl, &open);
      if (open) return false;
      continue;
    }
    break;
  }
  if (p < end && *p != '\n' && !(p[0] == '/' && p[1] == '/')) return false;
  p = skip_blank_lines(p, end);
  if (!p || p < end) return false;
  guard.assign(name, name_end);
  return true;
}

const PragmaKeyword *pp_pragma_keyword(std::string_view word) {
  for (const PragmaKeyword &k : pragma_keywords)
    if (word.size() >= static_cast<std::size_t>(k.shortest) && word.size() <= std::strlen(k.spelling) &&
        std::memcmp(k.spelling, word.data(), word.size()) == 0)
      return &k;
  return nullptr;
}

const PragmaKeyword *pp_ortek_pragma(std::string_view text, std::string_view *operand) {
  std::string_view word, rest;
  if (!ortek_words(text, word, rest)) return nullptr;
  if (operand) *operand = rest;
  return pp_pragma_keyword(word);
}

static bool starts_analysis(std::string_view text) {
  const PragmaKeyword *k = pp_ortek_pragma(text);
  return k && k->handler == start_analysis;
}

bool pp_pragma_starts_analysis(const char *p, const char *e) {
  std::string_view word, operand;
  if (ortek_words(std::string_view(p, e - p), word, operand)) return starts_analysis(std::string_view(p, e - p));
  if (const PragmaMapEntry *m = map_entry_for(p, e)) {
    const char *r = m->replacement.data();
    const char *re = r + m->replacement.size();
    r = skip_hspace(r, re);
    if (r >= re || *r != '#') return false;
    r = skip_hspace(r + 1, re);
    if (re - r < 6 || std::memcmp(r, "pragma", 6) != 0) return false;
    return starts_analysis(std::string_view(r + 6, re - r - 6));
  }
  return false;
}

void pp_release_conditionals() {
  auto name_of = [](CondKind kind) {
    switch (kind) {
      case CK_IFDEF: return "ifdef";
      case CK_IFNDEF: return "ifndef";
      case CK_ELSE: return "else";
      case CK_ELIF: return "elif";
      default: return "if";
    }
  };
  InputLevel *named = pp_innermost_named();
  const std::string innermost = named ? named->name : std::string();
  for (auto it = pp_state.skip_stack.rbegin(); it != pp_state.skip_stack.rend(); ++it) {
    CondKind kind = CK_IF;
    int line = it->line;
    // The file the conditional stands in: by the time the conditionals
    // are released no file is open any more, and the same header read
    // by two analyses is told about once by its own position.
    std::string file = innermost;
    if (it->frame < pp_state.if_stack.size()) {
      const CondFrame &f = pp_state.if_stack[it->frame];
      kind = f.kind;
      line = f.line;
      if (f.file) file = f.file;
    }
    report_at_position(MSG_UNTERCOND, name_of(kind), file, line);
  }
  pp_state.skip_stack.clear();
  pp_state.if_stack.clear();
}

// ---------------------------------------------------------------- #if hooks

namespace {

bool hook_is_macro(const char *name, std::size_t length) { return pp_lookup(name, length) != nullptr; }

bool is_blank(char c) { return c == ' ' || c == '\t'; }  // as the #if reader has it

// The replacement of macro m when it is an object-like macro of the file's
// own whose whole replacement is one number, as the scan reads one (a word
// size, a version, a feature switch set to 0 or 1, which the system headers
// test by the hundred): its rescan is that number and nothing else. Else
// nullptr.
const std::string *number_replacement(const MacroEntry *m) {
  if (m->kind != MK_USER || !m->value || m->value->nargs >= 0 || m->expanding) return nullptr;
  const std::string &text = m->value->expansion;
  if (text.empty() || !is_digit(text[0])) return nullptr;
  const char *q = text.c_str();
  for (;;) {
    const char d = *q;
    if (is_id(d)) {
      ++q;
      if ((d == 'e' || d == 'E') && (*q == '+' || *q == '-')) ++q;
    } else if (d == '.' && q[1] != '.') {
      ++q;
    } else {
      break;
    }
  }
  return q == text.c_str() + text.size() ? &text : nullptr;
}

// The expansion of an #if text whose names are all "defined" operators,
// operands of such, names no macro holds or macros whose replacement is one
// number, and that holds no literal, comment, continuation or '#': the text
// itself with each operator and its operand replaced by its value and each
// such macro by its number, as the rescan gives it. False (out is left
// unfinished) for any other text, and for an operator or a macro the rescan
// would report. The names are looked at as the rescan looks at them; *levels
// receives how many levels past the current one the rescan would have used.
bool expand_plain_condition(const char *p, std::size_t length, std::string &out, int *levels) {
  const char *const e = p + length;
  out.reserve(length + 8);
  *levels = 1;
  while (p < e) {
    const char c = *p;
    if (is_idstart(c)) {
      const char *name = p;
      std::uint32_t hash;
      p = pp_skip_name(p, e, &hash);
      if (p - name != 7 || std::memcmp(name, "defined", 7) != 0) {
        if (const MacroEntry *m = pp_lookup(name, p - name, hash)) {
          // The expansion is a level above the rescan's, which the scan
          // leaves at its end; a blank keeps apart what would otherwise
          // read as one token at either end, as the scan keeps it.
          const std::string *number = number_replacement(m);
          if (!number || pp_state.depth + 2 >= PP_MAX_DEPTH) return false;
          if (!out.empty() && would_paste(out.back(), (*number)[0])) out.push_back(' ');
          out.append(*number);
          if (would_paste(out.back(), p < e ? *p : '\0')) out.push_back(' ');
          *levels = 2;
          continue;
        }
        out.append(name, p - name);
        continue;
      }
      const char *q = p;
      while (q < e && is_blank(*q)) ++q;
      const bool paren = q < e && *q == '(';
      if (paren)
        for (++q; q < e && is_blank(*q);) ++q;
      if (q >= e || !is_idstart(*q)) return false;
      const char *operand = q;
      std::uint32_t operand_hash;
      q = pp_skip_name(q, e, &operand_hash);
      // "defined defined" names the operator's own entry.
      if (q - operand == 7 && std::memcmp(operand, "defined", 7) == 0) return false;
      const bool value = pp_lookup(operand, q - operand, operand_hash) != nullptr;
      if (paren) {
        while (q < e && is_blank(*q)) ++q;
        if (q >= e || *q != ')') return false;
        ++q;
      }
      out.append(value ? " 1 " : " 0 ");
      p = q;
      continue;
    }
    if (is_digit(c)) {
      // A number as the scan reads one: names inside it are not looked at.
      const char *q = p;
      while (q < e) {
        const char d = *q;
        if (is_id(d)) {
          ++q;
          if ((d == 'e' || d == 'E') && q < e && (*q == '+' || *q == '-')) ++q;
        } else if (d == '.' && !(q + 1 < e && q[1] == '.')) {
          ++q;
        } else {
          break;
        }
      }
      out.append(p, q - p);
      p = q;
      continue;
    }
    if (c == '"' || c == '\'' || c == '\\' || c == '\n' || c == '#' || c == '\0') return false;
    if (c == '/' && p + 1 < e && (p[1] == '*' || p[1] == '/' || p[1] == '\\')) return false;
    out.push_back(c);
    ++p;
  }
  return true;
}

std::string hook_expand(const char *text, std::size_t length) {
  // Most conditions name no macro but through "defined": they are not
  // rescanned. What the rescan would leave in a recording is noted all the
  // same: the operator's entry coming and going, and the rescan's level
  // (whose push past the stack's limit is reported).
  if (pp_state.depth + 1 < PP_MAX_DEPTH) {
    std::string plain = pp_take_text();
    int levels = 1;
    if (expand_plain_condition(text, length, plain, &levels)) {
      if (pp_state.recording) {
        pp_memo_note_defined();
        pp_memo_note_depth(pp_state.depth + levels);
      }
      return plain;
    }
    pp_give_text(plain);
  }
  // The temporary entry goes however the expansion ends.
  struct Defined {
    MacroEntry *entry = pp_insert_entry("defined", 7, MK_DEFINED);
    MacroTable *table = pp_state.macro_table;
    ~Defined() {
      MacroTable *now = pp_state.macro_table;
      pp_state.macro_table = table;
      pp_remove_entry(entry);
      pp_state.macro_table = now;
    }
  } defined;
  std::string copy = pp_take_text();
  copy.assign(text, length);
  return pp_rescan(std::move(copy), RK_IF, false);
}

void hook_report(MessageCode code, std::string_view arg) { pp_report(code, arg); }

void hook_release(std::string &text) { pp_give_text(text); }

}  // namespace

void pp_install_eval_hooks() {
  IfHooks h;
  h.is_macro = hook_is_macro;
  h.expand = hook_expand;
  h.report = hook_report;
  h.release = hook_release;
  if_set_hooks(h);
}

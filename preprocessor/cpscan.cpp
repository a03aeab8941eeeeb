// Reading the input levels and writing the preprocessed text.
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "cpinternal.h"

// ---------------------------------------------------------------- buffer preparation

namespace {

char trigraph_of(char c) {
  switch (c) {
    case '=': return '#';
    case '(': return '[';
    case ')': return ']';
    case '\'': return '^';
    case '<': return '{';
    case '>': return '}';
    case '!': return '|';
    case '-': return '~';
    case '/': return '\\';
    default: return 0;
  }
}

char digraph_of(char a, char b) {
  if (a == '<' && b == ':') return '[';
  if (a == ':' && b == '>') return ']';
  if (a == '<' && b == '%') return '{';
  if (a == '%' && b == '>') return '}';
  if (a == '%' && b == ':') return '#';
  return 0;
}

// Both replacements keep every line's length: the characters after a
// replacement move left within the line and blanks fill its end, so no later
// character changes its line. Done in one pass per line, which is what
// moving the rest of the line after each replacement amounts to.
void replace_trigraphs(std::string &s) {
  if (s.find("??") == std::string::npos) return;
  char *b = &s[0];
  const std::size_t n = s.size();
  std::size_t r = 0;
  while (r < n) {
    std::size_t e = r;
    while (e < n && b[e] != '\n' && b[e] != '\r') ++e;
    std::size_t w = r, i = r;
    bool continued = false;
    while (i < e) {
      char m;
      if (b[i] == '?' && i + 2 < e && b[i + 1] == '?' && (m = trigraph_of(b[i + 2])) != 0) {
        if (m == '\\') {
          std::size_t k = i + 3;
          while (k < e && (b[k] == ' ' || b[k] == '\t')) ++k;
          if (k == e) {
            // "??/" then only blanks: still a continuation, at the line end.
            b[w++] = ' ';
            b[w++] = ' ';
            b[w++] = ' ';
            i += 3;
            continued = true;
            continue;
          }
        }
        b[w++] = m;
        i += 3;
        continue;
      }
      b[w++] = b[i++];
    }
    while (w < e) b[w++] = ' ';
    if (continued && e > r) b[e - 1] = '\\';
    r = e < n ? e + 1 : e;
  }
}

// Nearly every line of real code holds no digraph: the search runs ahead to
// the first one, and only the line holding it is rewritten (from there on;
// what precedes it stays as it is).
// b[n] is the string's terminating NUL; a NUL inside the text stops
// strpbrk, and the search goes on after it.
std::size_t next_digraph(const char *b, std::size_t from, std::size_t n) {
  std::size_t i = from;
  while (i + 1 < n) {
    const char *p = std::strpbrk(b + i, "<:%");
    if (!p) {
      i += std::strlen(b + i) + 1;
      continue;
    }
    i = static_cast<std::size_t>(p - b);
    if (i + 1 < n && digraph_of(*p, p[1])) return i;
    ++i;
  }
  return n;
}

void replace_digraphs(std::string &s) {
  char *b = &s[0];
  const std::size_t n = s.size();
  std::size_t r = 0;
  while (r < n) {
    const std::size_t first = next_digraph(b, r, n);
    if (first == n) return;
    std::size_t e = first;
    while (e < n && b[e] != '\n' && b[e] != '\r') ++e;
    std::size_t w = first, i = first;
    while (i < e) {
      char m;
      if (i + 1 < e && (m = digraph_of(b[i], b[i + 1])) != 0) {
        b[w++] = m;
        i += 2;
        continue;
      }
      b[w++] = b[i++];
    }
    while (w < e) b[w++] = ' ';
    r = e < n ? e + 1 : e;
  }
}

// Whether a and b start a trigraph (all start with "??") or are a digraph.
inline bool replaced_pair(char a, char b) {
  switch (a) {
    case '?': return b == '?';
    case '<': return b == ':' || b == '%';
    case ':': return b == '>';
    case '%': return b == '>' || b == ':';
    default: return false;
  }
}

// Whether a text may need either replacement: nearly no text holds a
// trigraph or a digraph, and one that holds neither is left as it is
// without the two searches. Only the pairs that start with one of "?<:%"
// are looked at, sixteen bytes at a time where the processor can: the
// string's own room is readable to its end (and its NUL), and the bytes
// past the text are masked out. The character after the text's last is
// the NUL, which ends no pair.
bool may_need_replacements(const std::string &s) {
  const char *p = s.c_str();
  const char *const end = p + s.size();
#if defined(__SSE2__)
  const char *const room_end = p + s.capacity() + 1;
  const __m128i question = _mm_set1_epi8('?'), less = _mm_set1_epi8('<'), colon = _mm_set1_epi8(':'),
                percent = _mm_set1_epi8('%');
  while (p < end && room_end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, question), _mm_cmpeq_epi8(v, less)),
                     _mm_or_si128(_mm_cmpeq_epi8(v, colon), _mm_cmpeq_epi8(v, percent)))));
    if (end - p < 16) mask &= (1u << (end - p)) - 1;
    for (; mask; mask &= mask - 1) {
      const char *q = p + __builtin_ctz(mask);
      if (replaced_pair(q[0], q[1])) return true;
    }
    p += 16;
  }
#endif
  for (; p < end; ++p)
    if (replaced_pair(p[0], p[1])) return true;
  return false;
}

}  // namespace

void pp_prepare_buffer(std::string &text) {
  if (text.size() < 4096 && !may_need_replacements(text)) return;
  replace_trigraphs(text);
  replace_digraphs(text);
}

bool pp_may_need_preparing(const std::string &text) { return may_need_replacements(text); }

// ---------------------------------------------------------------- line markers

void pp_line_marker(InputLevel &level, OutputBuffer &out, bool resync) {
  if (!level.named) {
    out.line = level.line;
    return;
  }
  if (resync) {
    int gap = level.line - out.line;
    if (gap == 0) return;
    if (gap > 0 && gap <= 7) {
      // A few lines behind (a continued directive, a call over several
      // lines): empty lines catch up, so that the analyser's line numbers
      // stay those of the source without a marker.
      out.text.append((std::size_t)gap, '\n');
      out.line = level.line;
      return;
    }
    const char *p = level.position;
    while (*p == '\n') ++p;
    if (std::strncmp(p, "#line", 5) == 0) return;
  }
  std::string &o = out.text;
  if (!o.empty() && o.back() != '\n') o.push_back('\n');
  o += "#line ";
  o += std::to_string(level.line);
  o += " \"";
  if (pp_state.escape_line_names) {
    for (char c : level.name) {
      if (c == '\\')
        o += "\\\\";
      else if (c == '"')
        o += "\\\"";
      else
        o.push_back(c);
    }
  } else {
    o += level.name;
  }
  o += "\"\n";
  out.line = level.line;
}

// ---------------------------------------------------------------- literals and comments

// As a walk a character at a time finds it, but the newlines are searched
// for a vector at a time: the comments of the headers are long. A call of
// its own, so that the scan's loop keeps its registers for its own work.
const char *pp_line_comment_end(const char *p, const char *end, int *continued) {
  while (p < end) {
    const char *newline = static_cast<const char *>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (!newline) return end;
    // The backslash that continues the line stands just before the newline
    // (or before its carriage return).
    const std::size_t before = static_cast<std::size_t>(newline - p);
    if (!((before >= 1 && continuation_at(newline - 1)) || (before >= 2 && continuation_at(newline - 2))))
      return newline;
    ++*continued;
    p = newline + 1;
  }
  return p;
}

const char *pp_skip_literal(const char *p, const char *end, int *newlines, bool *unterminated) {
  const char quote = *p++;
  *unterminated = false;
  while (p < end) {
    char c = *p;
    if (c == '\\') {
      int k = continuation_at(p);
      if (k) {
        ++*newlines;
        p += k;
        continue;
      }
      p += (p + 1 < end) ? 2 : 1;
      continue;
    }
    if (c == '\n') {
      *unterminated = true;
      return p;
    }
    ++p;
    if (c == quote) return p;
  }
  *unterminated = true;
  return p;
}

const char *pp_skip_block_comment(const char *p, const char *end, int *newlines, bool *unterminated) {
  p += 2;
  *unterminated = false;
  while (p < end) {
    const char *star = (const char *)std::memchr(p, '*', end - p);
    const char *stop = star ? star : end;
    for (const char *q = (const char *)std::memchr(p, '\n', stop - p); q;
         q = (const char *)std::memchr(q + 1, '\n', stop - q - 1))
      ++*newlines;
    if (!star) break;
    if (star + 1 < end && star[1] == '/') return star + 2;
    p = star + 1;
  }
  *unterminated = true;
  return end;
}

// ---------------------------------------------------------------- analysis switched off

// Skips text while analysis is off: only a start pragma (directly or
// through the pragma map) turns it on again; nothing else is executed.
static void skip_unanalysed(InputLevel &lv) {
  const char *p = lv.position;
  const char *end = lv.end;
  while (p < end) {
    const char *hash = (const char *)std::memchr(p, '#', end - p);
    const char *stop = hash ? hash : end;
    for (const char *q = (const char *)std::memchr(p, '\n', stop - p); q;
         q = (const char *)std::memchr(q + 1, '\n', stop - q - 1))
      ++lv.line;
    if (!hash) {
      p = end;
      break;
    }
    const char *q = hash + 1;
    while (q < end && is_hspace(*q)) ++q;
    const char *eol = (const char *)std::memchr(q, '\n', end - q);
    if (!eol) eol = end;
    if (end - q >= 6 && std::memcmp(q, "pragma", 6) == 0 && !is_id(q[6]) &&
        pp_pragma_starts_analysis(q + 6, eol)) {
      pp_state.analysis_on = true;
      lv.position = eol;
      return;
    }
    p = eol;
  }
  lv.position = p;
}

// ---------------------------------------------------------------- the scan

namespace {

inline bool marker_level(const InputLevel &lv) { return lv.kind == LV_MACRO || lv.kind == LV_RESCAN; }

// "defined" has been read: its operand, read from where the text stands,
// goes to the output as " 1 " or " 0 ".
void append_defined_value(OutputBuffer &out, int base) {
  // The operand may follow the end of the expansion that produced "defined".
  while (pp_state.depth > base && pp_top().kind == LV_MACRO && pp_top().position >= pp_top().end) pp_pop_level();
  InputLevel &at = pp_top();
  std::size_t consumed = 0;
  const int value = if_defined_operator(at.position, at.end - at.position, &consumed);
  at.position += consumed;
  out.text.append(value ? " 1 " : " 0 ");
}

// The name of macro e has been read and copied to the output at id_out:
// what its use does.
void act_on_macro(OutputBuffer &out, std::size_t id_out, MacroEntry *e, bool marks, int base) {
  if (e->expanding) {
    if (marks) out.text.append("\n-");
    return;
  }
  if (e->kind == MK_DEFINED) {
    out.text.resize(id_out);
    append_defined_value(out, base);
    return;
  }
  char opener = 0;
  if (e->kind == MK_USER && e->value && e->value->nargs >= 0) {
    opener = pp_find_call_bracket(e, base);
    if (!opener) return;
  }
  out.text.resize(id_out);
  pp_expand(e, out, opener);
}

// act_on_macro for the name of macro e read at [name, name + length) of the
// current level and not yet copied to the output: it goes there only where
// it stays (a macro being expanded, a function-like macro without a call),
// rather than being copied and taken back at every expansion. (The name's
// level is not left before it is copied: the search for a call's bracket
// leaves levels only when it finds one.)
void act_on_read_macro(OutputBuffer &out, const char *name, std::size_t length, MacroEntry *e, bool marks,
                       int base) {
  if (e->expanding) {
    out.text.append(name, length);
    if (marks) out.text.append("\n-");
    return;
  }
  if (e->kind == MK_DEFINED) {
    append_defined_value(out, base);
    return;
  }
  char opener = 0;
  if (e->kind == MK_USER && e->value && e->value->nargs >= 0) {
    opener = pp_find_call_bracket(e, base);
    if (!opener) {
      out.text.append(name, length);
      return;
    }
  }
  pp_expand(e, out, opener);
}

// A complete identifier has been copied to the output at id_out; decide
// whether it is a macro use.
void treat_identifier(OutputBuffer &out, std::size_t id_out, std::uint32_t hash, bool marks, int base) {
  InputLevel &lv = pp_top();
  const char *q = lv.position;
  if (marker_level(lv) && q[0] == '\n' && q[1] == '-') {
    // Marked as not to be expanded again.
    if (marks) out.text.append("\n-");
    lv.position = q + 2;
    return;
  }
  const char *name = out.text.data() + id_out;
  std::size_t len = out.text.size() - id_out;
  if (MacroEntry *e = pp_lookup(name, len, hash)) act_on_macro(out, id_out, e, marks, base);
}

// From p, in the text of level lv: how far the text reads as it is written
// (names no macro holds, numbers, characters that need no decision), so
// that it goes to the output in one piece. *macro receives a macro whose
// name ends the stretch (then *name_end is where the name ends); bol is
// cleared as the characters passed clear it. In an expansion or a rescanned
// text, the stretch also ends before a name that reaches the level's end (it
// may go on in the enclosing level) or is marked as not to be expanded.
const char *verbatim_stretch(const InputLevel &lv, const char *p, MacroEntry **macro, const char **name_end,
                             bool &bol) {
  const bool marked = marker_level(lv);
  for (;;) {
    const char d = *p;
    if (is_idstart(d)) {
      const char *r = p;
      std::uint32_t hash = PP_HASH_START;
      while (is_id(*r)) {
        hash = pp_hash_step(hash, *r);
        ++r;
      }
      if (marked && (r >= lv.end || (r[0] == '\n' && r[1] == '-'))) return p;
      bol = false;
      if (MacroEntry *e = pp_lookup(p, r - p, hash)) {
        *macro = e;
        *name_end = r;
        return p;
      }
      p = r;
    } else if (is_digit(d)) {
      // As the scan reads a number.
      for (;;) {
        const char n = *p;
        if (is_id(n)) {
          ++p;
          if ((n == 'e' || n == 'E') && (*p == '+' || *p == '-')) ++p;
        } else if (n == '.') {
          if (p[1] == '.') break;
          ++p;
        } else {
          break;
        }
      }
      bol = false;
    } else if (is_plain(d)) {
      if (!is_hspace(d)) bol = false;
      ++p;
    } else {
      return p;
    }
  }
}

}  // namespace

void pp_scan(OutputBuffer &out, bool marks) {
  const int base = pp_state.depth;
  std::string &o = out.text;
  bool bol = true;
  for (;;) {
    InputLevel &lv = pp_top();
    if (!pp_state.analysis_on && !pp_state.start_now && (lv.kind == LV_FILE || lv.kind == LV_TEXT)) {
      skip_unanalysed(lv);
      bol = false;
    }
    const char *p = lv.position;
    if (p >= lv.end) {
      if (pp_state.depth == base) return;
      LevelKind kind = lv.kind;
      pp_pop_level();
      if (kind != LV_MACRO)
        pp_line_marker(pp_top(), out, false);
      else if (!o.empty() && would_paste(o.back(), *pp_top().position))
        o.push_back(' ');
      bol = false;
      continue;
    }
    const char c = *p;
    if (is_id(c) || is_plain(c)) {
      MacroEntry *macro = nullptr;
      const char *name_end = nullptr;
      const char *q = verbatim_stretch(lv, p, &macro, &name_end, bol);
      if (q > p || macro) {
        if (q > p) o.append(p, q - p);
        lv.position = q;
        if (macro) {
          lv.position = name_end;
          act_on_read_macro(out, q, name_end - q, macro, marks, base);
        }
        continue;
      }
    }
    switch (c) {
      case '\n':
        if (marker_level(lv)) {
          char n = p[1];
          if (n == '-') {
            if (marks) o.append("\n-");
            lv.position = p + 2;
          } else if (n != '\0' && is_hspace(n)) {
            if (marks)
              o.append(p, 2);
            else
              o.push_back(n);
            lv.position = p + 2;
          } else {
            // A bare newline stands for white space.
            o.push_back(marks ? '\n' : ' ');
            if (marks) o.push_back(' ');
            lv.position = p + 1;
          }
          continue;
        }
        o.push_back('\n');
        ++lv.line;
        ++out.line;
        lv.position = p + 1;
        bol = true;
        if (lv.line != out.line) pp_line_marker(lv, out, true);
        continue;
      case '"':
      case '\'': {
        const bool counts = !marker_level(lv);
        const int start_line = counts ? lv.line : -1;
        const char *q = p + 1;
        o.push_back(c);
        for (;;) {
          if (q >= lv.end) {
            pp_report(MSG_UNTERSTRI, {}, start_line);
            break;
          }
          char d = *q;
          if (d == '\\') {
            int k = continuation_at(q);
            if (k) {
              q += k;
              if (counts) ++lv.line;
              continue;
            }
            o.push_back('\\');
            ++q;
            if (q < lv.end) o.push_back(*q++);
            continue;
          }
          if (d == '\n') {
            // The newline itself is written and counted by the main loop.
            pp_report(MSG_UNTERSTRI, {}, start_line);
            break;
          }
          o.push_back(d);
          ++q;
          if (d == c) break;
        }
        lv.position = q;
        bol = false;
        continue;
      }
      case '/':
        if (lv.kind != LV_MACRO) {
          const char *q = p + 1;
          int cont_lines = 0;
          while (int k = continuation_at(q)) {
            q += k;
            ++cont_lines;
          }
          if (*q == '*') {
            const int start_line = marker_level(lv) ? -1 : lv.line;
            lv.line += cont_lines;
            o.push_back(' ');
            int nl = 0;
            bool open = false;
            const char *after = pp_skip_block_comment(q - 1, lv.end, &nl, &open);
            for (int i = 0; i < nl; ++i) o.push_back('\n');
            lv.line += nl;
            out.line += nl;
            lv.position = after;
            if (open) pp_report(MSG_UNTERCOMM, {}, start_line);
            continue;
          }
          if (*q == '/') {
            lv.line += cont_lines;
            o.push_back(' ');
            ++q;
            int continued = 0;
            q = pp_line_comment_end(q, lv.end, &continued);
            lv.line += continued;
            lv.position = q;
            continue;
          }
        }
        break;
      case '\\':
        if (lv.kind != LV_MACRO) {
          if (int k = continuation_at(p)) {
            ++lv.line;
            lv.position = p + k;
            continue;
          }
        }
        break;
      case '#':
        if (out.rescan_kind == RK_IF) {
          // An #if expression ends at a '#'.
          while (pp_state.depth > base) pp_pop_level();
          pp_top().position = pp_top().end;
          return;
        }
        if (bol && (lv.kind == LV_FILE || lv.kind == LV_TEXT || (lv.kind == LV_RESCAN && out.rescan_kind == RK_PRAGMA))) {
          lv.position = p + 1;
          int before = pp_state.depth;
          if (pp_directive(lv, out)) {
            InputLevel &top = pp_top();
            bol = pp_state.depth > before || top.position == top.buffer || top.position[-1] == '\n';
            continue;
          }
          lv.position = p;
        }
        break;
      default:
        break;
    }
    if (is_idstart(c)) {
      std::size_t id_out = o.size();
      std::uint32_t hash = PP_HASH_START;
      const char *q = p;
      while (is_id(*q)) {
        hash = pp_hash_step(hash, *q);
        ++q;
      }
      o.append(p, q - p);
      lv.position = q;
      // An identifier that reaches the end of an expansion goes on with the
      // characters of the enclosing level.
      if (q >= lv.end) {
        while (pp_state.depth > base && pp_top().kind == LV_MACRO && pp_top().position >= pp_top().end &&
               is_id(*pp_state.levels[pp_state.depth - 1].position)) {
          pp_pop_level();
          InputLevel &l2 = pp_top();
          const char *r = l2.position;
          while (is_id(*r)) {
            hash = pp_hash_step(hash, *r);
            ++r;
          }
          o.append(l2.position, r - l2.position);
          l2.position = r;
        }
      }
      bol = false;
      treat_identifier(out, id_out, hash, marks, base);
      continue;
    }
    if (is_digit(c)) {
      const char *q = p;
      for (;;) {
        char d = *q;
        if (is_id(d)) {
          ++q;
          if ((d == 'e' || d == 'E') && (*q == '+' || *q == '-')) ++q;
        } else if (d == '.') {
          if (q[1] == '.') break;
          ++q;
        } else {
          break;
        }
      }
      o.append(p, q - p);
      lv.position = q;
      bol = false;
      continue;
    }
    // The character, and the run of characters after it that need no
    // decision, go to the output at once.
    bool spaces_only = is_hspace(c);
    const char *q = p + 1;
    while (q < lv.end && is_plain(*q)) {
      if (!is_hspace(*q)) spaces_only = false;
      ++q;
    }
    o.append(p, q - p);
    if (!spaces_only) bol = false;
    lv.position = q;
  }
}

std::string pp_rescan(std::string text, RescanKind rescan_kind, bool marks) {
  OutputBuffer tmp;
  tmp.text = pp_take_text();
  tmp.rescan_kind = rescan_kind;
  InputLevel &lv = pp_push_owned(LV_RESCAN, std::move(text));
  tmp.line = lv.line;
  const int base = pp_state.depth;
  pp_scan(tmp, marks);
  while (pp_state.depth >= base) pp_pop_level();
  return std::move(tmp.text);
}

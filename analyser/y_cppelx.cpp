// Scanner of expression texts.
#include <cstdio>
#include <cstring>

#include "cplitr.h"
#include "y_cppeint.h"

namespace {

constexpr char kPunctuators[][4] = {
    "->*", "<<=", ">>=", "...", "::", "->", "++", "--", "<<", ">>", "<=", ">=", "==", "!=", "&&",
    "||",  "*=",  "/=",  "%=",  "+=", "-=", "&=", "^=", "|=", "..", "=>", ".*", "(",  ")",  ",",
    "{",   "}",   "[",   "]",   ".",  "&",  "*",  "+",  "-",  "~",  "!",  "/",  "%",  "<",  ">",
    "^",   "|",   "?",   ":",   ";",  "=",  "@"};

bool ident_start(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
}
bool ident_char(char c) { return ident_start(c) || (c >= '0' && c <= '9'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_hex(char c) {
  return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

bool expression_is_hex(char c) { return is_hex(c); }

void expression_bad_switch(int action) {
  std::fprintf(stderr, "bad switch CPP_exp_look %d\n", action);
}

std::vector<ETok> scan_expression(const std::string &s) {
  std::vector<ETok> out;
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const char c = s[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
      ++i;
      continue;
    }
    ETok t;
    t.begin = i;
    size_t prefix = 0;
    literal_prefix_at(s.data() + i, s.data() + n, &prefix);
    if (prefix > 0 || c == '\'' || c == '"') {
      const size_t q = i + prefix;
      const char quote = s[q];
      size_t j = q + 1;
      while (j < n && s[j] != quote && s[j] != '\n') {
        if (s[j] == '\\' && j + 1 < n) ++j;
        ++j;
      }
      if (j < n && s[j] == quote) ++j;
      t.kind = quote == '\'' ? E_CHAR : E_STRING;
      t.text = s.substr(i, j - i);
      i = j;
    } else if (ident_start(c)) {
      size_t j = i;
      while (j < n && ident_char(s[j])) ++j;
      t.kind = E_IDENT;
      t.text = s.substr(i, j - i);
      i = j;
    } else if (is_digit(c) || (c == '.' && i + 1 < n && is_digit(s[i + 1]))) {
      size_t j = i;
      // Radix constants of the test language: 0FFh, 101b.
      size_t h = i;
      while (h < n && is_hex(s[h])) ++h;
      if (is_digit(c) && h < n && (s[h] == 'h' || s[h] == 'H') &&
          (h + 1 >= n || !ident_char(s[h + 1]))) {
        t.kind = E_RADIX;
        t.text = s.substr(i, h + 1 - i);
        i = h + 1;
        out.push_back(t);
        out.back().end = i;
        continue;
      }
      size_t b = i;
      while (b < n && (s[b] == '0' || s[b] == '1')) ++b;
      if (b > i && b < n && (s[b] == 'b' || s[b] == 'B') &&
          (b + 1 >= n || !ident_char(s[b + 1])) && !(s[i] == '0' && b == i + 1 && false)) {
        t.kind = E_RADIX;
        t.text = s.substr(i, b + 1 - i);
        i = b + 1;
        out.push_back(t);
        out.back().end = i;
        continue;
      }
      if (c == '0' && j + 1 < n && (s[j + 1] == 'x' || s[j + 1] == 'X') && j + 2 < n &&
          is_hex(s[j + 2])) {
        j += 2;
        while (j < n && is_hex(s[j])) ++j;
        t.kind = E_INT;
      } else {
        bool floating = false;
        while (j < n && is_digit(s[j])) ++j;
        // "1..5" is a range, not the floating constant "1.".
        if (j < n && s[j] == '.' && !(j + 1 < n && s[j + 1] == '.')) {
          floating = true;
          ++j;
          while (j < n && is_digit(s[j])) ++j;
        }
        if (j < n && (s[j] == 'e' || s[j] == 'E')) {
          size_t k = j + 1;
          if (k < n && (s[k] == '+' || s[k] == '-')) ++k;
          if (k < n && is_digit(s[k])) {
            floating = true;
            j = k;
            while (j < n && is_digit(s[j])) ++j;
          }
        }
        if (floating) {
          if (j < n && (s[j] == 'f' || s[j] == 'F' || s[j] == 'l' || s[j] == 'L')) ++j;
          t.kind = E_FLOAT;
          t.text = s.substr(i, j - i);
          i = j;
          out.push_back(t);
          out.back().end = i;
          continue;
        }
        t.kind = E_INT;
      }
      // Suffix: u then l, or l alone (1lu is 1l then the identifier u).
      if (j < n && (s[j] == 'u' || s[j] == 'U')) {
        ++j;
        if (j < n && (s[j] == 'l' || s[j] == 'L')) {
          ++j;
          if (j < n && s[j] == s[j - 1]) ++j;
        }
      } else if (j < n && (s[j] == 'l' || s[j] == 'L')) {
        ++j;
        if (j < n && s[j] == s[j - 1]) ++j;
        if (j < n && (s[j] == 'u' || s[j] == 'U')) ++j;
      }
      t.text = s.substr(i, j - i);
      i = j;
    } else {
      bool matched = false;
      for (const char *p : kPunctuators) {
        const size_t len = std::strlen(p);
        if (s.compare(i, len, p) == 0) {
          t.kind = E_PUNCT;
          t.text = p;
          i += len;
          matched = true;
          break;
        }
      }
      if (!matched) {
        ++i;  // a character that matches no rule is skipped
        continue;
      }
    }
    t.end = i;
    out.push_back(t);
  }
  ETok end;
  end.kind = E_END;
  end.begin = end.end = n;
  out.push_back(end);
  return out;
}


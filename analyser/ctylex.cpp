// Token scanner of the declaration analyser.
#include "ctylex.h"

#include <array>
#include <climits>
#include <iterator>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "merror.h"
#include "mstrin.h"
#include "cplitr.h"
#include "cprepr.h"

namespace {

constexpr bool is_id_start(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$'; }
constexpr bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }
// The characters of a name by code, read once per character of every name.
struct IdChars {
  bool of[256] = {};
};
constexpr IdChars make_id_chars() {
  IdChars t{};
  for (int c = 0; c < 256; ++c)
    t.of[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || (c >= '0' && c <= '9');
  return t;
}
constexpr IdChars kIdChars = make_id_chars();
bool is_id_char(unsigned char c) { return kIdChars.of[c]; }
bool is_hex(unsigned char c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
constexpr bool is_blank(unsigned char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }

// The characters between tokens: the blanks, and the newline that the line
// count follows.
constexpr unsigned char kBlank = 1, kNewline = 2;
struct SpaceKinds {
  unsigned char of[256] = {};
};
constexpr SpaceKinds make_space_kinds() {
  SpaceKinds t{};
  for (int c = 1; c < 256; ++c)
    if (is_blank(static_cast<unsigned char>(c))) t.of[c] = kBlank;
  t.of[static_cast<unsigned char>('\n')] = kNewline;
  return t;
}
constexpr SpaceKinds kSpaces = make_space_kinds();

struct Spelling {
  int code;
  char text[17];
};

constexpr Spelling punctuators[] = {
#define ORTEK_X(id, text) {P_##id, text},
    ORTEK_PUNCTUATORS(ORTEK_X)
#undef ORTEK_X
};

constexpr Spelling keywords[] = {
#define ORTEK_X(id, text) {K_##id, text},
    ORTEK_KEYWORDS(ORTEK_X)
#undef ORTEK_X
};

constexpr Spelling contextual_words[] = {
#define ORTEK_X(id, text) {W_##id, text},
    ORTEK_CONTEXTUAL_WORDS(ORTEK_X)
#undef ORTEK_X
};

// Words by a hash of their spelling, open addressing: built by the
// compiler, so that no table is made at run time.
constexpr int kKeywordSlots = 256;
constexpr unsigned keyword_hash(const char *p, std::size_t n) {
  return (static_cast<unsigned char>(p[0]) * 31u + static_cast<unsigned char>(p[n - 1]) * 7u +
          static_cast<unsigned>(n) * 13u) % kKeywordSlots;
}
constexpr std::size_t text_length(const char *p) {
  std::size_t n = 0;
  while (p[n]) ++n;
  return n;
}
struct KeywordHash {
  short code[kKeywordSlots] = {};  // 0: free slot
  unsigned char length[kKeywordSlots] = {};  // of the slot's word
};
template <std::size_t N>
constexpr KeywordHash make_word_hash(const Spelling (&words)[N]) {
  KeywordHash h{};
  for (const Spelling &k : words) {
    unsigned i = keyword_hash(k.text, text_length(k.text));
    while (h.code[i]) i = (i + 1) % kKeywordSlots;
    h.code[i] = static_cast<short>(k.code);
    h.length[i] = static_cast<unsigned char>(text_length(k.text));
  }
  return h;
}
constexpr KeywordHash kKeywordHash = make_word_hash(keywords);
constexpr KeywordHash kContextualHash = make_word_hash(contextual_words);

// The code of the word p[0..n) in a hashed list whose entry for code c is
// words[c - first], 0 when it is not there.
// Read for every name the scanner meets: inline, and the slot's word is
// compared only when its first character and length allow. The word
// matches as a comparison of at most n characters that stops at a zero
// would: its characters up to a zero in p[0..n) or to n.
inline int hashed_word(const KeywordHash &hash, const Spelling *words, std::size_t count, int first,
                       const char *p, std::size_t n) {
  if (n == 0) return 0;
  for (unsigned i = keyword_hash(p, n);; i = (i + 1) % kKeywordSlots) {
    const int code = hash.code[i];
    const std::size_t index = static_cast<std::size_t>(code - first);
    if (!code || index >= count) return 0;
    const char *k = words[index].text;
    if (k[0] != p[0]) continue;
    const std::size_t length = hash.length[i];
    if (length > n) continue;
    // Words are short and agree in their first character: compared here,
    // with no call, the search stays a leaf that saves no registers. A word
    // of the whole length (a keyword asked about, mostly) is compared a
    // word at a time; a shorter one matches only where a zero ends p.
    if (length == n) {
      if (same_text_bytes(k, p, n)) return code;
      continue;
    }
    if (p[length] != '\0') continue;
    std::size_t j = 1;
    while (j < length && k[j] == p[j]) ++j;
    if (j == length) return code;
  }
}

// The keywords C does not reserve: a C file names parameters "new" and
// "class", labels "try", members "this".
constexpr bool cpp_only_keyword(int code) {
  switch (code) {
    case K_BOOL: case K_CATCH: case K_CLASS: case K_CONST_CAST: case K_DELETE: case K_DYNAMIC_CAST:
    case K_EXPLICIT: case K_EXPORT: case K_FALSE: case K_FRIEND: case K_MUTABLE: case K_NAMESPACE:
    case K_NEW: case K_OPERATOR: case K_OVERLOAD: case K_PRIVATE: case K_PROTECTED: case K_PUBLIC:
    case K_REINTERPRET_CAST: case K_STATIC_CAST: case K_TEMPLATE: case K_THIS: case K_THROW:
    case K_TRUE: case K_TRY: case K_TYPEID: case K_TYPENAME: case K_USING: case K_VIRTUAL:
      return true;
    default:
      return false;
  }
}

}  // namespace

int keyword_code(const char *p, std::size_t n, SourceLanguage language) {
  const int code = hashed_word(kKeywordHash, keywords, std::size(keywords), K_ASM, p, n);
  return language == SRC_C && cpp_only_keyword(code) ? 0 : code;
}

namespace {

constexpr bool keywords_begin_in_lower_case() {
  for (const Spelling &k : keywords)
    if (k.text[0] < 'a' || k.text[0] > 'z') return false;
  return true;
}
static_assert(keywords_begin_in_lower_case(), "the scanner looks up only words in lower case first");

// keyword_code for a name the scanner reads: names of the system headers
// (__THROW, _IO_FILE) and of macros mostly begin with no lower-case letter,
// and no keyword does.
inline int scanned_keyword(const char *p, std::size_t n, SourceLanguage language) {
  if (n == 0 || p[0] < 'a' || p[0] > 'z') return 0;
  // keyword_code's search, here without the call. A scanned name holds no
  // zero, so a word matches it only at its whole length: the words of
  // another length are passed without a look at their characters, and one
  // of its length is compared a word at a time.
  for (unsigned i = keyword_hash(p, n);; i = (i + 1) % kKeywordSlots) {
    const int code = kKeywordHash.code[i];
    const std::size_t index = static_cast<std::size_t>(code - K_ASM);
    if (!code || index >= std::size(keywords)) return 0;
    if (kKeywordHash.length[i] != n || !same_text_bytes(keywords[index].text, p, n)) continue;
    return language == SRC_C && cpp_only_keyword(code) ? 0 : code;
  }
}

}  // namespace

bool is_basic_type_keyword(int code) {
  switch (code) {
    case K_VOID: case K_CHAR: case K_SHORT: case K_INT: case K_LONG: case K_FLOAT: case K_DOUBLE:
    case K_SIGNED: case K_UNSIGNED: case K_BOOL: case K_WCHAR_T: return true;
    default: return false;
  }
}

bool is_type_name_keyword(int code) {
  switch (code) {
    case K_STRUCT: case K_UNION: case K_ENUM: case K_CLASS: case K_CONST: case K_VOLATILE: case K_TYPENAME:
      return true;
    default:
      return is_basic_type_keyword(code);
  }
}

namespace {

// The first characters of the contextual words: the grammar asks about
// every unclassified name, and most begin with another.
struct FirstCharacters {
  bool of[256] = {};
};
template <std::size_t N>
constexpr FirstCharacters first_characters(const Spelling (&words)[N]) {
  FirstCharacters f{};
  for (const Spelling &w : words) f.of[static_cast<unsigned char>(w.text[0])] = true;
  return f;
}
constexpr FirstCharacters kContextualFirst = first_characters(contextual_words);

}  // namespace

int contextual_word(const char *p, std::size_t n) {
  if (n == 0 || !kContextualFirst.of[static_cast<unsigned char>(p[0])]) return W_NONE;
  return hashed_word(kContextualHash, contextual_words, std::size(contextual_words), W_NONE + 1, p, n);
}

namespace {

// One-character spellings, by character code.
struct SingleSpellings {
  char text[256][2] = {};
};
constexpr SingleSpellings make_singles() {
  SingleSpellings s{};
  for (int c = 1; c < 256; ++c) s.text[c][0] = static_cast<char>(c);
  return s;
}
constexpr SingleSpellings kSingles = make_singles();

constexpr const char *single_punctuators = "(),{}[].&*+-~!/%<>^|?:;=@";
struct SinglePunctuators {
  bool of[256] = {};
};
constexpr SinglePunctuators make_single_punctuators() {
  SinglePunctuators t{};
  for (const char *c = single_punctuators; *c; ++c) t.of[static_cast<unsigned char>(*c)] = true;
  return t;
}
constexpr SinglePunctuators kSinglePunctuators = make_single_punctuators();

// Spellings of the punctuator and keyword codes, by code: asked for every
// token read, built by the compiler.
struct CodeSpellings {
  const char *text[T_LAST] = {};
};
constexpr CodeSpellings make_code_spellings() {
  CodeSpellings s{};
  for (const Spelling &p : punctuators) s.text[p.code] = p.text;
  for (const Spelling &k : keywords) s.text[k.code] = k.text;
  return s;
}
constexpr CodeSpellings kSpellings = make_code_spellings();
struct CodeSpellingLengths {
  unsigned char of[T_LAST] = {};
};
constexpr CodeSpellingLengths make_code_spelling_lengths() {
  CodeSpellingLengths s{};
  for (int c = 0; c < T_LAST; ++c)
    if (kSpellings.text[c]) s.of[c] = static_cast<unsigned char>(text_length(kSpellings.text[c]));
  return s;
}
constexpr CodeSpellingLengths kSpellingLengths = make_code_spelling_lengths();

// The punctuators of more than one character by their first character, in
// table order (of two of the same length the first wins), each with its
// length: built by the compiler, read for every punctuator scanned.
struct PunctuatorsByFirst {
  static constexpr int kMost = 8;  // no first character begins more
  struct Candidate {
    int code = 0;
    int length = 0;
    const char *text = nullptr;
  };
  Candidate of[256][kMost] = {};
  int count[256] = {};
};
constexpr PunctuatorsByFirst make_punctuators_by_first() {
  PunctuatorsByFirst t{};
  for (const Spelling &s : punctuators) {
    const unsigned char first = static_cast<unsigned char>(s.text[0]);
    t.of[first][t.count[first]++] = {s.code, static_cast<int>(text_length(s.text)), s.text};
  }
  return t;
}
constexpr PunctuatorsByFirst kPunctuatorsByFirst = make_punctuators_by_first();

// What a token beginning with a character is, so that the scanner picks
// its rule with one look-up. A word of L, u or U may prefix a literal; '.'
// begins a number when a digit follows; a single punctuator that begins no
// longer one is the character itself; any other character begins no token
// that match_punctuator would not reject.
enum TokenStart : unsigned char {
  TS_NONE, TS_PREFIX, TS_NAME, TS_DIGIT, TS_DOT, TS_QUOTE, TS_SINGLE, TS_PUNCTUATOR
};
struct TokenStarts {
  TokenStart of[256] = {};
};
constexpr TokenStarts make_token_starts() {
  TokenStarts t{};
  for (int c = 1; c < 256; ++c) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == 'L' || c == 'u' || c == 'U') t.of[c] = TS_PREFIX;
    else if (is_id_start(u)) t.of[c] = TS_NAME;
    else if (is_digit(u)) t.of[c] = TS_DIGIT;
    else if (c == '.') t.of[c] = TS_DOT;
    else if (c == '\'' || c == '"') t.of[c] = TS_QUOTE;
    else if (kPunctuatorsByFirst.count[c] > 0) t.of[c] = TS_PUNCTUATOR;
    else if (kSinglePunctuators.of[c]) t.of[c] = TS_SINGLE;
  }
  return t;
}
constexpr TokenStarts kTokenStarts = make_token_starts();

// Longest punctuator at p: its code and length (0 when none).
int match_punctuator(const char *p, int *length) {
  const unsigned char first = static_cast<unsigned char>(*p);
  int best = 0, best_len = 0;
  for (int k = 0; k < kPunctuatorsByFirst.count[first]; ++k) {
    const PunctuatorsByFirst::Candidate &c = kPunctuatorsByFirst.of[first][k];
    if (c.length <= best_len) continue;
    // The spelling has no zero among its characters: the text matches it
    // only up to the text's end.
    int i = 1;
    while (i < c.length && p[i] == c.text[i]) ++i;
    if (i == c.length) {
      best = c.code;
      best_len = c.length;
    }
  }
  if (best_len == 0 && kSinglePunctuators.of[first]) {
    best = first;
    best_len = 1;
  }
  *length = best_len;
  return best;
}

// Length of an integer or floating constant at p (0 when none), longest
// form wins, the integer form on a tie.
int match_number(const char *p, int *code) {
  int i = 0;
  // The letters and digits of the constant bound what its parts may read.
  const char *limit = p;
  while (is_id_char(static_cast<unsigned char>(*limit))) ++limit;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && is_hex(p[2])) {
    i = 2;
    while (is_hex(p[i])) ++i;
  } else if (const std::size_t b = binary_constant_length(p, limit)) {
    i = static_cast<int>(b);
  } else if (p[0] == '0') {
    i = 1;
    while (p[i] >= '0' && p[i] <= '7') ++i;
  } else if (is_digit(p[0])) {
    i = 1;
    while (is_digit(p[i])) ++i;
  }
  if (i > 0) i += static_cast<int>(integer_suffix_length(p + i, limit));
  int j = 0, f = 0;
  while (is_digit(p[j])) ++j;
  const int digits = j;
  bool floating = false;
  if (p[j] == '.') {
    ++j;
    int k = j;
    while (is_digit(p[j])) ++j;
    floating = digits > 0 || j > k;
  }
  if (digits > 0 || floating) {
    int e = j;
    if (p[e] == 'e' || p[e] == 'E') {
      ++e;
      if (p[e] == '+' || p[e] == '-') ++e;
      if (is_digit(p[e])) {
        while (is_digit(p[e])) ++e;
        j = e;
        floating = true;
      }
    }
  }
  if (floating) {
    if (p[j] == 'f' || p[j] == 'F' || p[j] == 'l' || p[j] == 'L') ++j;
    f = j;
  }
  if (f > i) {
    *code = T_FLOATING;
    return f;
  }
  *code = T_INTEGER;
  return i;
}

// Quoted literal at p (p at the quote): its length including both quotes, 0
// when it does not close on the line. Character constants need at least one
// character.
int match_quoted(const char *p, char quote) {
  int i = 1;
  int chars = 0;
  for (;;) {
    char c = p[i];
    if (c == quote) break;
    if (c == '\0' || c == '\n') return 0;
    if (c == '\\') {
      if (p[i + 1] == '\0' || p[i + 1] == '\n') return 0;
      i += 2;
    } else {
      ++i;
    }
    ++chars;
  }
  if (quote == '\'' && chars == 0) return 0;
  return i + 1;
}

void report_here(const TokenScanner &s, MessageCode code, std::string_view arg) {
  s.sink(code, arg, s.current_file, s.position ? s.position->line : 0);
}

// "line", blanks, a number (at most 1999 digits, within 32 bits), one blank
// or more, and a quoted name. Anything else is malformed.
// The name is a view of the line, or of `decoded` when it was escaped.
bool parse_line_directive(std::string_view line, int &number, std::string_view &name, std::string &decoded,
                          bool escaped) {
  std::size_t i = 0;
  auto blanks = [&] {
    std::size_t b = i;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    return i > b;
  };
  blanks();
  if (line.substr(i, 4) != "line") return false;
  i += 4;
  if (!blanks()) return false;
  std::size_t ds = i;
  long long value = 0;
  bool too_big = false;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
    if (!too_big) value = value * 10 + (line[i] - '0');
    if (value > INT_MAX) too_big = true;
    ++i;
  }
  std::size_t digits = i - ds;
  if (digits == 0 || digits > 1999 || too_big) return false;
  if (i >= line.size() || line[i] != ' ') return false;
  blanks();
  if (i >= line.size() || line[i] != '"') return false;
  std::size_t ns = ++i;
  if (escaped) {
    decoded.clear();
    while (i < line.size() && line[i] != '"') {
      if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '\\' || line[i + 1] == '"')) ++i;
      decoded.push_back(line[i++]);
    }
    if (i >= line.size()) return false;
    name = decoded;
  } else {
    // Every header's declarations come with markers naming it by its path.
    const std::size_t close = line.find('"', i);
    if (close == std::string_view::npos) return false;
    name = line.substr(ns, close - ns);
  }
  number = static_cast<int>(value);
  return true;
}

int *line_counter(TokenScanner &s) {
  return s.position ? &s.position->line : nullptr;
}

// The spelling the tables give a punctuator or a keyword; nullptr for the
// other codes. Inline: the scanner asks for it with every such token.
inline const char *fixed_spelling(int code) {
  if (code > 0 && code < 256) return kSingles.text[code];
  if (code >= 0 && code < T_LAST) return kSpellings.text[code];
  return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------

std::string_view token_spelling_view(int code) {
  if (code > 0 && code < 256) return std::string_view(kSingles.text[code], 1);
  if (code >= 0 && code < T_LAST && kSpellings.text[code])
    return std::string_view(kSpellings.text[code], kSpellingLengths.of[code]);
  return token_spelling(code);
}

const char *token_spelling(int code) {
  if (const char *fixed = fixed_spelling(code)) return fixed;
  switch (code) {
    case T_END: return "<end>";
    case T_IDENTIFIER: return "<identifier>";
    case T_CLASS_NAME: return "<class-name>";
    case T_TEMPLATE_NAME: return "<template-name>";
    case T_DEFINED_TEMPLATE_NAME: return "<defined-template-name>";
    case T_DECLARED_NAME: return "<declared-name>";
    case T_TYPE_MODIFIER: return "<type-modifier>";
    case T_INTEGER: return "<integer>";
    case T_FLOATING: return "<floating>";
    case T_CHARACTER: return "<character>";
    case T_STRING: return "<string>";
    case T_TEMPLATE_OPEN: return "<template-open>";
    case T_TEMPLATE_CLOSE: return "<template-close>";
    case T_BODY_TEXT: return "<body-text>";
    case T_BASE_AND_BODY: return "<base-and-body>";
    case T_INIT_TEXT: return "<initialiser-text>";
    case T_RADIX_INTEGER: return "<radix-integer>";
    default: return "<?>";
  }
}

TokenScanner::~TokenScanner() {
  while (position) {
    PositionRecord *r = position;
    position = r->below;
    delete r;
  }
}

void lex_set_escaped_line_names(bool on) { analyser_process().escaped_line_names = on; }

void lex_set_text(TokenScanner &s, const char *text) {
  s.text = text;
  s.token_start = text;
  s.pushback.clear();
  s.resume_text = nullptr;
  s.scan.at_line_start = true;
  s.at_end = 0;
  s.token_state.valid = false;
}

void lex_begin(TokenScanner &s, SymbolTable *table, const char *file, int line, bool keep_bodies,
               bool lenient) {
  s.table = table;
  s.language = table ? table->language : SRC_CPP;
  s.keep_bodies = keep_bodies;
  s.lenient_matching = lenient;
  s.current_file = (file && *file) ? intern_string(file) : nullptr;
  PositionRecord *r = new PositionRecord();
  r->file = file ? file : "";
  r->line = line;
  r->below = s.position;
  s.position = r;
  s.scan.last_token = T_END;
  s.scan.last_value_name = VN_NONE;
  s.scan.qualifier = nullptr;
  s.scan.state = LS_NORMAL;
  s.scan.template_declaration = 0;
  s.scan.template_nesting = 0;
  s.template_parens.clear();
  s.scan.at_line_start = true;
  s.at_end = 0;
  s.token_state.valid = false;
}

void lex_end(TokenScanner &s) {
  if (s.position) {
    PositionRecord *r = s.position;
    s.position = r->below;
    delete r;
  }
  s.token_state.valid = false;
}

const char *lex_current_file(const TokenScanner &s) { return s.current_file; }
int lex_current_line(const TokenScanner &s) { return s.position ? s.position->line : 0; }
SourcePosition lex_position(const TokenScanner &s) { return SourcePosition{s.current_file, lex_current_line(s)}; }

void lex_unput(TokenScanner &s, char c) {
  if (s.pushback.empty() && s.text && !s.resume_text && s.token_start && s.text > s.token_start && s.text[-1] == c) {
    --s.text;  // the character just read: step back over it
    return;
  }
  s.pushback.insert(s.pushback.begin(), c);
}

void lex_unread_token(TokenScanner &s) {
  if (!s.token_state.valid) return;
  s.text = s.token_state.text;
  s.scan = s.token_state.scan;
  s.template_parens = s.token_state.template_parens;
  if (s.position) s.position->line = s.token_state.line;
  s.at_end = 0;
  s.token_state.valid = false;
}

LexMark lex_mark(const TokenScanner &s) {
  return LexMark{s.text, s.pushback, s.scan, s.position ? s.position->line : 0,
                 s.position ? s.position->file : std::string(), s.current_file, s.template_parens};
}

void lex_restore(TokenScanner &s, const LexMark &m) {
  s.text = m.text;
  s.token_start = m.text;
  s.pushback = m.pushback;
  s.scan = m.scan;
  s.template_parens = m.template_parens;
  s.current_file = m.current_file;
  s.at_end = 0;
  if (s.position) {
    s.position->line = m.line;
    s.position->file = m.file;
  }
  s.token_state.valid = false;
}

void lex_restore_here(TokenScanner &s) {
  s.token_start = s.text;
  s.at_end = 0;
  s.token_state.valid = false;
}

void lex_syntax_error(TokenScanner &s) {
  if (s.at_end || !s.text) {
    report_here(s, MSG_UNEXP_EOF, "");
    return;
  }
  if (s.token_start && s.text > s.token_start) {
    std::string_view t(s.token_start, static_cast<std::size_t>(s.text - s.token_start));
    if (t.size() > 59) t = t.substr(t.size() - 59);
    report_here(s, MSG_SYNTAXERR, t);
    return;
  }
  report_here(s, MSG_SYNTAXERR, "");
}

// ---------------------------------------------------------------------------
// Bracket-aware skipping

namespace {

// The preprocessor leaves "#line" markers inside function bodies (after a
// skipped conditional group, for instance). A skip over such text obeys
// them: on the scanner's own line counter the marker sets line and file as
// the scanner does; on any other counter it sets the number.
bool directive_in_skip(const char *text, std::size_t length, int *lines, TokenScanner *scanner) {
  if (lines && scanner && scanner->position && lines == &scanner->position->line)
    return lex_directive_line(*scanner, text, length);
  int number = 0;
  std::string_view name;
  std::string decoded;
  if (!parse_line_directive(std::string_view(text, length), number, name, decoded,
                            analyser_process().escaped_line_names))
    return false;
  if (lines) *lines = number;
  return true;
}

}  // namespace

const char *skip_balanced(const char *text, const char *stops, bool include_stop, bool nesting, int *lines,
                          TokenScanner *scanner) {
  if (!text) return nullptr;
  if (!stops) stops = "";
  const bool angle = std::strchr(stops, '>') != nullptr;
  const bool stop_newline = std::strchr(stops, '\n') != nullptr;
  // The closers and separators that stop the skip at the outer level, by
  // the bit stop_bit gives them.
  auto stop_bit = [](char c) -> unsigned {
    switch (c) {
      case ')': return 1;
      case ']': return 2;
      case ',': return 4;
      case ';': return 8;
      case '>': return 16;
      case '}': return 32;
      default: return 0;
    }
  };
  unsigned stop_mask = 0;
  for (const char *c = stops; *c; ++c) stop_mask |= stop_bit(*c);
  // Closers of the open brackets, innermost last (a function body nests a
  // few levels: no heap block for it).
  std::string expected;
  const char *p = text;
  bool line_start = false;
  // Within a line, only line ends, literals, brackets and the stop
  // characters matter: the others are passed a run at a time. Angle
  // brackets are brackets only when '>' stops the skip, and ',' and ';'
  // matter only as stops (a function body passes over both).
  static const auto passed_by_stops = [] {
    std::array<std::array<bool, 256>, 8> tables;
    for (std::size_t key = 0; key < tables.size(); ++key) {
      std::array<bool, 256> &a = tables[key];
      a.fill(true);
      for (const char *c = "\n\"'([{)]}"; ; ++c) {
        a[static_cast<unsigned char>(*c)] = false;
        if (!*c) break;
      }
      if (key & 1) a['<'] = a['>'] = false;
      if (key & 2) a[','] = false;
      if (key & 4) a[';'] = false;
    }
    return tables;
  }();
  const std::array<bool, 256> &passed =
      passed_by_stops[(angle ? 1 : 0) | (stop_mask & stop_bit(',') ? 2 : 0) | (stop_mask & stop_bit(';') ? 4 : 0)];
  for (;;) {
    if (!line_start) {
      while (passed[static_cast<unsigned char>(*p)]) ++p;
    } else {
      // The indentation of a line: blanks leave it at its start.
      while (is_blank(static_cast<unsigned char>(*p))) ++p;
    }
    const char c = *p;
    if (c == '\0') return nullptr;
    if (c == '\n') {
      if (expected.empty() && stop_newline) return include_stop ? p + 1 : p;
      if (lines) ++*lines;
      ++p;
      line_start = true;
      continue;
    }
    if (line_start && c == '#') {  // a directive line is no text to balance
      const char *eol = std::strchr(p, '\n');
      if (!eol) return nullptr;
      bool marker = directive_in_skip(p + 1, static_cast<std::size_t>(eol - (p + 1)), lines, scanner);
      if (!marker && lines) ++*lines;
      p = eol + 1;
      continue;
    }
    line_start = false;
    if (c == '"' || c == '\'') {
      ++p;
      while (*p && *p != c) {
        if (*p == '\\' && p[1]) {
          if (p[1] == '\n' && lines) ++*lines;
          p += 2;
          continue;
        }
        if (*p == '\n' && lines) ++*lines;
        ++p;
      }
      if (!*p) return nullptr;
      ++p;
      continue;
    }
    const bool opener = c == '(' || c == '[' || c == '{' || (c == '<' && angle);
    if (!expected.empty()) {
      if (c == expected.back()) {
        expected.pop_back();
      } else if (opener) {
        expected.push_back(c == '(' ? ')' : c == '[' ? ']' : c == '{' ? '}' : '>');
      }
      ++p;
      continue;
    }
    if (stop_mask & stop_bit(c)) return include_stop ? p + 1 : p;
    if (nesting && opener) expected.push_back(c == '(' ? ')' : c == '[' ? ']' : c == '{' ? '}' : '>');
    ++p;
  }
}

std::string normalise_text(const std::string &text) {
  auto tight = [](char c) { return std::strchr("&()*,[]", c) != nullptr && c != '\0'; };
  std::string out;
  bool pending_blank = false;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      pending_blank = true;
      continue;
    }
    if (pending_blank && !out.empty() && !tight(c) && !tight(out.back())) out.push_back(' ');
    pending_blank = false;
    out.push_back(c);
  }
  return out;
}

std::string capture_text(const char **cursor, const char *stops, bool include_stop, bool nesting, int *lines,
                         const char *prefix, bool normalise, bool *ok, TokenScanner *scanner) {
  std::string result = prefix ? prefix : "";
  if (!cursor || !*cursor) {
    if (ok) *ok = false;
    return result;
  }
  const char *end = skip_balanced(*cursor, stops, include_stop, nesting, lines, scanner);
  if (!end) {
    if (ok) *ok = false;
    *cursor += std::strlen(*cursor);
    return std::string();
  }
  result.append(*cursor, static_cast<std::size_t>(end - *cursor));
  *cursor = end;
  if (ok) *ok = true;
  return normalise ? normalise_text(result) : result;
}

// ---------------------------------------------------------------------------
// Directive lines

namespace {

// The integer type a typedef name stands for, when it is one.
TypeDesc *typedef_integer(TokenScanner &s, const char *name) {
  if (!s.table || !name) return nullptr;
  Symbol *e = lookup_ordinary(name, *s.table, ScopeContext());
  if (!e || !e->decl || !(e->decl->storage & SF_TYPEDEF)) return nullptr;
  TypeDesc *t = strip_typedefs(e->decl->type);
  return t && t->kind == TK_INTEGER && !t->shared ? t : nullptr;
}

// The part of the size and sign pragmas that is the analyser's: a typedef
// name of an integer type takes the size or sign (the preprocessor's
// handler has set the target sizes already).
void size_or_sign_typedef(TokenScanner &s, const PragmaOperand &op) {
  TypeDesc *t = typedef_integer(s, op.type.c_str());
  if (!t) return;
  int &size = t->integer()->size;
  if (op.bits > 0) {
    size = size < 0 ? -op.bits : op.bits;
  } else if (op.sign >= 0) {
    const int magnitude = size < 0 ? -size : size;
    size = op.sign ? magnitude : -magnitude;
  }
}

bool word_at(std::string_view line, std::size_t &i, std::string_view word) {
  if (line.substr(i, word.size()) != word) return false;
  std::size_t e = i + word.size();
  if (e < line.size() && is_id_char(static_cast<unsigned char>(line[e]))) return false;
  i = e;
  return true;
}

}  // namespace

bool lex_directive_line(TokenScanner &s, const char *text, std::size_t length) {
  std::string_view line(text, length);
  std::size_t i = 0;
  auto blanks = [&] {
    std::size_t b = i;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    return i > b;
  };
  blanks();
  if (word_at(line, i, "line")) {
    int number = 0;
    std::string_view name;
    std::string decoded;
    if (!parse_line_directive(line, number, name, decoded, analyser_process().escaped_line_names)) return false;
    if (s.position) {
      s.position->line = number;
      if (s.position->file != name) s.position->file.assign(name.data(), name.size());
    }
    // Most markers name the file the scan is in already (the current file is
    // interned, so the same text is the same copy). Its interned name is the
    // name read as a C string, up to a zero.
    if (name.empty()) {
      s.current_file = nullptr;
    } else if (!s.current_file || name != s.current_file) {
      const std::string_view named = name.substr(0, name.find('\0'));
      s.current_file = intern_string(named.data(), named.size());
    }
    return true;
  }
  if (word_at(line, i, "pragma")) {
    std::string_view operand;
    const PragmaKeyword *k = pp_ortek_pragma(line.substr(i), &operand);
    PragmaOperand op;
    if (k && k->layer == PragmaLayer::analyser && k->handler(operand, &op) && !op.basic)
      size_or_sign_typedef(s, op);
  }
  return false;
}

// ---------------------------------------------------------------------------
// Identifier classification

namespace {

// A name followed by '<' that opens template arguments: a function
// template's, or, inside an instance of a class template, the template's
// name (duration<R2, P2> inside duration<long, milli>), entered there as the
// instance (its tag) or its constructors.
bool names_template_of_instance(const TokenScanner &s, const Symbol *e, const char *name) {
  const Declaration *d = e->decl;
  const TypeDesc *t = d ? d->type : nullptr;
  const TypeDesc *own = nullptr;
  // The class itself, or a typedef of it under the template's name (a bound
  // argument "duration<long>" read where a member typedef "duration" hides
  // the template).
  if (t && t->kind == TK_CLASS) own = t;
  else if (t && t->kind == TK_FUNCTION && d->scope_kind && d->scope && d->scope->kind == TK_CLASS) own = d->scope;
  // A function template's arguments: friend ... f<>(...), f<char>.
  const bool function_template = t && t->kind == TK_FUNCTION && t->template_word && e->area == AREA_ORDINARY;
  if (!function_template) {
    if (!own || !own->record() || !s.table || !template_of_class(*s.table, own)) return false;
    const char *rn = own->record()->name;
    const std::size_t n = std::strlen(name);
    if (!rn || std::strncmp(rn, name, n) != 0 || rn[n] != '<') return false;
  }
  const char *p = s.text;
  while (p && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')) ++p;
  return p && p[0] == '<' && p[1] != '<' && p[1] != '=';
}

int classify_hit(TokenScanner &s, Symbol *e, const char *name) {
  TypeDesc *t = e->decl ? e->decl->type : nullptr;
  s.value.symbol = e;
  s.value.type = t;
  s.value.found = 1;
  if (e->area == AREA_ENUMERATOR) s.value.names_value = VN_VALUE;
  if (s.scan.state == LS_NORMAL && s.pushback.empty() && names_template_of_instance(s, e, name)) s.scan.state = LS_AFTER_TEMPLATE;
  if (t && t->kind == TK_CLASS) {
    s.value.text = type_name(t) ? type_name(t) : name;
    s.scan.qualifier = t;
    return T_CLASS_NAME;
  }
  if (t && t->kind == TK_TEMPLATE) {
    if (s.scan.state == LS_NORMAL) s.scan.state = LS_AFTER_TEMPLATE;
    return t->templ()->has_body ? T_DEFINED_TEMPLATE_NAME : T_TEMPLATE_NAME;
  }
  return T_DECLARED_NAME;
}

// The entry a name has at one scope level, the kinds tried in this order.
Symbol *entry_at_level(SymbolTable &t, const TableName &name, TypeDesc *scope) {
  return lookup_name_at_level(name, t, scope);
}

// A name a class does not declare is looked up in its bases before the
// enclosing scope: the member types of a base (a mask or size type
// inherited from a traits base) are names of the derived class.
Symbol *entry_in_bases(SymbolTable &t, const TableName &key, TypeDesc *scope, int depth) {
  const char *name = key.name;
  if (!scope || !scope->record() || depth > 40) return nullptr;
  const BaseNode *first = scope->record()->first_base;
  if (!first) {
    TypeDesc *c = canonical_scope(scope);
    if (c && c != scope && c->record()) first = c->record()->first_base;
  }
  for (const BaseNode *b = first; b; b = b->next) {
    TypeDesc *base = b->base;
    for (int guard = 0; base && base->kind == TK_NAMED && base->named() && base->named()->aliased && guard < 100;
         ++guard)
      base = base->named()->aliased;
    if (base && base->kind == TK_ELABORATED && base->elaborated()) base = base->elaborated()->named;
    if (!base || !base->record() || base == scope) continue;
    // A base's own name (its constructors are entered under it) names the
    // class or its template, found in the enclosing scopes.
    const char *own = base->record()->name;
    const std::size_t n = std::strlen(name);
    if (own && std::strncmp(own, name, n) == 0 && (own[n] == '\0' || own[n] == '<')) continue;
    if (Symbol *e = entry_at_level(t, key, base)) return e;
    if (Symbol *e = entry_in_bases(t, key, base, depth + 1)) return e;
  }
  return nullptr;
}

// name: the pool's copy of a name the scanner read; text_hash: the
// hash_text_bytes of its characters.
int classify(TokenScanner &s, const char *name, std::size_t length, std::uint64_t text_hash) {
  s.value.text = name;
  ScopeContext ctx = s.hooks.scope ? s.hooks.scope(s.hooks.owner) : ScopeContext();
  const bool after_qualifier = s.scan.last_token == P_SCOPE || s.scan.last_token == '~' || s.scan.last_token == K_OPERATOR;
  TypeDesc *qualifier = after_qualifier ? s.scan.qualifier : nullptr;
  s.scan.qualifier = nullptr;
  if (qualifier) ctx = ScopeContext{1, qualifier};
  if (s.hooks.own_name && s.hooks.own_name(s.hooks.owner, name)) return T_IDENTIFIER;
  // A name no scope of the table holds (most often one being declared) is
  // found by none of the look-ups below.
  const TableName key = table_name_of_hash(name, text_hash);
  const bool in_table = s.table && table_may_hold_name(*s.table, key);
  if (in_table) {
    SymbolTable &t = *s.table;
    TypeDesc *scope = ctx.kind ? ctx.current : nullptr;
    for (int guard = 0; guard < 100000; ++guard) {
      Symbol *e = entry_at_level(t, key, scope);
      if (!e && scope && scope->kind == TK_CLASS) e = entry_in_bases(t, key, scope, 0);
      if (e) return classify_hit(s, e, name);
      if (!scope) break;
      scope = enclosing_scope(scope);
    }
    // The use site holds the names an argument text starts with; a name after
    // "::" is a member of its qualifier, never one of the use site's (the
    // iterator typedef of a class using X<T::iterator> is not T's).
    const bool member_name = s.scan.last_token == P_SCOPE;
    const ScopeContext use =
        s.hooks.fallback_scope && !qualifier && !member_name ? s.hooks.fallback_scope(s.hooks.owner) : ScopeContext();
    for (TypeDesc *sc = use.kind ? use.current : nullptr; sc; sc = enclosing_scope(sc)) {
      Symbol *e = entry_at_level(t, key, sc);
      if (!e && sc->kind == TK_CLASS) e = entry_in_bases(t, key, sc, 0);
      if (e) return classify_hit(s, e, name);
    }
  }
  if (pp_is_type_modifier(name, length)) return T_TYPE_MODIFIER;
  if (in_table) {
    if (Symbol *e = lookup_tag(key, *s.table, -1, ctx)) {
      TypeDesc *t = e->decl ? e->decl->type : nullptr;
      s.value.symbol = e;
      s.value.type = t;
      s.value.found = 1;
      if (t && t->kind == TK_TEMPLATE) {
        if (s.scan.state == LS_NORMAL) s.scan.state = LS_AFTER_TEMPLATE;
        return T_TEMPLATE_NAME;
      }
      return T_DECLARED_NAME;
    }
  }
  if (s.hooks.template_parameter) {
    int p = s.hooks.template_parameter(s.hooks.owner, name);
    if (p == 1) return T_DECLARED_NAME;
    if (p == 2) return T_CLASS_NAME;
    if (p == 3) s.value.names_value = VN_VALUE;
  }
  // A member of a class the table does not know (tr<T>::value): a
  // dependent name, which names no template unless "template" says so.
  if (s.scan.last_token == P_SCOPE && !qualifier) s.value.names_value = VN_DEPENDENT;
  return T_IDENTIFIER;
}

// ":" after a template header: the text to the next '{' and on to its '}'.
const char *skip_base_and_body(TokenScanner &s, const char *p, int *lines) {
  const char *brace = p;
  for (;;) {
    const char c = *brace;
    if (c == '\0') return nullptr;
    if (c == '{') break;
    if (c == '\n' && lines) ++*lines;
    if (c == '"' || c == '\'') {
      int len = match_quoted(brace, c);
      brace += len > 0 ? len : 1;
      continue;
    }
    if (c == '(' || c == '[') {
      const char *q = skip_balanced(brace + 1, c == '(' ? ")" : "]", true, true, lines, &s);
      if (!q) return nullptr;
      brace = q;
      continue;
    }
    ++brace;
  }
  return skip_balanced(brace + 1, "}", true, true, lines, &s);
}

int capture(TokenScanner &s, int code, const char *start, const char *end) {
  s.scan.state = LS_NORMAL;
  s.scan.template_declaration = 0;
  if (!end) {
    s.value.captured.clear();
    s.text = start + std::strlen(start);
    report_here(s, MSG_UNEXP_EOF, "");
    return code;
  }
  s.value.captured.assign(start, static_cast<std::size_t>(end - start));
  s.text = end;
  return code;
}

// Reads the next character source: the push-back first, then the text.
void enter_pushback(TokenScanner &s) {
  if (s.pushback.empty()) return;
  const char *rest = s.resume_text ? s.resume_text : s.text;
  // Characters returned while a push-back is being read go in front of
  // what is left of it.
  std::string joined = s.pushback;
  if (s.resume_text && s.text) joined += s.text;
  s.pushback_buffer = joined;
  s.pushback.clear();
  // The push-back is scanned on its own, then the text resumes.
  s.resume_text = rest;
  s.text = s.pushback_buffer.c_str();
}

}  // namespace

namespace {

// The boolean type of C, "_Bool" or "bool", unless the word is a name being
// declared or already declared: a name of the file's own, a word that a
// type precedes ("typedef int bool;", a target's "typedef bool _Bool;") or
// that ends a declarator ("typedef enum {...} bool;").
int c_boolean_word(TokenScanner &s, const char *p, std::size_t n) {
  const bool underscore = n == 5 && std::memcmp(p, "_Bool", 5) == 0;
  if (!underscore && (n != 4 || std::memcmp(p, "bool", 4) != 0)) return 0;
  switch (s.scan.last_token) {
    case K_CHAR: case K_SHORT: case K_INT: case K_LONG: case K_SIGNED: case K_UNSIGNED: case K_FLOAT:
    case K_DOUBLE: case K_VOID: case K_BOOL: case K_WCHAR_T: case T_IDENTIFIER: case T_CLASS_NAME:
    case T_TEMPLATE_NAME: case T_DEFINED_TEMPLATE_NAME: case T_DECLARED_NAME:
      return 0;
    default:
      break;
  }
  const char *next = p + n;
  while (*next == ' ' || *next == '\t' || *next == '\n' || *next == '\r') ++next;
  if (*next == ';' || *next == '=' || *next == '[') return 0;
  if (s.scan.last_token == '}' && (*next == ',' || *next == ')')) return 0;
  if (s.table) {
    const ScopeContext scope = s.hooks.scope ? s.hooks.scope(s.hooks.owner) : ScopeContext();
    if (lookup_ordinary(intern_string(underscore ? "_Bool" : "bool"), *s.table, scope)) return 0;
  }
  return K_BOOL;
}

}  // namespace

namespace {

// The blanks between the tokens of an expression (newlines included).
bool is_expression_blank(unsigned char c) { return is_blank(c) || c == '\n'; }

// Length of a constant of the expression dialect at p (a digit, or '.'
// before one) and its code. Radix constants first: hexadecimal digits then
// h, or binary digits then b, not followed by a letter or digit. A leading
// 0 reads as many decimal digits as follow ("09", whose conversion stops at
// the 9); a '.' before another '.' is no decimal point ("1..5" is a range);
// the integer suffix is u then l or ll, or l or ll then u.
int match_expression_number(const char *p, int *code) {
  int h = 0;
  while (is_hex(static_cast<unsigned char>(p[h]))) ++h;
  if (is_digit(static_cast<unsigned char>(p[0])) && (p[h] == 'h' || p[h] == 'H') &&
      !is_id_char(static_cast<unsigned char>(p[h + 1]))) {
    *code = T_RADIX_INTEGER;
    return h + 1;
  }
  int b = 0;
  while (p[b] == '0' || p[b] == '1') ++b;
  if (b > 0 && (p[b] == 'b' || p[b] == 'B') && !is_id_char(static_cast<unsigned char>(p[b + 1]))) {
    *code = T_RADIX_INTEGER;
    return b + 1;
  }
  int j = 0;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && is_hex(static_cast<unsigned char>(p[2]))) {
    j = 2;
    while (is_hex(static_cast<unsigned char>(p[j]))) ++j;
  } else {
    bool floating = false;
    while (is_digit(static_cast<unsigned char>(p[j]))) ++j;
    if (p[j] == '.' && p[j + 1] != '.') {
      floating = true;
      ++j;
      while (is_digit(static_cast<unsigned char>(p[j]))) ++j;
    }
    if (p[j] == 'e' || p[j] == 'E') {
      int k = j + 1;
      if (p[k] == '+' || p[k] == '-') ++k;
      if (is_digit(static_cast<unsigned char>(p[k]))) {
        floating = true;
        j = k;
        while (is_digit(static_cast<unsigned char>(p[j]))) ++j;
      }
    }
    if (floating) {
      if (p[j] == 'f' || p[j] == 'F' || p[j] == 'l' || p[j] == 'L') ++j;
      *code = T_FLOATING;
      return j;
    }
  }
  if (p[j] == 'u' || p[j] == 'U') {
    ++j;
    if (p[j] == 'l' || p[j] == 'L') {
      ++j;
      if (p[j] == p[j - 1]) ++j;
    }
  } else if (p[j] == 'l' || p[j] == 'L') {
    ++j;
    if (p[j] == p[j - 1]) ++j;
    if (p[j] == 'u' || p[j] == 'U') ++j;
  }
  *code = T_INTEGER;
  return j;
}

// Length of a literal of the expression dialect at p, its prefix included
// (p at the prefix or the quote): up to the closing quote, or to the end of
// the line or text when it does not close (a backslash takes the character
// after it, a newline too).
int match_expression_quoted(const char *p, std::size_t prefix) {
  const char quote = p[prefix];
  std::size_t j = prefix + 1;
  while (p[j] && p[j] != quote && p[j] != '\n') {
    if (p[j] == '\\' && p[j + 1]) ++j;
    ++j;
  }
  if (p[j] == quote) ++j;
  return static_cast<int>(j);
}

// lex_next in SCAN_EXPRESSION mode.
int next_expression_token(TokenScanner &s) {
  for (;;) {
    const char *p = s.text;
    const unsigned char c = p ? static_cast<unsigned char>(*p) : 0;
    if (c == 0) {
      s.token_start = p;
      s.token_text = std::string_view();
      s.at_end = true;
      return T_END;
    }
    if (is_expression_blank(c)) {
      s.text = p + 1;
      continue;
    }
    s.token_start = p;
    int code = 0, len = 0;
    std::size_t prefix = 0;
    literal_prefix_at(p, p + 3, &prefix);
    if (prefix > 0 || c == '\'' || c == '"') {
      len = match_expression_quoted(p, prefix);
      code = p[prefix] == '\'' ? T_CHARACTER : T_STRING;
    } else if (is_id_start(c)) {
      len = 1;
      while (is_id_char(static_cast<unsigned char>(p[len]))) ++len;
      code = keyword_code(p, static_cast<std::size_t>(len), SRC_CPP);
      if (!code) code = T_IDENTIFIER;
    } else if (is_digit(c) || (c == '.' && is_digit(static_cast<unsigned char>(p[1])))) {
      len = match_expression_number(p, &code);
    } else {
      code = match_punctuator(p, &len);
    }
    if (len == 0) {  // matches no rule
      ++s.skipped_characters;
      s.text = p + 1;
      continue;
    }
    s.text = p + len;
    s.token_text = std::string_view(p, static_cast<std::size_t>(len));
    s.scan.last_token = code;
    return code;
  }
}

}  // namespace

std::vector<ExpressionToken> lex_expression(const char *text) {
  TokenScanner s;
  s.mode = SCAN_EXPRESSION;
  lex_set_text(s, text ? text : "");
  const char *const base = s.text;
  std::vector<ExpressionToken> out;
  for (;;) {
    const int code = lex_next(s);
    ExpressionToken t;
    t.code = code;
    t.begin = static_cast<std::size_t>(s.token_start - base);
    t.end = static_cast<std::size_t>(s.text - base);
    t.text = std::string_view(s.token_start, t.end - t.begin);
    out.push_back(t);
    if (code == T_END) return out;
  }
}

namespace {

// Inside template arguments, in parentheses opened at the present nesting of
// '<': where '<' and '>' are operators unless a template name opens a list.
bool in_template_parens(const TokenScanner &s) {
  return !s.template_parens.empty() && s.scan.template_nesting == s.template_parens.back();
}

// The last token ends an operand that cannot name a template.
bool after_operand(const TokenScanner &s) {
  return s.scan.last_token == ')' || s.scan.last_token == ']' || s.scan.last_token == T_INTEGER || s.scan.last_token == T_FLOATING ||
         s.scan.last_token == T_CHARACTER;
}

// Into the kept record, so that its string keeps its storage from one token
// to the next instead of being built and freed for every token.
void save_token_start(TokenScanner &s, const char *p) {
  TokenStartState &t = s.token_state;
  t.text = p;
  t.scan = s.scan;
  t.line = s.position ? s.position->line : 0;
  t.valid = true;
  // Empty outside template arguments, where most tokens are.
  if (!t.template_parens.empty() || !s.template_parens.empty()) t.template_parens = s.template_parens;
}

// token_spelling, with the tables' look-up inline: asked for every
// punctuator and keyword scanned.
inline const char *scanned_spelling(int code) {
  const char *fixed = fixed_spelling(code);
  return fixed ? fixed : token_spelling(code);
}

void clear_value(TokenValue &v) {
  v.text = nullptr;
  v.symbol = nullptr;
  v.type = nullptr;
  v.found = 0;
  v.captured.clear();
  v.names_value = VN_NONE;
}

}  // namespace

// A run of very many names interns one new name after another, each a miss
// in the pool's index that the parse waits for. The next two names (the
// words within a few characters, before any quote or comment) have their
// slots fetched while the current one is handled, which leaves the parse of
// a token or two for the fetch; a guess that is no name only costs a fetch.
// Each name is hashed for this once: the name after the current one was
// fetched with the one before, and only the one after it is new. Where the
// scan went back or jumped, both are fetched again.
static void prefetch_next_names(TokenScanner &s, const char *q) {
  int wanted = 2;
  if (s.fetched_to > q && s.fetched_to <= q + 32) {
    q = s.fetched_to;
    wanted = 1;
  }
  const char *const end = q + 32;
  for (int names = 0; names < wanted && q < end;) {
    const unsigned char c = static_cast<unsigned char>(*q);
    if (c == 0 || c == '"' || c == '\'' || c == '/' || c == '#') break;
    if (!is_id_char(c)) {
      ++q;
      continue;
    }
    std::size_t n = 1;
    while (is_id_char(static_cast<unsigned char>(q[n]))) ++n;
    if (is_id_start(c)) {
      intern_prefetch_hashed(hash_text_bytes(q, n));
      ++names;
    }
    q += n;
  }
  s.fetched_to = q;
}

int lex_next(TokenScanner &s) {
  if (s.mode == SCAN_EXPRESSION) return next_expression_token(s);
  enter_pushback(s);
  for (;;) {
    const char *p = s.text;
    if (!p) {
      s.at_end = 1;
      return T_END;
    }
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == ' ' && !kSpaces.of[static_cast<unsigned char>(p[1])]) {  // one blank between tokens
      s.text = ++p;
      c = static_cast<unsigned char>(*p);
    } else if (kSpaces.of[c]) {  // a run of blanks and newlines at once: line ends and indentation mostly
      int newlines = 0;
      do {
        newlines += kSpaces.of[static_cast<unsigned char>(*p)] == kNewline;
        ++p;
      } while (kSpaces.of[static_cast<unsigned char>(*p)]);
      if (newlines) {
        if (s.position) s.position->line += newlines;
        s.scan.at_line_start = true;
      }
      s.text = p;
      c = static_cast<unsigned char>(*p);  // no blank: the checks below take it as the loop would
    }
    if (c == '\0') {
      if (s.resume_text) {  // end of the push-back: back to the text
        s.text = s.resume_text;
        s.resume_text = nullptr;
        continue;
      }
      s.token_start = p;
      s.token_text = std::string_view();
      clear_value(s.value);
      s.at_end = 1;
      s.scan.last_token = T_END;
      s.scan.last_value_name = VN_NONE;
      return T_END;
    }
    if (c == '#' && s.scan.at_line_start) {
      const char *eol = std::strchr(p, '\n');
      std::size_t len = eol ? static_cast<std::size_t>(eol - (p + 1)) : std::strlen(p + 1);
      bool line_marker = lex_directive_line(s, p + 1, len);
      if (eol) {
        if (!line_marker && s.position) ++s.position->line;
        s.text = eol + 1;
      } else {
        s.text = p + 1 + len;
      }
      s.scan.at_line_start = true;
      continue;
    }
    if (c == 'u' && (std::strncmp(p, "using ::exception;", 18) == 0 || std::strncmp(p, "using ::type_info;", 18) == 0)) {
      s.text = p + 18;
      s.scan.at_line_start = false;
      continue;
    }

    // A token starts here.
    save_token_start(s, p);
    s.scan.at_line_start = false;
    s.token_start = p;
    clear_value(s.value);
    int code = 0, len = 0;
    bool is_name = false;

    std::size_t prefix = 0;
    switch (kTokenStarts.of[c]) {
      case TS_PREFIX:
        if (literal_prefix_at(p, p + 3, &prefix) != LP_NONE && (len = match_quoted(p + prefix, p[prefix])) > 0) {
          code = p[prefix] == '\'' ? T_CHARACTER : T_STRING;
          len += static_cast<int>(prefix);
          break;
        }
        [[fallthrough]];
      case TS_NAME:
        len = 1;
        while (is_id_char(static_cast<unsigned char>(p[len]))) ++len;
        is_name = true;
        break;
      case TS_DIGIT: len = match_number(p, &code); break;
      case TS_DOT:
        if (is_digit(static_cast<unsigned char>(p[1]))) len = match_number(p, &code);
        else code = match_punctuator(p, &len);
        break;
      case TS_QUOTE:
        len = match_quoted(p, static_cast<char>(c));
        code = c == '\'' ? T_CHARACTER : T_STRING;
        break;
      case TS_SINGLE:  // ( ) , ; { }: no longer punctuator begins so
        code = c;
        len = 1;
        break;
      case TS_PUNCTUATOR: code = match_punctuator(p, &len); break;
      default: break;  // matches no rule
    }
    if (len == 0) {  // matches no rule
      ++s.skipped_characters;
      s.text = p + 1;
      continue;
    }
    s.text = p + len;
    s.token_text = std::string_view(p, static_cast<std::size_t>(len));

    if (is_name) {
      if (intern_index_large()) prefetch_next_names(s, p + len);
      int k = scanned_keyword(p, static_cast<std::size_t>(len), s.language);
      if (!k && s.language == SRC_C) k = c_boolean_word(s, p, static_cast<std::size_t>(len));
      if (k) {
        code = k;
        s.value.text = code == K_BOOL && p[0] == '_' ? intern_string("_Bool") : scanned_spelling(code);
        if (code == K_TEMPLATE && s.scan.state != LS_TEMPLATE_ARGUMENTS) {
          // "::template name<": the arguments of a member template, after
          // which the text goes on as before (a template header's state is
          // kept); any other "template" begins a header.
          const bool member = s.scan.last_token == P_SCOPE || s.scan.last_token == '.' || s.scan.last_token == P_ARROW;
          s.scan.state = LS_AFTER_TEMPLATE;
          if (!member) s.scan.template_declaration = 1;
        }
        if (code != K_OPERATOR && code != K_TEMPLATE) s.scan.qualifier = nullptr;
      } else {
        // The name's hash serves the pool and the table's look-ups alike.
        const std::size_t n = static_cast<std::size_t>(len);
        const std::uint64_t hash = hash_text_bytes(p, n);
        code = classify(s, intern_string_hashed(p, n, hash), n, hash);
      }
      s.scan.last_token = code;
      s.scan.last_value_name = s.value.names_value;
      return code;
    }

    if (code == T_INTEGER || code == T_FLOATING || code == T_CHARACTER || code == T_STRING)
      s.value.text = intern_string(p, static_cast<std::size_t>(len));
    else
      s.value.text = scanned_spelling(code);

    switch (s.scan.state) {
      case LS_AFTER_TEMPLATE:
        if (code == '<') {
          code = T_TEMPLATE_OPEN;
          s.scan.state = LS_TEMPLATE_ARGUMENTS;
          s.scan.template_nesting = 0;
          s.template_parens.clear();
        } else {
          s.scan.state = LS_NORMAL;
          s.scan.template_declaration = 0;  // a "template" not followed by its header
        }
        break;
      case LS_TEMPLATE_ARGUMENTS:
        if (code == ';' || (code == '}' && s.template_parens.empty())) {
          // No argument list holds these: the list was never closed. Going
          // on in this state would turn every later '<' and '>' of the file
          // into template brackets.
          s.scan.state = LS_NORMAL;
          s.scan.template_declaration = 0;
          s.scan.template_nesting = 0;
          s.template_parens.clear();
        } else if (s.scan.last_token == K_OPERATOR && (code == '<' || code == '>' || code == P_SHR)) {
          // decltype(x.operator>(y)): the operator's name, no bracket.
        } else if (code == '<' && (s.scan.last_value_name == VN_VALUE ||
                                   (in_template_parens(s) && (s.scan.last_value_name || after_operand(s))))) {
          // A comparison: N < 3, (sizeof(T) < 8), (tr<T>::value < 3).
        } else if (code == '(' || code == '{') {
          // A brace-initialised operand (and_<A, B>{}) holds braces as a call holds parentheses.
          s.template_parens.push_back(static_cast<char>(s.scan.template_nesting < 127 ? s.scan.template_nesting : 127));
        } else if (code == ')' || code == '}') {
          if (!s.template_parens.empty()) s.template_parens.pop_back();
        } else if (code == '<') {
          ++s.scan.template_nesting;
          code = T_TEMPLATE_OPEN;
        } else if ((code == '>' || code == P_SHR || code == P_GE || code == P_SHR_ASSIGN) && in_template_parens(s)) {
          // A comparison or a shift inside parentheses: (N > 0), decltype(a >> b).
        } else if (code == '>' || code == P_SHR) {
          if (code == P_SHR) {  // two closings: take one '>' at a time
            s.text = p + 1;
            s.token_text = ">";
          }
          code = T_TEMPLATE_CLOSE;
          if (s.scan.template_nesting > 0) {
            --s.scan.template_nesting;
          } else {
            s.scan.state = s.scan.template_declaration ? LS_TEMPLATE_DECLARATION : LS_NORMAL;
          }
        }
        break;
      case LS_TEMPLATE_DECLARATION: {
        // Inside the parentheses of a parameter list, braces are an
        // operand's (decltype(f({})) p): plain tokens.
        const bool in_parens = s.scan.template_declaration > 1;
        if (code == '}' && !in_parens) {  // matches no rule after a template header
          ++s.skipped_characters;
          continue;
        }
        // operator< and operator> name functions; in parentheses a '<'
        // after an operand that cannot name a template compares.
        const bool operator_name = s.scan.last_token == K_OPERATOR && (code == '<' || code == '>' || code == P_SHR);
        if (operator_name ||
            (code == '<' && (s.scan.last_value_name == VN_VALUE || (in_parens && (s.scan.last_value_name || after_operand(s)))))) {
        } else if (code == '<') {
          code = T_TEMPLATE_OPEN;
          ++s.scan.template_nesting;
        } else if ((code == '>' || code == P_SHR || code == P_GE || code == P_SHR_ASSIGN) && in_parens &&
                   s.scan.template_nesting == 0) {
          // A comparison or a shift in parentheses closes no template
          // bracket: noexcept(a > b), decltype(a >> b).
        } else if (code == '>' || code == P_SHR) {
          if (code == P_SHR) {
            s.text = p + 1;
            s.token_text = ">";
          }
          code = T_TEMPLATE_CLOSE;
          if (s.scan.template_nesting > 0) --s.scan.template_nesting;
        } else if (code == '{' && !in_parens) {
          code = capture(s, T_BODY_TEXT, p, skip_balanced(p + 1, "}", true, true, line_counter(s), &s));
        } else if (code == ':') {
          code = capture(s, T_BASE_AND_BODY, p, skip_base_and_body(s, p + 1, line_counter(s)));
        } else if (code == '(') {
          ++s.scan.template_declaration;
        } else if (code == ')') {
          if (s.scan.template_declaration > 1) --s.scan.template_declaration;
        } else if (code == '=' && s.scan.last_token != K_OPERATOR) {
          // A default argument ends at the ',' or ')' after it; any other
          // initialiser at its ';'. Neither runs past a bracket closing an
          // enclosing construct (the end of a namespace or class).
          const char *stops = s.scan.template_declaration > 1 ? ",)]}" : ";)]}";
          code = capture(s, T_INIT_TEXT, p, skip_balanced(p + 1, stops, false, true, line_counter(s), &s));
        } else if (code == ';') {
          s.scan.state = LS_NORMAL;
          s.scan.template_declaration = 0;
          s.scan.template_nesting = 0;
        }
        if (code == T_BODY_TEXT || code == T_BASE_AND_BODY || code == T_INIT_TEXT)
          s.token_text = s.value.captured;
        break;
      }
      default: break;
    }
    // The qualifying class survives "::" and "~" only.
    if (code != P_SCOPE && code != '~') s.scan.qualifier = nullptr;
    s.scan.last_token = code;
    s.scan.last_value_name = VN_NONE;
    return code;
  }
}

// #if / #elif evaluator: a precedence-climbing parser over one operator table.
//
// Values are 64-bit two's complement with an unsigned flag. The arithmetic is
// done on uint64_t so that overflow wraps instead of being undefined; several
// operators fall back to the low 32 bits of their left operand when a flag is
// set, which is how existing sources have always been evaluated ("#if
// 0x100000000" is false) and must stay that way.
#include "y1_tab.h"

#include "cplitr.h"
#include "merror.h"

#include <climits>
#include <cstring>
#include <utility>
#include <vector>

namespace {

IfHooks g_hooks;

// The parser's value and state stacks were 150 entries; a deeper expression
// is a reported error, and it also bounds the recursion of this parser.
constexpr int kStackLimit = 150;
// A multi-character constant this long or longer is rejected.
constexpr size_t kCharConstLimit = 1000;
// The expression text shown in a report is cut to this many characters.
constexpr size_t kShownText = 40;

void if_report(WarningCode code, std::string_view arg) {
  if (g_hooks.report)
    g_hooks.report(code, arg);
  else
    report_warning(code, arg);
}

bool is_macro(const char *name, size_t length) {
  return g_hooks.is_macro && g_hooks.is_macro(name, length);
}

bool ident_start(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
}
bool ident_char(unsigned char c) { return ident_start(c) || (c >= '0' && c <= '9'); }
bool horizontal_space(char c) { return c == ' ' || c == '\t'; }
bool is_char_prefix(const char *start, const char *stop) {
  return literal_prefix(std::string_view(start, static_cast<size_t>(stop - start))) != LP_NONE;
}

uint64_t low32(int64_t v) { return static_cast<uint32_t>(static_cast<uint64_t>(v)); }

enum Token : int {
  T_END = 0,
  T_INT = 256,
  T_CHAR,
  T_NAME,
  T_SIZEOF,
  T_OR,
  T_AND,
  T_EQUAL,
  T_NOTEQUAL,
  T_LEQ,
  T_GEQ,
  T_LSH,
  T_RSH,
  T_ERROR
};

// Binary operators by precedence, lowest first; ',' and '?:' are handled
// above this table.
struct BinaryOp {
  int token;
  int precedence;
};
constexpr BinaryOp kBinaryOps[] = {
    {T_OR, 1},    {T_AND, 2},      {'|', 3},   {'^', 4},   {'&', 5},   {T_EQUAL, 6},
    {T_NOTEQUAL, 6}, {'<', 7},     {'>', 7},   {T_LEQ, 7}, {T_GEQ, 7}, {T_LSH, 8},
    {T_RSH, 8},   {'+', 9},        {'-', 9},   {'*', 10},  {'/', 10},  {'%', 10},
};

// The table's precedences by token, made once: every operand of every
// condition asks for the token after it.
struct PrecedenceByToken {
  signed char of[T_ERROR + 1] = {};
  constexpr PrecedenceByToken() {
    for (int t = 0; t <= T_ERROR; ++t) of[t] = -1;
    for (const BinaryOp &op : kBinaryOps) of[op.token] = static_cast<signed char>(op.precedence);
  }
};
constexpr PrecedenceByToken kPrecedence;

int binary_precedence(int token) { return token >= 0 && token <= T_ERROR ? kPrecedence.of[token] : -1; }

struct ParseFailed {};

class IfParser {
 public:
  IfParser(const char *text, size_t length) : text_(text), end_(text + length), pos_(text) {}

  // expression: the whole text must be one comma expression.
  IfValue if_parse() {
    advance();
    IfValue v = comma_expression();
    if (tok_ != T_END) syntax_error("syntax error");
    return v;
  }

 private:
  const char *text_;
  const char *end_;
  const char *pos_;
  int tok_ = T_END;
  IfValue tokval_;
  int depth_ = 1;  // entries the equivalent bottom-up parser would hold

  // What was read so far, as the reports show it.
  std::string_view read_so_far() const {
    std::string_view s(text_, static_cast<size_t>(pos_ - text_));
    if (s.size() > kShownText) s = s.substr(s.size() - (kShownText - 1));
    return s;
  }

  [[noreturn]] void syntax_error(const char *) {
    if_report(MSG_EXPERRONE, read_so_far());
    throw ParseFailed{};
  }

  // A lexical error is reported here and again by the parser, which then
  // meets the error token.
  int lexical_error(const char *) {
    if_report(MSG_EXPERRONE, read_so_far());
    return T_ERROR;
  }

  void push(int entries) {
    depth_ += entries;
    if (depth_ > kStackLimit) syntax_error("parser stack overflow");
  }
  void pop(int entries) { depth_ -= entries; }

  void advance() { tok_ = if_lex(); }

  void expect(int token) {
    if (tok_ != token) syntax_error("syntax error");
    advance();
  }

  // One escape sequence; pos_ is just after the backslash. A wide constant
  // holds more than a byte, so only a narrow one is cut to 8 bits.
  int64_t if_escape(bool wide = false) {
    const EscapeValue e = read_escape(pos_, end_, ESC_CONDITION);
    if (wide) return static_cast<int64_t>(e.value & 0xFFFFFFFFu);
    if (e.above_byte) if_report(MSG_NOFITBYTE, {});
    return static_cast<int64_t>(e.value & 0xFF);
  }

  int char_constant(bool wide) {
    // pos_ is after the opening quote.
    int64_t v = 0;
    if (pos_ < end_) {
      unsigned char c = static_cast<unsigned char>(*pos_++);
      v = c == '\\' ? if_escape(wide) : c;
    }
    if (!wide && v >= 128 && !is_macro("__CHAR_UNSIGNED__", 17)) v -= 256;
    if (pos_ < end_ && *pos_ == '\'') {
      ++pos_;
      tokval_ = {v, false};
      return T_CHAR;
    }
    // More than one character: the value packs the bytes, 8 bits each.
    uint64_t packed = static_cast<uint64_t>(v) & 0xFF;
    size_t count = 1;
    while (pos_ < end_ && *pos_ != '\'' && *pos_ != '\n' && *pos_ != '\r') {
      packed = (packed << 8) | static_cast<unsigned char>(*pos_++);
      ++count;
    }
    if (pos_ < end_ && *pos_ == '\'') ++pos_;
    if (count >= kCharConstLimit) return lexical_error("Invalid character constant in #if");
    tokval_ = {static_cast<int64_t>(packed & 0xFFFFFFFFu), true};
    return T_INT;
  }

  int number() {
    const char *start = pos_;
    while (pos_ < end_ && (ident_char(static_cast<unsigned char>(*pos_)) || *pos_ == '.')) ++pos_;
    const char *stop = pos_;
    if (std::memchr(start, '.', static_cast<size_t>(stop - start)))
      return lexical_error("floating point numbers not allowed in #if expressions");
    const char *p = start;
    unsigned base = 10;
    if (stop - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
      base = 16;
      p += 2;
    } else if (binary_constant_length(p, stop) > 0) {
      base = 2;
      p += 2;
    } else if (p[0] == '0') {
      base = 8;
    }
    uint64_t v = 0;
    for (; p < stop; ++p) {
      char c = *p;
      unsigned digit;
      if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
      else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
      else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
      else break;
      if (base == 2 && digit > 1) break;
      v = v * base + digit;
    }
    const IntegerSuffix suffix = read_integer_suffix(p, stop);
    // The suffixes the declarations read (1ull, 10lu), no other: 1uu and
    // 1lL are no numbers.
    if (suffix.other || !suffix.valid) return lexical_error("Invalid number in #if expression");
    bool is_unsigned = suffix.unsigned_letters > 0;
    if (v >= (uint64_t{1} << 63)) is_unsigned = true;
    tokval_ = {static_cast<int64_t>(v), is_unsigned};
    return T_INT;
  }

  int if_lex() {
    static const struct {
      char text[3];
      int token;
    } kTwoChar[] = {{"&&", T_AND}, {"||", T_OR},    {"<<", T_LSH},      {">>", T_RSH},
                    {"==", T_EQUAL}, {"!=", T_NOTEQUAL}, {"<=", T_LEQ}, {">=", T_GEQ}};
    for (;;) {
      if (pos_ >= end_ || *pos_ == '\0') return T_END;
      unsigned char c = static_cast<unsigned char>(*pos_);
      // No operator starts with white space, which expanded conditions are
      // full of: it is passed over before the operators are tried, and
      // only a character that starts one of them tries them.
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
        ++pos_;
        continue;
      }
      if (end_ - pos_ >= 2 && (c == '&' || c == '|' || c == '<' || c == '>' || c == '=' || c == '!'))
        for (const auto &op : kTwoChar)
          if (pos_[0] == op.text[0] && pos_[1] == op.text[1]) {
            pos_ += 2;
            return op.token;
          }
      if (c == '"') {
        ++pos_;
        return lexical_error("double quoted strings not allowed in #if expressions");
      }
      if (c == '\'') {
        ++pos_;
        return char_constant(false);
      }
      if (c >= '0' && c <= '9') return number();
      if (ident_start(c)) {
        const char *start = pos_;
        while (pos_ < end_ && ident_char(static_cast<unsigned char>(*pos_))) ++pos_;
        if (pos_ - start == 6 && std::memcmp(start, "sizeof", 6) == 0) return T_SIZEOF;
        // L'x' (and u, U, u8) is one wide character constant, as C headers
        // use it in conditions (L'\0' - 1 > 0); read as a name and a
        // character it would make a valid line a syntax error.
        if (pos_ < end_ && *pos_ == '\'' && is_char_prefix(start, pos_)) {
          ++pos_;
          return char_constant(true);
        }
        tokval_ = {0, false};
        return T_NAME;
      }
      ++pos_;
      if (std::strchr("!%&()*+,-./:<=>?@[]^{|}~", c)) return c;
      return lexical_error("Invalid token in expression");
    }
  }

  // expression: conditional (',' conditional)*
  IfValue comma_expression() {
    IfValue v = conditional();
    while (tok_ == ',') {
      push(2);
      advance();
      v = conditional();
      pop(2);
    }
    return v;
  }

  // conditional: binary(1) ['?' expression ':' conditional]
  IfValue conditional() {
    IfValue c = binary(1);
    if (tok_ != '?') return c;
    push(2);
    advance();
    IfValue a = comma_expression();
    if (tok_ != ':') syntax_error("syntax error");
    push(2);
    advance();
    IfValue b = conditional();
    pop(4);
    IfValue r = c.value != 0 ? a : b;
    r.is_unsigned = a.is_unsigned || b.is_unsigned;
    return r;
  }

  // binary(p): unary (op unary)* for operators of precedence p or higher,
  // all left-associative.
  IfValue binary(int min_precedence) {
    IfValue left = unary();
    for (;;) {
      int op = tok_;
      int prec = binary_precedence(op);
      if (prec < min_precedence) return left;
      push(2);
      advance();
      IfValue right = binary(prec + 1);
      pop(2);
      left = apply(op, left, right);
    }
  }

  // unary: ('-' | '!' | '+' | '~') unary | primary
  IfValue unary() {
    int op = tok_;
    if (op != '-' && op != '!' && op != '+' && op != '~') return primary();
    push(1);
    advance();
    IfValue e = unary();
    pop(1);
    uint64_t u = static_cast<uint64_t>(e.value);
    switch (op) {
      case '-': return {static_cast<int64_t>(0 - u), e.is_unsigned};
      case '!': return {e.value == 0 ? 1 : 0, false};
      case '~': return {static_cast<int64_t>(~u), e.is_unsigned};
      default: return e;
    }
  }

  // primary: INT | CHAR | NAME | '(' expression ')' | SIZEOF '(' text ')'
  IfValue primary() {
    switch (tok_) {
      case T_INT:
      case T_CHAR: {
        IfValue v = tokval_;
        advance();
        return v;
      }
      case T_NAME:
        advance();
        return {0, false};
      case '(': {
        push(1);
        advance();
        IfValue v = comma_expression();
        expect(')');
        pop(1);
        return v;
      }
      case T_SIZEOF: {
        advance();
        if (tok_ != '(') syntax_error("syntax error");
        IfValue v = sizeof_operand();
        advance();
        return v;
      }
      default:
        syntax_error("syntax error");
    }
  }

  // The operand of sizeof is read as raw text up to the matching bracket.
  IfValue sizeof_operand() {
    const char *start = pos_;
    int nesting = 0;
    while (pos_ < end_ && *pos_ != '\0') {
      char c = *pos_;
      if (c == '(' || c == '[') {
        ++nesting;
      } else if (c == ')' || c == ']') {
        if (nesting == 0) break;
        --nesting;
      }
      ++pos_;
    }
    if (pos_ >= end_ || *pos_ == '\0') syntax_error("syntax error");
    std::string_view name(start, static_cast<size_t>(pos_ - start));
    ++pos_;
    while (!name.empty() && std::strchr(" \t\n\r", name.front())) name.remove_prefix(1);
    while (!name.empty() && std::strchr(" \t\n\r", name.back())) name.remove_suffix(1);
    TargetSizes &sizes = target_sizes();
    ++sizes.asked;
    if (name == "char") return {sizes.char_bits / 8, false};
    if (name == "short") return {sizes.short_bits / 8, false};
    if (name == "int") return {sizes.int_bits / 8, false};
    if (name == "long") return {sizes.long_bits / 8, false};
    const int declared = sizes.declared_size(name);
    return {declared >= 0 ? declared : 0, false};
  }

  IfValue divide(int op, IfValue a, IfValue b) {
    bool flag = a.is_unsigned || b.is_unsigned;
    if (b.value == 0) {
      if_report(MSG_DIVISZERO, "#if");
      b.value = 1;
    }
    if (!flag) {
      // INT64_MIN / -1 does not fit: the wrapped quotient and a zero
      // remainder are what the 64-bit arithmetic gives without trapping.
      if (b.value == -1)
        return {op == '/' ? static_cast<int64_t>(0 - static_cast<uint64_t>(a.value)) : 0, false};
      return {op == '/' ? a.value / b.value : a.value % b.value, false};
    }
    uint64_t ua = low32(a.value), ub = static_cast<uint64_t>(b.value);
    return {static_cast<int64_t>(op == '/' ? ua / ub : ua % ub), true};
  }

  IfValue apply(int op, IfValue a, IfValue b) {
    uint64_t ua = static_cast<uint64_t>(a.value), ub = static_cast<uint64_t>(b.value);
    bool either = a.is_unsigned || b.is_unsigned;
    auto make = [](uint64_t v, bool f) { return IfValue{static_cast<int64_t>(v), f}; };
    auto truth = [](bool t) { return IfValue{t ? 1 : 0, false}; };
    switch (op) {
      case '*': return make(either ? low32(a.value) * ub : ua * ub, either);
      case '/':
      case '%': return divide(op, a, b);
      case '+': return make(ua + ub, either);
      case '-': return make(ua - ub, either);
      case T_LSH:
      case T_RSH:
        if (a.is_unsigned) {
          uint32_t l = static_cast<uint32_t>(ua);
          unsigned n = static_cast<unsigned>(ub & 31);
          return make(op == T_LSH ? static_cast<uint32_t>(l << n) : l >> n, true);
        } else {
          unsigned n = static_cast<unsigned>(ub & 63);
          if (op == T_LSH) return make(ua << n, false);
          // Arithmetic shift written out, independent of how the compiler
          // shifts negative values.
          uint64_t r = ua >> n;
          if (a.value < 0 && n) r |= ~(~uint64_t{0} >> n);
          return make(r, false);
        }
      case T_EQUAL: return truth(a.value == b.value);
      case T_NOTEQUAL: return truth(a.value != b.value);
      case '<':
      case '>':
      case T_LEQ:
      case T_GEQ: {
        int64_t l = either ? static_cast<int64_t>(low32(a.value)) : a.value;
        int64_t r = b.value;
        switch (op) {
          case '<': return truth(l < r);
          case '>': return truth(l > r);
          case T_LEQ: return truth(l <= r);
          default: return truth(l >= r);
        }
      }
      case '&': return make(ua & ub, either);
      case '^': return make(ua ^ ub, either);
      case '|': return make(ua | ub, either);
      case T_AND: return truth(a.value != 0 && b.value != 0);
      case T_OR: return truth(a.value != 0 || b.value != 0);
      default: return a;
    }
  }
};

// Without an expander, only `defined` is replaced; a '#' ends the text as
// it does in the expanding scan.
std::string replace_defined(const std::string &in) {
  std::string out;
  out.reserve(in.size());
  size_t i = 0, n = in.size();
  while (i < n) {
    char c = in[i];
    if (c == '#') break;
    if (c == '"' || c == '\'') {
      size_t j = i + 1;
      while (j < n && in[j] != c && in[j] != '\n') j += (in[j] == '\\' && j + 1 < n) ? 2 : 1;
      if (j < n && in[j] == c) ++j;
      out.append(in, i, j - i);
      i = j;
      continue;
    }
    if (ident_start(static_cast<unsigned char>(c)) || (c >= '0' && c <= '9')) {
      size_t j = i;
      while (j < n && ident_char(static_cast<unsigned char>(in[j]))) ++j;
      if (j - i == 7 && in.compare(i, 7, "defined") == 0 && ident_start(static_cast<unsigned char>(c))) {
        size_t consumed = 0;
        int v = if_defined_operator(in.data() + j, n - j, &consumed);
        out += v ? " 1 " : " 0 ";
        i = j + consumed;
        continue;
      }
      out.append(in, i, j - i);
      i = j;
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

void replace_all_same_length(std::string &s, const char *from, const char *to) {
  size_t len = std::strlen(from);
  for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + len)) s.replace(p, len, to);
}

}  // namespace

IfHooks if_set_hooks(const IfHooks &hooks) {
  IfHooks old = g_hooks;
  g_hooks = hooks;
  return old;
}

TargetSizes &target_sizes() {
  static TargetSizes sizes;  // first use may come from another file's static initialisation
  return sizes;
}

void reset_target_sizes() { target_sizes() = TargetSizes(); }

int TargetSizes::declared_size(std::string_view name) const {
  std::string compact;
  for (char c : name)
    if (!std::strchr(" \t\n\r\v\f", c)) compact.push_back(c);
  for (auto it = declared_sizes.rbegin(); it != declared_sizes.rend(); ++it)
    if (it->first == compact) return it->second;
  return -1;
}

int if_defined_operator(const char *text, size_t length, size_t *consumed) {
  size_t i = 0;
  while (i < length && horizontal_space(text[i])) ++i;
  bool paren = false;
  if (i < length && text[i] == '(') {
    paren = true;
    ++i;
    while (i < length && horizontal_space(text[i])) ++i;
  }
  if (i >= length || !ident_start(static_cast<unsigned char>(text[i]))) {
    if_report(MSG_ERDEFINED, {});
    *consumed = 0;
    return 0;
  }
  size_t start = i;
  while (i < length && ident_char(static_cast<unsigned char>(text[i]))) ++i;
  int value = is_macro(text + start, i - start) ? 1 : 0;
  if (paren) {
    size_t j = i;
    while (j < length && horizontal_space(text[j])) ++j;
    if (j < length && text[j] == ')')
      i = j + 1;
    else
      if_report(MSG_ERDEFINED, {});
  }
  *consumed = i;
  return value;
}

IfValue if_evaluate(const char *text, size_t length, bool *ok) {
  IfParser parser(text, length);
  try {
    IfValue v = parser.if_parse();
    if (ok) *ok = true;
    return v;
  } catch (const ParseFailed &) {
    if (ok) *ok = false;
    return {};
  }
}

bool pp_eval_if(const char *text, size_t length) {
  // The old forms both start with '#', which nearly no condition holds: the
  // others are read where they stand, without a copy.
  std::string prepared;
  if (std::memchr(text, '#', length)) {
    prepared.assign(text, length);
    replace_all_same_length(prepared, "#machine(", " defined(");
    replace_all_same_length(prepared, "#lint(on)", "  (0)    ");
    text = prepared.data();
    length = prepared.size();
  }
  std::string expanded =
      g_hooks.expand ? g_hooks.expand(text, length) : replace_defined(std::string(text, length));
  size_t first = expanded.find_first_not_of(" \t\n\r");
  if (first == std::string::npos) {
    if_report(MSG_EMPTYEXPR, "#if");
    if (g_hooks.release) g_hooks.release(expanded);
    return false;
  }
  bool ok = false;
  IfValue v = if_evaluate(expanded.data(), expanded.size(), &ok);
  if (g_hooks.release) g_hooks.release(expanded);
  return ok && low32(v.value) != 0;
}

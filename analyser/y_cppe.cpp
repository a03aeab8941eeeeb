// Expression analysis: scanner, precedence grammar, node typing and exact
// constant folding.
//
// The parser is recursive descent over one precedence table. Left-associative
// chains are loops, so "1+1+...+1" of any length needs no depth; only
// parentheses, prefix operators and right-associative chains nest, and their
// nesting is bounded by EXPRESSION_STACK_LIMIT. Nodes live in an arena that
// is released at once, so no walk over the tree needs recursion either;
// types and values are computed as each node is reduced.
#include "y_cppe.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_map>
#include <vector>

#include "cppname.h"
#include "cpptab.h"
#include "ctylex.h"
#include "cplitr.h"
#include "merror.h"
#include "y_cppeint.h"

namespace {

// ---------------------------------------------------------------------------
// Node kinds.
enum NodeKind : int {
  NK_ERROR = -1,
  NK_IDENT = 0,
  NK_INTEGER = 1,
  NK_FLOATING = 2,
  NK_CHARACTER = 3,
  NK_STRING = 4,
  NK_THIS = 5,
  NK_UNARY = 6,      // prefix - + ! ~ * & ++ --
  NK_POSTINC = 7,
  NK_POSTDEC = 8,
  NK_BINARY = 9,
  NK_CONDITIONAL = 10,
  NK_ASSIGN = 11,
  NK_COMMA = 12,
  NK_CALL = 13,
  NK_SUBSCRIPT = 14,
  NK_DOT = 15,
  NK_ARROW = 16,
  NK_MEMBER_POINTER = 17,  // .* ->*
  NK_CAST = 18,
  NK_SIZEOF_EXPR = 19,
  NK_SIZEOF_TYPE = 20,
  NK_LIST = 21,
  NK_RANGE = 22,
  NK_CONSTRUCT = 23,
  NK_ASSOCIATION = 24,  // name => value inside a list
};

struct Node {
  int kind = NK_ERROR;
  int op = T_END;  // operator's token code
  Node *a = nullptr, *b = nullptr, *c = nullptr;
  std::vector<Node *> items;  // arguments, list elements
  std::string text;           // name or constant text
  const TypeDesc *type = nullptr;
  bool has_value = false;     // integer constant
  BigInt value{};
  int width = 0;              // bits, negative when signed
  size_t begin = 0, end = 0;  // source span
};

// ---------------------------------------------------------------------------
// Basic types for node results, made once in the process pool.

TypeDesc *pool_type(const std::string &name, TypeKind kind, int size, int char_type) {
  auto &cache = analyser_process().expression_types;
  const std::string key = name + "/" + std::to_string(size);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  TypeDesc *t = nullptr;
  if (kind == TK_INTEGER)
    t = integer_type(name.c_str(), size, char_type, nullptr);
  else if (kind == TK_FLOATING)
    t = floating_type(name.c_str(), nullptr);
  else
    t = type_new(kind, nullptr);
  cache[key] = t;
  return t;
}

TypeDesc *pool_pointer(const TypeDesc *target) {
  auto &cache = analyser_process().expression_pointers;
  auto it = cache.find(target);
  if (it != cache.end()) return it->second;
  TypeDesc *t = pointer_to(const_cast<TypeDesc *>(target), nullptr);
  cache[target] = t;
  return t;
}

TypeDesc *int_type_of(int width) {
  const AnalysisSettings &s = analysis_settings();
  const bool u = width > 0;
  const int bits = width < 0 ? -width : width;
  std::string name;
  if (bits == s.sizes->int_bits)
    name = "int";
  else if (bits == s.sizes->long_bits)
    name = "long";
  else if (bits == s.sizes->longlong_bits)
    name = "long long";
  else if (bits == s.sizes->short_bits)
    name = "short";
  else if (bits == s.sizes->char_bits)
    name = "char";
  else
    name = "int";
  if (u) name = "unsigned " + name;
  return pool_type(name, TK_INTEGER, width, name.find("char") != std::string::npos);
}

constexpr int kNestingLimit = 64;  // nested analyses (enumerator values, const initialisers)

// Source text of a node, for report arguments. Long texts are cut: a chain
// of many reported operators must not cost the square of its length.
constexpr size_t kReportTextLimit = 200;

// Precedence of a binary operator, -1 for any other token.
int binary_precedence(int code) {
  switch (code) {
    case P_OR_OR: return 1;
    case P_AND_AND: return 2;
    case '|': return 3;
    case '^': return 4;
    case '&': return 5;
    case P_EQ: case P_NE: return 6;
    case '<': case '>': case P_LE: case P_GE: return 7;
    case P_SHL: case P_SHR: return 8;
    case '+': case '-': return 9;
    case '*': case '/': case '%': return 10;
    case P_DOT_STAR: case P_ARROW_STAR: return 11;
    default: return -1;
  }
}

bool is_assignment_code(int code) {
  switch (code) {
    case '=': case P_MUL_ASSIGN: case P_DIV_ASSIGN: case P_MOD_ASSIGN: case P_ADD_ASSIGN:
    case P_SUB_ASSIGN: case P_AND_ASSIGN: case P_XOR_ASSIGN: case P_OR_ASSIGN:
    case P_SHL_ASSIGN: case P_SHR_ASSIGN:
      return true;
    default:
      return false;
  }
}

bool is_type_word(int code) { return is_type_name_keyword(code); }

// A name, or a keyword where a name can stand: the expression grammar has
// its own reading of the few keywords it knows.
bool is_name(const ExpressionToken &t) { return t.code == T_IDENTIFIER || is_keyword_code(t.code); }

constexpr int kImageDepthLimit = 2000;

bool enumerator_value(const ExpressionContext &ctx, const EnumeratorRec *target, BigInt &out, int &width);

}  // namespace

namespace expression_failure {
struct ParseError {
  bool at_end;
};
struct TooDeep {};
}  // namespace expression_failure
using expression_failure::ParseError;
using expression_failure::TooDeep;

namespace {

// One expression text being analysed: its tokens, the table and scope it is
// read in, where it reports, and the budget it shares with the analysis
// that asked for it.
class ExpressionAnalysis {
 public:
  ExpressionAnalysis(const std::string &source, AnalysisBudget &b) : text(&source), budget(b) {}

  const std::string *text = nullptr;
  std::vector<ExpressionToken> toks;
  size_t pos = 0;
  int depth = 0;
  SymbolTable *table = nullptr;
  ScopeContext scope;
  const char *function = "";
  const char *file = "";
  int line = 0;
  ReportCallback callback = nullptr;
  std::vector<std::unique_ptr<Node>> arena;
  AnalysisBudget &budget;

  ExpressionContext context() const { return ExpressionContext{function, file, line, callback, table, &budget}; }

  // Constant conversion reports at the expression's position.
  static void constant_report(void *self, WarningCode code) {
    static_cast<ExpressionAnalysis *>(self)->warn(code, "");
  }

  struct Nest {
    ExpressionAnalysis &a;
    explicit Nest(ExpressionAnalysis &analysis) : a(analysis) {
      if (++a.depth > EXPRESSION_STACK_LIMIT) throw TooDeep();
    }
    ~Nest() { --a.depth; }
  };

void warn(MessageCode code, const std::string &arg) {
  if (callback && callback != expression_bound_callback)
    callback(code, arg, file ? file : "", line);
  else
    analyser_report(code, arg, file, line);
}

std::string source_text(const Node *n, size_t limit) {
  const std::string &s = *text;
  if (!n || n->begin >= s.size() || n->end <= n->begin) return std::string();
  const size_t len = std::min(n->end - n->begin, limit);
  std::string out = s.substr(n->begin, len);
  if (len < n->end - n->begin) out += "...";
  while (!out.empty() && (out.back() == ' ' || out.back() == '\t' || out.back() == '\n'))
    out.pop_back();
  return out;
}

std::string span(const Node *n) { return source_text(n, kReportTextLimit); }

Node *new_node(int kind, size_t begin, size_t end) {
  arena.push_back(std::make_unique<Node>());
  Node *n = arena.back().get();
  n->kind = kind;
  n->begin = begin;
  n->end = end;
  return n;
}

const TypeDesc *strip(const TypeDesc *t) { return see_through_names(t, true); }

bool is_integer(const TypeDesc *t) {
  t = strip(t);
  return t && t->kind == TK_INTEGER;
}
bool is_floating(const TypeDesc *t) {
  t = strip(t);
  return t && t->kind == TK_FLOATING;
}
bool is_kind(const TypeDesc *t, TypeKind k) {
  t = strip(t);
  return t && t->kind == k;
}
bool is_record(const TypeDesc *t) {
  t = strip(t);
  return t && (t->kind == TK_CLASS || t->kind == TK_UNION);
}

// Width (bits, negative when signed) of an integral type after promotion.
int promoted_width(const TypeDesc *t, int own_width) {
  const AnalysisSettings &s = analysis_settings();
  int w = own_width;
  if (!w) {
    const TypeDesc *x = strip(t);
    if (x && x->kind == TK_INTEGER && x->integer())
      w = x->integer()->size;
    else
      w = -s.sizes->int_bits;
  }
  const int bits = w < 0 ? -w : w;
  if (bits < s.sizes->int_bits) return -s.sizes->int_bits;  // promoted to int
  return w;
}

int common_width(int a, int b) {
  const int ba = a < 0 ? -a : a, bb = b < 0 ? -b : b;
  const bool ua = a > 0, ub = b > 0;
  if (ua == ub) return ba >= bb ? a : b;
  const int u = ua ? ba : bb, sgn = ua ? bb : ba;
  if (u >= sgn) return u;  // unsigned wins
  return -sgn;
}

void narrow(BigInt &v, int width) {
  if (width > 0)
    pint_truncate(&v, width);
  else if (width < 0)
    pint_sign_extend(&v, -width);
}

void set_int(Node *n, const BigInt &v, int width) {
  n->has_value = true;
  n->value = v;
  narrow(n->value, width);
  n->width = width;
  n->type = int_type_of(width);
}

static bool fits_width(const BigInt &v, int width) {
  if (width > 0) return !pint_is_negative(&v) && pint_fits(&v, width, false);
  return pint_fits(&v, -width - 1, pint_is_negative(&v));
}

// ---------------------------------------------------------------------------
// Names.

const EnumeratorRec *find_enumerator(const Declaration *d) {
  const TypeDesc *e = strip(d->type);
  if (!e || e->kind != TK_ENUM || !e->enumeration() || !d->name) return nullptr;
  for (const EnumeratorRec *r = e->enumeration()->first; r; r = r->next)
    if (r->name && std::strcmp(r->name, d->name) == 0) return r;
  return nullptr;
}

// The type an enumeration constant takes in expressions: int when the value
// fits, else the first wider type that holds it (the enumeration's
// underlying type grows with its values).
static int enumerator_width(const BigInt &v) {
  const AnalysisSettings &s = analysis_settings();
  const int candidates[] = {-s.sizes->int_bits, s.sizes->int_bits, -s.sizes->long_bits, s.sizes->long_bits,
                            -s.sizes->longlong_bits, s.sizes->longlong_bits};
  for (int w : candidates)
    if (fits_width(v, w)) return w;
  return s.sizes->longlong_bits;
}

bool is_const_integer_variable(const Declaration *d) {
  return d->type && type_is_const(d->type) && is_integer(d->type) && !d->text.empty() &&
         d->text[0] != '{';
}

void type_identifier(Node *n, Symbol *sym) {
  const Declaration *d = sym->decl;
  n->type = d ? d->type : nullptr;
  if (!d) return;
  if (sym->area == AREA_ENUMERATOR) {
    // Enumeration constants have type int.
    int w = -analysis_settings().sizes->int_bits;
    n->type = int_type_of(w);
    if (const EnumeratorRec *r = find_enumerator(d)) {
      BigInt v;
      if (budget.expression_nesting < kNestingLimit && enumerator_value(context(), r, v, w)) set_int(n, v, w);
    }
    return;
  }
  if (is_const_integer_variable(d) && budget.expression_nesting < kNestingLimit) {
    std::vector<const Declaration *> &busy = budget.initialisers_in_progress;
    for (const Declaration *b : busy)
      if (b == d) return;
    busy.push_back(d);
    auto res = analyse_expression(d->text.c_str(), function, file, line, callback, table, &budget);
    busy.pop_back();
    if (res && res->kind == EXPR_INTEGER_CONSTANT) {
      const TypeDesc *x = strip(d->type);
      const int w = x && x->integer() && x->integer()->size ? x->integer()->size
                                                        : -analysis_settings().sizes->int_bits;
      set_int(n, res->value, w);
      n->type = d->type;
    }
  }
}

Symbol *lookup_name(const std::vector<std::string> &qual, const std::string &name, bool global) {
  const ExpressionAnalysis &an = *this;
  if (!an.table) return nullptr;
  const char *nm = name.c_str();
  if (qual.empty() && !global) return lookup_ordinary(nm, *an.table, an.scope);
  TypeDesc *scope = nullptr;
  for (const std::string &q : qual) {
    ScopeContext ctx;
    ctx.kind = scope ? 1 : 0;
    ctx.current = scope;
    Symbol *s = scope ? lookup_in_scope(q.c_str(), *an.table, AREA_TAG, scope)
                      : (global ? lookup_in_scope(q.c_str(), *an.table, AREA_TAG, nullptr)
                                : lookup_tag(q.c_str(), *an.table, -1, an.scope));
    if (!s || !s->decl || !s->decl->type) return nullptr;
    scope = const_cast<TypeDesc *>(strip(s->decl->type));
    if (scope && scope->record() && scope->record()->alias_of) scope = scope->record()->alias_of;
  }
  Symbol *s = lookup_in_scope(nm, *an.table, AREA_ORDINARY, scope);
  if (!s) s = lookup_in_scope(nm, *an.table, AREA_ENUMERATOR, scope);
  return s;
}

// Whether the name at the cursor starts a type (a typedef name or a tag).
bool name_is_type(std::string_view spelling) {
  const ExpressionAnalysis &an = *this;
  if (!an.table) return false;
  const std::string name(spelling);
  Symbol *s = lookup_ordinary(name.c_str(), *an.table, an.scope);
  if (s && s->decl) return (s->decl->storage & SF_TYPEDEF) != 0;
  return lookup_tag(name.c_str(), *an.table, -1, an.scope) != nullptr;
}

const MemberNode *find_member(const TypeDesc *record, const std::string &name, int depth = 0) {
  const TypeDesc *r = strip(record);
  if (!r || !r->record() || depth > 100) return nullptr;
  for (const MemberNode *m = r->record()->first; m; m = m->next)
    if (m->decl && m->decl->name && name == m->decl->name) return m;
  for (const MemberNode *m = r->record()->first_inherited; m; m = m->next)
    if (m->decl && m->decl->name && name == m->decl->name) return m;
  // Members of an unnamed union or structure are members of the enclosing one.
  for (const MemberNode *m = r->record()->first; m; m = m->next)
    if (m->decl && !m->decl->name && is_record(m->decl->type))
      if (const MemberNode *x = find_member(m->decl->type, name, depth + 1)) return x;
  return nullptr;
}

const TypeDesc *function_result(const TypeDesc *f) {
  f = strip(f);
  return f && f->kind == TK_FUNCTION && f->function() ? f->function()->result : nullptr;
}

// ---------------------------------------------------------------------------
// Parser.

const ExpressionToken &cur() { return toks[pos]; }
const ExpressionToken &peek(size_t k = 1) {
  const size_t i = pos + k;
  return i < toks.size() ? toks[i] : toks.back();
}
bool is(int code) { return cur().code == code; }
[[noreturn]] void fail() { throw ParseError{cur().code == T_END}; }
void advance() {
  if (pos + 1 < toks.size()) ++pos;
}
void expect(int code) {
  if (!is(code)) fail();
  advance();
}
size_t prev_end() { return pos ? toks[pos - 1].end : 0; }

// Text of a balanced parenthesised group starting after '('; the cursor ends
// after the matching ')'.
std::string group_text() {
  const size_t start = cur().begin;
  int level = 0;
  for (;;) {
    if (cur().code == T_END) fail();
    if (is('(')) ++level;
    if (is(')')) {
      if (level == 0) break;
      --level;
    }
    advance();
  }
  std::string t = text->substr(start, cur().begin - start);
  advance();
  return t;
}

// Whether the tokens after '(' begin a type name.
bool starts_type_at(size_t k) {
  const ExpressionToken &t = peek(k);
  if (!is_name(t)) return false;
  if (is_type_word(t.code)) return true;
  if (t.code == K_SIZEOF || t.code == K_THIS || t.code == K_TRUE || t.code == K_FALSE) return false;
  return name_is_type(t.text);
}

const TypeDesc *read_type(const std::string &type_text) {
  if (!table) return nullptr;
  return type_from_text(type_text.c_str(), *table, file, line, function, &budget);
}

void fold_cast(Node *n, const TypeDesc *to, const Node *from) {
  n->type = to;
  const TypeDesc *x = strip(to);
  if (!from->has_value || !x) return;
  if (x->kind == TK_INTEGER && x->integer()) {
    if (x->integer()->name && std::strcmp(x->integer()->name, "bool") == 0) {
      BigInt v = pint_is_zero(&from->value) ? pint_zero : pint_digits[1];
      set_int(n, v, x->integer()->size);
    } else {
      set_int(n, from->value, x->integer()->size ? x->integer()->size
                                               : -analysis_settings().sizes->int_bits);
    }
    n->type = to;
  } else if (x->kind == TK_ENUM) {
    set_int(n, from->value, -analysis_settings().sizes->int_bits);
    n->type = to;
  }
}

void size_node(Node *n, const TypeDesc *t) {
  const AnalysisSettings &s = analysis_settings();
  n->type = int_type_of(s.sizes->long_bits);
  const ExpressionContext ctx = context();
  const long long size = type_size_bytes(t, &ctx);
  if (size >= 0) {
    BigInt v;
    pint_from_int64(&v, size);
    set_int(n, v, s.sizes->long_bits);
  }
}

long long string_size(const std::string &lit) {
  long long n = 0;
  size_t prefix = 0;
  literal_prefix_at(lit.data(), lit.data() + lit.size(), &prefix);
  size_t i = prefix + 1;
  for (; i + 1 < lit.size(); ++i) {
    if (lit[i] == '\\' && i + 2 < lit.size()) {
      ++i;
      if (lit[i] >= '0' && lit[i] <= '7') {
        for (int k = 0; k < 2 && i + 1 < lit.size() - 1 && lit[i + 1] >= '0' && lit[i + 1] <= '7';
             ++k)
          ++i;
      } else if (lit[i] == 'x') {
        while (i + 1 < lit.size() - 1 && std::isxdigit(static_cast<unsigned char>(lit[i + 1]))) ++i;
      }
    }
    ++n;
  }
  return n + 1;
}

Node *parse_primary() {
  const ExpressionToken t = cur();
  switch (t.code) {
    case T_INTEGER:
    case T_RADIX_INTEGER: {
      Node *n = new_node(NK_INTEGER, t.begin, t.end);
      n->text = std::string(t.text);
      ConstantValue cv;
      if (t.code == T_RADIX_INTEGER)
        convert_radix_integer(n->text.c_str(), cv, constant_report, this);
      else
        convert_integer(n->text.c_str(), cv, constant_report, this);
      advance();
      // The type follows the value and the suffix, as the languages say.
      const AnalysisSettings &s = analysis_settings();
      const bool decimal = t.code == T_INTEGER && t.text[0] != '0';
      const bool u = cv.is_unsigned;
      const int l = cv.suffix.find("ll") != std::string::npos  ? 2
                    : cv.suffix.find('l') != std::string::npos ? 1
                                                               : 0;
      std::vector<int> candidates;
      const int sizes[] = {s.sizes->int_bits, s.sizes->long_bits, s.sizes->longlong_bits};
      for (int k = l; k < 3; ++k) {
        if (!u) candidates.push_back(-sizes[k]);
        if (u || !decimal) candidates.push_back(sizes[k]);
      }
      int width = candidates.back();
      for (int w : candidates)
        if (fits_width(cv.value, w)) {
          width = w;
          break;
        }
      set_int(n, cv.value, width);
      return n;
    }
    case T_FLOATING: {
      Node *n = new_node(NK_FLOATING, t.begin, t.end);
      n->text = std::string(t.text);
      const char last = t.text.back();
      n->type = pool_type(last == 'f' || last == 'F'   ? "float"
                          : last == 'l' || last == 'L' ? "long double"
                                                       : "double",
                          TK_FLOATING, 0, 0);
      advance();
      return n;
    }
    case T_CHARACTER: {
      Node *n = new_node(NK_CHARACTER, t.begin, t.end);
      n->text = std::string(t.text);
      ConstantValue cv;
      convert_character(n->text.c_str(), cv, constant_report, this);
      advance();
      set_int(n, cv.value, cv.width ? cv.width : -analysis_settings().sizes->int_bits);
      return n;
    }
    case T_STRING: {
      Node *n = new_node(NK_STRING, t.begin, t.end);
      n->text = std::string(t.text);
      advance();
      while (cur().code == T_STRING) {  // adjacent literals join
        n->text += cur().text;
        n->end = cur().end;
        advance();
      }
      n->type = pool_pointer(pool_type("char", TK_INTEGER, -analysis_settings().sizes->char_bits, 1));
      return n;
    }
    case '(': {
      Nest nest(*this);
      advance();
      Node *inner = parse_comma();
      expect(')');
      inner->begin = t.begin;
      inner->end = prev_end();
      return inner;
    }
    case '{': {
      Nest nest(*this);
      advance();
      Node *n = new_node(NK_LIST, t.begin, t.end);
      if (!is('}')) {
        for (;;) {
          Node *item;
          if (is_name(cur()) && peek().code == P_IMPLIES) {
            item = new_node(NK_ASSOCIATION, cur().begin, cur().end);
            item->text = std::string(cur().text);
            advance();
            advance();
            item->a = parse_assignment();
            item->type = item->a->type;
            item->end = item->a->end;
          } else {
            item = parse_assignment();
          }
          n->items.push_back(item);
          if (!is(',')) break;
          advance();
        }
      }
      expect('}');
      n->end = prev_end();
      const TypeDesc *first = nullptr;
      bool differ = false;
      for (Node *it : n->items) {
        if (!it->type) continue;
        if (!first)
          first = it->type;
        else if (first != it->type && !same_type(strip(first), strip(it->type)))
          differ = true;
      }
      if (differ) warn(MSG_TYPESDIFF, span(n));
      n->type = first;
      return n;
    }
    case '[': {
      Nest nest(*this);
      advance();
      Node *n = new_node(NK_RANGE, t.begin, t.end);
      bool ok = true;
      try {
        n->a = parse_assignment();
        if (is(P_RANGE)) {
          advance();
          n->b = parse_assignment();
        } else {
          ok = false;
        }
        if (ok && is(']'))
          advance();
        else
          ok = false;
      } catch (ParseError &) {
        ok = false;
      }
      if (!ok) {
        warn(MSG_SYNTAXERR, "[min..max]");
        // Resume after the closing bracket when there is one.
        while (cur().code != T_END && !is(']')) advance();
        if (is(']')) advance();
      }
      n->end = prev_end();
      n->type = n->a ? n->a->type : nullptr;
      return n;
    }
    case P_SCOPE:
      advance();
      if (!is_name(cur())) fail();
      break;  // a name at file scope, below
    default:
      if (!is_name(t)) fail();
      break;
  }
  // Names and keywords.
  const bool global = t.code == P_SCOPE;
  const ExpressionToken w = cur();
  if (!global) {
    if (w.code == K_THIS) {
      advance();
      Node *n = new_node(NK_THIS, w.begin, w.end);
      return n;
    }
    if (w.code == K_TRUE || w.code == K_FALSE) {
      advance();
      Node *n = new_node(NK_INTEGER, w.begin, w.end);
      n->text = std::string(w.text);
      set_int(n, w.code == K_TRUE ? pint_digits[1] : pint_zero, analysis_settings().sizes->char_bits);
      n->type = pool_type("bool", TK_INTEGER, analysis_settings().sizes->char_bits, 0);
      return n;
    }
    // Functional cast or construction: int(3), T(a, b).
    if ((is_type_word(w.code) || name_is_type(w.text)) && w.code != K_CONST && w.code != K_VOLATILE) {
      size_t k = 0;
      std::string type_text;
      while (is_name(peek(k)) && (is_type_word(peek(k).code) || k == 0)) {
        if (k) type_text += ' ';
        type_text += peek(k).text;
        ++k;
        if (!is_type_word(peek(k - 1).code)) break;
      }
      if (peek(k).code == '(') {
        for (size_t i = 0; i <= k; ++i) advance();
        Node *n = new_node(NK_CONSTRUCT, w.begin, w.end);
        n->text = type_text;
        if (!is(')')) {
          for (;;) {
            n->items.push_back(parse_assignment());
            if (!is(',')) break;
            advance();
          }
        }
        expect(')');
        n->end = prev_end();
        const TypeDesc *ty = read_type(type_text);
        const TypeDesc *x = strip(ty);
        if (x && x->kind == TK_CLASS && x->record()) {
          size_t args = n->items.size();
          bool found = false;
          const char *cn = x->record()->name;
          for (const MemberNode *m = x->record()->first; m && !found; m = m->next) {
            const Declaration *d = m->decl;
            if (!d || !d->name || !cn || std::strcmp(d->name, cn) != 0 || !d->type ||
                d->type->kind != TK_FUNCTION || !d->type->function()->info)
              continue;
            size_t count = 0, required = 0;
            bool ellipsis = false;
            for (const DeclNode *p = d->type->function()->info->first_param; p; p = p->next) {
              if (p->decl && p->decl->type && p->decl->type->kind == TK_ELLIPSIS) {
                ellipsis = true;
                continue;
              }
              if (p->decl && !p->decl->name && p->decl->type &&
                  p->decl->type->kind == TK_VOID && !p->next && count == 0)
                continue;
              ++count;
              if (p->decl && p->decl->text.empty()) required = count;
            }
            found = args >= required && (args <= count || ellipsis);
          }
          // The implicit default and copy constructors exist when none is declared.
          bool declares = false;
          for (const MemberNode *m = x->record()->first; m; m = m->next)
            if (m->decl && m->decl->name && cn && std::strcmp(m->decl->name, cn) == 0)
              declares = true;
          if (!declares && args <= 1) found = true;
          if (!found) warn(MSG_CONSTRINC, span(n));
          n->type = ty;
        } else if (ty) {
          if (n->items.size() == 1)
            fold_cast(n, ty, n->items[0]);
          else
            n->type = ty;
        }
        return n;
      }
    }
    // static_cast<T>(e) and the other named casts.
    if (w.code == K_STATIC_CAST || w.code == K_REINTERPRET_CAST || w.code == K_CONST_CAST ||
        w.code == K_DYNAMIC_CAST) {
      Nest nest(*this);
      advance();
      if (!is('<')) fail();
      advance();
      const size_t start = cur().begin;
      int level = 0;
      while (!(is('>') && level == 0) && !(is(P_SHR) && level == 1)) {
        if (cur().code == T_END) fail();
        if (is('<')) ++level;
        if (is('>')) --level;
        advance();
      }
      size_t stop = cur().begin;
      if (is(P_SHR)) {  // "static_cast<A<int>>(x)": the first '>' closes A
        ++stop;
        advance();
      } else {
        advance();
      }
      std::string type_text = text->substr(start, stop - start);
      expect('(');
      Node *operand = parse_comma();
      expect(')');
      Node *n = new_node(NK_CAST, w.begin, prev_end());
      n->a = operand;
      n->text = type_text;
      const TypeDesc *ty = read_type(type_text);
      if (!ty) {
        warn(MSG_EXPERRONE, span(n));
        return n;
      }
      if (w.code == K_DYNAMIC_CAST)
        n->type = ty;
      else
        fold_cast(n, ty, operand);
      return n;
    }
    if (w.code == K_SIZEOF) {
      Nest nest(*this);
      advance();
      if (is('(') && starts_type_at(1)) {
        advance();
        Node *n = new_node(NK_SIZEOF_TYPE, w.begin, w.end);
        std::string type_text = group_text();
        n->text = type_text;
        n->end = prev_end();
        const TypeDesc *ty = read_type(type_text);
        if (!ty) {
          warn(MSG_EXPERRONE, span(n));
          n->type = int_type_of(analysis_settings().sizes->long_bits);
          return n;
        }
        size_node(n, ty);
        return n;
      }
      Node *operand = parse_unary();
      Node *n = new_node(NK_SIZEOF_EXPR, w.begin, operand->end);
      n->a = operand;
      if (operand->kind == NK_STRING) {
        BigInt v;
        pint_from_int64(&v, string_size(operand->text));
        set_int(n, v, analysis_settings().sizes->long_bits);
      } else if (operand->type) {
        size_node(n, operand->type);
      } else {
        n->type = int_type_of(analysis_settings().sizes->long_bits);
      }
      return n;
    }
  }
  // Qualified name: A::B::c.
  std::vector<std::string> qual;
  std::string name(w.text);
  size_t end = w.end;
  advance();
  while (is(P_SCOPE) && is_name(peek())) {
    qual.push_back(name);
    advance();
    name = std::string(cur().text);
    end = cur().end;
    advance();
  }
  Node *n = new_node(NK_IDENT, global ? t.begin : w.begin, end);
  n->text = name;
  Symbol *sym = lookup_name(qual, name, global);
  if (!sym) {
    warn(MSG_IDENTIINC, span(n));
    return n;
  }
  type_identifier(n, sym);
  return n;
}

Node *check_member(Node *n, Node *object, const std::string &member, bool arrow) {
  const TypeDesc *ot = strip(object->type);
  if (!object->type) return n;
  const TypeDesc *rec = nullptr;
  if (arrow) {
    if (ot && ot->kind == TK_POINTER && ot->pointer() && is_record(ot->pointer()->target)) {
      rec = strip(ot->pointer()->target);
    } else if (is_record(ot)) {
      // A class object may define operator ->.
      const MemberNode *op = find_member(ot, "operator ->");
      const TypeDesc *r = op && op->decl ? strip(function_result(op->decl->type)) : nullptr;
      if (r && r->kind == TK_POINTER && r->pointer() && is_record(r->pointer()->target)) {
        rec = strip(r->pointer()->target);
      } else {
        warn(MSG_NOPOSTRUC, span(object));
        return n;
      }
    } else {
      warn(MSG_INVCHASTR, span(object));
      return n;
    }
  } else {
    if (ot && ot->kind == TK_POINTER && ot->pointer() && is_record(ot->pointer()->target)) {
      warn(MSG_POINSTRUC, span(object));
      return n;
    }
    if (!is_record(ot)) {
      warn(MSG_INVCHASTR, span(object));
      return n;
    }
    rec = ot;
  }
  const MemberNode *m = find_member(rec, member);
  if (!m) {
    warn(MSG_CHAMPINCO, member);
    return n;
  }
  n->type = m->decl ? m->decl->type : nullptr;
  return n;
}

Node *parse_postfix() {
  Node *n = parse_primary();
  for (;;) {
    const ExpressionToken t = cur();
    if (t.code == '[') {
      Nest nest(*this);
      advance();
      Node *index = parse_comma();
      expect(']');
      Node *s = new_node(NK_SUBSCRIPT, n->begin, prev_end());
      s->a = n;
      s->b = index;
      const TypeDesc *x = strip(n->type);
      if (x && x->kind == TK_ARRAY && x->array())
        s->type = x->array()->element;
      else if (x && x->kind == TK_POINTER && x->pointer())
        s->type = x->pointer()->target;
      else if (is_record(x) && find_member(x, "operator []"))
        s->type = function_result(find_member(x, "operator []")->decl->type);
      else if (n->type)
        warn(MSG_NONTABLEA, span(n));
      n = s;
    } else if (t.code == '(') {
      Nest nest(*this);
      advance();
      Node *c = new_node(NK_CALL, n->begin, t.end);
      c->a = n;
      if (!is(')')) {
        for (;;) {
          c->items.push_back(parse_assignment());
          if (!is(',')) break;
          advance();
        }
      }
      expect(')');
      c->end = prev_end();
      const TypeDesc *x = strip(n->type);
      if (x && x->kind == TK_FUNCTION)
        c->type = function_result(x);
      else if (x && x->kind == TK_POINTER && x->pointer() && is_kind(x->pointer()->target, TK_FUNCTION))
        c->type = function_result(x->pointer()->target);
      else if (is_record(x) && find_member(x, "operator ()"))
        c->type = function_result(find_member(x, "operator ()")->decl->type);
      else if (n->type)
        warn(MSG_NONFONCTI, span(n));
      n = c;
    } else if (t.code == '.' || t.code == P_ARROW) {
      advance();
      if (!is_name(cur())) fail();
      Node *m = new_node(t.code == '.' ? NK_DOT : NK_ARROW, n->begin, cur().end);
      m->a = n;
      m->text = std::string(cur().text);
      advance();
      n = check_member(m, n, m->text, t.code == P_ARROW);
    } else if (t.code == P_INCR || t.code == P_DECR) {
      advance();
      Node *p = new_node(t.code == P_INCR ? NK_POSTINC : NK_POSTDEC, n->begin, t.end);
      p->a = n;
      p->type = n->type;
      warn(t.code == P_INCR ? MSG_POSTINCRE : MSG_POSTDECRE, span(p));
      n = p;
    } else {
      return n;
    }
  }
}

Node *unary_node(const ExpressionToken &t, Node *operand) {
  Node *n = new_node(NK_UNARY, t.begin, operand->end);
  n->op = t.code;
  n->a = operand;
  const TypeDesc *ot = operand->type;
  const TypeDesc *x = strip(ot);
  const AnalysisSettings &s = analysis_settings();
  if (t.code == '-' || t.code == '+') {
    if (ot && !is_integer(ot) && !is_floating(ot)) {
      if (t.code == '-') warn(MSG_OPERARITH, " \"-\" ");
      return n;
    }
    n->type = ot;
    if (operand->has_value) {
      const int w = promoted_width(ot, operand->width);
      BigInt v = operand->value;
      if (t.code == '-') pint_sub(&v, &pint_zero, &operand->value);
      set_int(n, v, w);
    }
  } else if (t.code == '!') {
    if (ot && !is_integer(ot) && !is_floating(ot) && !(x && (x->kind == TK_ENUM ||
                                                             x->kind == TK_POINTER ||
                                                             x->kind == TK_ARRAY))) {
      warn(MSG_OPERSCALA, "\"!\"");
      return n;
    }
    n->type = int_type_of(-s.sizes->int_bits);
    if (operand->has_value) {
      BigInt v;
      pint_logical_not(&v, &operand->value);
      set_int(n, v, -s.sizes->int_bits);
    }
  } else if (t.code == '~') {
    if (ot && !is_integer(ot)) {
      warn(MSG_OPERENTIE, "\"~\"");
      return n;
    }
    n->type = ot;
    if (operand->has_value) {
      BigInt v;
      pint_not(&v, &operand->value);
      set_int(n, v, promoted_width(ot, operand->width));
    }
  } else if (t.code == '*') {
    if (x && x->kind == TK_POINTER && x->pointer())
      n->type = x->pointer()->target;
    else if (x && x->kind == TK_ARRAY && x->array())
      n->type = x->array()->element;
    else if (x && x->kind == TK_FUNCTION)
      n->type = ot;
    else if (ot)
      warn(MSG_NONPOINTE, span(operand));
  } else if (t.code == '&') {
    // The operand's type belongs to a table that goes with its analysis: a
    // pointer to it kept for the whole run would outlive it.
    n->type = ot ? pointer_to(const_cast<TypeDesc *>(ot), table) : nullptr;
  } else {  // ++ --
    n->type = ot;
  }
  return n;
}

Node *parse_unary() {
  const ExpressionToken t = cur();
  if (t.code == '-' || t.code == '+' || t.code == '!' || t.code == '~' || t.code == '*' ||
      t.code == '&' || t.code == P_INCR || t.code == P_DECR) {
    Nest nest(*this);
    advance();
    Node *operand = parse_unary();
    return unary_node(t, operand);
  }
  // Cast: "(" type ")" operand.
  if (t.code == '(' && starts_type_at(1)) {
    Nest nest(*this);
    advance();
    std::string type_text = group_text();
    // "(T)" followed by nothing that can be an operand was a parenthesised
    // name after all.
    Node *operand = parse_unary();
    Node *n = new_node(NK_CAST, t.begin, operand->end);
    n->a = operand;
    n->text = type_text;
    const TypeDesc *ty = read_type(type_text);
    if (!ty) {
      warn(MSG_EXPERRONE, span(n));
      return n;
    }
    fold_cast(n, ty, operand);
    return n;
  }
  return parse_postfix();
}

// C division truncates toward zero.
void c_divide(const BigInt &a, const BigInt &b, BigInt &q, BigInt &r) {
  const bool na = pint_is_negative(&a), nb = pint_is_negative(&b);
  BigInt ma = a, mb = b;
  if (na) pint_sub(&ma, &pint_zero, &a);
  if (nb) pint_sub(&mb, &pint_zero, &b);
  BigInt rem;
  pint_divmod(&q, &ma, &mb, &rem);
  if (na != nb) pint_sub(&q, &pint_zero, &q);
  BigInt prod;
  pint_mul(&prod, &q, &b);
  pint_sub(&r, &a, &prod);
}

const TypeDesc *arithmetic_type(const Node *l, const Node *r, int &width) {
  if (is_floating(l->type) || is_floating(r->type)) {
    width = 0;
    return is_floating(l->type) ? l->type : r->type;
  }
  width = common_width(promoted_width(l->type, l->width), promoted_width(r->type, r->width));
  return int_type_of(width);
}

Node *binary_node(int op, Node *l, Node *r) {
  Node *n = new_node(NK_BINARY, l->begin, r->end);
  n->op = op;
  n->a = l;
  n->b = r;
  const AnalysisSettings &s = analysis_settings();
  const TypeDesc *lx = strip(l->type), *rx = strip(r->type);
  const bool lp = lx && (lx->kind == TK_POINTER || lx->kind == TK_ARRAY);
  const bool rp = rx && (rx->kind == TK_POINTER || rx->kind == TK_ARRAY);
  if (op == P_DOT_STAR || op == P_ARROW_STAR) {
    if (r->type && !(rx && rx->kind == TK_POINTER && rx->pointer() && rx->pointer()->member_class))
      warn(MSG_INCPOIMEM, span(r));
    else if (rx && rx->pointer())
      n->type = rx->pointer()->target;
    return n;
  }
  const bool comparison = op == P_EQ || op == P_NE || op == '<' || op == '>' || op == P_LE ||
                          op == P_GE || op == P_AND_AND || op == P_OR_OR;
  const bool shift = op == P_SHL || op == P_SHR;
  int width = -s.sizes->int_bits;
  if (comparison) {
    n->type = int_type_of(width);
  } else if ((op == '+' || op == '-') && (lp || rp)) {
    if (lp && rp && op == '-') {
      width = -s.sizes->long_bits;
      n->type = int_type_of(width);
    } else {
      n->type = lp ? l->type : r->type;
      return n;
    }
  } else if (shift) {
    width = promoted_width(l->type, l->width);
    n->type = l->type && is_integer(l->type) ? int_type_of(width) : l->type;
  } else if (l->type && r->type) {
    n->type = arithmetic_type(l, r, width);
  } else {
    n->type = l->type ? l->type : r->type;
  }
  // Folding: both operands constant (and, for && and ||, the decisive one).
  if (op == P_AND_AND && l->has_value && pint_is_zero(&l->value)) {
    set_int(n, pint_zero, width);
    return n;
  }
  if (op == P_OR_OR && l->has_value && !pint_is_zero(&l->value)) {
    set_int(n, pint_digits[1], width);
    return n;
  }
  if (!l->has_value || !r->has_value || !width) return n;
  if (!comparison && !shift) {
    const int cw = common_width(promoted_width(l->type, l->width),
                                promoted_width(r->type, r->width));
    width = cw;
  }
  BigInt a = l->value, b = r->value, v;
  // Operands converted to the common type first (unsigned comparisons).
  if (!shift) {
    const int cw = common_width(promoted_width(l->type, l->width),
                                promoted_width(r->type, r->width));
    narrow(a, cw);
    narrow(b, cw);
  }
  switch (op) {
    case '+': pint_add(&v, &a, &b); break;
    case '-': pint_sub(&v, &a, &b); break;
    case '*': pint_mul(&v, &a, &b); break;
    case '/':
    case '%': {
      if (pint_is_zero(&b)) {
        warn(MSG_DIVISZERO, span(n));
        return n;
      }
      BigInt q, rem;
      c_divide(a, b, q, rem);
      v = op == '/' ? q : rem;
      break;
    }
    case P_SHL: pint_shift_left(&v, &a, &b); break;
    case P_SHR: pint_shift_right(&v, &a, &b); break;
    case '&': pint_and(&v, &a, &b); break;
    case '|': pint_or(&v, &a, &b); break;
    case '^': pint_xor(&v, &a, &b); break;
    default: {
      const int c = pint_compare(&a, &b);
      bool res = false;
      switch (op) {
        case P_EQ: res = c == 0; break;
        case P_NE: res = c != 0; break;
        case '<': res = c < 0; break;
        case '>': res = c > 0; break;
        case P_LE: res = c <= 0; break;
        case P_GE: res = c >= 0; break;
        case P_AND_AND: res = !pint_is_zero(&a) && !pint_is_zero(&b); break;
        case P_OR_OR: res = !pint_is_zero(&a) || !pint_is_zero(&b); break;
        default: break;
      }
      set_int(n, res ? pint_digits[1] : pint_zero, -s.sizes->int_bits);
      return n;
    }
  }
  if (width < 0 && !fits_width(v, width)) warn(MSG_ENTOUTRAN, span(n));
  set_int(n, v, width);
  return n;
}

Node *parse_binary(int min_prec) {
  Node *lhs = parse_unary();
  for (;;) {
    const int prec = binary_precedence(cur().code);
    if (prec < 0 || prec < min_prec) return lhs;
    const int op = cur().code;
    advance();
    Node *rhs = parse_binary(prec + 1);
    lhs = binary_node(op, lhs, rhs);
  }
}

Node *parse_conditional() {
  Node *c = parse_binary(1);
  if (!is('?')) return c;
  Nest nest(*this);
  advance();
  Node *a = parse_comma();
  expect(':');
  Node *b = parse_assignment();
  Node *n = new_node(NK_CONDITIONAL, c->begin, b->end);
  n->a = c;
  n->b = a;
  n->c = b;
  n->type = a->type ? a->type : b->type;
  if (c->has_value) {
    Node *chosen = pint_is_zero(&c->value) ? b : a;
    if (a->has_value && b->has_value) {
      int w = 0;
      arithmetic_type(a, b, w);
      if (w) set_int(n, chosen->value, w);
    }
  }
  return n;
}

Node *parse_assignment() {
  Node *lhs = parse_conditional();
  if (!is_assignment_code(cur().code)) return lhs;
  Nest nest(*this);
  const int op = cur().code;
  advance();
  Node *rhs = parse_assignment();
  Node *n = new_node(NK_ASSIGN, lhs->begin, rhs->end);
  n->op = op;
  n->a = lhs;
  n->b = rhs;
  n->type = lhs->type;
  warn(MSG_AFFECTATI, span(n));
  return n;
}

Node *parse_comma() {
  Node *n = parse_assignment();
  if (!is(',')) return n;
  Node *c = new_node(NK_COMMA, n->begin, n->end);
  c->items.push_back(n);
  while (is(',')) {
    advance();
    c->items.push_back(parse_assignment());
  }
  c->end = c->items.back()->end;
  c->type = c->items.back()->type;
  warn(MSG_SOUSEXPRE, span(c));
  return c;
}

// ---------------------------------------------------------------------------
// Image.


void image_list(const std::vector<Node *> &items, std::string &out, int depth) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += ", ";
    image(items[i], out, depth + 1);
  }
}

void image(const Node *n, std::string &out, int depth) {
  if (!n) return;
  if (depth > kImageDepthLimit) {  // very deep trees keep their source text
    out += span(n);
    return;
  }
  switch (n->kind) {
    case NK_IDENT:
    case NK_INTEGER:
    case NK_FLOATING:
    case NK_STRING:
      out += n->kind == NK_IDENT ? span(n) : n->text;
      return;
    case NK_CHARACTER:
      if (n->has_value) {
        BigInt low = n->value;
        pint_truncate(&low, 8);
        int32_t v = 0;
        pint_to_int(&v, &low);
        out += character_constant_image(v);
      } else {
        out += n->text;
      }
      return;
    case NK_THIS: out += "this"; return;
    case NK_UNARY:
      out += token_spelling(n->op);
      image(n->a, out, depth + 1);
      return;
    case NK_POSTINC:
    case NK_POSTDEC:
      image(n->a, out, depth + 1);
      out += n->kind == NK_POSTINC ? "++" : "--";
      return;
    case NK_BINARY:
    case NK_ASSIGN:
      out += '(';
      image(n->a, out, depth + 1);
      out += ' ';
      out += token_spelling(n->op);
      out += ' ';
      image(n->b, out, depth + 1);
      out += ')';
      return;
    case NK_CONDITIONAL:
      out += '(';
      image(n->a, out, depth + 1);
      out += " ? ";
      image(n->b, out, depth + 1);
      out += " : ";
      image(n->c, out, depth + 1);
      out += ')';
      return;
    case NK_COMMA: image_list(n->items, out, depth); return;
    case NK_CALL:
      image(n->a, out, depth + 1);
      out += '(';
      image_list(n->items, out, depth);
      out += ')';
      return;
    case NK_CONSTRUCT:
      out += n->text + "(";
      image_list(n->items, out, depth);
      out += ')';
      return;
    case NK_SUBSCRIPT:
      image(n->a, out, depth + 1);
      out += '[';
      image(n->b, out, depth + 1);
      out += ']';
      return;
    case NK_DOT:
    case NK_ARROW:
      image(n->a, out, depth + 1);
      out += n->kind == NK_DOT ? "." : "->";
      out += n->text;
      return;
    case NK_CAST:
      out += "(" + n->text + ")";
      image(n->a, out, depth + 1);
      return;
    case NK_SIZEOF_TYPE: out += "sizeof(" + n->text + ")"; return;
    case NK_SIZEOF_EXPR:
      out += "sizeof(";
      image(n->a, out, depth + 1);
      out += ')';
      return;
    case NK_LIST:
      out += "{ ";
      image_list(n->items, out, depth);
      out += " }";
      return;
    case NK_RANGE:
      out += '[';
      image(n->a, out, depth + 1);
      out += "..";
      image(n->b, out, depth + 1);
      out += ']';
      return;
    case NK_ASSOCIATION:
      out += n->text + " => ";
      image(n->a, out, depth + 1);
      return;
    default:
      out += span(n);
      return;
  }
}


  std::unique_ptr<ExpressionResult> run() {
    auto result = std::make_unique<ExpressionResult>();
    try {
      Node *root = parse_comma();
      if (cur().code != T_END) fail();
      result->type = const_cast<TypeDesc *>(root->type);
      if (root->has_value) {
        result->kind = EXPR_INTEGER_CONSTANT;
        result->value = root->value;
        result->width = root->width;
      }
      image(root, result->image, 0);
    } catch (ParseError &e) {
      if (e.at_end)
        warn(MSG_UNEXP_EOF, *text);
      else
        warn(MSG_EXPERRONE, *text);
      *result = ExpressionResult();
    } catch (TooDeep &) {
      warn(MSG_EXPERRONE, *text);
      *result = ExpressionResult();
    }
    return result;
  }
};

bool enumerator_value(const ExpressionContext &ctx, const EnumeratorRec *target, BigInt &out, int &width) {
  AnalysisBudget &budget = *ctx.budget;
  const TypeDesc *e = target->enumeration;
  if (!e || !e->enumeration()) return false;
  struct Walk {
    int &walks;
    explicit Walk(int &w) : walks(w) { ++walks; }
    ~Walk() { --walks; }
  } walk(budget.enumerator_walks);
  BigInt next = pint_zero;
  for (const EnumeratorRec *r = e->enumeration()->first; r; r = r->next) {
    if (!budget.enumerator_values[r].known) {
      if (budget.enumerator_values[r].busy) return false;  // defined through itself
      BigInt v = next;
      bool ok = true;
      if (r->has_value && !r->value_text.empty()) {
        budget.enumerator_values[r].busy = true;
        auto res = analyse_expression(r->value_text.c_str(), ctx.function, ctx.file, ctx.line,
                                      ctx.callback, ctx.table, &budget);
        budget.enumerator_values[r].busy = false;
        ok = res && res->kind == EXPR_INTEGER_CONSTANT;
        if (ok) v = res->value;
      }
      if (!ok) return false;
      EnumeratorValue &ev = budget.enumerator_values[r];
      ev.known = true;
      ev.value = v;
      ev.width = ExpressionAnalysis::enumerator_width(v);
    }
    const EnumeratorValue &ev = budget.enumerator_values[r];
    if (r == target) {
      out = ev.value;
      width = ev.width;
      return true;
    }
    pint_add_small(&next, &ev.value, 1);
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------

long long array_bound_value(const ArrayInfo &a, const ExpressionContext &ctx) {
  const OwnedText &text = a.has_bound_text ? a.bound_text : a.bound_expression;
  if (text.find_first_not_of(" \t\n") == std::string::npos) return -1;
  long long v = 0;
  if (!evaluate_integer_expression(text.c_str(), ctx.function, ctx.file, ctx.line, ctx.callback, &v,
                                   ctx.table, ctx.budget))
    return -1;
  return v;
}

// Size of an enumeration: int unless a value needs a wider type.
long long enumeration_bytes(const TypeDesc *t, const ExpressionContext &ctx) {
  AnalysisBudget &budget = *ctx.budget;
  const AnalysisSettings &s = analysis_settings();
  long long size = 0;
  // The underlying type is int unless a value needs a wider one.
  size = s.sizes->int_bits / 8;
  if (t->enumeration() && budget.expression_nesting < kNestingLimit) {
    ++budget.expression_nesting;
    std::vector<BigInt> values;
    bool negative = false;
    for (const EnumeratorRec *r = t->enumeration()->first; r; r = r->next) {
      BigInt v;
      int w = 0;
      if (!enumerator_value(ctx, r, v, w)) continue;
      values.push_back(v);
      if (pint_is_negative(&v)) negative = true;
    }
    --budget.expression_nesting;
    if (!budget.expressions_active && !budget.enumerator_walks) budget.enumerator_values.clear();
    // The smallest of int, unsigned int, long long and unsigned long
    // long that holds every value; values that need more (a negative one
    // beside one above the long long range) are taken as long long, as C
    // does.
    size = s.sizes->longlong_bits / 8;
    const int widths[] = {-s.sizes->int_bits, s.sizes->int_bits, -s.sizes->longlong_bits, s.sizes->longlong_bits};
    for (int w : widths) {
      if (w > 0 && negative) continue;
      bool all = true;
      for (const BigInt &v : values) all = all && ExpressionAnalysis::fits_width(v, w);
      if (all) {
        size = (w < 0 ? -w : w) / 8;
        break;
      }
    }
  }
  return size;
}

std::string character_constant_image(int value) {
  const int c = value & 0xff;
  char buf[16];
  switch (c) {
    case 0: return "'\\0'";
    case 8: return "'\\b'";
    case 9: return "'\\t'";
    case 10: return "'\\n'";
    case 11: return "'\\v'";
    case 12: return "'\\f'";
    case 13: return "'\\r'";
    case 34: return "'\\\"'";
    case 39: return "'\\''";
    case 92: return "'\\\\'";
    default: break;
  }
  if (c >= 32 && c <= 126) {
    std::snprintf(buf, sizeof buf, "'%c'", c);
    return buf;
  }
  const int d = 100 * (c / 64 % 4) + 10 * (c / 8 % 8) + c % 8;
  std::snprintf(buf, sizeof buf, d >= 100 ? "'\\%d'" : "'\\0%d'", d);
  return buf;
}

void expression_bound_callback(MessageCode code, std::string_view arg, std::string_view file, int line) {
  const std::string f(file);
  analyser_report(code, arg, f.c_str(), line);
}


std::unique_ptr<ExpressionResult> analyse_expression(const char *text, const char *function_name,
                                                     const char *file_name, int line,
                                                     ReportCallback callback, SymbolTable *table,
                                                     AnalysisBudget *budget) {
  if (!text) return nullptr;
  std::string source(text);
  if (source.find_first_not_of(" \t\n\r\v\f") == std::string::npos) return nullptr;
  AnalysisBudget own;
  ExpressionAnalysis an(source, budget ? *budget : own);
  // Outside an analysis the table of the last one is the one whose types
  // are being rendered.
  an.table = table ? table : analyser_process().last_table;
  an.function = function_name ? function_name : "";
  an.file = file_name ? file_name : "";
  an.line = line;
  an.callback = callback;
  if (an.table && *an.function) {
    an.scope.kind = 1;
    an.scope.current = function_scope(*an.table, an.function);
  }
  an.toks = lex_expression(source.c_str());
  AnalysisBudget &b = an.budget;
  ++b.expressions_active;
  ++b.expression_nesting;
  auto result = an.run();
  --b.expression_nesting;
  --b.expressions_active;
  if (!b.expressions_active && !b.enumerator_walks) b.enumerator_values.clear();
  return result;
}

bool evaluate_integer_expression(const char *text, const char *function_name,
                                 const char *file_name, int line, ReportCallback callback,
                                 long long *out, SymbolTable *table, AnalysisBudget *budget) {
  auto r = analyse_expression(text, function_name, file_name, line, callback, table, budget);
  if (!r || r->kind != EXPR_INTEGER_CONSTANT) return false;
  if (!pint_fits(&r->value, 63, pint_is_negative(&r->value))) return false;
  // Read the value through its decimal image (exact for 64 bits).
  const std::string img = pint_image(&r->value, PI_DECIMAL, 64);
  if (out) *out = std::strtoll(img.c_str(), nullptr, 10);
  return true;
}

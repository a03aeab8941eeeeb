// Declaration grammar: the entry, the token window, error recovery,
// declaration specifiers and expressions kept as text. Declarators, parameter
// lists and the actions that enter variables and functions are in
// y_cppdcl.cpp.
//
// The parser is recursive descent with one token of look-ahead; the scanner's
// identifier classification tells type names from other names. Every
// recursive rule counts its nesting, so that hostile input ends the analysis
// with a report instead of exhausting the process stack.
#include "y_cppa.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "cppname.h"
#include "ctylex.h"
#include "merror.h"
#include "mstrin.h"
#include "y_cppe.h"
#include "y_cppint.h"

namespace grammar {

namespace {

bool word_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c == '\'' || c == '"';
}

bool joining_char(char c) { return c && std::strchr("+-&|<>=!*/%^:.", c) != nullptr; }

}  // namespace

void silent_expression_report(MessageCode, std::string_view, std::string_view, int) {}

const char *intern(const std::string &s) { return s.empty() ? nullptr : intern_string(s.c_str()); }

void append_token_text(std::string &out, const Tok &t) {
  const std::string_view x = t.text;
  if (x.empty()) return;
  if (!out.empty()) {
    char a = out.back(), b = x.front();
    bool blank = (word_char(a) && word_char(b)) || (joining_char(a) && joining_char(b));
    // The named casts keep their blank before the argument list.
    if ((t.code == '<' || t.code == T_TEMPLATE_OPEN) && out.size() >= 5 && out.compare(out.size() - 5, 5, "_cast") == 0) blank = true;
    if (blank) out += ' ';
  }
  out += x;
}

bool is_storage_keyword(int code, unsigned *flag) {
  unsigned f = 0;
  switch (code) {
    case K_TYPEDEF: f = SF_TYPEDEF; break;
    case K_EXTERN: f = SF_EXTERN; break;
    case K_STATIC: f = SF_STATIC; break;
    case K_AUTO: f = SF_AUTO; break;
    case K_REGISTER: f = SF_REGISTER; break;
    case K_FRIEND: f = SF_FRIEND; break;
    case K_OVERLOAD: f = SF_OVERLOAD; break;
    case K_INLINE: f = SF_INLINE; break;
    case K_VIRTUAL: f = SF_VIRTUAL; break;
    case K_EXPORT: f = SF_EXPORT; break;
    case K_EXPLICIT: f = SF_EXPLICIT; break;
    case K_MUTABLE: f = SF_MUTABLE; break;
    default: return false;
  }
  if (flag) *flag = f;
  return true;
}

// ---------------------------------------------------------------------------
// Scanner adapter

namespace {

ScopeContext hook_scope(void *owner) { return static_cast<Parser *>(owner)->context(); }
ScopeContext hook_fallback_scope(void *owner) { return static_cast<Parser *>(owner)->instance_use_site; }
int hook_template_parameter(void *owner, const char *name) {
  const Parser *p = static_cast<Parser *>(owner);
  // Outside template headers and bodies there is none to look for.
  if (p->template_params.empty() && p->value_params.empty()) return 0;
  const char *n = intern_string(name);
  return p->is_template_parameter(n) ? 1 : p->is_value_parameter(n) ? 3 : 0;
}

}  // namespace

Tok lex_token(TokenScanner &sc) {
  Tok t;
  lex_token_into(sc, t);
  return t;
}

namespace {

// Fills a token in place. Its text is a view: of the scanner's interned
// text, of a fixed spelling, or of a copy the token holds (a captured text).
// Written into the grammar's step to the next token, which takes one at
// every step, with no call of its own.
__attribute__((always_inline)) inline void fill_token(TokenScanner &sc, Tok &t) {
  const int code = lex_next(sc);
  t.code = code;
  t.line = sc.position ? sc.position->line : 0;
  t.name = nullptr;
  t.word = W_NONE;
  t.sym = nullptr;
  t.type = nullptr;
  const char *vt = sc.value.text;
  // The scanned text: the spelling of a keyword or punctuator, the interned
  // text of a name or literal (a class name may stand for its class's own
  // spelling instead, given by the scanner's value).
  const std::string_view scanned = sc.token_text;
  switch (code) {
    case T_END: t.cls = G_EOF; t.text = std::string_view(); return;
    case T_IDENTIFIER: t.cls = G_IDENT; break;
    case T_CLASS_NAME: t.cls = G_CLASSNAME; break;
    case T_TEMPLATE_NAME:
    case T_DEFINED_TEMPLATE_NAME: t.cls = G_TEMPLNAME; break;
    case T_DECLARED_NAME: t.cls = G_DECLNAME; break;
    case T_TYPE_MODIFIER: t.cls = G_TYPEMOD; break;
    case T_INTEGER: t.cls = G_NUMBER; break;
    case T_FLOATING: t.cls = G_FLOATNUM; break;
    case T_CHARACTER: t.cls = G_CHARLIT; break;
    case T_STRING: t.cls = G_STRING; break;
    case T_TEMPLATE_OPEN: t.cls = G_TOPEN; t.text = token_spelling_view('<'); return;
    case T_TEMPLATE_CLOSE: t.cls = G_TCLOSE; t.text = token_spelling_view('>'); return;
    case T_BODY_TEXT: t.cls = G_BODYTEXT; t.hold(sc.value.captured); return;
    case T_BASE_AND_BODY: t.cls = G_BASEBODY; t.hold(sc.value.captured); return;
    case T_INIT_TEXT: t.cls = G_INITTEXT; t.hold(sc.value.captured); return;
    default:
      if (code >= K_ASM && code < T_LAST) {
        t.cls = G_KEYWORD;
        // "_Bool" is bool spelt the C way: the scanned word either way.
        if (vt) t.text = std::string_view(vt, scanned.size());
        else t.text = token_spelling_view(code);
        if (code == K_BOOL) t.word = vt ? contextual_word(vt, scanned.size()) : W_NONE;
      } else if (code > 0 && code < T_LAST) {
        t.cls = G_PUNCT;
        // The scanner's value holds the spelling of a punctuator it returns
        // as its character: the same text token_spelling_view gives.
        t.text = code < 256 && vt ? std::string_view(vt, 1) : token_spelling_view(code);
      } else {
        t.cls = G_OTHER;
        t.text = scanned.empty() ? std::string_view() : std::string_view(intern_string(scanned.data(), scanned.size()), scanned.size());
      }
      return;
  }
  // A name or a literal: the value's text is the scanned text, interned,
  // but for a class name.
  if (!vt) vt = intern_string(scanned.data(), scanned.size());
  const std::size_t length = !vt ? 0 : code == T_CLASS_NAME ? std::strlen(vt) : scanned.size();
  t.text = vt ? std::string_view(vt, length) : std::string_view();
  // The scanner's text of a name is interned already.
  t.name = (t.cls <= G_TYPEMOD) ? vt : nullptr;
  if (t.cls == G_IDENT) t.word = contextual_word_of_name(vt, length);
  t.sym = sc.value.symbol;
  t.type = sc.value.type;
  // A variable whose type is a class comes classified by that type; for the
  // grammar it is an object named by its own name (A a(b); sizeof(b)).
  if (t.cls == G_CLASSNAME && t.sym && t.sym->area == AREA_ORDINARY && t.sym->decl && t.sym->decl->name &&
      !(t.sym->decl->storage & SF_TYPEDEF)) {
    t.cls = G_DECLNAME;
    t.name = t.sym->decl->name;
    t.text = t.name;
    t.type = nullptr;
  }
}

}  // namespace

void lex_token_into(TokenScanner &sc, Tok &t) { fill_token(sc, t); }

bool lex_skip_balanced(TokenScanner &sc) {
  if (!sc.text) return false;
  int *lines = sc.position ? &sc.position->line : nullptr;
  const char *end = skip_balanced(sc.text, "}", false, true, lines, &sc);
  if (!end) {
    sc.text += std::strlen(sc.text);
    return false;
  }
  sc.text = end;
  sc.token_start = sc.text;
  return true;
}

bool lex_capture_balanced(TokenScanner &sc, std::string &out, bool brace_included) {
  bool ok = false;
  int *lines = sc.position ? &sc.position->line : nullptr;
  out = capture_text(&sc.text, "}", brace_included, true, lines, "", false, &ok, &sc);
  if (ok) sc.token_start = sc.text;
  return ok;
}


// ---------------------------------------------------------------------------
// Parser basics

Parser::Parser(Analysis &analysis, int nesting_base)
    : an(analysis), table(analysis.table), lex(analysis.scanner), instantiation_level(nesting_base) {}

void Parser::advance() {
  fill_token(lex, cur);
  if (recover > 0) --recover;
  // A capture that found no end: the scanner has reported the end of text.
  if ((cur.cls == G_BODYTEXT || cur.cls == G_BASEBODY || cur.cls == G_INITTEXT) && cur.text.empty()) {
    ++errors;
    throw EndAnalysis();
  }
}

bool Parser::accept(int code) {
  if (!is(code)) return false;
  advance();
  return true;
}

void Parser::expect(int code) {
  if (!is(code)) syntax_error();
  advance();
}

void Parser::syntax_error() {
  if (recover == 0) {
    lex_syntax_error(lex);
    ++errors;
  }
  recover = 3;
  throw Recover();
}

void Parser::too_deep() {
  lex_syntax_error(lex);
  ++errors;
  throw EndAnalysis();
}

void Parser::unexpected_end() {
  an.sink(MSG_UNEXP_EOF, "", file(), line());
  ++errors;
  throw EndAnalysis();
}

void Parser::warn(WarningCode code, const std::string &arg, bool with_position) {
  if (with_position)
    an.sink(code, arg, file(), line());
  else
    an.sink(code, arg, nullptr, 0);
}

const char *Parser::file() const { return lex_current_file(lex); }
int Parser::line() const { return lex_current_line(lex); }

TypeDesc *Parser::scope_record() const { return context().current; }

void Parser::push_scope(int kind, TypeDesc *record, int access) {
  Scope s;
  s.kind = kind;
  s.record = record;
  s.access = access;
  scopes.push_back(s);
}

void Parser::pop_scope() {
  if (scopes.size() > 1) scopes.pop_back();
}

void Parser::run(Scope outer) {
  scopes.clear();
  scopes.push_back(outer);
  try {
    advance();
    declaration_list(false, false);
  } catch (EndAnalysis &) {
  } catch (Recover &) {
  }
}

// ---------------------------------------------------------------------------
// Declaration lists and recovery

// declaration-list: { declaration }   (up to '}' when braced)
void Parser::declaration_list(bool braced, bool in_class_body) {
  const size_t level = scopes.size();
  for (;;) {
    if (at_eof()) {
      if (braced) {
        if (recover == 0) {
          lex_syntax_error(lex);
          ++errors;
        }
        throw EndAnalysis();
      }
      return;
    }
    if (braced && is('}')) return;
    try {
      declaration();
    } catch (Recover &) {
      scopes.resize(level);
      recover_skip(in_class_body, braced);
    }
  }
}

// error-rule: drop tokens up to the end of the faulty declaration (its ';',
// or the '}' closing a brace group opened inside it).
void Parser::recover_skip(bool in_class_body, bool braced) {
  int braces = 0;
  for (;;) {
    if (at_eof()) throw EndAnalysis();
    if ((cur.cls == G_BODYTEXT || cur.cls == G_BASEBODY) && braces == 0) {
      // A body the scanner took whole: the faulty declaration ends with it.
      lex_token_into(lex, cur);
      if (recover > 0) --recover;
      return;
    }
    if (cur.cls == G_PUNCT && cur.code == '{') {
      ++braces;
    } else if (cur.cls == G_PUNCT && cur.code == '}') {
      if (braces == 0) {
        // A member declaration without its ';' before the closing brace.
        if (in_class_body) throw EndAnalysis();
        if (!braced) lex_token_into(lex, cur);  // a stray brace at file level
        return;
      }
      --braces;
      lex_token_into(lex, cur);
      if (braces == 0) {
        if (recover > 0) --recover;  // the token that ends the error rule is shifted
        return;
      }
      continue;
    } else if (cur.cls == G_PUNCT && cur.code == ';' && braces == 0) {
      lex_token_into(lex, cur);
      if (recover > 0) --recover;
      return;
    }
    lex_token_into(lex, cur);
  }
}

// declaration:
//     ';' | linkage-block | namespace-definition | using-declaration
//   | template-declaration | access-label | access-declaration
//   | decl-specifiers [init-declarator-list] ';' | function-definition
void Parser::declaration() {
  DepthGuard guard(*this);
  if (cur.cls == G_PUNCT && cur.code == ';') {
    advance();
    return;
  }
  Specs s;
  // __extension__ template<...>: a registered modifier before a word that
  // starts no type modifies nothing.
  auto modifier_before_keyword = [this] {
    const Tok n = peek_token();
    return n.cls == G_KEYWORD && (n.code == K_TEMPLATE || n.code == K_USING || n.code == K_NAMESPACE);
  };
  while (skip_attribute() || (is_word(W_EXTENSION) && (advance(), true)) ||
         (cur.cls == G_TYPEMOD && modifier_before_keyword() && (advance(), true))) {
  }
  if (is_word(W_STATIC_ASSERT)) {
    // A compile-time assertion declares nothing.
    advance();
    skip_parenthesised();
    expect(';');
    return;
  }
  if (cur.cls == G_KEYWORD) {
    const int k = cur.code;
    if (k == K_INLINE) {
      Tok n = peek_token();
      if (n.cls == G_KEYWORD && n.code == K_NAMESPACE) {  // inline namespace: a namespace
        advance();
        namespace_definition(true);
        return;
      }
    }
    if (k == K_EXTERN) {
      advance();
      if (cur.cls == G_STRING) {
        linkage_block();
        return;
      }
      if (cur.cls == G_KEYWORD && cur.code == K_TEMPLATE) {
        // extern template class X<char>; declares an instantiation made
        // elsewhere: nothing to enter.
        recover_skip(in_class(), true);
        return;
      }
      s.storage |= SF_EXTERN;
      s.any = true;
    } else if (k == K_NAMESPACE) {
      namespace_definition();
      return;
    } else if (k == K_USING) {
      using_declaration();
      return;
    } else if (k == K_TEMPLATE) {
      template_declaration();
      return;
    } else if (k == K_ASM || k == K_TRY) {
      syntax_error();
    } else if (k == K_PUBLIC || k == K_PROTECTED || k == K_PRIVATE) {
      if (!in_class()) syntax_error();
      int access = k == K_PUBLIC ? ACC_PUBLIC : k == K_PROTECTED ? ACC_PROTECTED : ACC_PRIVATE;
      advance();
      expect(':');
      scopes.back().access = access;
      return;
    }
  }
  if (in_class() && cur.cls == G_PUNCT && cur.code == ':') {
    // Unnamed bit-field.
    advance();
    collect_expression(";,", false);
    expect(';');
    return;
  }
  if (!s.any && skip_deduction_guide()) return;
  Specs got = decl_specifiers(false);
  got.storage |= s.storage;
  got.any = got.any || s.any;
  s = got;
  if (cur.cls == G_PUNCT && cur.code == ';' && !s.has_pending_name && s.pending_qual.empty()) {
    // A type alone: struct S {...};  struct S;  enum E {...};  friend class X;
    // friend X; names a class declared before.
    if (!s.tag_type && (s.storage & SF_FRIEND) && s.type &&
        (s.type->kind == TK_CLASS || s.type->kind == TK_UNION || s.type->kind == TK_TEMPLATE))
      s.tag_type = s.type;
    if (s.tag_type && (s.storage & SF_FRIEND) && in_class()) {
      Declaration *d = make_declaration(type_name(s.tag_type), s.tag_type, s.storage);
      add_member(d);
      const char *ref = table.reference_name;
      if (ref && type_name(s.tag_type) && std::strcmp(ref, type_name(s.tag_type)) == 0 && scope_record() &&
          scope_record()->record())
        scope_record()->record()->friend_of_reference = 1;
    } else if (!s.any) {
      syntax_error();
    }
    advance();
    return;
  }
  if (!s.any && !(cur.cls >= G_IDENT && cur.cls <= G_DECLNAME) && !(cur.cls == G_PUNCT && (cur.code == '*' || cur.code == '(' ||
                                                               cur.code == '~' || cur.code == P_SCOPE)) &&
      !(cur.cls == G_KEYWORD && cur.code == K_OPERATOR) && !s.has_pending_name && s.pending_qual.empty())
    syntax_error();
  Declarator d;
  parse_declarator(d, in_class(), &s);
  if (!d.name && s.pending_qual.empty() && !d.qualified && !(in_class() && is(':'))) syntax_error();
  for (const DeclOp &op : d.ops)
    if (op.trailing) s.storage &= ~SF_AUTO;  // "auto" only announced the trailing result
  if (s.constexpr_word && !d.ops.empty() && d.ops.back().kind == DeclOp::FUNC) s.storage |= SF_INLINE;
  // Access declaration: a qualified base member alone.
  if (in_class() && d.qualified && d.ops.empty() && !s.has_type && cur.cls == G_PUNCT && cur.code == ';') {
    access_declaration(d.qual, d.name);
    advance();
    return;
  }
  bool is_function = !d.ops.empty() && d.ops.back().kind == DeclOp::FUNC;
  if (is_function) {
    bool body_follows = (cur.cls == G_PUNCT && (cur.code == '{' || cur.code == ':')) || cur.cls == G_BODYTEXT ||
                        cur.cls == G_BASEBODY;
    bool knr = d.ops.back().knr && !(cur.cls == G_PUNCT && (cur.code == ';' || cur.code == ','));
    if (cur.cls == G_KEYWORD && cur.code == K_TRY) syntax_error();
    if (body_follows || knr) {
      TypeDesc *ftype = build_type(s.type, d);
      if (knr) old_style_parameters(d, ftype);
      function_definition(s, d, ftype);
      return;
    }
  }
  init_declarators(s, d);
}

// ---------------------------------------------------------------------------
// Declaration specifiers

bool Parser::is_template_parameter(const char *name) const {
  if (!name) return false;
  for (auto it = template_params.rbegin(); it != template_params.rend(); ++it)
    if (*it == name) return true;
  return false;
}

bool Parser::is_value_parameter(const char *name) const {
  return name && std::find(value_params.begin(), value_params.end(), name) != value_params.end();
}

namespace {

// Whether `name` is the name of a class called `class_name`, or of the
// template whose instance it is (fpos names fpos<int> inside its body).
bool names_class(const char *class_name, const char *name) {
  if (std::strcmp(class_name, name) == 0) return true;
  const size_t n = std::strlen(name);
  return std::strncmp(class_name, name, n) == 0 && class_name[n] == '<';
}

// A use of a typedef name: the name, the type it stands for, and the scope
// it was declared in (a use from elsewhere is written qualified).
TypeDesc *typedef_use(SymbolTable &table, const Declaration *d) {
  TypeDesc *n = named_type(d->name, d->type, &table);
  n->scope_kind = d->scope_kind;
  n->scope = d->scope;
  return n;
}

}  // namespace

NameTokenType Parser::name_token_type(const Tok &t) const {
  NameTokenType n;
  if ((t.cls == G_IDENT || (t.cls == G_DECLNAME && !t.sym)) && is_template_parameter(t.name)) {
    n.template_parameter = true;
    return n;
  }
  if (t.cls == G_CLASSNAME || t.cls == G_TEMPLNAME) {
    // A typedef name of an unnamed class: uses name the typedef, the only
    // name the class has.
    if (t.cls == G_CLASSNAME && t.sym && t.sym->decl && (t.sym->decl->storage & SF_TYPEDEF) && t.sym->decl->name &&
        t.type && t.type->kind == TK_CLASS && t.type->record() && !t.type->record()->name) {
      n.typedef_decl = t.sym->decl;
      return n;
    }
    if (t.type) n.type = t.type;
    else if (t.sym && t.sym->decl) n.type = t.sym->decl->type;
    return n;
  }
  if (t.cls == G_DECLNAME && t.sym && t.sym->decl) {
    Declaration *d = t.sym->decl;
    // Inside a class its constructors hide the class name from the lookup.
    if (d->type && d->type->kind == TK_FUNCTION && d->scope_kind && d->scope && d->scope->record() &&
        d->scope->record()->name && d->name && names_class(d->scope->record()->name, d->name)) {
      n.type = d->scope;
      return n;
    }
    if (d->storage & SF_TYPEDEF) {
      n.typedef_decl = d;
      return n;
    }
    TypeDesc *ty = d->type;
    if (ty && (ty->kind == TK_ENUM || ty->kind == TK_UNION || ty->kind == TK_CLASS || ty->kind == TK_TEMPLATE) &&
        type_name(ty) && d->name && std::strcmp(type_name(ty), d->name) == 0)
      n.type = ty;
  }
  return n;
}

TypeDesc *Parser::type_of_name_token(const Tok &t) const {
  const NameTokenType n = name_token_type(t);
  if (n.template_parameter) return named_type(t.name, nullptr, &table);
  if (n.typedef_decl) return typedef_use(table, n.typedef_decl);
  return n.type;
}

bool Parser::is_type_token() const {
  if (cur.cls == G_KEYWORD)
    return is_basic_type_keyword(cur.code) || cur.code == K_CONST || cur.code == K_VOLATILE ||
           cur.code == K_STRUCT || cur.code == K_CLASS || cur.code == K_UNION || cur.code == K_ENUM ||
           cur.code == K_TYPENAME || is_storage_keyword(cur.code, nullptr);
  if (cur.cls == G_CLASSNAME || cur.cls == G_TEMPLNAME || cur.cls == G_TYPEMOD) return true;
  if (cur.cls == G_DECLNAME || cur.cls == G_IDENT) return names_type(cur);
  return false;
}

TypeDesc *Parser::find_scope_type(const Tok &t) const {
  // A typedef name's type is where the walk through the aliases goes first:
  // taken at once, with no record made for the use (the step is counted).
  const NameTokenType n = name_token_type(t);
  int guard = 0;
  TypeDesc *ty = nullptr;
  if (n.typedef_decl && n.typedef_decl->type) {
    ty = n.typedef_decl->type;
    guard = 1;
  } else {
    ty = type_of_name_token(t);
  }
  if (!ty && t.sym && t.sym->decl) ty = t.sym->decl->type;
  for (; ty && ty->kind == TK_NAMED && ty->named() && ty->named()->aliased && guard < 100; ++guard)
    ty = ty->named()->aliased;
  if (ty && ty->kind == TK_ELABORATED && ty->elaborated()) ty = ty->elaborated()->named;
  return ty;
}

namespace {

const char *class_name_of(const TypeDesc *t) { return t && t->record() ? t->record()->name : nullptr; }

// Whether a name token names the class whose body is open (a constructor).
bool names_own_class(const Parser &p, const Tok &t) {
  if (!p.in_class() || !t.name) return false;
  const char *cn = class_name_of(p.scopes.back().record);
  if (!cn) return false;
  if (std::strcmp(cn, t.name) == 0) return true;
  size_t n = std::strlen(t.name);
  return std::strncmp(cn, t.name, n) == 0 && cn[n] == '<';  // template instance
}

// At the "::" after an instance X<int>: whether a type's name follows
// (X<int>::type v;), rather than a member defined outside its class
// (X<int>::f(, X<int>::X(, X<int>::~X, X<int>::operator). Nothing consumed.
bool nested_type_follows(Parser &p, const char *template_name) {
  const LexMark mark = lex_mark(p.lex);
  const Tok saved = p.cur;
  bool type = false;
  Tok t = lex_token(p.lex);
  for (int guard = 0; guard < 1000; ++guard) {
    if (!(t.cls >= G_IDENT && t.cls <= G_DECLNAME) || (t.name && template_name && !std::strcmp(t.name, template_name)))
      break;
    Tok n = lex_token(p.lex);
    for (int open = 0, g = 0; g < 100000 && (n.cls == G_TOPEN || open > 0) && n.cls != G_EOF; ++g) {
      if (n.cls == G_TOPEN) ++open;
      if (n.cls == G_TCLOSE) --open;
      n = lex_token(p.lex);
    }
    if (n.cls == G_PUNCT && n.code == P_SCOPE) {
      t = lex_token(p.lex);
      continue;
    }
    type = !(n.cls == G_PUNCT && n.code == '(');
    break;
  }
  lex_restore(p.lex, mark);
  p.cur = saved;
  return type;
}

// The qualification "a::b::" of a template declared in named namespaces
// only (an unnamed one is left out: its members are named from the
// enclosing scope); empty for one of file scope or of a class.
std::string namespace_qualification(const TypeDesc *templ) {
  std::string out;
  int guard = 0;
  for (const TypeDesc *sc = templ->scope; sc && guard < 10000; sc = sc->record()->enclosing, ++guard) {
    if (!sc->record() || sc->record()->key != KEY_NAMESPACE || !sc->record()->name) return std::string();
    if (!is_unnamed_namespace_name(sc->record()->name)) out = std::string(sc->record()->name) + "::" + out;
  }
  return out;
}

// From the "::" on: the rest of a qualified type name, appended to `text`.
// The member of an instance is not looked into: its type stays the name as
// written, which the script writes back as it stands; it keeps the class
// template it comes from (`templ`), whose declaration the script needs.
// Written without qualification (inside the template's namespace, or with
// a using-directive), the name is qualified through the template's
// namespaces: the script names it from the global scope.
TypeDesc *nested_type_name(Parser &p, std::string &text, TypeDesc *templ, bool unqualified) {
  if (templ && templ->kind != TK_TEMPLATE) templ = nullptr;
  if (templ && unqualified) text = namespace_qualification(templ) + text;
  for (int guard = 0; p.cur.cls == G_PUNCT && p.cur.code == P_SCOPE && guard < 1000; ++guard) {
    text += "::";
    p.advance();
    if (!(p.cur.cls >= G_IDENT && p.cur.cls <= G_DECLNAME)) p.syntax_error();
    text += p.cur.text;
    p.advance();
    if (p.cur.cls == G_TOPEN) {
      std::vector<std::string> args;
      text += p.collect_template_arguments(args);
    }
  }
  TypeDesc *t = named_type(intern(text), nullptr, &p.table);
  t->template_word = templ;
  return t;
}

}  // namespace

// Applies the const/volatile of the specifiers to the composed type.
Specs &finish_specifiers(SymbolTable &table, Specs &s, std::vector<TypeDesc *> &quals) {
  // The size pragmas change a typedef's own integer type in place: a
  // typedef never names the shared one.
  if (s.type && s.type->shared && (s.storage & SF_TYPEDEF)) s.type = private_copy(s.type, &table);
  if (quals.empty()) return s;
  TypeDesc *t = s.type;
  if (!t) {
    t = quals[0];
    for (size_t i = 1; i < quals.size(); ++i) append_qualifier(t, quals[i]);
    s.type = t;
    return s;
  }
  if (t->shared) {
    t = private_copy(t, &table);
  } else if (t->kind == TK_ENUM || t->kind == TK_UNION || t->kind == TK_CLASS || t->kind == TK_TEMPLATE ||
      t->kind == TK_ELABORATED) {
    // Named aggregates are shared by every use: qualify a copy of the node,
    // never the aggregate itself.
    TypeDesc *c = type_new(TK_RESERVED, &table);
    *c = *t;
    c->next = nullptr;
    t = c;
  }
  for (TypeDesc *q : quals) append_qualifier(t, q);
  s.type = t;
  return s;
}

namespace {

// What one step of the specifier loop did: nothing (the token is not of its
// kind), read a specifier (the loop goes on), or found where the specifiers
// end (a declarator, or a qualified name the declarator goes on with).
enum SpecStep { SPEC_NONE, SPEC_NEXT, SPEC_END };

// The specifiers being read and the cv-qualifiers seen among them.
struct SpecsReader {
  Parser &p;
  Specs &s;
  const char *file;
  std::vector<TypeDesc *> quals;

  // Each specifier read joins the type read so far (unsigned, then long).
  void add_type(TypeDesc *t) {
    s.type = s.type ? CPP_compose_type(s.type, t, file, p.line(), &p.table, p.an.sink) : t;
  }
  // A type specifier that has been read in full.
  SpecStep typed(TypeDesc *t) {
    add_type(t);
    s.has_type = s.any = true;
    return SPEC_NEXT;
  }
  // The declarator goes on from a name the specifiers have read.
  SpecStep pending() {
    s.any = true;
    return SPEC_END;
  }
};

// Basic types, cv-qualifiers, storage words, class, enum and typename specifiers.
SpecStep keyword_specifier(SpecsReader &r) {
  Parser &p = r.p;
  Specs &s = r.s;
  if (p.cur.cls != G_KEYWORD) return SPEC_NONE;
  const int k = p.cur.code;
  unsigned flag = 0;
  if (is_basic_type_keyword(k)) {
    // C's "_Bool" is the boolean type under its own name.
    TypeDesc *b = basic_type(k == K_BOOL && p.cur.word == W_C_BOOL ? "_Bool" : token_spelling(k), &p.table);
    r.add_type(b);
    s.has_type = s.any = true;
    p.advance();
    return SPEC_NEXT;
  }
  if (k == K_CONST || k == K_VOLATILE) {
    r.quals.push_back(qualifier_type(token_spelling(k), &p.table));
    s.any = true;
    p.advance();
    return SPEC_NEXT;
  }
  if (is_storage_keyword(k, &flag)) {
    s.storage |= flag;
    s.any = true;
    p.advance();
    return SPEC_NEXT;
  }
  if (k == K_STRUCT || k == K_CLASS || k == K_UNION) {
    if (s.has_type) p.syntax_error();
    return r.typed(p.class_specifier(s));
  }
  if (k == K_ENUM) {
    if (s.has_type) p.syntax_error();
    return r.typed(p.enum_specifier(s));
  }
  if (k == K_TYPENAME) {
    p.advance();
    std::string text;
    return r.typed(p.type_name_text(text));
  }
  return SPEC_END;
}

// Later specifier words, when what follows shows they are not a declarator
// name: decltype, __typeof, the later character types, alignas, constexpr,
// thread_local.
SpecStep word_specifier(SpecsReader &r) {
  Parser &p = r.p;
  Specs &s = r.s;
  if (p.cur.cls != G_IDENT) return SPEC_NONE;
  const int w = p.cur.word;
  const bool of_expression = w == W_DECLTYPE || w == W_TYPEOF || w == W_TYPEOF_UNDERSCORES;
  const bool char_type = w == W_CHAR16_T || w == W_CHAR32_T || w == W_CHAR8_T;
  const bool word = w == W_CONSTEXPR || of_expression || w == W_ALIGNAS || w == W_THREAD_LOCAL || char_type;
  if (!word) return SPEC_NONE;
  Tok n = p.peek_token();
  // char16_t and char32_t are keywords of C++: a type also before ')'
  // or ';' (f(char16_t), using U = char16_t;).
  const bool cpp_char = p.table.language == SRC_CPP && (w == W_CHAR16_T || w == W_CHAR32_T);
  const bool name_use = !cpp_char && n.cls == G_PUNCT && (n.code == ';' || n.code == '=' || n.code == ',' ||
                                                          n.code == '[' || n.code == ')');
  if (!name_use && of_expression && n.cls == G_PUNCT && n.code == '(' && !s.has_type) {
    const std::string word_text(p.cur.text);
    p.advance();  // decltype
    p.advance();  // (
    const std::string text = word_text + "(" + p.collect_expression(")", false) + ")";
    p.expect(')');
    return r.typed(named_type(intern(text), nullptr, &p.table));
  }
  if (!name_use && char_type && !s.has_type) {
    // The later character types of C++ (in C they are typedef names).
    const int bits = w == W_CHAR8_T ? 8 : w == W_CHAR16_T ? 16 : 32;
    TypeDesc *t = integer_type(p.cur.name, bits, 0, &p.table);
    r.add_type(t);
    s.has_type = s.any = true;
    p.advance();
    return SPEC_NEXT;
  }
  if (!name_use && w == W_ALIGNAS && n.cls == G_PUNCT && n.code == '(') {
    p.advance();
    p.skip_parenthesised();
    s.any = true;
    return SPEC_NEXT;
  }
  if (!name_use && (w == W_CONSTEXPR || w == W_THREAD_LOCAL)) {
    if (w == W_CONSTEXPR) s.constexpr_word = true;
    else s.storage |= SF_THREAD_LOCAL;
    s.any = true;
    p.advance();
    return SPEC_NEXT;
  }
  return SPEC_NONE;
}

// Names no lookup knows that still are types where they stand, and the
// registered type modifiers.
SpecStep unknown_type_specifier(SpecsReader &r, bool for_param) {
  Parser &p = r.p;
  Specs &s = r.s;
  if (!s.has_type && p.cur.cls == G_IDENT && p.unknown_names_may_be_types() && p.peek_token().cls == G_TOPEN) {
    // A member template of a base or a member alias template passed over
    // (_If_sv<_Tp, basic_string&> f(...)): with its arguments, a type.
    std::string text(p.cur.text);
    p.advance();
    std::vector<std::string> args;
    text += p.collect_template_arguments(args);
    return r.typed(named_type(intern(text), nullptr, &p.table));
  }
  if (for_param && !s.has_type && p.unknown_type_follows()) {
    TypeDesc *t = named_type(p.cur.name, nullptr, &p.table);
    r.add_type(t);
    s.has_type = s.any = true;
    p.advance();
    return SPEC_NEXT;
  }
  if (p.cur.cls == G_TYPEMOD) {  // registered modifiers carry no type of their own
    s.any = true;
    p.advance();
    return SPEC_NEXT;
  }
  return SPEC_NONE;
}

// A class template's name: an instance as a type, a constructor of the
// class, or the qualifying scope of a member.
SpecStep template_name_specifier(SpecsReader &r) {
  Parser &p = r.p;
  Specs &s = r.s;
  Tok t = p.cur;
  p.advance();
  if (p.cur.cls == G_PUNCT && p.cur.code == '(' && names_own_class(p, t)) {
    s.has_pending_name = true;
    s.pending_qual.clear();
    s.pending_scope = nullptr;
    s.tag_type = nullptr;
    s.pending_qual.push_back(t.name);  // the constructor's own name, see parse_declarator
    return r.pending();
  }
  std::vector<std::string> args;
  std::string composed;
  if (p.cur.cls == G_TOPEN) composed = p.collect_template_arguments(args);
  if (p.cur.cls == G_PUNCT && p.cur.code == P_SCOPE && !composed.empty() && nested_type_follows(p, t.name)) {
    std::string text = std::string(t.name ? t.name : "") + composed;
    return r.typed(nested_type_name(p, text, p.type_of_name_token(t), true));
  }
  if (p.cur.cls == G_PUNCT && p.cur.code == P_SCOPE) {
    // X<T>::member (a member of the template), or a type nested in an
    // instance: the template itself is the qualifying scope.
    s.pending_qual.push_back(std::string(t.name ? t.name : "") + composed);
    s.pending_scope = p.type_of_name_token(t);
    p.advance();
    return r.pending();
  }
  TypeDesc *inst = p.template_instance(t, args, !composed.empty());
  if (inst) {
    r.add_type(inst);
  }
  s.has_type = s.any = true;
  return SPEC_NEXT;
}

// After "A::": a nested type (A::B x;) or the declarator of a member defined
// outside its class (A::f, A::A, A::~A, A::operator).
SpecStep qualified_name_specifier(SpecsReader &r, const Tok &t) {
  Parser &p = r.p;
  Specs &s = r.s;
  std::vector<std::string> qual;
  qual.push_back(t.name);
  TypeDesc *scope = p.find_scope_type(t);
  Tok last = t;
  for (;;) {
    p.advance();  // past "::"
    if (!(p.cur.cls == G_CLASSNAME || p.cur.cls == G_TEMPLNAME ||
          (p.cur.cls == G_DECLNAME && p.names_type(p.cur))))
      break;
    if (p.cur.name && last.name && std::strcmp(p.cur.name, last.name) == 0) break;  // A::A
    Tok n = p.cur;
    p.advance();
    if (p.cur.cls == G_PUNCT && p.cur.code == P_SCOPE) {
      qual.push_back(n.name);
      scope = p.find_scope_type(n);
      last = n;
      continue;
    }
    if (p.cur.cls == G_PUNCT && p.cur.code == '(' && !s.any && !s.has_type) {
      // A::f( with an implicitly typed result: declarator.
      qual.push_back(n.name);
      s.pending_qual = qual;
      s.pending_scope = scope;
      s.has_pending_name = true;
      return r.pending();
    }
    TypeDesc *nt = nullptr;
    if (n.cls == G_TEMPLNAME) {
      std::vector<std::string> args;
      const std::string composed = p.cur.cls == G_TOPEN ? p.collect_template_arguments(args) : std::string();
      if (p.cur.cls == G_PUNCT && p.cur.code == P_SCOPE && !composed.empty() && nested_type_follows(p, n.name)) {
        // std::X<int>::type: named as written, with its qualification.
        std::string text;
        for (const std::string &q : qual) text += q + "::";
        text += std::string(n.name) + composed;
        nt = nested_type_name(p, text, p.type_of_name_token(n), false);
      } else {
        nt = p.template_instance(n, args, !composed.empty());
      }
    } else {
      nt = p.type_of_name_token(n);
    }
    if (!nt) nt = named_type(n.name, nullptr, &p.table);
    return r.typed(nt);
  }
  s.pending_qual = qual;
  s.pending_scope = scope;
  return r.pending();
}

// A class name or a name declared as a type (a typedef name): the type, a
// constructor declared in its class, another instance of the template of
// the instance being read, or the start of a qualified name.
SpecStep class_name_specifier(SpecsReader &r) {
  Parser &p = r.p;
  Specs &s = r.s;
  Tok t = p.cur;
  p.advance();
  TypeDesc *own = p.cur.cls == G_TOPEN ? p.type_of_name_token(t) : nullptr;
  TypeDesc *templ = own ? template_of_class(p.table, own) : nullptr;
  if (templ && templ->templ() && templ->templ()->name) {
    // In an instance or an explicit specialisation, its template's name
    // with arguments: another instance of the template (duration<R2, P2>
    // in duration<long>, complex<double> in complex<float>).
    Tok tt = t;
    tt.cls = G_TEMPLNAME;
    tt.type = templ;
    tt.sym = nullptr;
    tt.name = templ->templ()->name;
    tt.text = tt.name;
    std::vector<std::string> args;
    const std::string composed = p.collect_template_arguments(args);
    if (p.cur.cls == G_PUNCT && p.cur.code == P_SCOPE) {
      s.pending_qual.push_back(std::string(tt.name) + composed);
      s.pending_scope = tt.type;
      p.advance();
      return r.pending();
    }
    TypeDesc *other = p.template_instance(tt, args, true);
    if (other) r.add_type(other);
    s.has_type = s.any = true;
    return SPEC_NEXT;
  }
  if (p.cur.cls == G_PUNCT && p.cur.code == '(' && names_own_class(p, t)) {
    // Constructor declared in its class, named as written: in an instance
    // or a specialisation (X<int>) without the arguments.
    s.has_pending_name = true;
    s.pending_qual.clear();
    s.pending_qual.push_back(t.name);
    return r.pending();
  }
  if (p.cur.cls == G_PUNCT && p.cur.code == P_SCOPE) return qualified_name_specifier(r, t);
  TypeDesc *ty = p.type_of_name_token(t);
  if (!ty) ty = named_type(t.name, nullptr, &p.table);
  return r.typed(ty);
}

// A specifier that names a type: "::" before it, a template's or a class's name.
SpecStep named_type_specifier(SpecsReader &r) {
  Parser &p = r.p;
  if (p.cur.cls == G_PUNCT && p.cur.code == P_SCOPE) {
    // A type named from the global scope (::B, ::n::A<int>): the same
    // type as without the leading "::".
    p.advance();
    if (!(p.cur.cls == G_CLASSNAME || p.cur.cls == G_TEMPLNAME ||
          ((p.cur.cls == G_DECLNAME || p.cur.cls == G_IDENT) && p.names_type(p.cur))))
      p.syntax_error();
    return SPEC_NEXT;
  }
  if (p.cur.cls == G_TEMPLNAME) return template_name_specifier(r);
  if (p.cur.cls == G_CLASSNAME || ((p.cur.cls == G_DECLNAME || p.cur.cls == G_IDENT) && p.names_type(p.cur)))
    return class_name_specifier(r);
  return SPEC_END;
}

}  // namespace

// decl-specifiers: { basic-type | cv | storage | class-specifier | enum-specifier
//                    | type-name | typename qualified-name }
Specs Parser::decl_specifiers(bool for_param) {
  DepthGuard guard(*this);
  Specs s;
  SpecsReader r{*this, s, file(), {}};
  for (;;) {
    SpecStep step = keyword_specifier(r);
    if (step == SPEC_NONE) step = word_specifier(r);
    if (step == SPEC_NONE && skip_attribute()) step = SPEC_NEXT;
    if (step == SPEC_NONE) step = unknown_type_specifier(r, for_param);
    if (step == SPEC_NONE && s.has_type) step = SPEC_END;
    if (step == SPEC_NONE) step = named_type_specifier(r);
    if (step != SPEC_NEXT) break;
  }
  // Returned as the local it is, not copied from the reference the
  // finishing step hands back.
  finish_specifiers(table, s, r.quals);
  return s;
}

// typename-specifier: [::] name { :: name } [template-arguments]
TypeDesc *Parser::type_name_text(std::string &text) {
  int guard = 0;
  for (;;) {
    if (++guard > 10000) syntax_error();
    if (cur.cls == G_PUNCT && cur.code == P_SCOPE) {
      append_token_text(text, cur);
      advance();
      if (cur.cls == G_KEYWORD && cur.code == K_TEMPLATE) {  // A<T>::template rebind<U>
        text += "template ";
        advance();
      }
      continue;
    }
    if (cur.cls >= G_IDENT && cur.cls <= G_DECLNAME) {
      append_token_text(text, cur);
      advance();
      if (cur.cls == G_TOPEN) {
        std::vector<std::string> args;
        text += collect_template_arguments(args);
      }
      if (cur.cls == G_PUNCT && cur.code == P_SCOPE) continue;
      break;
    }
    syntax_error();
  }
  return named_type(intern(text), nullptr, &table);
}

// ---------------------------------------------------------------------------
// Deduced types

std::string trimmed(const std::string &s) {
  size_t b = s.find_first_not_of(" \t\n"), e = s.find_last_not_of(" \t\n");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

namespace {

// The position just past the group opened at `open` ('(', '<', '{'), or npos.
size_t group_end(const std::string &s, size_t open) {
  int depth = 0;
  for (size_t i = open; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"' || c == '\'') {
      for (++i; i < s.size() && s[i] != c; ++i)
        if (s[i] == '\\') ++i;
      continue;
    }
    if (c == '(' || c == '{' || c == '[' || (c == '<' && s[open] == '<')) ++depth;
    if (c == ')' || c == '}' || c == ']' || (c == '>' && s[open] == '<')) {
      if (--depth == 0) return i + 1;
    }
  }
  return std::string::npos;
}

// The type of a numeric literal, as the language gives it with 32-bit int.
std::string literal_type(const std::string &lit) {
  const AnalysisSettings &st = analysis_settings();
  if (lit.find('\'') != std::string::npos) return "";  // digit separators
  const bool hex = lit.size() > 1 && lit[0] == '0' && (lit[1] == 'x' || lit[1] == 'X');
  if (lit.size() > 1 && lit[0] == '0' && (lit[1] == 'b' || lit[1] == 'B')) return "";
  size_t end = lit.size();
  while (end > 0 && std::strchr("uUlLfF", lit[end - 1]) && !(hex && (lit[end - 1] == 'f' || lit[end - 1] == 'F'))) --end;
  std::string suffix = lit.substr(end), digits = lit.substr(0, end);
  for (char &c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool floating = hex ? digits.find_first_of("pP") != std::string::npos
                            : digits.find_first_of(".eE") != std::string::npos;
  if (floating) {
    if (suffix.empty()) return "double";
    if (suffix == "f") return "float";
    if (suffix == "l") return "long double";
    return "";
  }
  if (suffix.find('f') != std::string::npos || digits.empty()) return "";
  for (char c : digits.substr(hex ? 2 : 0))
    if (!std::isxdigit(static_cast<unsigned char>(c))) return "";
  errno = 0;
  char *stop = nullptr;
  const unsigned long long v = std::strtoull(digits.c_str(), &stop, 0);
  if (errno || !stop || *stop) return "";
  const bool decimal = !hex && !(digits.size() > 1 && digits[0] == '0');
  const bool u = suffix.find('u') != std::string::npos;
  const size_t ls = std::count(suffix.begin(), suffix.end(), 'l');
  auto fits = [&](int bits, bool is_unsigned) {
    if (bits >= 64) return is_unsigned || v <= 0x7fffffffffffffffULL;
    return v <= (is_unsigned ? (1ULL << bits) - 1 : (1ULL << (bits - 1)) - 1);
  };
  struct Cand { const char *name; int bits; bool is_unsigned; };
  const Cand all[] = {{"int", st.sizes->int_bits, false}, {"unsigned int", st.sizes->int_bits, true},
                      {"long", st.sizes->long_bits, false}, {"unsigned long", st.sizes->long_bits, true},
                      {"long long", st.sizes->longlong_bits, false}, {"unsigned long long", st.sizes->longlong_bits, true}};
  for (const Cand &c : all) {
    const size_t rank = (&c - all) / 2;  // 0 int, 1 long, 2 long long
    if (rank < ls) continue;
    if (u && !c.is_unsigned) continue;
    if (!u && c.is_unsigned && decimal) continue;
    if (fits(c.bits, c.is_unsigned)) return c.name;
  }
  return "";
}

// A word that begins a type a variable can have (void is none).
bool is_type_word(const std::string &w) {
  const int code = keyword_code(w.data(), w.size(), SRC_CPP);
  return code != K_VOID && is_type_name_keyword(code);
}

}  // namespace

bool Parser::text_starts_with_type(const std::string &text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == ':')) ++i;
  size_t j = i;
  while (j < text.size() && word_char(text[j])) ++j;
  if (j == i) return false;
  const std::string w = text.substr(i, j - i);
  if (is_type_word(w)) return true;
  const char *name = intern(w);
  const ScopeContext ctx = context();
  // A function or variable of that name hides a tag of the same name.
  if (Symbol *o = lookup_ordinary(name, table, ctx))
    return o->decl && ((o->decl->storage & SF_TYPEDEF) ||
                       (o->decl->type && (o->decl->type->kind == TK_CLASS || o->decl->type->kind == TK_TEMPLATE) &&
                        o->decl->name && type_name(o->decl->type) &&
                        std::strcmp(o->decl->name, type_name(o->decl->type)) == 0));
  return lookup_tag(name, table, -1, ctx) != nullptr;
}

TypeDesc *Parser::deduced_type(const std::string &init) {
  std::string s = trimmed(init);
  if (s.empty()) return nullptr;
  std::string type_text;
  auto operand_ends = [&](size_t from) { return trimmed(s.substr(from)).empty(); };
  std::string lit = s;
  if (lit[0] == '-' || lit[0] == '+') lit = trimmed(lit.substr(1));
  if (lit.empty()) return nullptr;
  // The initialiser's leading word, as the scanner would code it: a name
  // that merely starts like a keyword (static_cast_all) is no cast.
  size_t word_end = 0;
  while (word_end < s.size() && (std::isalnum(static_cast<unsigned char>(s[word_end])) || s[word_end] == '_'))
    ++word_end;
  const int word = keyword_code(s.data(), word_end, table.language);
  if (std::isdigit(static_cast<unsigned char>(lit[0])) || (lit[0] == '.' && lit.size() > 1 && std::isdigit(static_cast<unsigned char>(lit[1])))) {
    type_text = literal_type(lit);
  } else if ((word == K_TRUE || word == K_FALSE) && word_end == s.size()) {
    type_text = "bool";
  } else if (s[0] == '\'' && group_end(s, 0) == std::string::npos && s.size() >= 3 && s.back() == '\'') {
    type_text = "char";
  } else if (s[0] == '"' && s.back() == '"') {
    // Adjacent literals only: no operator between them.
    bool only_strings = true;
    for (size_t i = 0; i < s.size() && only_strings;) {
      if (s[i] == ' ') { ++i; continue; }
      if (s[i] != '"') { only_strings = false; break; }
      size_t k = i + 1;
      while (k < s.size() && s[k] != '"') k += s[k] == '\\' ? 2 : 1;
      i = k + 1;
    }
    if (only_strings) type_text = "const char *";
  } else if (word == K_STATIC_CAST || word == K_CONST_CAST || word == K_REINTERPRET_CAST) {
    const size_t lt = s.find('<');
    const size_t gt = lt == std::string::npos ? lt : group_end(s, lt);
    if (gt != std::string::npos) {
      const size_t po = s.find_first_not_of(' ', gt);
      if (po != std::string::npos && s[po] == '(') {
        const size_t pe = group_end(s, po);
        if (pe != std::string::npos && operand_ends(pe)) type_text = trimmed(s.substr(lt + 1, gt - lt - 2));
      }
    }
  } else if (s[0] == '(') {
    // (T) operand: a cast of one plain operand.
    const size_t pe = group_end(s, 0);
    if (pe != std::string::npos && text_starts_with_type(s.substr(1, pe - 2))) {
      const std::string rest = trimmed(s.substr(pe));
      bool plain = !rest.empty();
      for (char c : rest) plain = plain && (word_char(c) || c == '.' || c == ' ');
      if (!plain && !rest.empty() && rest[0] == '(') plain = group_end(rest, 0) == rest.size();
      if (plain) type_text = trimmed(s.substr(1, pe - 2));
    }
  } else if (text_starts_with_type(s)) {
    // T(args) or T{args}: a constructor call or a functional cast.
    size_t i = 0;
    for (; i < s.size(); ++i) {
      if (s[i] == '<') {
        const size_t e = group_end(s, i);
        if (e == std::string::npos) return nullptr;
        i = e - 1;
        continue;
      }
      if (s[i] == '(' || s[i] == '{') break;
    }
    if (i < s.size()) {
      const size_t pe = group_end(s, i);
      if (pe != std::string::npos && operand_ends(pe)) type_text = trimmed(s.substr(0, i));
    }
  }
  if (type_text.empty()) return nullptr;
  return type_from_text(type_text.c_str(), table, file(), line(), nullptr, &an.budget);
}

// ---------------------------------------------------------------------------
// Expressions kept as normalised text

// expression: tokens with balanced brackets up to a stop punctuator at the
// outer level; two operands in a row are a syntax error.
std::string Parser::collect_expression(const char *stops, bool allow_empty, std::string *qualified) {
  std::string out;
  std::vector<char> open;
  bool prev_operand = false;
  bool prev_string = false;
  bool name_starts = true;  // the next name is not a member named after "::", "." or "->"
  size_t name_begin = std::string::npos;  // where the qualified name being read starts in *qualified
  for (;;) {
    if (at_eof()) syntax_error();
    const bool punct = cur.cls == G_PUNCT;
    const int x = cur.code;
    if (open.empty() && punct && x < 256 && std::strchr(stops, x)) break;
    if (open.empty() && cur.cls == G_TCLOSE && std::strchr(stops, '>')) break;
    bool operand = false;
    if (punct && (x == '(' || x == '[' || x == '{')) {
      if (depth + static_cast<int>(open.size()) + 1 > GRAMMAR_NESTING_LIMIT) too_deep();
      open.push_back(static_cast<char>(x));
    } else if (cur.cls == G_TOPEN) {
      if (depth + static_cast<int>(open.size()) + 1 > GRAMMAR_NESTING_LIMIT) too_deep();
      open.push_back('<');
    } else if (punct && (x == ')' || x == ']' || x == '}')) {
      char want = x == ')' ? '(' : x == ']' ? '[' : '{';
      if (open.empty() || open.back() != want) syntax_error();
      open.pop_back();
      operand = true;
    } else if (cur.cls == G_TCLOSE) {
      if (open.empty() || open.back() != '<') syntax_error();
      open.pop_back();
    } else if (punct && x == ';' && std::find(open.begin(), open.end(), '{') == open.end()) {
      // A ';' ends the declaration unless a brace (a lambda's body) holds it.
      syntax_error();
    } else if (cur.cls == G_IDENT || cur.cls == G_CLASSNAME || cur.cls == G_DECLNAME || cur.cls == G_NUMBER ||
               cur.cls == G_FLOATNUM || cur.cls == G_CHARLIT || cur.cls == G_TEMPLNAME) {
      // A template argument may be a type (T C::*, unsigned T): names may follow each other.
      if (prev_operand && !(in_template_arguments &&
                            std::find_if(open.begin(), open.end(), [](char c) { return c != '<'; }) == open.end()))
        syntax_error();
      operand = true;
    } else if (cur.cls == G_STRING) {
      if (prev_operand && !prev_string) syntax_error();
      operand = true;
    } else if (cur.cls == G_BODYTEXT || cur.cls == G_BASEBODY || cur.cls == G_INITTEXT) {
      syntax_error();
    }
    if (qualified) {
      const bool name = cur.cls >= G_IDENT && cur.cls <= G_DECLNAME;
      if (name && name_starts) {
        if (cur.cls == G_IDENT && !is_template_parameter(cur.name)) unknown_in_arguments = true;
        Tok spelled = cur;
        spelled.hold(argument_name_text(cur));
        append_token_text(*qualified, spelled);
        name_begin = qualified->size() - spelled.text.size();
      } else if (name && cur.cls == G_CLASSNAME && cur.sym && cur.sym->area == AREA_ORDINARY && cur.sym->decl &&
                 (cur.sym->decl->storage & SF_TYPEDEF) && cur.sym->decl->name) {
        if (name_begin <= qualified->size()) {
          // n::Row, a typedef name of a class: the class's own name replaces
          // the qualified typedef name (its scopes are the class's).
          qualified->resize(name_begin);
          qualified->append(argument_name_text(cur));
        } else {
          // X<T>::type: the member as written.
          Tok spelled = cur;
          spelled.text = cur.sym->decl->name;
          append_token_text(*qualified, spelled);
        }
      } else {
        append_token_text(*qualified, cur);
      }
      // A qualified name goes on through names and "::" only.
      if (!(name || (punct && x == P_SCOPE))) name_begin = std::string::npos;
    }
    name_starts = !(punct && (x == P_SCOPE || x == '.' || x == P_ARROW)) &&
                  !(cur.cls == G_KEYWORD && cur.code == K_TEMPLATE && !name_starts);
    append_token_text(out, cur);
    prev_string = cur.cls == G_STRING;
    // A closing parenthesis may end a cast, so an operand may follow it.
    prev_operand = operand && !(punct && x == ')');
    advance();
  }
  if (out.empty() && !allow_empty) syntax_error();
  return out;
}

// template-arguments: template-open [ argument { ',' argument } ] template-close
// Returns the composed text "<a,b>"; `args` receives each argument's text.
std::string Parser::collect_template_arguments(std::vector<std::string> &args) {
  DepthGuard guard(*this);
  advance();  // template-open
  struct ArgumentsFlag {
    bool &flag;
    bool saved;
    ~ArgumentsFlag() { flag = saved; }
  } arguments_flag{in_template_arguments, in_template_arguments};
  in_template_arguments = true;
  unknown_in_arguments = false;
  std::string composed = "<";
  if (cur.cls == G_TCLOSE) {
    advance();
    return "<>";
  }
  for (;;) {
    // Each argument is spelled with its names qualified from the global
    // scope: the text is read again where the template stands, where the
    // names of the place of use (a member typedef, an alias, a name of the
    // namespace the use is in) are not visible.
    std::string a;
    collect_expression(",>", false, &a);
    args.push_back(a);
    composed += a;
    if (cur.cls == G_PUNCT && cur.code == ',') {
      composed += ",";
      advance();
      continue;
    }
    if (cur.cls != G_TCLOSE) syntax_error();
    composed += ">";
    advance();
    return composed;
  }
}

// ---------------------------------------------------------------------------
// The analysis object

Analysis::Analysis(SymbolTable &t, AnalysisBudget &b, const ReportSink &report_sink, bool keep, bool lenient,
                   int instantiation_level)
    : table(t), budget(b), sink(report_sink), keep_bodies(keep), lenient_matching(lenient),
      parser(*this, instantiation_level) {
  scanner.sink = sink;
  scanner.hooks.owner = &parser;
  scanner.hooks.scope = hook_scope;
  scanner.hooks.template_parameter = hook_template_parameter;
  scanner.hooks.fallback_scope = hook_fallback_scope;
}

int Analysis::run(const char *text, const char *file, int line, const Scope &outer) {
  lex_begin(scanner, &table, file ? file : "", line, keep_bodies, lenient_matching);
  lex_set_text(scanner, text);
  parser.run(outer);
  lex_end(scanner);
  return parser.errors;
}

}  // namespace grammar

// ---------------------------------------------------------------------------
// Entry

int analysis_syntax_errors() { return analyser_process().last_syntax_errors; }

void note_analysis_of(SymbolTable &table) {
  analyser_process().last_table = &table;
  analyser_process().last_syntax_errors = 0;
}

int analyse_text(const char *text, SymbolTable &table, const char *function_name, const char *file_name,
                 int first_line, int keep_bodies, int lenient_matching,
                 AnalysisBudget *budget) {
  return analyse_text_reporting(text, table, function_name, file_name, first_line, ReportSink(), keep_bodies,
                                lenient_matching, budget);
}

int analyse_text_reporting(const char *text, SymbolTable &table, const char *function_name,
                           const char *file_name, int first_line, const ReportSink &sink, int keep_bodies,
                           int lenient_matching, AnalysisBudget *budget, TypeDesc *scope) {
  using namespace grammar;
  AnalysisBudget own;
  if (!budget) {
    budget = &own;
    analyser_process().last_table = &table;
  }
  Scope outer;
  if (function_name && *function_name) {
    outer.kind = SC_FUNCTION;
    outer.record = function_scope(table, function_name);
  } else if (scope) {
    outer.kind = SC_QUALIFIED;
    outer.record = scope;
  }
  int errors = 0;
  if (text && *text) {
    Analysis an(table, *budget, sink, keep_bodies, lenient_matching, 0);
    errors = an.run(text, file_name, first_line, outer);
  }
  analyser_process().last_syntax_errors = errors;
  return errors;
}

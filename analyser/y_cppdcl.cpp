// Declaration grammar, second part: declarators, parameter lists, the
// actions that enter variables and functions, function definitions and
// old-style parameter declarations (see y_cppa.cpp for the entry, the token
// window and the declaration specifiers).
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
// ---------------------------------------------------------------------------
// Declarators

// declarator: { ptr-operator } direct-declarator
// ptr-operator: '*' {cv} | '&' | class-name '::' '*' {cv}
// direct-declarator: name | '(' declarator ')' | direct-declarator suffix
namespace {
// The name part of a declarator read inside another ("(*f)" or "A::* p"):
// it names the outer one.
void take_name(Declarator &d, Declarator &from) {
  d.name = from.name;
  d.qual = std::move(from.qual);
  d.qualified = from.qualified;
  d.qual_scope = from.qual_scope;
  d.is_destructor = from.is_destructor;
  d.is_operator = from.is_operator;
}

// Appends `ops` in reverse order to `to`; when `to` is empty, `ops` itself
// becomes the list, reversed in place, with no new one made.
void append_reversed(std::vector<DeclOp> &to, std::vector<DeclOp> &ops) {
  if (to.empty()) {
    std::reverse(ops.begin(), ops.end());
    to.swap(ops);
    return;
  }
  to.reserve(to.size() + ops.size());
  for (auto it = ops.rbegin(); it != ops.rend(); ++it) to.push_back(std::move(*it));
}
}  // namespace

void Parser::parse_declarator(Declarator &d, bool abstract_ok, Specs *specs) {
  DepthGuard guard(*this);
  d.line = line();
  std::vector<DeclOp> prefix, suffix;
  Declarator inner;
  bool nested = false;
  if (specs && (specs->has_pending_name || !specs->pending_qual.empty())) {
    if (specs->has_pending_name) {
      // The name was read with the specifiers (constructor or A::f).
      std::vector<std::string> q = specs->pending_qual;
      d.name = intern(q.back());
      q.pop_back();
      d.qual = q;
      d.qualified = !q.empty();
      d.qual_scope = specs->pending_scope;
      specs->has_pending_name = false;
    } else {
      d.qual = specs->pending_qual;
      d.qual_scope = specs->pending_scope;
      d.qualified = true;
      declarator_name(d);
    }
    specs->pending_qual.clear();
    declarator_suffixes(d, suffix);
    append_reversed(d.ops, suffix);
    return;
  }
  for (;;) {
    // Each step is made in its place in the list: nothing else adds to the
    // list while it is read, and a step is a large record to move.
    if (cur.cls == G_PUNCT && cur.code == '*') {
      DeclOp &op = prefix.emplace_back();
      op.kind = DeclOp::PTR;
      advance();
      while (cur.cls == G_KEYWORD && (cur.code == K_CONST || cur.code == K_VOLATILE)) {
        op.quals.push_back(qualifier_type(token_spelling(cur.code), &table));
        advance();
      }
      while (cur.cls == G_TYPEMOD) advance();
      continue;
    }
    if (cur.cls == G_PUNCT && (cur.code == '&' || cur.code == P_AND_AND)) {
      DeclOp &op = prefix.emplace_back();
      op.kind = DeclOp::REF;
      op.rvalue = cur.code == P_AND_AND;
      advance();
      continue;
    }
    if (cur.cls == G_TYPEMOD) {
      advance();
      continue;
    }
    if (cur.cls == G_PUNCT && cur.code == P_ELLIPSIS && abstract_ok && specs) {
      advance();  // a parameter pack: Ts... args
      d.pack = true;
      continue;
    }
    break;
  }
  if (cur.cls == G_PUNCT && cur.code == '(') {
    advance();
    bool nested_start = (cur.cls == G_PUNCT && (cur.code == '*' || cur.code == '&' || cur.code == '(' ||
                                                cur.code == P_SCOPE || cur.code == '~')) ||
                        cur.cls == G_IDENT || (cur.cls == G_KEYWORD && cur.code == K_OPERATOR) ||
                        (!abstract_ok && (cur.cls == G_CLASSNAME || cur.cls == G_TEMPLNAME ||
                                          cur.cls == G_DECLNAME)) ||
                        (abstract_ok && (cur.cls == G_CLASSNAME || cur.cls == G_TEMPLNAME || cur.cls == G_DECLNAME) &&
                         member_pointer_follows());
    if (nested_start) {
      nested = true;
      parse_declarator(inner, abstract_ok, nullptr);
      expect(')');
    } else if (abstract_ok) {
      DeclOp &op = suffix.emplace_back();
      op.kind = DeclOp::FUNC;
      parameter_list(op);
    } else {
      syntax_error();
    }
  } else if ((cur.cls >= G_IDENT && cur.cls <= G_DECLNAME) || (cur.cls == G_PUNCT && (cur.code == '~' || cur.code == P_SCOPE)) ||
             (cur.cls == G_KEYWORD && cur.code == K_OPERATOR)) {
    declarator_name(d);
    // "A::*" ends as a pointer to member: the name part is empty then.
    if (!d.name && !d.qual.empty() && cur.cls == G_PUNCT && cur.code == '*') {
      DeclOp &op = prefix.emplace_back();
      op.kind = DeclOp::MEMPTR;
      op.member_class = d.qual_scope;
      d.qual.clear();
      d.qualified = false;
      d.qual_scope = nullptr;
      advance();
      while (cur.cls == G_KEYWORD && (cur.code == K_CONST || cur.code == K_VOLATILE)) {
        op.quals.push_back(qualifier_type(token_spelling(cur.code), &table));
        advance();
      }
      Declarator rest;
      parse_declarator(rest, abstract_ok, nullptr);
      take_name(d, rest);
      d.ops.reserve(d.ops.size() + prefix.size() + rest.ops.size());
      for (DeclOp &o : prefix) d.ops.push_back(std::move(o));
      for (DeclOp &o : rest.ops) d.ops.push_back(std::move(o));
      return;
    }
  } else if (!abstract_ok) {
    syntax_error();
  }
  declarator_suffixes(d, suffix);
  d.ops.clear();
  if (!nested && (prefix.empty() || suffix.empty())) {
    // Most declarators have pointers or suffixes but not both: the list
    // read becomes the declarator's own, with no copy of it.
    if (prefix.empty()) append_reversed(d.ops, suffix);
    else d.ops.swap(prefix);
    return;
  }
  d.ops.reserve(prefix.size() + suffix.size() + inner.ops.size());
  for (DeclOp &o : prefix) d.ops.push_back(std::move(o));
  for (auto it = suffix.rbegin(); it != suffix.rend(); ++it) d.ops.push_back(std::move(*it));
  if (nested) {
    for (DeclOp &o : inner.ops) d.ops.push_back(std::move(o));
    take_name(d, inner);
  }
}

bool Parser::unknown_type_follows() {
  if (cur.cls != G_IDENT || names_type(cur) || !unknown_names_may_be_types()) return false;
  // A member type of a template parameter or of a base (size_type,
  // char_type) is not known by name here; followed by a declarator it is a type.
  Tok n = peek_token();
  return (n.cls >= G_IDENT && n.cls <= G_DECLNAME) ||
         (n.cls == G_PUNCT && (n.code == '*' || n.code == '&' || n.code == P_AND_AND)) ||
         (n.cls == G_KEYWORD && (n.code == K_CONST || n.code == K_VOLATILE));
}

bool Parser::unknown_names_may_be_types() const {
  if (!template_params.empty() || specialisation_headers > 0) return true;
  for (const Scope &sc : scopes)
    if ((sc.kind == SC_CLASS || sc.kind == SC_QUALIFIED) && sc.record && sc.record->record() &&
        (sc.record->record()->first_base || sc.record->record()->instance_mark))
      return true;
  return false;
}

Tok Parser::peek_token() {
  const LexMark mark = lex_mark(lex);
  const Tok saved = cur;
  Tok t = lex_token(lex);
  lex_restore(lex, mark);
  cur = saved;
  return t;
}

bool Parser::skip_deduction_guide() {
  if (in_class()) return false;
  if (!(cur.cls == G_KEYWORD && cur.code == K_EXPLICIT) && cur.cls != G_TEMPLNAME) {
    // No guide begins so: the scanner is left as the look-ahead below
    // leaves it, without reading a token.
    lex_restore_here(lex);
    return false;
  }
  const LexMark mark = lex_mark(lex);
  const Tok saved = cur;
  Tok t = cur;
  if (t.cls == G_KEYWORD && t.code == K_EXPLICIT) t = lex_token(lex);
  bool guide = false;
  if (t.cls == G_TEMPLNAME && (t = lex_token(lex)).cls == G_PUNCT && t.code == '(') {
    int open = 1;
    for (int guard = 0; open > 0 && t.cls != G_EOF && guard < 1000000; ++guard) {
      t = lex_token(lex);
      if (t.cls == G_PUNCT && t.code == '(') ++open;
      else if (t.cls == G_PUNCT && t.code == ')') --open;
    }
    guide = open == 0 && (t = lex_token(lex)).cls == G_PUNCT && t.code == P_ARROW;
  }
  lex_restore(lex, mark);
  cur = saved;
  if (!guide) return false;
  // The deduced type ends at the ';': braces there are no guide.
  for (int guard = 0; !(cur.cls == G_PUNCT && cur.code == ';'); ++guard) {
    if (at_eof() || guard > 1000000 || cur.cls == G_BODYTEXT || cur.cls == G_BASEBODY ||
        (cur.cls == G_PUNCT && (cur.code == '{' || cur.code == '}')))
      syntax_error();
    advance();
  }
  advance();
  return true;
}

// skip_attribute at a '['.
bool Parser::skip_attribute_at_bracket() {
  Tok n = peek_token();
  if (!(n.cls == G_PUNCT && n.code == '[')) return false;
  int open = 0;
  for (int guard = 0; guard < 100000; ++guard) {
    if (at_eof()) syntax_error();
    if (cur.cls == G_PUNCT && cur.code == '[') ++open;
    else if (cur.cls == G_PUNCT && cur.code == ']' && --open == 0) {
      advance();
      return true;
    }
    advance();
  }
  syntax_error();
}

void Parser::skip_parenthesised() {
  expect('(');
  int open = 1;
  for (int guard = 0; open > 0; ++guard) {
    if (at_eof() || guard > 1000000) syntax_error();
    if (cur.cls == G_PUNCT && cur.code == '(') ++open;
    else if (cur.cls == G_PUNCT && cur.code == ')') --open;
    advance();
  }
}

bool Parser::member_pointer_follows() {
  const LexMark mark = lex_mark(lex);
  const Tok saved = cur;
  Tok t = cur;
  bool found = false;
  for (int guard = 0; guard < 1000; ++guard) {
    if (!(t.cls == G_CLASSNAME || t.cls == G_TEMPLNAME || t.cls == G_DECLNAME || t.cls == G_IDENT)) break;
    t = lex_token(lex);
    if (t.cls == G_TOPEN) {
      int open = 1;
      for (int g2 = 0; open > 0 && t.cls != G_EOF && g2 < 100000; ++g2) {
        t = lex_token(lex);
        if (t.cls == G_TOPEN) ++open;
        else if (t.cls == G_TCLOSE) --open;
      }
      if (open > 0) break;
      t = lex_token(lex);
    }
    if (!(t.cls == G_PUNCT && t.code == P_SCOPE)) break;
    t = lex_token(lex);
    if (t.cls == G_PUNCT && t.code == '*') {
      found = true;
      break;
    }
  }
  lex_restore(lex, mark);
  cur = saved;
  return found;
}

bool Parser::initialiser_follows() {
  // A literal, or a name declared as something other than a type, cannot
  // start a parameter declaration.
  if (cur.cls == G_NUMBER || cur.cls == G_FLOATNUM || cur.cls == G_CHARLIT || cur.cls == G_STRING) return true;
  if (cur.cls == G_KEYWORD && (cur.code == K_THIS || cur.code == K_TRUE || cur.code == K_FALSE ||
                               cur.code == K_SIZEOF || cur.code == K_NEW))
    return true;
  if (cur.cls == G_PUNCT && (cur.code == '-' || cur.code == '!' || cur.code == '&' || cur.code == '+'))
    return true;
  if (cur.cls == G_DECLNAME && cur.sym && cur.sym->decl && !names_type(cur)) return true;
  if (cur.cls != G_IDENT) return false;
  // An undeclared name stays a parameter (an old-style name, or a type whose
  // header is missing) unless an operator that no parameter declaration holds
  // follows it.
  const LexMark mark = lex_mark(lex);
  const Tok saved = cur;
  const Tok t = lex_token(lex);
  lex_restore(lex, mark);
  cur = saved;
  if (t.cls == G_PUNCT)
    return !(t.code == ',' || t.code == ')' || t.code == '*' || t.code == '&' || t.code == P_AND_AND ||
             t.code == '(' || t.code == '[' || t.code == P_SCOPE || t.code == '=' || t.code == P_ELLIPSIS);
  return t.cls == G_NUMBER || t.cls == G_FLOATNUM || t.cls == G_CHARLIT || t.cls == G_STRING;
}

// declarator-name: [::] { name [template-arguments] :: } ( name | '~' name | operator-name )
void Parser::declarator_name(Declarator &d) {
  for (int guard = 0;; ++guard) {
    if (guard > 10000) syntax_error();
    if (cur.cls == G_KEYWORD && cur.code == K_OPERATOR) {
      operator_name(d);
      return;
    }
    if (cur.cls == G_PUNCT && cur.code == '~') {
      advance();
      if (!(cur.cls >= G_IDENT && cur.cls <= G_DECLNAME)) syntax_error();
      std::string tilde = "~";
      tilde += cur.text;
      d.name = intern(tilde);
      d.is_destructor = true;
      advance();
      return;
    }
    if (cur.cls == G_PUNCT && cur.code == P_SCOPE) {
      advance();
      continue;
    }
    if (cur.cls == G_PUNCT && cur.code == '*' && !d.qual.empty()) return;  // pointer to member
    if (!(cur.cls >= G_IDENT && cur.cls <= G_DECLNAME)) syntax_error();
    Tok t = std::move(cur);
    // The name is the token's own (its interned name) until arguments or a
    // typedef's own name change it; its text is made only then, or for a
    // qualifier.
    std::string name;
    bool composed = false;
    bool token_name = t.name != nullptr;
    advance();
    TypeDesc *scope = nullptr;
    if (cur.cls == G_TOPEN) {
      token_name = false;
      // A class template's instance, or the arguments of an explicit
      // specialisation of a function template (template <> int f<int>(int)).
      std::vector<std::string> args;
      name.assign(t.text.data(), t.text.size());
      composed = true;
      name += collect_template_arguments(args);
      if (t.cls == G_TEMPLNAME) scope = type_of_name_token(t);
      if (scope && scope->kind == TK_TEMPLATE && cur.cls == G_PUNCT && cur.code == P_SCOPE) {
        // A member of an explicit specialisation defined outside it
        // (bool X<char>::f() {...}) belongs to that class, not the template.
        ScopeContext where;
        if (scope->scope) where = ScopeContext{1, scope->scope};
        Symbol *sp = lookup_tag(intern(name), table, TK_CLASS, where);
        if (sp && sp->decl && sp->decl->type && sp->decl->type->record() &&
            sp->decl->type->record()->explicit_specialisation)
          scope = sp->decl->type;
      }
    }
    if (cur.cls == G_PUNCT && cur.code == P_SCOPE) {
      if (composed)
        d.qual.push_back(name);
      else
        d.qual.emplace_back(t.text);
      d.qual_scope = scope ? scope : find_scope_type(t);
      d.qualified = true;
      advance();
      continue;
    }
    // A typedef name of a class comes spelled as the class; declared again
    // (an inherited member type redeclared), it keeps its own name.
    if (t.cls == G_CLASSNAME && (!composed || name == t.text) && t.sym && t.sym->area == AREA_ORDINARY &&
        t.sym->decl && (t.sym->decl->storage & SF_TYPEDEF) && t.sym->decl->name) {
      name = t.sym->decl->name;
      composed = true;
      token_name = false;
    }
    if (!token_name && !composed) name.assign(t.text.data(), t.text.size());
    d.name = token_name ? intern_string(t.name) : intern(name);
    return;
  }
}

// operator-name: operator ( symbol | '(' ')' | '[' ']' | new ['[' ']'] | delete ['[' ']'] | type )
void Parser::operator_name(Declarator &d) {
  advance();  // "operator"
  d.is_operator = true;
  std::string n = "operator ";
  if (cur.cls == G_KEYWORD && (cur.code == K_NEW || cur.code == K_DELETE)) {
    n += cur.text;
    advance();
    if (cur.cls == G_PUNCT && cur.code == '[') {
      advance();
      expect(']');
      n += "[]";
    }
  } else if (cur.cls == G_STRING && cur.text == "\"\"") {
    // A literal operator: operator "" _km, written without the blank. (The
    // spelling compared is a string literal's, the empty one: no keyword.)
    // The suffix may be a keyword's word: ""if is one token, the suffix of
    // the imaginary literals 1.5if.
    advance();
    if (!(cur.cls >= G_IDENT && cur.cls <= G_DECLNAME) && cur.cls != G_KEYWORD) syntax_error();
    n += "\"\"";
    n += cur.text;
    advance();
  } else if (cur.cls == G_PUNCT && cur.code == '(') {
    advance();
    expect(')');
    n += "()";
  } else if (cur.cls == G_PUNCT && cur.code == '[') {
    advance();
    expect(']');
    n += "[]";
  } else if (cur.cls == G_TCLOSE) {
    // After a template header the scanner gives '>' alone: operator>>,
    // operator>= and operator>>= come in pieces.
    n += ">";
    advance();
    if (cur.cls == G_TCLOSE || (cur.cls == G_PUNCT && cur.code == '>')) {
      n += ">";
      advance();
    }
    if (cur.cls == G_PUNCT && cur.code == '=') {
      n += "=";
      advance();
    }
  } else if (cur.cls == G_PUNCT || cur.cls == G_TOPEN) {
    n += cur.text;
    advance();
  } else {
    // Conversion function: the type's words, then its pointer operators.
    std::string text;
    int guard = 0;
    while (is_type_token() || (cur.cls == G_PUNCT && (cur.code == '*' || cur.code == '&' || cur.code == P_SCOPE))) {
      if (++guard > 10000) syntax_error();
      append_token_text(text, cur);
      if (cur.cls == G_TEMPLNAME) {
        advance();
        if (cur.cls == G_TOPEN) {
          std::vector<std::string> args;
          text += collect_template_arguments(args);
        }
        continue;
      }
      advance();
    }
    if (text.empty()) syntax_error();
    n += text;
  }
  d.name = intern(n);
}

// suffix: '[' [expression] ']' | '(' parameter-list ')' {cv} [throw '(' types ')']
void Parser::declarator_suffixes(Declarator &d, std::vector<DeclOp> &out) {
  for (int guard = 0;; ++guard) {
    if (guard > 100000) syntax_error();
    // Each step is made in its place in the list, as in parse_declarator.
    if (cur.cls == G_PUNCT && cur.code == '[') {
      DeclOp &op = out.emplace_back();
      op.kind = DeclOp::ARRAY;
      advance();
      if (!(cur.cls == G_PUNCT && cur.code == ']')) {
        op.bound = collect_expression("]", false);
        op.has_bound = true;
      }
      expect(']');
      continue;
    }
    if (cur.cls == G_PUNCT && cur.code == '(') {
      const bool first = out.empty();
      // The parameters of a member defined outside its class are read in
      // the class's scope (Sensor::read(Mode m)).
      const bool class_scope = first && d.qualified && d.qual_scope &&
                               (d.qual_scope->kind == TK_CLASS || d.qual_scope->kind == TK_UNION);
      if (class_scope) push_scope(SC_QUALIFIED, d.qual_scope, ACC_PUBLIC);
      struct PopScope {
        Parser &p;
        bool on;
        ~PopScope() {
          if (on) p.pop_scope();
        }
      } pop_guard{*this, class_scope};
      advance();
      if (first && d.name && !d.is_operator && initialiser_follows()) {
        d.paren_init = collect_expression(")", false);
        d.has_paren_init = true;
        expect(')');
        break;
      }
      DeclOp &op = out.emplace_back();
      op.kind = DeclOp::FUNC;
      parameter_list(op);
      while (cur.cls == G_KEYWORD && (cur.code == K_CONST || cur.code == K_VOLATILE)) {
        op.quals.push_back(qualifier_type(token_spelling(cur.code), &table));
        advance();
      }
      // Reference qualifiers of a member function.
      if (cur.cls == G_PUNCT && (cur.code == '&' || cur.code == P_AND_AND)) {
        Tok n = peek_token();
        if ((n.cls == G_PUNCT && (n.code == ';' || n.code == '{' || n.code == '=' || n.code == ')' || n.code == ',')) ||
            (n.cls == G_IDENT && (n.word == W_NOEXCEPT || n.word == W_OVERRIDE || n.word == W_FINAL)) ||
            (n.cls == G_KEYWORD && n.code == K_THROW) || n.cls == G_BODYTEXT)
          advance();
      }
      if (is_word(W_NOEXCEPT)) {
        advance();
        if (cur.cls == G_PUNCT && cur.code == '(') skip_parenthesised();
      }
      if (cur.cls == G_KEYWORD && cur.code == K_THROW) {
        advance();
        expect('(');
        op.has_throw = true;
        int g2 = 0;
        while (!(cur.cls == G_PUNCT && cur.code == ')')) {
          if (++g2 > 10000 || at_eof()) syntax_error();
          if (cur.cls == G_PUNCT && cur.code == P_ELLIPSIS) {  // throw (...): any exception
            op.throws.push_back(type_new(TK_ELLIPSIS, &table));
            advance();
            break;
          }
          Specs ts = decl_specifiers(true);
          if (!ts.any) syntax_error();
          Declarator ad;
          parse_declarator(ad, true, &ts);
          op.throws.push_back(build_type(ts.type, ad));
          if (!accept(',')) break;
        }
        expect(')');
      }
      if (cur.cls == G_PUNCT && cur.code == P_ARROW) {
        // Trailing result type: auto f(int) -> long.
        advance();
        Specs ts = decl_specifiers(true);
        if (!ts.any && cur.cls == G_IDENT && unknown_names_may_be_types()) {
          // A member type of a template named alone: auto X<T>::f() -> node_ptr {...}
          ts.type = named_type(cur.name, nullptr, &table);
          ts.any = ts.has_type = true;
          advance();
        }
        if (!ts.any) syntax_error();
        Declarator ad;
        parse_declarator(ad, true, &ts);
        op.trailing = build_type(ts.type, ad);
      }
      while (is_word(W_OVERRIDE) || is_word(W_FINAL)) advance();
      while (skip_attribute()) {
      }
      continue;
    }
    break;
  }
}

// parameter-list: [ parameter { ',' parameter } [ ',' '...' ] | '...' ] ')'
// parameter: decl-specifiers declarator-or-abstract [ '=' expression ] | identifier (old style)
void Parser::parameter_list(DeclOp &op) {
  DepthGuard guard(*this);
  if (cur.cls == G_PUNCT && cur.code == ')') {
    advance();
    return;
  }
  // The list only carries the parameters to the function type: room for a
  // usual count at once rather than growing it parameter by parameter.
  op.params.reserve(8);
  for (;;) {
    if (cur.cls == G_PUNCT && cur.code == P_ELLIPSIS) {
      op.ellipsis = true;
      advance();
      expect(')');
      return;
    }
    bool name_only = (cur.cls == G_IDENT || cur.cls == G_DECLNAME) && !names_type(cur);
    if (name_only && unknown_type_follows()) name_only = false;
    // char16_t and char32_t are C++'s own character types, never the name
    // of an old-style parameter (in C they are typedef names).
    if (name_only && table.language == SRC_CPP && (cur.word == W_CHAR16_T || cur.word == W_CHAR32_T))
      name_only = false;
    // decltype(expr) p: a type of an expression, not an old-style name.
    if (name_only && (cur.word == W_DECLTYPE || cur.word == W_TYPEOF || cur.word == W_TYPEOF_UNDERSCORES)) {
      const Tok n = peek_token();
      if (n.cls == G_PUNCT && n.code == '(') name_only = false;
    }
    if (name_only) {
      Declaration *p = make_declaration(cur.name, nullptr, 0);
      p->scope_kind = 0;
      p->scope = nullptr;
      op.params.push_back(p);
      op.knr = true;
      advance();
    } else {
      Specs s = decl_specifiers(true);
      if (!s.any) syntax_error();
      Declarator pd;
      parse_declarator(pd, true, &s);
      TypeDesc *t = build_type(s.type, pd);
      Declaration *p = make_declaration(pd.name, t, s.storage | (pd.pack ? SF_PACK : 0u));
      p->scope_kind = 0;
      p->scope = nullptr;
      if (cur.cls == G_PUNCT && cur.code == '=') {
        advance();
        p->text = collect_expression(",)", false);
      } else if (cur.cls == G_INITTEXT) {
        p->text = cur.text.size() > 1 ? std::string(cur.text.substr(1)) : std::string();
        advance();
      }
      op.params.push_back(p);
    }
    if (accept(',')) continue;
    expect(')');
    return;
  }
}

TypeDesc *Parser::build_type(TypeDesc *base, const Declarator &d) {
  TypeDesc *t = base;
  for (const DeclOp &op : d.ops) {
    switch (op.kind) {
      case DeclOp::PTR:
      case DeclOp::MEMPTR: {
        TypeDesc *p = pointer_to(t, &table);
        p->pointer()->member_class = op.member_class;
        for (TypeDesc *q : op.quals) append_qualifier(p, q);
        t = p;
        break;
      }
      case DeclOp::REF:
        t = reference_to(t, &table);
        t->reference()->rvalue = op.rvalue;
        break;
      case DeclOp::ARRAY: {
        TypeDesc *a = array_of(t, &table);
        a->array()->has_bound_text = op.has_bound;
        a->array()->bound_text = op.bound;
        a->array()->bound_expression = op.bound;
        t = a;
        break;
      }
      case DeclOp::FUNC: {
        TypeDesc *f = function_returning(op.trailing ? op.trailing : t, &table);
        for (Declaration *p : op.params) function_add_param(f, p, &table);
        if (op.ellipsis) {
          TypeDesc *e = type_new(TK_ELLIPSIS, &table);
          e->ellipsis()->marker = op.params.empty() ? 0 : 1;
          Declaration *p = decl_new(nullptr, e, &table);
          p->file = file();
          function_add_param(f, p, &table);
        }
        TypeDesc *chain = nullptr;
        for (TypeDesc *q : op.quals) {
          if (!chain) chain = q;
          else append_qualifier(chain, q);
        }
        f->function()->info->qualifiers = chain;
        for (TypeDesc *x : op.throws) function_add_exception(f, x, &table);
        f->function()->info->has_exception_spec = op.has_throw ? 1 : 0;
        t = f;
        break;
      }
    }
  }
  return t;
}

// ---------------------------------------------------------------------------
// Actions

Declaration *Parser::make_declaration(const char *name, TypeDesc *type, unsigned storage) {
  if (storage & SF_TYPEDEF) type = private_copy(type, &table);
  Declaration *d = decl_new(name, type, &table);
  ScopeContext c = context();
  d->scope_kind = c.kind;
  d->scope = c.current;
  d->storage = storage;
  d->file = file();
  d->line = line();
  return d;
}

void Parser::add_member(Declaration *d) {
  TypeDesc *r = scope_record();
  const int k = scopes.back().kind;
  if (!d || !r || !r->record() || k == SC_FILE || k == SC_FUNCTION || k == SC_QUALIFIED) return;
  if (!an.budget.listed_members.insert(d)) return;
  class_add_member(r, member_node_new(d, scopes.back().access, &table));
}

void Parser::add_member_to(TypeDesc *r, Declaration *d, int access) {
  if (!d || !r || !r->record()) return;
  if (!an.budget.listed_members.insert(d)) return;
  class_add_member(r, member_node_new(d, access, &table));
}

Scope Parser::nearest_non_class_scope() const {
  for (auto it = scopes.rbegin(); it != scopes.rend(); ++it)
    if (it->kind != SC_CLASS && it->kind != SC_UNION) return *it;
  return Scope();
}

Symbol *Parser::enter(Declaration *d) {
  Symbol *s = enter_declaration(d, table, context(), d->line ? d->line : line(), an.lenient_matching, an.sink);
  if (s && s->decl == d) add_member(d);
  return s;
}

// init-declarator-list: init-declarator { ',' init-declarator } ';'
// init-declarator: declarator [ ':' width ] [ '=' ( expression | '{' ... '}' ) ]
void Parser::init_declarators(Specs &s, Declarator &first) {
  // The caller is done with its declarator.
  Declarator d = std::move(first);
  for (int guard = 0;; ++guard) {
    if (guard > 10000000) syntax_error();
    if (s.constexpr_word && !(d.ops.empty() ? false : d.ops.back().kind == DeclOp::FUNC)) {
      // A constexpr object is const: the pointer itself, or the object
      // (the elements of an array).
      if (!d.ops.empty() && (d.ops.back().kind == DeclOp::PTR || d.ops.back().kind == DeclOp::MEMPTR)) {
        d.ops.back().quals.push_back(qualifier_type("const", &table));
      } else if (!type_is_const(s.type)) {
        std::vector<TypeDesc *> q{qualifier_type("const", &table)};
        finish_specifiers(table, s, q);
      }
    }
    TypeDesc *t = build_type(s.type, d);
    std::string text;
    int width = -1;
    if (cur.cls == G_PUNCT && cur.code == ':') {
      if (!in_class()) syntax_error();
      advance();
      std::string w = collect_expression(",;=", false);
      long long value = 0;
      // Evaluated as a constant expression (enumerators, sizeof, operators);
      // a width the expression analysis cannot fold keeps its leading digits.
      if (evaluate_integer_expression(w.c_str(), "", file(), line(), silent_expression_report, &value, &table) &&
          value >= 0 && value <= 0x7fffffff)
        width = static_cast<int>(value);
      else
        width = std::atoi(w.c_str());
    }
    if (cur.cls == G_PUNCT && cur.code == '=') {
      advance();
      if (cur.cls == G_PUNCT && cur.code == '{') {
        std::string body;
        if (!lex_capture_balanced(lex, body, true)) unexpected_end();
        text = "{" + body;
        advance();
      } else if (t && t->kind == TK_FUNCTION && cur.cls == G_KEYWORD && (cur.code == K_DEFAULT || cur.code == K_DELETE)) {
        // A defaulted or deleted function: declared, with no initialiser.
        if (t->function() && t->function()->info)
          t->function()->info->special_definition = cur.code == K_DEFAULT ? SD_DEFAULT : SD_DELETE;
        advance();
      } else {
        text = collect_expression(",;", false);
      }
    } else if (cur.cls == G_PUNCT && cur.code == '{' && !(t && t->kind == TK_FUNCTION)) {
      // Brace initialiser: int n{3};
      std::string body;
      if (!lex_capture_balanced(lex, body, true)) unexpected_end();
      text = "{" + body;
      advance();
    } else if (cur.cls == G_INITTEXT) {
      text = cur.text.size() > 1 ? std::string(cur.text.substr(1)) : std::string();
      advance();
    } else if (d.has_paren_init) {
      text = d.paren_init;
    } else if (cur.cls == G_PUNCT && cur.code == '(' && !d.ops.empty()) {
      syntax_error();
    }
    // auto x = ...; takes the type of its initialiser: written back when
    // the initialiser shows it, else the variable is named in a warning
    // and not entered (no declaration the script could write).
    // Only a complete declarator is entered: what follows it must end it.
    if (!(cur.cls == G_PUNCT && (cur.code == ',' || cur.code == ';'))) syntax_error();
    bool deduced = (s.storage & SF_AUTO) && !s.has_type && !(t && t->kind == TK_FUNCTION) && !text.empty();
    unsigned storage = s.storage;
    if (deduced && d.name && d.ops.empty() && text[0] != '{') {
      if (TypeDesc *dt = deduced_type(text)) {
        if (s.type) {  // const auto, constexpr auto: the qualifiers stand on the deduced type
          TypeDesc *c = private_copy(dt, &table);
          if (c == dt) {
            c = type_new(TK_RESERVED, &table);
            *c = *dt;
            c->next = nullptr;
          }
          for (TypeDesc *q = s.type; q; q = q->next)
            if (q->kind == TK_NAMED) append_qualifier(c, qualifier_type(q->named()->name, &table));
          dt = c;
        }
        t = dt;
        storage &= ~SF_AUTO;
        deduced = false;
      }
    }
    if (deduced && d.name && scopes.back().kind != SC_FUNCTION)
      an.sink(MSG_AUTOTYPIN, d.name, file(), d.line);
    if ((d.name || in_class()) && !deduced) {
      Declaration *dec = make_declaration(d.name, t, storage);
      dec->line = d.line;
      dec->text = text;
      if (width >= 0) {
        dec->text.set_bit_width(width);
        dec->storage |= SF_BITFIELD;
      }
      if (d.qualified && d.qual_scope && !(d.qual_scope->kind == TK_TEMPLATE)) {
        // Definition of a static member (int A::n = 1;).
        Symbol *ex = lookup_in_scope(dec->name, table, AREA_ORDINARY, d.qual_scope);
        if (ex && ex->decl) {
          if (!text.empty()) ex->decl->text = text;
          ex->decl->file = dec->file;
          symbol_mark_defined(table, ex);
        } else {
          dec->scope_kind = 1;
          dec->scope = d.qual_scope;
          enter_declaration(dec, table, context(), dec->line, an.lenient_matching, an.sink);
        }
      } else if (d.name || !in_class()) {
        enter(dec);
      } else if (width >= 0) {
        // An unnamed bit-field pads the layout (reserved bits of a register,
        // ": 0" to start a new unit): it is a member, written back as such.
        add_member(dec);
      }
    }
    if (accept(',')) {
      d = Declarator();
      parse_declarator(d, in_class(), nullptr);
      if (!d.name && !in_class()) syntax_error();
      continue;
    }
    expect(';');
    return;
  }
}

bool Parser::capture_body(std::string &body) {
  // The scanner stands just after '{': take the text up to the matching '}'.
  if (!lex_capture_balanced(lex, body, false)) unexpected_end();
  advance();  // the '}'
  if (!(cur.cls == G_PUNCT && cur.code == '}')) syntax_error();
  return true;
}

void Parser::skip_body() {
  // As capture_body, without a copy of the text.
  if (!lex_skip_balanced(lex)) unexpected_end();
  advance();  // the '}'
  if (!(cur.cls == G_PUNCT && cur.code == '}')) syntax_error();
}

namespace {

void reconcile_parameter_names(TypeDesc *declared, TypeDesc *defining) {
  if (!declared || !defining || declared->kind != TK_FUNCTION || defining->kind != TK_FUNCTION) return;
  DeclNode *a = declared->function()->info->first_param;
  DeclNode *b = defining->function()->info->first_param;
  for (; a && b; a = a->next, b = b->next)
    if (a->decl && b->decl) a->decl->name = b->decl->name;
}

std::string qualified_text(const std::vector<std::string> &qual, const char *name) {
  std::string s;
  for (const std::string &q : qual) s += q + "::";
  if (name) s += name;
  return s;
}

}  // namespace

// function-definition: decl-specifiers declarator [old-style-declarations]
//                      [':' member-initialisers] '{' body '}'
void Parser::function_definition(Specs &s, Declarator &d, TypeDesc *ftype) {
  std::string body;
  // After a captured body the look-ahead is already the next token; after a
  // skipped one it is the closing brace, passed once the entry is made.
  bool brace_pending = false;
  if (cur.cls == G_BODYTEXT || cur.cls == G_BASEBODY) {
    // Body (with member initialisers) captured whole after a template header.
    body = cur.text;
    advance();
  } else {
    if (cur.cls == G_PUNCT && cur.code == ':') {
      // mem-initialiser-list: name '(' [expression-list] ')' { ',' ... }
      advance();
      for (int guard = 0;; ++guard) {
        if (guard > 100000) syntax_error();
        std::string n;
        type_name_text(n);
        if (cur.cls == G_PUNCT && cur.code == '{') {  // a(1) or a{1}
          std::string inner;
          if (!lex_capture_balanced(lex, inner, true)) unexpected_end();
          advance();
        } else {
          expect('(');
          if (!(cur.cls == G_PUNCT && cur.code == ')')) collect_expression(")", true);
          expect(')');
        }
        accept(P_ELLIPSIS);
        if (!accept(',')) break;
      }
    }
    if (cur.cls == G_KEYWORD && cur.code == K_TRY) syntax_error();
    if (!(cur.cls == G_PUNCT && cur.code == '{')) syntax_error();
    // A body is kept in a class or when asked; else it is only passed over.
    if (in_class() || an.keep_bodies) capture_body(body);
    else skip_body();
    brace_pending = true;
  }
  const bool keep = in_class() || an.keep_bodies;
  TypeDesc *scope = d.qualified ? d.qual_scope : scope_record();
  if (d.qualified && scope && scope->kind == TK_TEMPLATE) {
    // Member of a class template defined outside it: kept with the template
    // for its instances.
    if (scope->templ()) scope->templ()->member_definitions.push_back(qualified_text(d.qual, d.name));
    if (brace_pending) advance();
    return;
  }
  Symbol *ex = d.name ? find_function(d.name, table, scope ? canonical_scope(scope) : nullptr, ftype, an.lenient_matching) : nullptr;
  if (ex && ex->decl && ex->decl->type && ex->decl->type->kind == TK_FUNCTION) {
    Declaration *e = ex->decl;
    e->file = file();
    reconcile_parameter_names(e->type, ftype);
    FunctionInfo *info = e->type->function()->info;
    info->defined = 1;
    info->has_body = keep ? 1 : 0;
    info->body = keep ? std::move(body) : std::string();
    symbol_mark_defined(table, ex);
    if (brace_pending) advance();
    return;
  }
  if (d.qualified && !same_scope(scope, scope_record()) && !(s.storage & SF_FRIEND)) {
    an.sink(MSG_FUNCT_DEF, qualified_text(d.qual, d.name), file(), d.line);
    if (brace_pending) advance();
    return;
  }
  FunctionInfo *info = ftype && ftype->kind == TK_FUNCTION ? ftype->function()->info : nullptr;
  if (info) {
    info->defined = 1;
    info->has_body = keep ? 1 : 0;
    info->body = keep ? std::move(body) : std::string();
  }
  Declaration *dec = make_declaration(d.name, ftype, s.storage);
  dec->line = d.line;
  if (d.qualified && scope) {
    dec->scope_kind = 1;
    dec->scope = scope;
  }
  enter(dec);  // a new entry gets its definition order number on entry
  if (brace_pending) advance();
}

// old-style-declarations: { decl-specifiers declarator { ',' declarator } ';' }
// Each declared name gives its type to the parameter of that name.
void Parser::old_style_parameters(Declarator &d, TypeDesc *ftype) {
  if (!ftype || ftype->kind != TK_FUNCTION) return;
  // Parameters still without a type, by name (names are interned).
  std::unordered_map<const char *, DeclNode *> untyped;
  for (DeclNode *n = ftype->function()->info->first_param; n; n = n->next)
    if (n->decl && n->decl->name && !n->decl->type) untyped.emplace(n->decl->name, n);
  for (int guard = 0; is_type_token(); ++guard) {
    if (guard > 100000) syntax_error();
    Specs s = decl_specifiers(true);
    for (;;) {
      Declarator pd;
      parse_declarator(pd, false, &s);
      TypeDesc *t = build_type(s.type, pd);
      auto it = pd.name ? untyped.find(pd.name) : untyped.end();
      if (it != untyped.end()) {
        it->second->decl->type = t;
        it->second->decl->storage = s.storage;
        untyped.erase(it);
      } else {
        warn(MSG_FUNCT_DEF, d.name ? d.name : "", false);
      }
      if (!accept(',')) break;
    }
    expect(';');
  }
  // A name of the identifier list that no declaration names is an int.
  for (auto &left : untyped) left.second->decl->type = basic_type("int", &table);
}

}  // namespace grammar

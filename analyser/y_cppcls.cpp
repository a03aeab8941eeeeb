// Declaration grammar of aggregates and scopes: structures, classes and unions with their
// bases and access, enumerations, namespaces, using, linkage blocks, class
// templates and their instantiation by nested analysis.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "cppname.h"
#include "ctylex.h"
#include "merror.h"
#include "mstrin.h"
#include "y_cppa.h"
#include "y_cppint.h"

namespace grammar {

namespace {

bool ident_start(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$'; }
bool ident_char(char c) { return ident_start(c) || (c >= '0' && c <= '9'); }

bool text_eq(const char *a, const char *b) { return a && b && std::strcmp(a, b) == 0; }

bool is_name_token(const Tok &t) { return t.cls >= G_IDENT && t.cls <= G_DECLNAME; }

// The name of a template's instance or specialisation: "X<a,b>".
std::string instance_name(const char *template_name, const std::vector<std::string> &arguments) {
  std::string name = std::string(template_name ? template_name : "") + "<";
  for (std::size_t i = 0; i < arguments.size(); ++i) name += (i ? "," : "") + arguments[i];
  return name + ">";
}

// Where a template's instances and specialisations live: where it was declared.
ScopeContext template_home(const TypeDesc *templ) {
  return templ->scope ? ScopeContext{1, templ->scope} : ScopeContext();
}

bool mentions_parameter(const Parser &p, const std::string &text);

TypeDesc *new_record(int key, const char *name, Parser &p) {
  TypeDesc *t = type_new(key == KEY_UNION ? TK_UNION : TK_CLASS, &p.table);
  t->record()->name = name;
  t->record()->key = static_cast<ClassKey>(key);
  ScopeContext c = p.context();
  t->scope_kind = c.kind;
  t->scope = c.current;
  t->record()->enclosing = c.current;
  return t;
}

// The visible tag of that name in exactly the current scope (a forward
// declaration being completed).
TypeDesc *own_scope_tag(Parser &p, const char *name, int kind) {
  if (!name) return nullptr;
  TypeDesc *scope = p.scope_record();
  Symbol *s = lookup_in_scope(name, p.table, AREA_TAG, scope ? canonical_scope(scope) : nullptr);
  if (s && s->decl && s->decl->type && s->decl->type->kind == kind) return s->decl->type;
  return nullptr;
}

// "struct S" written without a body: a name of the class, not the class.
TypeDesc *elaborated_of(SymbolTable &table, TypeDesc *t) {
  if (!t || (t->kind != TK_CLASS && t->kind != TK_UNION)) return t;
  TypeDesc *e = type_new(TK_ELABORATED, &table);
  e->elaborated()->named = t;
  e->scope_kind = t->scope_kind;
  e->scope = t->scope;
  return e;
}

// "enum E : 3" in a class body is a bit-field of an enumeration type, not
// an underlying type.
bool in_class_bitfield_colon(Parser &p, const char *name) {
  if (!p.in_class() || !name) return false;
  Tok n = p.peek_token();
  return n.cls == G_NUMBER || ((n.cls == G_IDENT || n.cls == G_DECLNAME) && !p.names_type(n));
}

// The name of an instance with no blank beside its brackets and commas:
// "X<a<b>>" as composed and "X<a<b> >" as read back from its text are one.
std::string instance_key(const std::string &name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == ' ') {
      const char before = out.empty() ? '\0' : out.back();
      size_t j = i;
      while (j < name.size() && name[j] == ' ') ++j;
      const char after = j < name.size() ? name[j] : '\0';
      if (std::strchr("<>,", before) && before) continue;
      if (after && std::strchr("<>,", after)) continue;
    }
    out += name[i];
  }
  return out;
}

bool record_has_members(const TypeDesc *t) { return t && t->record() && (t->record()->has_body || t->record()->first); }

// At "typename" in a template header: a qualified name follows
// (typename X<T>::type v), not a type parameter's name.
bool dependent_type_follows(Parser &p) {
  const LexMark mark = lex_mark(p.lex);
  const Tok saved = p.cur;
  Tok t = lex_token(p.lex);
  bool qualified = t.cls == G_PUNCT && t.code == P_SCOPE;
  if (!qualified && is_name_token(t)) {
    t = lex_token(p.lex);
    qualified = t.cls == G_TOPEN || (t.cls == G_PUNCT && (t.code == P_SCOPE || t.code == '<'));
  }
  lex_restore(p.lex, mark);
  p.cur = saved;
  return qualified;
}

// struct alignas(8) [[deprecated]] S: the attributes only steer the
// compiler and are passed over; an alignment changes the layout and is
// kept as written ("alignas(8) "), appended to `alignment`.
void skip_class_head_words(Parser &p, std::string *alignment = nullptr) {
  for (int g = 0; g < 10000; ++g) {
    if (p.cur.cls == G_TYPEMOD) {
      p.advance();
    } else if (p.is_word(W_ALIGNAS)) {
      const std::string word(p.cur.text);
      p.advance();
      p.expect('(');
      const std::string operand = p.collect_expression(")", false);
      p.expect(')');
      if (alignment) *alignment += word + "(" + operand + ") ";
    } else if (!p.skip_attribute()) {
      break;
    }
  }
}

// template<class T, class A = alloc<T>> class V;  then  template<class U, class B> class V {...}:
// the definition keeps the defaults of the declaration, written with its own
// parameter names.
void take_declared_defaults(Parser &p, TypeDesc *definition) {
  TypeDesc *declared = own_scope_tag(p, definition->templ()->name, TK_TEMPLATE);
  if (!declared || !declared->templ() || declared->templ()->has_body) return;
  std::vector<std::string> names;
  for (TemplateParam *q = definition->templ()->first_param; q; q = q->next) names.push_back(q->name ? q->name : "");
  TemplateParam *q = declared->templ()->first_param;
  for (TemplateParam *d = definition->templ()->first_param; d && q; d = d->next, q = q->next) {
    if (d->has_default || !q->has_default) continue;
    d->has_default = true;
    d->default_text = bind_template_text(declared, names, q->default_text);
  }
}

}  // namespace

// class-specifier: class-key [name | template-name template-arguments]
//                  [ base-clause ] [ '{' member-declarations '}' ]
TypeDesc *Parser::class_specifier(Specs &s) {
  DepthGuard guard(*this);
  const int key = cur.code == K_CLASS ? KEY_CLASS : cur.code == K_UNION ? KEY_UNION : KEY_STRUCT;
  const int kind = key == KEY_UNION ? TK_UNION : TK_CLASS;
  const int head_line = line();
  advance();
  std::string alignment;
  skip_class_head_words(*this, &alignment);
  // struct ::S: the name as seen from the global scope.
  if (cur.cls == G_PUNCT && cur.code == P_SCOPE) {
    advance();
    if (!is_name_token(cur)) syntax_error();
  }
  const char *name = nullptr;
  TypeDesc *named = nullptr;     // the type the name token stood for
  TypeDesc *instance = nullptr;  // pending template instance being defined
  if (is_name_token(cur)) {
    Tok t = cur;
    name = t.name;
    advance();
    if (t.cls == G_TEMPLNAME && cur.cls == G_TOPEN) {
      std::vector<std::string> args;
      std::string composed = std::string(t.name) + collect_template_arguments(args);
      name = intern(composed);
      auto it = an.budget.pending_instances.find(instance_key(composed));
      if (it != an.budget.pending_instances.end()) {
        instance = it->second;
        // The name the instance was made under: its uses look it up so.
        if (instance->record() && instance->record()->name) name = instance->record()->name;
      }
    } else if (cur.cls == G_PUNCT && cur.code == P_SCOPE) {
      // struct A::B: a nested type named from outside.
      TypeDesc *scope = find_scope_type(t);
      advance();
      if (!is_name_token(cur)) syntax_error();
      Tok n = cur;
      advance();
      if (n.cls == G_TEMPLNAME && cur.cls == G_TOPEN) {
        // struct ns::X<int>: an instance of a template named with its
        // scope (friend struct std::hash<bitset>;).
        std::vector<std::string> args;
        collect_template_arguments(args);
        TypeDesc *inst = template_instance(n, args, true);
        // A template that makes no class of these arguments here (declared
        // only, or named from inside one of its instances) is not read.
        if (!inst || !inst->record()) syntax_error();
        s.tag_type = inst;
        return elaborated_of(table, inst);
      }
      TypeDesc *ty = type_of_name_token(n);
      if (!ty && scope) {
        Symbol *e = lookup_in_scope(n.name, table, AREA_TAG, canonical_scope(scope));
        if (e && e->decl) ty = e->decl->type;
      }
      if (!ty) ty = named_type(n.name, nullptr, &table);
      s.tag_type = ty;
      if (cur.cls == G_PUNCT && (cur.code == '{' || cur.code == ':') && ty->kind == kind && ty->record() &&
          scope && ty->scope == canonical_scope(scope)) {
        // class A::B {...}: the definition of a class declared in A, its
        // members read in its own scope.
        if (record_has_members(ty)) syntax_error();
        ty->record()->key = static_cast<ClassKey>(key);
        ty->record()->alignment = alignment;
        if (cur.code == ':') base_clause(ty);
        compute_inherited(ty);
        class_body(ty, key);
        ty->record()->has_body = 1;
        s.defined_type = true;
        return ty;
      }
      return elaborated_of(table, ty);
    } else {
      named = type_of_name_token(t);
      if (t.cls == G_DECLNAME && !named) named = nullptr;
    }
  }
  if (name && is_word(W_FINAL)) {
    Tok n = peek_token();
    if (n.cls == G_PUNCT && (n.code == '{' || n.code == ':')) advance();  // struct D final : B {...}
  }
  const bool body = cur.cls == G_PUNCT && (cur.code == '{' || cur.code == ':');
  if (!body) {
    // Elaborated specifier: the known type, or a new forward declaration.
    if (!name) syntax_error();
    TypeDesc *ty = nullptr;
    if (named && (named->kind == kind || (named->kind == TK_CLASS && kind == TK_CLASS))) ty = named;
    if (!ty) {
      Symbol *e = lookup_tag(name, table, kind, context());
      if (e && e->decl) ty = e->decl->type;
    }
    if (!ty) {
      ty = new_record(key, name, *this);
      Declaration *d = make_declaration(name, ty, 0);
      ScopeContext where = context();
      // A friend's class is not declared by the friend declaration's scope.
      if (s.storage & SF_FRIEND) {
        d->scope_kind = 0;
        d->scope = nullptr;
        ty->scope_kind = 0;
        ty->scope = nullptr;
        ty->record()->enclosing = nullptr;
        where = ScopeContext();
      }
      // "struct b *pb;" in a class body names a new b of the enclosing
      // namespace (or file) scope; only "struct b;" alone declares a member.
      Scope outer;
      const bool to_outer = in_class() && !(s.storage & SF_FRIEND) && !(cur.cls == G_PUNCT && cur.code == ';');
      if (to_outer) {
        outer = nearest_non_class_scope();
        const int k = outer.record ? 1 : 0;
        d->scope_kind = k;
        d->scope = outer.record;
        ty->scope_kind = k;
        ty->scope = outer.record;
        ty->record()->enclosing = outer.record;
        where = ScopeContext{k, outer.record};
      }
      enter_declaration(d, table, where, d->line, an.lenient_matching, an.sink);
      if (to_outer) {
        if (outer.kind == SC_NAMESPACE) add_member_to(outer.record, d, ACC_PUBLIC);
      } else if (!(s.storage & SF_FRIEND)) {
        add_member(d);
      }
    }
    s.tag_type = ty;
    return elaborated_of(table, ty);
  }
  // A definition.
  TypeDesc *cls = instance;
  if (!cls && name) {
    TypeDesc *fwd = own_scope_tag(*this, name, kind);
    if (fwd && !record_has_members(fwd)) cls = fwd;
  }
  bool entered = cls != nullptr;
  if (!cls) cls = new_record(key, name, *this);
  cls->record()->key = static_cast<ClassKey>(key);
  cls->record()->alignment = alignment;
  if (name && !entered) {
    // Known as a type name inside its own body.
    Declaration *fd = make_declaration(name, cls, 0);
    enter_declaration(fd, table, context(), fd->line, an.lenient_matching, an.sink);
    entered = true;
  }
  if (cur.cls == G_PUNCT && cur.code == ':') {
    if (key == KEY_UNION) {
      an.sink(MSG_SYNTAXERR, "<union>::<type>", file(), line());
      ++errors;
      recover = 3;
      throw Recover();
    }
    base_clause(cls);
  }
  compute_inherited(cls);
  class_body(cls, key);
  cls->record()->has_body = 1;
  Declaration *d = make_declaration(name, cls, 0);
  d->line = head_line;
  Symbol *sym = enter_declaration(d, table, context(), d->line, an.lenient_matching, an.sink);
  if (!name) {
    if (in_class()) add_member(d);  // anonymous member union or structure
  } else if (sym && sym->decl) {
    add_member(sym->decl);  // the entry made at the head, or this one
  }
  s.tag_type = cls;
  s.defined_type = true;
  return cls;
}

// base-clause: ':' base { ',' base }
// base: { virtual | public | protected | private } class-name
void Parser::base_clause(TypeDesc *cls) {
  advance();  // ':'
  for (int guard = 0;; ++guard) {
    if (guard > 10000) syntax_error();
    int access = cls->record()->key == KEY_CLASS ? ACC_PRIVATE : ACC_PUBLIC;
    int is_virtual = 0;
    for (;;) {
      if (cur.cls == G_KEYWORD && cur.code == K_VIRTUAL) is_virtual = 1;
      else if (cur.cls == G_KEYWORD && cur.code == K_PUBLIC) access = ACC_PUBLIC;
      else if (cur.cls == G_KEYWORD && cur.code == K_PROTECTED) access = ACC_PROTECTED;
      else if (cur.cls == G_KEYWORD && cur.code == K_PRIVATE) access = ACC_PRIVATE;
      else break;
      advance();
    }
    TypeDesc *base = nullptr;
    for (int g2 = 0;; ++g2) {
      if (g2 > 1000) syntax_error();
      if (cur.cls == G_PUNCT && cur.code == P_SCOPE) {
        advance();
        continue;
      }
      if (!is_name_token(cur)) syntax_error();
      Tok t = cur;
      advance();
      if (t.cls == G_TEMPLNAME && cur.cls == G_TOPEN) {
        base = template_use(t);
      } else {
        base = find_scope_type(t);
        if (!base) base = named_type(t.name, nullptr, &table);
      }
      if (cur.cls == G_PUNCT && cur.code == P_SCOPE) {
        advance();
        continue;
      }
      break;
    }
    class_add_base(cls, base_node_new(base, access, is_virtual, &table));
    if (!accept(',')) break;
  }
}

// Members of the bases, with the access they have in the derived class.
void Parser::compute_inherited(TypeDesc *cls) {
  for (BaseNode *b = cls->record()->first_base; b; b = b->next) {
    TypeDesc *base = b->base;
    for (int guard = 0; base && base->kind == TK_NAMED && base->named() && base->named()->aliased && guard < 100;
         ++guard)
      base = base->named()->aliased;
    if (!base || !base->record() || base == cls) continue;
    auto inherit = [&](MemberNode *m) {
      int own = m->access & ACC_MASK;
      int access;
      if (own == ACC_PRIVATE) access = ACC_PRIVATE;
      else if (b->access == ACC_PROTECTED) access = ACC_PROTECTED;
      else access = own;
      int marks = m->access & (ACC_PATH_A | ACC_PATH_B);
      // A protected member reached through a public derivation stays usable
      // from the derived class; a virtual derivation is recorded too.
      if (own == ACC_PROTECTED && b->access == ACC_PUBLIC) marks |= ACC_PATH_A;
      if (b->is_virtual) marks |= ACC_PATH_B;
      class_add_inherited(cls, member_node_new(m->decl, access | ACC_INHERITED | marks, &table));
    };
    for (MemberNode *m = base->record()->first; m; m = m->next) inherit(m);
    for (MemberNode *m = base->record()->first_inherited; m; m = m->next) inherit(m);
  }
}

// class-body: '{' { member-declaration } '}'
void Parser::class_body(TypeDesc *cls, int key) {
  DepthGuard guard(*this);
  if (!is('{')) syntax_error();
  // The first member's name is read in the class: it may be a member type
  // of a base.
  push_scope(key == KEY_UNION ? SC_UNION : SC_CLASS, cls, key == KEY_CLASS ? ACC_PRIVATE : ACC_PUBLIC);
  advance();
  const size_t level = scopes.size();
  declaration_list(true, true);
  scopes.resize(level);
  pop_scope();
  // cur is the closing brace
  advance();
}

// Access declaration: a qualified inherited member named alone.
void Parser::access_declaration(const std::vector<std::string> &qual, const char *name) {
  TypeDesc *cls = scope_record();
  MemberNode *found = nullptr;
  if (cls && cls->record() && name)
    for (MemberNode *m = cls->record()->first_inherited; m && !found; m = m->next)
      if (m->decl && text_eq(m->decl->name, name)) found = m;
  if (!found) {
    warn(MSG_MODACCINC, name ? name : "");
    return;
  }
  found->access = (found->access & ~ACC_MASK) | scopes.back().access;
  (void)qual;
}

// enum-specifier: enum [name] [ '{' [ enumerator { ',' enumerator } [','] ] '}' ]
// enumerator: name [ '=' expression ]
TypeDesc *Parser::enum_specifier(Specs &s) {
  DepthGuard guard(*this);
  advance();  // enum
  // enum class E / enum struct E: a scoped enumeration.
  int scoped = 0;
  if (cur.cls == G_KEYWORD && (cur.code == K_CLASS || cur.code == K_STRUCT)) {
    scoped = cur.code == K_CLASS ? 1 : 2;
    advance();
  }
  TypeDesc *underlying = nullptr;
  const char *name = nullptr;
  TypeDesc *named = nullptr;
  // enum class A::E : short {...}: an enumeration declared in A, defined
  // outside it, is entered in A's scope.
  struct QualifiedScope {
    Parser &p;
    bool on = false;
    ~QualifiedScope() {
      if (on) p.pop_scope();
    }
  } qualified{*this};
  for (int g = 0; is_name_token(cur); ++g) {
    if (g > 10000) syntax_error();
    const Tok t = cur;
    advance();
    if (!(cur.cls == G_PUNCT && cur.code == P_SCOPE)) {
      name = t.name;
      if (t.sym && t.sym->decl && t.sym->decl->type && t.sym->decl->type->kind == TK_ENUM &&
          text_eq(type_name(t.sym->decl->type), name))
        named = t.sym->decl->type;
      break;
    }
    TypeDesc *scope = find_scope_type(t);
    if (!scope || (scope->kind != TK_CLASS && scope->kind != TK_UNION) || !scope->record()) syntax_error();
    advance();  // "::"
    if (!is_name_token(cur)) syntax_error();
    if (qualified.on) pop_scope();
    push_scope(SC_QUALIFIED, canonical_scope(scope), ACC_PUBLIC);
    qualified.on = true;
  }
  if (qualified.on && !named) {
    // Declared in that scope already: the name token was classified there.
    Symbol *e = lookup_tag(name, table, TK_ENUM, context());
    if (!e || !e->decl || !e->decl->type || e->decl->type->kind != TK_ENUM) syntax_error();
    named = e->decl->type;
  }
  if (cur.cls == G_PUNCT && cur.code == ':' && !in_class_bitfield_colon(*this, name)) {
    // The underlying type (enum E : unsigned char): it sets the size.
    advance();
    Specs base = decl_specifiers(true);
    if (!base.has_type) syntax_error();
    underlying = base.type;
  }
  if (!(cur.cls == G_PUNCT && cur.code == '{')) {
    if (!name) syntax_error();
    if (!named) {
      Symbol *e = lookup_tag(name, table, TK_ENUM, context());
      if (e && e->decl) named = e->decl->type;
    }
    if (!named) {
      named = type_new(TK_ENUM, &table);
      named->enumeration()->name = name;
      named->enumeration()->scoped = scoped;
      named->enumeration()->underlying = underlying;
      named->scope_kind = context().kind;
      named->scope = scope_record();
      Declaration *d = make_declaration(name, named, 0);
      Symbol *sym = enter_declaration(d, table, context(), d->line, an.lenient_matching, an.sink);
      // enum class K : short; declares a member of the class it stands in.
      if (sym && sym->decl == d && (scoped || underlying) && is(';')) add_member(d);
    }
    s.tag_type = named;
    return named;
  }
  advance();  // '{'
  TypeDesc *e = type_new(TK_ENUM, &table);
  e->enumeration()->name = name;
  e->enumeration()->scoped = scoped;
  e->enumeration()->underlying = underlying;
  e->scope_kind = context().kind;
  e->scope = scope_record();
  for (int g = 0; !(cur.cls == G_PUNCT && cur.code == '}'); ++g) {
    if (g > 10000000) syntax_error();
    if (!is_name_token(cur)) syntax_error();
    EnumeratorRec *r = enumerator_new(cur.name, &table);
    r->file = file();
    r->line = line();
    advance();
    if (accept('=')) {
      r->value_text = collect_expression(",}", false);
      r->has_value = true;
    }
    enum_add_enumerator(e, r);
    if (!accept(',')) break;
  }
  expect('}');
  Declaration *d = make_declaration(name, e, 0);
  Symbol *sym = enter_declaration(d, table, context(), d->line, an.lenient_matching, an.sink);
  if (sym && sym->decl == d) add_member(d);
  TypeDesc *result = (sym && sym->decl && sym->decl->type) ? sym->decl->type : e;
  s.tag_type = result;
  s.defined_type = true;
  return result;
}

// namespace-definition: namespace [name] '{' declarations '}'
// namespace-alias: namespace name '=' namespace-name ';'
void Parser::namespace_definition(bool inline_namespace) {
  DepthGuard guard(*this);
  advance();  // namespace
  const char *name = nullptr;
  bool unnamed = false;
  std::vector<const char *> outer_names;  // namespace a::b { }: a, then b inside it
  if (is_name_token(cur)) {
    name = cur.name;
    advance();
    for (int g = 0; cur.cls == G_PUNCT && cur.code == P_SCOPE; ++g) {
      if (g > 10000) syntax_error();
      advance();
      inline_namespace = cur.cls == G_KEYWORD && cur.code == K_INLINE;
      if (inline_namespace) advance();
      if (!is_name_token(cur)) syntax_error();
      outer_names.push_back(name);
      name = cur.name;
      advance();
    }
    if (cur.cls == G_PUNCT && cur.code == '=' && outer_names.empty()) {
      advance();
      TypeDesc *target = nullptr;
      for (int g = 0;; ++g) {
        if (g > 1000) syntax_error();
        if (cur.cls == G_PUNCT && cur.code == P_SCOPE) {
          advance();
          continue;
        }
        if (!is_name_token(cur)) syntax_error();
        target = find_scope_type(cur);
        advance();
        if (!(cur.cls == G_PUNCT && cur.code == P_SCOPE)) break;
      }
      expect(';');
      TypeDesc *alias = new_record(KEY_NAMESPACE, name, *this);
      alias->record()->alias_of = target;
      alias->record()->has_body = 1;
      Declaration *d = make_declaration(name, alias, 0);
      enter_declaration(d, table, context(), d->line, an.lenient_matching, an.sink);
      return;
    }
  } else {
    name = unnamed_namespace_name();
    unnamed = true;
  }
  if (!(cur.cls == G_PUNCT && cur.code == '{')) syntax_error();
  // A reopened namespace continues its first record.
  auto open_namespace = [&](const char *n) {
    TypeDesc *ns = own_scope_tag(*this, n, TK_CLASS);
    if (ns && !(ns->record() && ns->record()->key == KEY_NAMESPACE)) ns = nullptr;
    if (ns && ns->record()->alias_of) ns = ns->record()->alias_of;
    if (!ns) {
      ns = new_record(KEY_NAMESPACE, n, *this);
      ns->record()->has_body = 1;
      Declaration *d = make_declaration(n, ns, 0);
      Symbol *sym = enter_declaration(d, table, context(), d->line, an.lenient_matching, an.sink);
      if (sym && sym->decl == d) add_member(d);
    }
    return ns;
  };
  const size_t outer_level = scopes.size();
  for (const char *n : outer_names) push_scope(SC_NAMESPACE, open_namespace(n), ACC_PUBLIC);
  TypeDesc *ns = open_namespace(name);
  if (unnamed || inline_namespace) {
    // An unnamed or inline namespace is used by its enclosing scope: its
    // members are found from there (std::chrono::system_clock of _V2).
    TypeDesc *scope = scope_record();
    std::vector<TypeDesc *> &used =
        scope && scope->record() ? scope->record()->using_namespaces : table.using_namespaces;
    if (std::find(used.begin(), used.end(), ns) == used.end()) used.push_back(ns);
  }
  // The first declaration's first name is read in the namespace: a type
  // declared in an earlier opening of it.
  push_scope(SC_NAMESPACE, ns, ACC_PUBLIC);
  advance();  // '{'
  const size_t level = scopes.size();
  declaration_list(true, false);
  scopes.resize(level);
  pop_scope();
  scopes.resize(outer_level);
  advance();  // '}'
}

// using-declaration: using tokens ';'   (using namespace N; also names N as used)
void Parser::using_declaration() {
  std::string text = "using";
  advance();
  if (is_name_token(cur) && peek_token().cls == G_PUNCT && peek_token().code == '=') {
    // using Index = unsigned long;  the same as a typedef.
    const char *name = cur.name;
    const int at = line();
    advance();
    advance();  // '='
    Specs ts = decl_specifiers(true);
    if (!ts.any) syntax_error();
    Declarator ad;
    parse_declarator(ad, true, &ts);
    TypeDesc *t = build_type(ts.type, ad);
    if (!is(';')) syntax_error();
    Declaration *d = make_declaration(name, t, SF_TYPEDEF);
    d->line = at;
    enter(d);
    advance();
    return;
  }
  const char *first = nullptr;
  bool directive = false;
  TypeDesc *ns = nullptr;
  int count = 0;
  std::vector<Tok> words;
  for (;;) {
    if (at_eof()) {
      an.sink(MSG_SYNTAXERR, "'using' without ';'", file(), line());
      ++errors;
      throw EndAnalysis();
    }
    if (cur.cls == G_PUNCT && cur.code == ';') break;
    if (count == 0 && cur.cls == G_KEYWORD && cur.code == K_NAMESPACE) directive = true;
    if (!first && is_name_token(cur)) first = cur.name;
    words.push_back(cur);
    if (is_name_token(cur)) {
      TypeDesc *t = find_scope_type(cur);
      if (t && t->kind == TK_CLASS && t->record() && t->record()->key == KEY_NAMESPACE) ns = t;
      else if (directive) ns = nullptr;
    }
    text += " ";
    text += cur.text;
    ++count;
    advance();
  }
  UsingDecl u;
  u.text = text;
  u.first_name = first;
  TypeDesc *scope = scope_record();
  if (scope && scope->record()) scope->record()->using_declarations.push_back(u);
  else table.using_declarations.push_back(u);
  if (!directive && (scopes.back().kind == SC_NAMESPACE || scopes.back().kind == SC_FILE))
    using_name(words);
  if (directive && ns) {
    if (ns->record()->alias_of) ns = ns->record()->alias_of;
    if (scope && scope->record()) scope->record()->using_namespaces.push_back(ns);
    else table.using_namespaces.push_back(ns);
  }
  advance();  // ';'
}

// using [::] N { :: N } :: name ;  in a namespace: the name declared in the
// namespace named is found here too (using gx::_Lock_policy; then
// template<_Lock_policy P>).
void Parser::using_name(const std::vector<Tok> &words) {
  const size_t n = words.size();
  size_t i = 0;
  bool qualified = false;
  TypeDesc *from = nullptr;
  if (i < n && words[i].cls == G_PUNCT && words[i].code == P_SCOPE) {
    qualified = true;
    ++i;
  }
  for (; i + 1 < n; i += 2) {
    if (!is_name_token(words[i]) || !(words[i + 1].cls == G_PUNCT && words[i + 1].code == P_SCOPE)) return;
    from = find_scope_type(words[i]);
    if (!from || from->kind != TK_CLASS || !from->record()) return;
    for (int g = 0; from->record()->alias_of && g < 100; ++g) from = from->record()->alias_of;
    qualified = true;
  }
  if (!qualified || i + 1 != n || !is_name_token(words[i])) return;
  const ScopeContext here = context();
  table_add_using(table, here.kind ? here.current : nullptr, words[i].name, from);
}

// linkage-block: extern string-literal ( '{' declarations '}' | declaration )
void Parser::linkage_block() {
  DepthGuard guard(*this);
  advance();  // the string literal
  if (cur.cls == G_STRING) syntax_error();
  if (cur.cls == G_PUNCT && cur.code == '{') {
    advance();
    declaration_list(true, false);
    advance();  // '}'
    return;
  }
  declaration();
}

// template-declaration: template template-open parameters template-close
//     ( class-key name ( body | base-and-body ) ';' | class-key name ';' | declaration )
void Parser::template_declaration() {
  DepthGuard guard(*this);
  // The parameter names stand for types up to the end of the declaration.
  struct ParamsGuard {
    std::vector<const char *> &v;
    size_t n;
    ~ParamsGuard() { v.resize(n); }
  } params_guard{template_params, template_params.size()};
  ParamsGuard values_guard{value_params, value_params.size()};
  advance();  // template
  if (cur.cls != G_TOPEN) {
    // template class X<char>;  an explicit instantiation: nothing new to enter.
    if (cur.cls == G_KEYWORD && (cur.code == K_CLASS || cur.code == K_STRUCT)) {
      recover_skip(in_class(), true);
      return;
    }
    syntax_error();
  }
  advance();
  TypeDesc *templ = type_new(TK_TEMPLATE, &table);
  in_template_header = true;
  for (int g = 0; cur.cls != G_TCLOSE; ++g) {
    if (g > 10000 || at_eof()) syntax_error();
    TemplateParam *p = nullptr;
    // template<typename...> class Op: a template template parameter; its
    // own header is kept as written.
    std::string head;
    // typename enable_if<C, bool>::type = true: a value of a member type.
    const bool dependent_value = cur.cls == G_KEYWORD && cur.code == K_TYPENAME && dependent_type_follows(*this);
    if (cur.cls == G_KEYWORD && cur.code == K_TEMPLATE) {
      advance();
      if (cur.cls != G_TOPEN) syntax_error();
      head = "template <";
      advance();
      for (int open = 1, h = 0;; ++h) {
        if (h > 100000 || at_eof()) syntax_error();
        if (cur.cls == G_TOPEN) ++open;
        if (cur.cls == G_TCLOSE && --open == 0) break;
        if (cur.cls == G_TOPEN || cur.cls == G_TCLOSE) head += cur.text;
        else append_token_text(head, cur);
        advance();
      }
      head += "> ";
      advance();
      if (!(cur.cls == G_KEYWORD && (cur.code == K_CLASS || cur.code == K_TYPENAME))) syntax_error();
    }
    if (!dependent_value && cur.cls == G_KEYWORD && (cur.code == K_CLASS || cur.code == K_TYPENAME)) {
      bool is_class = cur.code == K_CLASS;
      advance();
      const bool pack = accept(P_ELLIPSIS);
      const char *pname = nullptr;
      if (is_name_token(cur)) {
        pname = cur.name;
        advance();
      }
      p = template_param_new(pname, &table);
      if (pname) template_params.push_back(pname);
      p->is_type = 1;
      p->is_class = is_class ? 1 : 0;
      p->template_head = head;
      p->pack = pack;
      if (accept('=')) {
        p->default_text = collect_expression(",>", false);
        p->has_default = true;
      }
    } else {
      Specs s = decl_specifiers(true);
      if (!s.any) syntax_error();
      const bool pack = accept(P_ELLIPSIS);  // size_t... N
      Declarator d;
      parse_declarator(d, true, &s);
      p = template_param_new(d.name, &table);
      if (d.name) value_params.push_back(d.name);
      p->pack = pack;
      p->is_type = 0;
      p->value_type = build_type(s.type, d);
      if (accept('=')) {
        p->default_text = collect_expression(",>", false);
        p->has_default = true;
      }
    }
    template_add_param(templ, p);
    if (cur.cls == G_PUNCT && cur.code == ',') {
      advance();
      continue;
    }
    if (cur.cls != G_TCLOSE) syntax_error();
  }
  in_template_header = false;
  struct HeaderCount {
    int &n;
    bool on;
    ~HeaderCount() {
      if (on) --n;
    }
  } header_count{specialisation_headers, !templ->templ()->first_param};
  if (header_count.on) ++specialisation_headers;
  const char *tfile = file();
  const int tline = line();
  advance();  // template-close
  if (cur.cls == G_KEYWORD && cur.code == K_TEMPLATE) {
    // A member template of a class template defined outside both:
    // template<class T> template<class U> ... X<T>::f(U).
    template_declaration();
    return;
  }
  if (cur.cls == G_KEYWORD && cur.code == K_USING) {
    // An alias template: the text of the type it stands for, bound to the
    // arguments of each use.
    advance();
    // A member alias template is entered too: later members name it.
    if (!is_name_token(cur)) syntax_error();
    const char *name = cur.name;
    advance();
    while (skip_attribute()) {
    }
    if (cur.cls != G_INITTEXT) syntax_error();
    std::string text = cur.text.size() > 1 ? std::string(cur.text.substr(1)) : std::string();
    while (!text.empty() && (text[0] == ' ' || text[0] == '\t' || text[0] == '\n')) text.erase(0, 1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n')) text.pop_back();
    advance();
    if (!is(';')) syntax_error();
    templ->templ()->name = name;
    templ->templ()->alias = 1;
    templ->templ()->body = text;
    templ->templ()->file = tfile;
    templ->templ()->line = tline;
    templ->scope_kind = context().kind;
    templ->scope = scope_record();
    Declaration *d = make_declaration(name, templ, 0);
    d->line = tline;
    Symbol *sym = enter_declaration(d, table, context(), d->line, an.lenient_matching, an.sink);
    if (sym && sym->decl == d) add_member(d);
    advance();
    return;
  }
  if (cur.cls == G_KEYWORD && (cur.code == K_CLASS || cur.code == K_STRUCT || cur.code == K_UNION)) {
    const bool is_union = cur.code == K_UNION;
    const ClassKey key = cur.code == K_CLASS ? KEY_CLASS : is_union ? KEY_UNION : KEY_STRUCT;
    advance();
    std::string alignment;
    skip_class_head_words(*this, &alignment);
    const char *name = nullptr;
    bool specialisation = false;
    bool qualified = false;
    // The class or namespace of a qualified name (template<...> struct A::B),
    // whose member the template is.
    TypeDesc *qualifier = nullptr;
    Tok name_tok;
    std::vector<std::string> spec_args;
    if (is_name_token(cur)) {
      name = cur.name;
      name_tok = cur;
      advance();
      // A specialisation of a member class template written outside its
      // class: template<typename R> struct Outer::X<R&> {...}. The names
      // after "::" are looked up in the class before them.
      for (int g = 0; cur.cls == G_PUNCT && cur.code == P_SCOPE; ++g) {
        if (g > 100) syntax_error();
        TypeDesc *q = type_of_name_token(name_tok);
        qualifier = q && q->record() ? canonical_scope(q) : nullptr;
        advance();
        if (!is_name_token(cur)) syntax_error();
        name = cur.name;
        name_tok = cur;
        qualified = true;
        advance();
      }
      if (cur.cls == G_TOPEN) {
        specialisation = true;
        collect_template_arguments(spec_args);
      } else if (qualified && !qualifier) {
        an.sink(MSG_TEMPLADEC, "", file(), line());
        recover_skip(in_class(), true);
        return;
      }
    }
    if (name && is_word(W_FINAL)) {  // template<class T> class D final : B<T> {...}
      const Tok n = peek_token();
      if (n.cls == G_BODYTEXT || n.cls == G_BASEBODY || (n.cls == G_PUNCT && (n.code == '{' || n.code == ':')))
        advance();
    }
    std::string body;
    bool has_body = false;
    if (cur.cls == G_BODYTEXT || cur.cls == G_BASEBODY) {
      body = cur.text;
      has_body = true;
      advance();
    } else if (cur.cls == G_PUNCT && (cur.code == '{' || cur.code == ':')) {
      // Body not captured by the scanner: take it here.
      std::string prefix(cur.text);
      if (cur.code == ':') {
        std::string bases;
        advance();
        for (int g = 0; !(cur.cls == G_PUNCT && cur.code == '{'); ++g) {
          if (at_eof() || g > 100000) syntax_error();
          append_token_text(bases, cur);
          advance();
        }
        prefix = ": " + bases + " {";
      }
      std::string inner;
      if (!lex_capture_balanced(lex, inner, true)) unexpected_end();
      body = prefix + inner;
      has_body = true;
      advance();
    } else if (cur.cls == G_PUNCT && cur.code == ';') {
      // declaration only
    } else if (!is_union && name && !specialisation) {
      // template<class T> class X *f(); and the like: not a class template.
      an.sink(MSG_TEMPLADEC, "", file(), line());
      recover_skip(in_class(), true);
      return;
    }
    TypeDesc *primary = specialisation ? type_of_name_token(name_tok) : nullptr;
    if (specialisation && primary && primary->kind == TK_TEMPLATE) {
      // template<> struct X<char> {...}: the class X<char> itself, found by
      // every later use of X<char>. A partial specialisation (parameters
      // left) stands for no one class; a union's is passed over.
      if (has_body && !templ->templ()->first_param && !is_union)
        specialise_class_template(*this, primary, spec_args, key, body, tfile, tline);
      // A partial one is kept with its template: an instance whose arguments
      // fit its pattern is built from it.
      if (has_body && templ->templ()->first_param && !is_union)
        primary->templ()->partials.push_back(PartialSpecialisation{templ, spec_args, body, tfile, tline});
      if (cur.cls == G_PUNCT && cur.code == ';') advance();
      else recover_skip(in_class(), true);
      return;
    }
    if (!name || specialisation) {
      an.sink(MSG_TEMPLADEC, "", file(), line());
      if (cur.cls == G_PUNCT && cur.code == ';') advance();
      else recover_skip(in_class(), true);
      return;
    }
    templ->templ()->name = name;
    templ->templ()->key = key;
    templ->templ()->alignment = alignment;
    templ->templ()->has_body = has_body ? 1 : 0;
    templ->templ()->body = body;
    templ->templ()->file = tfile;
    templ->templ()->line = tline;
    // A member class template defined outside its class belongs to that
    // class, where its declaration stands.
    const ScopeContext where = qualified ? ScopeContext{1, qualifier} : context();
    templ->scope_kind = static_cast<unsigned char>(where.kind);
    templ->scope = qualified ? qualifier : scope_record();
    if (!is(';')) syntax_error();
    if (has_body) take_declared_defaults(*this, templ);
    // Entered before the look-ahead passes the ';', so that the next name is
    // already classified as a template.
    Declaration *d = make_declaration(name, templ, 0);
    d->line = tline;
    if (qualified) {
      d->scope_kind = templ->scope_kind;
      d->scope = qualifier;
    }
    Symbol *sym = enter_declaration(d, table, where, d->line, an.lenient_matching, an.sink);
    if (sym && sym->decl == d && !qualified) add_member(d);
    advance();
    return;
  }
  if (skip_deduction_guide()) return;
  // Function template, member template or template member defined outside
  // its class: read as a declaration, the body captured.
  Specs s = decl_specifiers(false);
  if (is(';') && s.tag_type && !s.has_pending_name && s.pending_qual.empty()) {
    advance();  // template <class U> friend class Y;
    return;
  }
  Declarator d;
  parse_declarator(d, false, &s);
  if (!d.name) syntax_error();
  TypeDesc *ft = build_type(s.type, d);
  const bool is_function = ft && ft->kind == TK_FUNCTION;
  bool dependent = false;  // X<T>::Nested::f: a member of a class nested in a template
  for (const std::string &q : d.qual) dependent = dependent || mentions_parameter(*this, q);
  if (d.qualified && ((d.qual_scope && d.qual_scope->kind == TK_TEMPLATE) || dependent)) {
    const bool kept = d.qual_scope && d.qual_scope->kind == TK_TEMPLATE && d.qual_scope->templ();
    // Member of a class template: kept with the template for its instances.
    std::string header;
    for (const std::string &q : d.qual) header += q + "::";
    header += d.name;
    if (cur.cls == G_BODYTEXT || cur.cls == G_BASEBODY) {
      if (kept) d.qual_scope->templ()->member_definitions.push_back(header);
      advance();
      return;
    }
    if (cur.cls == G_PUNCT && cur.code == '{') {
      skip_body();
      if (kept) d.qual_scope->templ()->member_definitions.push_back(header);
      advance();
      return;
    }
    if (cur.cls == G_INITTEXT) advance();
    expect(';');
    return;
  }
  if (is_function) ft->template_word = templ;
  if (is_function && d.qualified && d.name && templ->templ()->first_param && d.qual_scope &&
      d.qual_scope->kind == TK_CLASS && (cur.cls == G_BODYTEXT || cur.cls == G_BASEBODY || is('{'))) {
    // A member template of a class defined outside it names its own
    // template parameters (_Char in the class, _CharT here): the member
    // declared in the class as a template is the one defined.
    TypeDesc *cls = canonical_scope(d.qual_scope);
    Symbol *declared = lookup_in_scope(d.name, table, AREA_ORDINARY, cls);
    if (declared && declared->decl && declared->decl->type && declared->decl->type->template_word &&
        !find_function(d.name, table, cls, ft, an.lenient_matching)) {
      if (is('{')) skip_body();
      advance();
      return;
    }
  }
  if (is_function && (cur.cls == G_BODYTEXT || cur.cls == G_BASEBODY || (cur.cls == G_PUNCT && (cur.code == '{' || cur.code == ':')))) {
    function_definition(s, d, ft);
    return;
  }
  std::string text;
  if (cur.cls == G_INITTEXT) {
    text = cur.text.size() > 1 ? std::string(cur.text.substr(1)) : std::string();
    advance();
  } else if (!is_function && cur.cls == G_BODYTEXT) {
    text = cur.text;  // template<class T> constexpr tag<T> tag_v{};
    advance();
  }
  expect(';');
  Declaration *dec = make_declaration(d.name, ft, s.storage);
  dec->text = text;
  enter(dec);
}

// A class-template name used as a type: the instance for its arguments.
TypeDesc *Parser::template_use(const Tok &name_tok) {
  std::vector<std::string> args;
  bool has_args = cur.cls == G_TOPEN;
  if (has_args) collect_template_arguments(args);
  return template_instance(name_tok, args, has_args);
}

namespace {

// Whether a word of the text (a name, not part of one) is one `wanted` takes.
template <class Wanted>
bool names_some_word(const std::string &text, Wanted wanted) {
  for (size_t i = 0; i < text.size();) {
    if (!ident_start(text[i])) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < text.size() && ident_char(text[j])) ++j;
    if (wanted(text.substr(i, j - i))) return true;
    i = j;
  }
  return false;
}

// Whether an argument text names a parameter of an enclosing template header.
bool mentions_parameter(const Parser &p, const std::string &text) {
  return names_some_word(text, [&](const std::string &w) { return p.is_template_parameter(intern_string(w.c_str())); });
}

// Whether a namespace is inline in the namespace enclosing it: its names
// are named from there (std::chrono::steady_clock of an inline _V2).
bool is_inline_namespace(const TypeDesc *s) {
  if (!s || s->kind != TK_CLASS || !s->record() || s->record()->key != KEY_NAMESPACE) return false;
  TypeDesc *e = enclosing_scope(s);
  if (!e || !e->record() || e->record()->key != KEY_NAMESPACE) return false;
  TypeDesc *own = canonical_scope(const_cast<TypeDesc *>(s));
  for (TypeDesc *u : canonical_scope(e)->record()->using_namespaces)
    if (canonical_scope(u) == own) return true;
  return false;
}

// The names of `scope` and of the scopes around it, outermost first, joined
// with "::": the spelling that names `scope` from anywhere. False when no
// such spelling exists (an unnamed class, a member of a template).
bool scope_spelling(const TypeDesc *scope, std::string &out) {
  std::vector<const char *> names;
  int guard = 0;
  for (const TypeDesc *s = scope; s; s = enclosing_scope(s)) {
    if (++guard > 1000 || s->kind == TK_TEMPLATE) return false;
    if ((s->kind != TK_CLASS && s->kind != TK_UNION) || !s->record()) continue;  // a function's scope
    const char *n = s->record()->name;
    if (!n || !*n) return false;
    // Unnamed and inline namespaces add nothing to the name.
    if (s->record()->key == KEY_NAMESPACE && (is_unnamed_namespace_name(n) || is_inline_namespace(s))) continue;
    names.push_back(n);
  }
  out.clear();
  for (size_t i = names.size(); i-- > 0;) {
    out += names[i];
    if (i) out += "::";
  }
  return true;
}

// `text` prefixed with the spelling of the scope it is declared in.
std::string spelled_in(const TypeDesc *scope, std::string_view text) {
  std::string prefix;
  if (!scope || !scope_spelling(scope, prefix) || prefix.empty()) return std::string(text);
  prefix += "::";
  prefix += text;
  return prefix;
}

}  // namespace

std::string Parser::argument_name_text(const Tok &t) {
  if (!t.name || is_template_parameter(t.name)) return std::string(t.text);
  if (t.cls == G_CLASSNAME || t.cls == G_TEMPLNAME) {
    TypeDesc *ty = t.type ? t.type : (t.sym && t.sym->decl ? t.sym->decl->type : nullptr);
    if (!ty) return std::string(t.text);
    if (ty->kind == TK_TEMPLATE && peek_token().cls != G_TOPEN) {
      // Without arguments, a template's name inside one of its instances
      // names that instance.
      for (auto it = scopes.rbegin(); it != scopes.rend(); ++it) {
        std::string own;
        if (it->record && it->record->template_word == ty && scope_spelling(it->record, own)) return own;
      }
      return std::string(t.text);
    }
    // The scanner spells a typedef name of a class with the class's own name.
    return spelled_in(enclosing_scope(ty), t.text);
  }
  if (t.cls != G_DECLNAME || !t.sym || !t.sym->decl) return std::string(t.text);
  const Declaration *d = t.sym->decl;
  if (d->type && d->type->kind == TK_FUNCTION) {
    // Inside a class its constructors stand for its name.
    TypeDesc *cls = type_of_name_token(t);
    std::string own;
    if (cls && cls->record() && scope_spelling(cls, own)) return own;
  }
  if (!d->scope_kind || !d->scope) return std::string(t.text);
  return spelled_in(d->scope, t.text);
}

namespace {

// The composed name of a template's use that is not made an instance,
// named from the global scope through the template's scope.
std::string spelled_use(const TypeDesc *templ, const std::string &composed) {
  return templ ? spelled_in(templ->scope, composed) : composed;
}

}  // namespace

TypeDesc *Parser::template_instance(const Tok &name_tok, const std::vector<std::string> &args, bool has_args) {
  TypeDesc *templ = type_of_name_token(name_tok);
  if (!has_args) {
    // Inside an instance, the template's own name alone is that instance
    // (Matrix in Matrix<3>: "Matrix operator*(const Matrix &) const").
    if (templ && templ->kind == TK_TEMPLATE)
      for (auto sc = scopes.rbegin(); sc != scopes.rend(); ++sc)
        if (sc->record && sc->record->template_word == templ && sc->record->record() &&
            sc->record->record()->instance_mark)
          return sc->record;
    return templ;
  }
  const std::string composed = instance_name(name_tok.name, args);
  if (!templ || templ->kind != TK_TEMPLATE) return named_type(intern(composed), nullptr, &table);
  // Inside a template, a use that depends on its parameters is not an instance.
  for (const std::string &a : args)
    if (mentions_parameter(*this, a)) return named_type(intern(composed), nullptr, &table);
  // So does one that names what only the template being declared knows
  // (pair<const_iterator, const_iterator> in a member defined outside its
  // class template).
  if (unknown_in_arguments && !template_params.empty()) return named_type(intern(composed), nullptr, &table);
  // Inside an instance, another instance of the same template is named, not
  // made: its body would name a further one (X<typename f<T>::type> in X<T>)
  // without end. So inside an explicit specialisation: the instance named
  // may be another specialisation declared and defined after it
  // (complex<double> in complex<float>), which making it now would preempt.
  for (const Scope &sc : scopes)
    if (sc.record && template_of_class(table, sc.record) == templ && !(templ->templ() && templ->templ()->alias) &&
        !(sc.record->record() && text_eq(sc.record->record()->name, intern(composed)))) {
      if (sc.record->template_word == templ) return named_type(intern(composed), nullptr, &table);
      // Inside a specialisation: a specialisation declared before is that
      // class, to be completed by its own body if it has none yet.
      const int kind = templ->templ() && templ->templ()->key == KEY_UNION ? TK_UNION : TK_CLASS;
      const Symbol *declared = lookup_tag(intern(composed), table, kind, template_home(templ));
      if (declared && declared->decl && declared->decl->type) return declared->decl->type;
      if (!templ->scope) return named_type(intern(composed), nullptr, &table);
      // Otherwise named, and written as named wherever it is used (a
      // service's parameter outside the namespace): qualified.
      std::string qualified;
      write_qualified_name(qualified, intern(composed), ScopeContext{1, templ->scope}, "::", true);
      return named_type(intern(qualified), nullptr, &table);
    }
  if (templ->templ() && templ->templ()->alias) {
    // The aliased type itself, read from its text with the arguments bound.
    TypeDesc *t = nullptr;
    if (an.budget.instantiation_depth < INSTANTIATION_NESTING_LIMIT &&
        an.budget.alias_readings < ALIAS_READINGS_PER_ANALYSIS) {
      ++an.budget.instantiation_depth;
      ++an.budget.alias_readings;
      const std::string text = bind_template_text(templ, args, templ->templ()->body);
      an.budget.alias_text_read += text.size();
      if (text.size() > ALIAS_TEXT_LIMIT || an.budget.alias_text_read > ALIAS_TEXT_PER_ANALYSIS) {
        ++an.budget.alias_limit_hits;
      } else {
        // The alias's own names are those of its scope; an argument may name
        // what only the use's scope sees. A reading that met a limit is not
        // tried again: aliases naming each other would read twice at every
        // level, two to the power of the limit in all.
        const int hits = an.budget.alias_limit_hits;
        if (templ->scope) t = type_from_text(text.c_str(), table, file(), line(), nullptr, &an.budget, templ->scope);
        if (!t && an.budget.alias_limit_hits == hits)
          t = type_from_text(text.c_str(), table, file(), line(), nullptr, &an.budget);
      }
      --an.budget.instantiation_depth;
    } else {
      ++an.budget.alias_limit_hits;
    }
    if (t) return t;
    // typename X<T>::type: a member of an instance, which is not looked
    // into; the alias stays the type as written, named from the global
    // scope through the namespaces of its template.
    const std::string &body = templ->templ()->body;
    if (body.compare(0, 9, "typename ") == 0 && !in_class()) {
      std::string qualified = composed;
      for (TypeDesc *sc = templ->scope; sc && sc->record(); sc = sc->record()->enclosing) {
        if (sc->record()->key != KEY_NAMESPACE || !sc->record()->name) return named_type(intern(composed), nullptr, &table);
        if (!is_unnamed_namespace_name(sc->record()->name)) qualified = std::string(sc->record()->name) + "::" + qualified;
      }
      return named_type(intern(qualified), nullptr, &table);
    }
    if (body.compare(0, 9, "typename ") == 0) return named_type(intern(composed), nullptr, &table);
    an.sink(MSG_TEMINSINC, composed, file(), line());
    return named_type(intern(composed), nullptr, &table);
  }
  TypeDesc *inst = instantiate_class_template(*this, templ, args, IM_INSTANCE);
  return inst ? inst : named_type(intern(spelled_use(templ, composed)), nullptr, &table);
}


}  // namespace grammar

using namespace grammar;

namespace {

size_t skip_blanks(const std::string &text, size_t i) {
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) ++i;
  return i;
}

// At `i`, "sizeof ... ( P )" with P a pack of `pack_sizes`: the end of that
// text, its size written to `count`; otherwise `i`. The pack's arguments put
// in its place would make "sizeof...(int,double)", which is not C++.
size_t pack_size_query(const std::string &text, size_t i, const std::map<std::string, size_t> &pack_sizes,
                       size_t *count) {
  if (text.compare(i, 6, "sizeof") != 0) return i;
  size_t j = skip_blanks(text, i + 6);
  if (text.compare(j, 3, "...") != 0) return i;
  j = skip_blanks(text, j + 3);
  if (j >= text.size() || text[j] != '(') return i;
  j = skip_blanks(text, j + 1);
  size_t k = j;
  while (k < text.size() && ident_char(text[k])) ++k;
  auto it = pack_sizes.find(text.substr(j, k - j));
  if (it == pack_sizes.end()) return i;
  k = skip_blanks(text, k);
  if (k >= text.size() || text[k] != ')') return i;
  *count = it->second;
  return k + 1;
}

// The text with every identifier bound in `binding` replaced; string and
// character literals are left as they are. The size of a bound pack is
// written as its number of arguments.
std::string substitute(const std::string &text, const std::map<std::string, std::string> &binding,
                       const std::map<std::string, size_t> &pack_sizes = {}) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (c == '"' || c == '\'') {
      size_t j = i + 1;
      while (j < text.size() && text[j] != c) j += (text[j] == '\\' && j + 1 < text.size()) ? 2 : 1;
      j = j < text.size() ? j + 1 : j;
      out.append(text, i, j - i);
      i = j;
      continue;
    }
    if (ident_start(c)) {
      size_t count = 0;
      const size_t end = pack_sizes.empty() ? i : pack_size_query(text, i, pack_sizes, &count);
      if (end != i) {
        out += std::to_string(count);
        i = end;
        continue;
      }
      size_t j = i;
      while (j < text.size() && ident_char(text[j])) ++j;
      std::string word = text.substr(i, j - i);
      auto it = binding.find(word);
      out += it != binding.end() ? it->second : word;
      i = j;
      continue;
    }
    if (c >= '0' && c <= '9') {  // 1e5, 0x1F: not identifiers
      size_t j = i;
      while (j < text.size() && (ident_char(text[j]) || text[j] == '.')) ++j;
      out.append(text, i, j - i);
      i = j;
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

}  // namespace

std::string bind_template_text(const TypeDesc *templ, const std::vector<std::string> &arguments,
                               const std::string &text) {
  std::map<std::string, std::string> binding;
  std::map<std::string, size_t> pack_sizes;
  if (templ && templ->templ()) {
    size_t i = 0;
    for (TemplateParam *p = templ->templ()->first_param; p; p = p->next, ++i) {
      if (!p->name) continue;
      if (p->pack) {
        // A pack takes every argument left, possibly none.
        std::string rest;
        for (size_t k = i; k < arguments.size(); ++k) rest += (k > i ? "," : "") + arguments[k];
        binding[p->name] = rest;
        pack_sizes[p->name] = i < arguments.size() ? arguments.size() - i : 0;
      } else if (i < arguments.size()) binding[p->name] = arguments[i];
      // A default may name the parameters before it (class A = alloc<T>).
      else if (p->has_default) binding[p->name] = substitute(p->default_text, binding);
    }
  }
  std::string out = substitute(text, binding, pack_sizes);
  // An empty argument list "< >" is written as blanks.
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] != '<') continue;
    size_t j = i + 1;
    while (j < out.size() && (out[j] == ' ' || out[j] == '\t')) ++j;
    if (j > i + 1 && j < out.size() && out[j] == '>') {
      out[i] = ' ';
      out[j] = ' ';
    }
  }
  return out;
}

namespace {

// Analyses the composed text of a class (an instance or a specialisation)
// in the scope `where`, with positions naming the template's file and line:
// a new analysis on the outer one's table and budget.
void nested_class_analysis(Parser &outer, const char *file, int line, const std::string &text,
                           const ScopeContext &where) {
  Analysis &o = outer.an;
  Analysis nested(o.table, o.budget, o.sink, o.keep_bodies, o.lenient_matching,
                  outer.instantiation_level + 1);
  Scope outer_scope;  // file scope, or the template's own scope
  if (where.current) {
    outer_scope.kind = SC_QUALIFIED;
    outer_scope.record = where.current;
  }
  // The arguments are texts of the use: what they name is looked up where
  // the template was used (chrono::time_point<__file_clock> in filesystem).
  nested.parser.instance_use_site = outer.context();
  if (!nested.parser.instance_use_site.kind) nested.parser.instance_use_site = outer.instance_use_site;
  outer.errors += nested.run(text.c_str(), file, line, outer_scope);
}

}  // namespace

namespace {

// Whether arguments fit a partial specialisation's pattern: 1 yes (bound
// receives its parameters' arguments in order), 0 no, -1 when this reading
// cannot tell (a parameter inside a larger argument, T* or X<T>; another
// spelling of a type; a pack), so that no specialisation is chosen then.
int fit_partial(const PartialSpecialisation &ps, const std::vector<std::string> &arguments,
                std::vector<std::string> &bound) {
  if (!ps.header || !ps.header->templ() || ps.pattern.size() != arguments.size()) return -1;
  std::map<std::string, std::string> binding;
  std::vector<const char *> names;
  for (const TemplateParam *p = ps.header->templ()->first_param; p; p = p->next) {
    if (!p->name || p->pack) return -1;
    names.push_back(p->name);
  }
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string pattern = trimmed(ps.pattern[i]), argument = trimmed(arguments[i]);
    const char *param = nullptr;
    for (const char *n : names)
      if (pattern == n) param = n;
    if (param) {
      auto it = binding.find(param);
      if (it == binding.end()) binding[param] = argument;
      else if (it->second != argument) return 0;
      continue;
    }
    if (names_some_word(pattern, [&](const std::string &w) {
          return std::any_of(names.begin(), names.end(), [&](const char *n) { return w == n; });
        }))
      return -1;
    if (pattern != argument) return -1;
  }
  bound.clear();
  for (const char *n : names) {
    auto it = binding.find(n);
    if (it == binding.end()) return -1;  // not deduced from the pattern
    bound.push_back(it->second);
  }
  return 1;
}

// The one partial specialisation the arguments fit, when it is sure to be the
// one: none when any could not be told apart or several fit.
const PartialSpecialisation *chosen_partial(const TemplateInfo &ti, const std::vector<std::string> &arguments,
                                            std::vector<std::string> &bound) {
  const PartialSpecialisation *chosen = nullptr;
  for (const PartialSpecialisation &ps : ti.partials) {
    std::vector<std::string> b;
    const int fit = fit_partial(ps, arguments, b);
    if (fit < 0 || (fit == 1 && chosen)) return nullptr;
    if (fit == 1) {
      chosen = &ps;
      bound = b;
    }
  }
  return chosen;
}

}  // namespace

TypeDesc *grammar::instantiate_class_template(Parser &outer, TypeDesc *templ,
                                              const std::vector<std::string> &arguments, InstanceMark mark) {
  SymbolTable &table = outer.table;
  AnalysisBudget &budget = outer.an.budget;
  if (!templ || templ->kind != TK_TEMPLATE || !templ->templ() || !templ->templ()->name) return nullptr;
  TemplateInfo *ti = templ->templ();
  const std::string name = instance_name(ti->name, arguments);
  const ScopeContext where = template_home(templ);
  const int kind = ti->key == KEY_UNION ? TK_UNION : TK_CLASS;
  Symbol *ex = lookup_tag(intern_string(name.c_str()), table, kind, where);
  if (ex && ex->decl && ex->decl->type) return ex->decl->type;
  auto &pending = budget.pending_instances;
  auto it = pending.find(instance_key(name));
  if (it != pending.end()) return it->second;
  // Every parameter needs an argument or a default.
  size_t i = 0;
  for (TemplateParam *p = ti->first_param; p; p = p->next, ++i)
    if (i >= arguments.size() && !p->has_default && !p->pack) {
      outer.an.sink(MSG_TEMINSINC, name, outer.file(), outer.line());
      return nullptr;
    }
  std::vector<std::string> bound;
  const PartialSpecialisation *partial = chosen_partial(*ti, arguments, bound);
  if (!ti->has_body && !partial) return nullptr;
  if (budget.instantiation_depth >= INSTANTIATION_NESTING_LIMIT ||
      budget.instances_made >= INSTANCES_PER_ANALYSIS || name.size() > INSTANCE_NAME_LIMIT ||
      budget.instance_text_read > INSTANCE_TEXT_PER_ANALYSIS) {
    // Reported once per analysis: past the limit every further use would say it again.
    if (!budget.limit_reported) outer.an.sink(MSG_TEMINSINC, name, outer.file(), outer.line());
    budget.limit_reported = true;
    return nullptr;
  }
  ++budget.instances_made;
  const char *iname = intern_string(name.c_str());
  TypeDesc *inst = type_new(static_cast<TypeKind>(kind), &table);
  inst->record()->name = iname;
  inst->record()->key = ti->key;
  inst->record()->instance_mark = mark;
  inst->template_word = templ;
  inst->scope_kind = where.kind;
  inst->scope = where.current;
  inst->record()->enclosing = where.current;
  std::string joined;
  for (size_t k = 0; k < arguments.size(); ++k) {
    if (k) joined += ",";
    joined += arguments[k];
  }
  inst->record()->template_arguments = joined;
  std::string text = (ti->key == KEY_CLASS ? "class " : ti->key == KEY_UNION ? "union " : "struct ") + name + " " +
                     (partial ? bind_template_text(partial->header, bound, partial->body)
                              : bind_template_text(templ, arguments, ti->body)) +
                     ";";
  budget.instance_text_read += text.size();
  pending[instance_key(name)] = inst;
  ++budget.instantiation_depth;
  nested_class_analysis(outer, partial ? partial->file : ti->file, partial ? partial->line : ti->line, text, where);
  --budget.instantiation_depth;
  pending.erase(instance_key(name));
  table_note_shared_change(table);
  template_add_instance(templ, instantiation_new(iname, inst, &table));
  return inst;
}

void grammar::specialise_class_template(Parser &outer, TypeDesc *primary, const std::vector<std::string> &args,
                                        int key, const std::string &body, const char *file, int line) {
  SymbolTable &table = outer.table;
  AnalysisBudget &budget = outer.an.budget;
  if (!primary || !primary->templ() || !primary->templ()->name) return;
  const std::string name = instance_name(primary->templ()->name, args);
  const ScopeContext where = template_home(primary);
  Symbol *ex = lookup_tag(intern_string(name.c_str()), table, TK_CLASS, where);
  if (ex && ex->decl && ex->decl->type && ex->decl->type->record() && ex->decl->type->record()->has_body) return;
  if (budget.instantiation_depth >= INSTANTIATION_NESTING_LIMIT) return;
  const std::string text = (key == KEY_CLASS ? "class " : "struct ") + name + " " + body + ";";
  ++budget.instantiation_depth;
  nested_class_analysis(outer, file, line, text, where);
  --budget.instantiation_depth;
  Symbol *made = lookup_tag(intern_string(name.c_str()), table, TK_CLASS, where);
  if (made && made->decl && made->decl->type && made->decl->type->record()) {
    // Declared by its template header: not a class the script declares or serves.
    made->decl->type->record()->instance_mark = IM_SPECIALISATION;
    made->decl->type->record()->explicit_specialisation = 1;
    made->decl->type->template_word = primary;
  }
}

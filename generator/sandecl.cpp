#include "sandecl.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <set>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "cpprend.h"
#include "cpptab.h"
#include "ctylex.h"
#include "y_cppa.h"
#include "cprepr.h"
#include "merror.h"
#include "mfmemo.h"
#include "mstrin.h"
#include "msystm.h"
#include "sancmd.h"
#include "sancpp.h"
#include "sgener.h"
#include "siofic.h"

namespace {

const char kDeclPrefix[] = "    #";

// `d`: the global whose extern declaration the text is, rendered without
// reading any table (renders_without_table).
bool defer_plain_global(const std::string &text, const Declaration *d);
std::string extern_words(const Declaration *d);

bool is_namespace_record(const TypeDesc *t) {
  return t && t->kind == TK_CLASS && t->record() && t->record()->key == KEY_NAMESPACE;
}

bool is_record(const TypeDesc *t) {
  return t && (t->kind == TK_CLASS || t->kind == TK_UNION) && t->record();
}

// The class (not namespace) a type is nested in, or none.
TypeDesc *enclosing_class(const TypeDesc *t) {
  if (!t || t->scope_kind != 1 || !t->scope) return nullptr;
  TypeDesc *s = t->scope;
  if (s->kind == TK_UNION || (s->kind == TK_CLASS && !is_namespace_record(s)) || s->kind == TK_TEMPLATE)
    return s;
  return nullptr;
}

// Every lookup below names what it looks for, so that a declaration still
// waiting in the backlog is analysed first when it bears on the answer.
SymbolTable &script_table(const char *name) { return script_table_for(name); }

// Whether a namespace record stands for "namespace { ... }": the analysis
// names each of them on its own, so the name means nothing in the script.
bool unnamed_namespace(const char *name) { return !name || !*name || is_unnamed_namespace_name(name); }

// The names of the namespaces a type is declared in, outermost first (an
// unnamed namespace is left out: its members belong to the enclosing scope).
std::vector<const char *> namespace_chain(const TypeDesc *t) {
  std::vector<const char *> names;
  for (int guard = 0; t && t->scope_kind == 1 && is_namespace_record(t->scope) && guard < 1000; ++guard) {
    t = t->scope;
    const char *n = type_name(t);
    if (!unnamed_namespace(n)) names.insert(names.begin(), n);
  }
  return names;
}

// The script's namespace of that chain, or none when the script does not
// declare it yet (an empty chain is file scope: a null scope and true).
bool script_namespace(const std::vector<const char *> &chain, TypeDesc *&scope) {
  scope = nullptr;
  for (const char *n : chain) {
    Symbol *s = lookup_in_scope(n, script_table(n), AREA_TAG, scope);
    if (!s || !s->decl || !is_namespace_record(s->decl->type)) return false;
    scope = s->decl->type;
  }
  return true;
}

// Whether the script already declares the tag of that type, in its namespace.
bool script_knows_type(const TypeDesc *t, const char *name) {
  const std::vector<const char *> chain = namespace_chain(t);
  if (chain.empty()) return lookup_tag(name, script_table(name), t->kind, ScopeContext()) != nullptr;
  TypeDesc *scope = nullptr;
  if (!script_namespace(chain, scope)) return false;
  return lookup_at_level(name, script_table(name), AREA_TAG, scope, t->kind) != nullptr;
}

// The entry of a typedef name the analysed file declares and the script
// does not know yet.
Symbol *unknown_typedef(const TypeDesc *t, SymbolTable &table) {
  const char *name = t->named() ? t->named()->name : nullptr;
  if (!name || !*name) return nullptr;
  if (t->scope_kind == 1 && is_namespace_record(t->scope)) {
    // A typedef name of a namespace ("using Rule = ...;" there) is looked
    // up in that namespace, in the script and in the file.
    TypeDesc *in_script = nullptr;
    if (script_namespace(namespace_chain(t), in_script) &&
        lookup_in_scope(name, script_table(name), AREA_ORDINARY, in_script))
      return nullptr;
    Symbol *s = lookup_in_scope(name, table, AREA_ORDINARY, t->scope);
    if (!s || !s->decl || !(s->decl->storage & SF_TYPEDEF)) return nullptr;
    return s;
  }
  ScopeContext file_scope;
  if (lookup_ordinary(name, script_table(name), file_scope)) return nullptr;
  Symbol *s = lookup_ordinary(name, table, file_scope);
  if (!s || !s->decl || !(s->decl->storage & SF_TYPEDEF) || s->decl->scope_kind != 0) return nullptr;
  return s;
}

// Whether the script does not know yet the typedef name of that entry, in
// its namespace.
bool unknown_typedef_entry(const Symbol *s) {
  const Declaration *d = s->decl;
  if (!d || !d->name || !*d->name) return false;
  if (d->scope_kind == 0) return !lookup_ordinary(d->name, script_table(d->name), ScopeContext());
  if (!is_namespace_record(d->scope)) return false;  // a class's: declared with it
  std::vector<const char *> chain = namespace_chain(d->scope);
  if (!unnamed_namespace(type_name(d->scope))) chain.push_back(type_name(d->scope));
  TypeDesc *in_script = nullptr;
  return !script_namespace(chain, in_script) || !lookup_in_scope(d->name, script_table(d->name), AREA_ORDINARY, in_script);
}

// The argument text of the instance a member type is named through
// ("int" of "ns::vec<int>::iterator").
std::string instance_arguments(const char *name) {
  const std::string text = name ? name : "";
  const std::size_t open = text.find('<');
  if (open == std::string::npos) return std::string();
  int depth = 0;
  for (std::size_t i = open; i < text.size(); ++i) {
    if (text[i] == '<') ++depth;
    if (text[i] == '>' && --depth == 0) return text.substr(open + 1, i - open - 1);
  }
  return text.substr(open + 1);
}

// The walk keeps its own stack: type graphs can chain through thousands of
// structures (each pointing at the next), deeper than the call stack.
class NeededWalk {
 public:
  NeededWalk(NeededSet &set, SymbolTable &table) : set_(set), table_(table) {}

  void run(TypeDesc *root, TypeDesc *context) {
    push_walk(root, context, false);
    while (!tasks_.empty()) {
      Task task = tasks_.back();
      tasks_.pop_back();
      context_ = task.context;
      nested_ = task.nested;
      if (task.finish)
        finish(task.type, task.entry);
      else
        walk(task.type);
    }
  }

 private:
  struct Task {
    TypeDesc *type = nullptr;
    bool finish = false;
    Symbol *entry = nullptr;
    TypeDesc *context = nullptr;  // the class whose member led here (none: file scope)
    // Reached through a type that is itself declared here (a member, a base,
    // a typedef's aliased type), not only through the global walked.
    bool nested = false;
  };

  void push_walk(TypeDesc *t) { push_walk(t, context_, nested_); }
  void push_walk(TypeDesc *t, TypeDesc *context, bool nested) {
    if (t) tasks_.push_back({t, false, nullptr, context, nested});
  }

  // The arguments of an instance name types the script must declare before
  // it (std::vector<Line> needs Line, s::ab<u::own> needs u::own, a list
  // of Rule needs the typedef Rule): the names they hold, looked up where
  // the instance was used, qualified ones scope by scope. They are kept as
  // text only. A name after an instance's "::" (X<int>::type) is a member
  // of that instance: its template stands for it.
  void walk_argument_text(const std::string &args) {
    ScopeContext where;
    if (context_) {
      where.kind = 1;
      where.current = context_;
    }
    auto word_at = [&](std::size_t &i) {
      std::size_t j = i;
      while (j < args.size() && (std::isalnum(static_cast<unsigned char>(args[j])) || args[j] == '_')) ++j;
      std::string w = args.substr(i, j - i);
      i = j;
      return w;
    };
    auto starts_word = [&](std::size_t i) {
      return i < args.size() && (std::isalpha(static_cast<unsigned char>(args[i])) || args[i] == '_');
    };
    for (std::size_t i = 0; i < args.size();) {
      if (!starts_word(i)) {
        ++i;
        continue;
      }
      const bool qualified_part = i >= 2 && args.compare(i - 2, 2, "::") == 0;
      std::vector<std::string> chain{word_at(i)};
      while (args.compare(i, 2, "::") == 0 && starts_word(i + 2)) {
        i += 2;
        chain.push_back(word_at(i));
      }
      if (qualified_part) continue;
      walk_argument_name(chain, where);
    }
  }

  void walk_argument_name(const std::vector<std::string> &chain, const ScopeContext &where) {
    const bool last_only = chain.size() == 1;
    Symbol *s = lookup_tag(intern_string(chain[0].c_str()), table_, -1, where);
    if (!s && last_only) s = lookup_ordinary(intern_string(chain[0].c_str()), table_, where);
    for (std::size_t k = 1; s && k < chain.size(); ++k) {
      TypeDesc *scope = s->decl ? s->decl->type : nullptr;
      if (!is_record(scope)) return;
      const char *name = intern_string(chain[k].c_str());
      s = lookup_at_level(name, table_, AREA_TAG, scope, -1);
      if (!s && k + 1 == chain.size()) s = lookup_at_level(name, table_, AREA_ORDINARY, scope, -1);
    }
    if (!s || !s->decl || !s->decl->type) return;
    if (s->area == AREA_TAG) {
      push_walk(s->decl->type);
      return;
    }
    if (!(s->decl->storage & SF_TYPEDEF) || !unknown_typedef_entry(s)) return;
    if (set_.contains(static_cast<std::int32_t>(s->def_order))) return;
    set_.insert(s, static_cast<std::int32_t>(s->def_order), false);
    push_walk(s->decl->type, context_, true);
  }

  // A class template's instance, or a member of one (X<int>::type), is
  // declared through its template, which needs the types its arguments
  // name.
  void walk_template_use(const TypeDesc *templ, const std::string &arguments, bool specialisation = false) {
    // One of a namespace is declared only through its instances. One of
    // file scope is declared as a file-scope entry, after the types: a
    // type or typedef that uses an instance, or an explicit specialisation
    // the types section writes, needs the template declared before it.
    if (templ && templ->kind == TK_TEMPLATE && (nested_ || specialisation || !namespace_chain(templ).empty()))
      push_walk(const_cast<TypeDesc *>(templ));
    walk_argument_text(arguments);
  }

  void walk(TypeDesc *t) {
    switch (t->kind) {
      case TK_POINTER:
        if (t->pointer()) {
          push_walk(t->pointer()->target);  // after the member class
          push_walk(t->pointer()->member_class);
        }
        return;
      case TK_ARRAY:
        if (t->array()) push_walk(t->array()->element);
        return;
      case TK_REFERENCE:
        if (t->reference()) push_walk(t->reference()->target);
        return;
      case TK_NAMED:
        if (t->named() && t->named()->aliased) {
          // A typedef name of the analysed file is declared before what uses
          // it (a structure member of that type would not compile otherwise).
          if (Symbol *s = unknown_typedef(t, table_)) {
            if (set_.contains(static_cast<std::int32_t>(s->def_order))) return;
            tasks_.push_back({t, true, s});
            push_walk(t->named()->aliased, context_, true);
            return;
          }
          push_walk(t->named()->aliased);
        } else if (t->named() && t->template_word) {
          walk_template_use(t->template_word, instance_arguments(t->named()->name));
        }
        return;
      case TK_FUNCTION:
        walk_function(t);
        return;
      case TK_ELABORATED:
        if (t->elaborated()) push_walk(t->elaborated()->named);
        return;
      case TK_ENUM:
      case TK_UNION:
      case TK_CLASS:
      case TK_TEMPLATE:
        walk_named_type(t);
        return;
      default:
        return;
    }
  }

  void walk_function(TypeDesc *t) {
    if (!t->function()) return;
    std::vector<TypeDesc *> &parts = parts_;
    parts.clear();
    parts.push_back(t->function()->result);
    if (FunctionInfo *info = t->function()->info) {
      for (DeclNode *n = info->first_param; n; n = n->next)
        if (n->decl) parts.push_back(n->decl->type);
      for (TypeNode *n = info->first_except; n; n = n->next) parts.push_back(n->type);
    }
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) push_walk(*it);
  }

  void walk_named_type(TypeDesc *t) {
    if (is_record(t) && t->record()->instance_mark != 0) {
      // An explicit specialisation is declared too, after its template.
      walk_template_use(t->template_word, t->record()->template_arguments, t->record()->explicit_specialisation);
      if (!t->record()->explicit_specialisation) return;
    }
    if (is_namespace_record(t)) return;
    if (TypeDesc *outer = enclosing_class(t)) {
      push_walk(outer);
      return;
    }
    if (t->visit_mark) return;  // self-reference
    const char *name = type_name(t);
    const bool named = name && *name;
    if (named && script_knows_type(t, name)) return;
    Symbol *entry = named ? lookup_at_level(name, table_, AREA_TAG, t->scope, t->kind) : nullptr;
    if (is_record(t) && entry && set_.contains(static_cast<std::int32_t>(entry->def_order))) return;
    t->visit_mark = 1;
    tasks_.push_back({t, true, entry});
    if (!is_record(t)) return;
    // Members in order, bases of a class before them.
    std::vector<TypeDesc *> &parts = parts_;
    parts.clear();
    if (t->kind == TK_CLASS)
      for (BaseNode *b = t->record()->first_base; b; b = b->next) parts.push_back(b->base);
    for (MemberNode *m = t->record()->first; m; m = m->next)
      if (m->decl) parts.push_back(m->decl->type);
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) push_walk(*it, t, true);
  }

  void finish(TypeDesc *t, Symbol *entry) {
    if (t->kind != TK_NAMED) t->visit_mark = 0;
    if (!entry) return;
    if (t->kind == TK_NAMED) {
      set_.insert(entry, static_cast<std::int32_t>(entry->def_order), false);
      return;
    }
    set_.insert(entry, static_cast<std::int32_t>(entry->first_order), true);
    set_.insert(entry, static_cast<std::int32_t>(entry->def_order), false);
  }

  NeededSet &set_;
  SymbolTable &table_;
  std::vector<Task> tasks_;
  // The parts of one type, pushed in reverse: kept between types and walks
  // so that a file's many globals do not each allocate their own.
  std::vector<TypeDesc *> parts_;
  TypeDesc *context_ = nullptr;
  bool nested_ = false;
};

// The enumeration a declaration's type is built on ("enum {...} *v[2]",
// "typedef enum {...} T"), if any.
const TypeDesc *base_enumeration(const TypeDesc *t) {
  for (int guard = 0; t && guard < 10000; ++guard) {
    if (t->kind == TK_ENUM) return t;
    if (t->kind == TK_POINTER && t->pointer())
      t = t->pointer()->target;
    else if (t->kind == TK_ARRAY && t->array())
      t = t->array()->element;
    else if (t->kind == TK_NAMED && t->named())
      t = t->named()->aliased;
    else if (t->kind == TK_FUNCTION && t->function())
      t = t->function()->result;
    else
      return nullptr;
  }
  return nullptr;
}

// "enum { N = 4 };" of the file, whose constants the script does not know
// yet: no name leads to it, but array bounds and values may use them. (An
// unnamed enumeration that a typedef or a variable is declared with is
// written with that declaration.)
bool unknown_unnamed_enumeration(const Declaration *d, const std::unordered_set<const TypeDesc *> &named) {
  const TypeDesc *t = d->type;
  if (d->name || !t || t->kind != TK_ENUM || !t->enumeration() || named.count(t)) return false;
  const char *n = type_name(t);
  if (n && *n) return false;
  const EnumeratorRec *first = t->enumeration()->first;
  return first && first->name && !lookup_enumerator(first->name, script_table(first->name), ScopeContext());
}

bool names_own_type(const Declaration *d) {
  if (!d->type || d->type->kind != TK_ELABORATED) return false;
  const char *tn = type_name(d->type);
  return tn && d->name && std::strcmp(tn, d->name) == 0;
}

bool is_tag_entry(const Symbol *s) { return s->area == AREA_TAG; }

// The namespaces a function or variable is a member of, outermost first, or
// false when it is a member of anything else (a class) or of an unnamed
// namespace, whose members are as internal to their file as static ones.
bool member_namespaces(const Declaration *d, std::vector<const char *> &chain) {
  chain.clear();
  if (d->scope_kind == 0) return true;
  if (!is_namespace_record(d->scope) || unnamed_namespace(type_name(d->scope))) return false;
  for (const TypeDesc *t = d->scope; t && t->scope_kind == 1; t = t->scope)
    if (!is_namespace_record(t->scope) || unnamed_namespace(type_name(t->scope))) return false;
  chain = namespace_chain(d->scope);
  chain.push_back(type_name(d->scope));
  return true;
}

bool is_function(const Declaration *d) { return d->type && d->type->kind == TK_FUNCTION; }

// The template's own name in the name of an explicit specialisation
// ("f" of "f<int>").
std::string template_name_part(const char *name) {
  const std::string n = name ? name : "";
  const std::size_t open = n.compare(0, 8, "operator") == 0 ? std::string::npos : n.find('<');
  return open == std::string::npos ? n : n.substr(0, open);
}

// Whether the script already declares the name of a global, in its namespace.
// In C++ a function is known only with its parameter list: every overload is
// declared.
bool script_knows(const Symbol *s, bool cpp) {
  const Declaration *d = s->decl;
  ScopeContext file_scope;
  if (is_tag_entry(s)) {
    const char *name = d->type ? type_name(d->type) : d->name;
    return !name || lookup_tag(name, script_table(name), d->type ? d->type->kind : -1, file_scope);
  }
  std::vector<const char *> chain;
  member_namespaces(d, chain);
  Symbol *known = nullptr;
  TypeDesc *scope = nullptr;
  if (chain.empty()) {
    known = lookup_ordinary(d->name, script_table(d->name), file_scope);
  } else {
    if (!script_namespace(chain, scope)) return false;
    known = lookup_in_scope(d->name, script_table(d->name), AREA_ORDINARY, scope);
  }
  if (!known || !cpp || !is_function(d) || !known->decl || !is_function(known->decl)) return known != nullptr;
  return find_function(d->name, script_table(d->name), scope, d->type) != nullptr;
}

// The wrappers "namespace a { namespace b { " and " } }" of a chain.
void namespace_wrappers(const std::vector<const char *> &chain, std::string &open, std::string &close) {
  for (const char *n : chain) {
    open += std::string("namespace ") + n + " { ";
    close += " }";
  }
}

// A typedef of an unnamed structure, union or enumeration is written with
// its body: nothing else declares that type.
bool aliases_unnamed_type(const Declaration *d) {
  const TypeDesc *t = d->type;
  if (!t) return false;
  if (t->kind == TK_NAMED && t->named() && t->named()->aliased) t = t->named()->aliased;
  if (t->kind != TK_CLASS && t->kind != TK_UNION && t->kind != TK_ENUM) return false;
  const char *n = type_name(t);
  return !n || !*n;
}

// Whether rendering a type reads no table: it names its types and writes
// its array bounds as they stand (a bound kept only as an expression is
// computed in the table an analysis last read).
bool renders_without_table(const TypeDesc *t, int depth) {
  for (; t; ++depth) {
    if (depth > 64) return false;
    switch (t->kind) {
      case TK_INTEGER:
      case TK_FLOATING:
      case TK_VOID:
      case TK_ELLIPSIS:
      case TK_NAMED:
      case TK_ELABORATED:
        return true;
      case TK_CLASS:
      case TK_UNION:
      case TK_ENUM: {
        // Named by its tag; an unnamed one or an instance is written out.
        const char *n = type_name(t);
        return n && *n && !t->template_word && (!t->record() || t->record()->instance_mark == IM_OWN);
      }
      case TK_POINTER:
        if (!t->pointer() || t->pointer()->member_class) return false;
        t = t->pointer()->target;
        break;
      case TK_REFERENCE:
        if (!t->reference()) return false;
        t = t->reference()->target;
        break;
      case TK_ARRAY:
        if (!t->array() || (!t->array()->has_bound_text && !t->array()->bound_expression.empty())) return false;
        t = t->array()->element;
        break;
      case TK_FUNCTION: {
        const FunctionDetail *f = t->function();
        if (!f || !f->info) return false;
        for (const DeclNode *p = f->info->first_param; p; p = p->next)
          if (!p->decl || !renders_without_table(p->decl->type, depth + 1)) return false;
        t = f->result;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

void write_global(const Declaration *d) {
  // A member of a namespace is declared inside it, as its types are.
  std::vector<const char *> chain;
  member_namespaces(d, chain);
  std::string open, close;
  namespace_wrappers(chain, open, close);
  if (d->storage & SF_TYPEDEF) {
    // A typedef is a declaration of its own: "extern" cannot stand before it.
    const int body = aliases_unnamed_type(d) ? 1 : 0;
    std::string text;
    const RenderTrace before = render_trace();
    storage_prefix(d, text, "", RM_ORDINARY, body, 0, "", "");
    const RenderTrace after = render_trace();
    if (text.empty()) return;
    parse_into_script(open + text + close);
    for (const char *n : chain) write_script_line(std::string(kDeclPrefix) + "namespace " + n + " {");
    std::string line;
    if (!rendered_again_with_prefix(text, before, after, kDeclPrefix, line))
      storage_prefix(d, line, "", RM_ORDINARY, body, 0, kDeclPrefix, kDeclPrefix);
    write_script_line(line);
    for (std::size_t i = 0; i < chain.size(); ++i) write_script_line(std::string(kDeclPrefix) + "}");
    return;
  }
  // A thread's own object is another object than a shared one of the name.
  const std::string words = extern_words(d);
  // The declaration is rendered after its words, as it is analysed.
  std::string text = words;
  storage_prefix(d, text, "", RM_EXTERN, 0, 0, "", "");
  if (text.size() == words.size()) return;
  const std::string_view rendered = std::string_view(text).substr(words.size());
  // The line is the text again unless its rendering depends on the table
  // an analysis last read, which the analysis of the text has just changed.
  const bool same_line = rendered.find('\n') == std::string_view::npos && renders_without_table(d->type, 0);
  if (!chain.empty() || !same_line || !defer_plain_global(text, d)) parse_into_script(open + text + close);
  for (const char *n : chain) write_script_line(std::string(kDeclPrefix) + "namespace " + n + " {");
  std::string line;
  std::string_view rest = rendered;
  if (!same_line) {
    storage_prefix(d, line, "", RM_EXTERN, 0, 0, kDeclPrefix, kDeclPrefix);
    const std::size_t hash = line.find('#');
    rest = hash == std::string::npos ? std::string_view(line) : std::string_view(line).substr(hash + 1);
  }
  const std::size_t a = rest.find_first_not_of(" \t");
  const std::size_t b = rest.find_last_not_of(" \t");
  const std::string_view trimmed = a == std::string_view::npos ? std::string_view() : rest.substr(a, b + 1 - a);
  write_script_pieces({kDeclPrefix, words, trimmed});
  for (std::size_t i = 0; i < chain.size(); ++i) write_script_line(std::string(kDeclPrefix) + "}");
}

}  // namespace

void declare_namespace_function(const Symbol *s, bool cpp) {
  const Declaration *d = s->decl;
  std::vector<const char *> chain;
  if (!d || !is_function(d) || !member_namespaces(d, chain) || chain.empty() || script_knows(s, cpp)) return;
  write_global(d);
}

std::vector<const char *> declaration_namespaces(const Declaration *d) {
  if (!d || d->scope_kind == 0 || !is_namespace_record(d->scope)) return {};
  std::vector<const char *> chain = namespace_chain(d->scope);
  if (!unnamed_namespace(type_name(d->scope))) chain.push_back(type_name(d->scope));
  return chain;
}

void write_namespace_openings(const std::vector<const char *> &chain) {
  for (const char *n : chain) write_script_line(std::string(kDeclPrefix) + "namespace " + n + " {");
}

void write_namespace_closings(const std::vector<const char *> &chain) {
  for (std::size_t i = 0; i < chain.size(); ++i) write_script_line(std::string(kDeclPrefix) + "}");
}

void NeededSet::insert(Symbol *entry, std::int32_t order, bool forward_only) {
  if (order == 0) return;
  entries_.emplace(order, NeededEntry{entry, order, forward_only});
}

namespace {

// The script's own declarations repeat types of the analysed files: a
// template instance that cannot be made was reported there, at its place in
// the source, and is not reported again at the script's first line.
void report_script_text(void *, MessageCode code, std::string_view arg, std::string_view file, int line) {
  if (code == MSG_TEMINSINC) return;
  report_at_position(code, arg, file, line);
}

}  // namespace

void analyse_script_text(const std::string &text, const char *function_name, int keep_bodies,
                         int lenient_matching) {
  // The instances the analysis makes report to its sink as well.
  ReportSink sink;
  sink.function = report_script_text;
  analyse_text_reporting(text.c_str(), script_table_complete(), function_name, script_writer().path.c_str(), 1, sink,
                         keep_bodies, lenient_matching);
}

void parse_into_script(const std::string &text) { analyse_script_text(text, "", 0, 0); }

// ------------------------------------------------------------ plain declarations

namespace {

// Reads a declaration text token by token against the script's table; see
// plain_script_declaration. Every word that is not a keyword of the few
// below must be known as exactly what the text uses it as, or unknown where
// the text declares it, so that the analysis can take no other path.
class PlainReader {
 public:
  PlainReader(const std::string &text, SymbolTable &table, std::vector<std::string_view> &declared)
      : p_(text.c_str()), table_(table), language_(table.language), declared_(declared) {
    next();
  }

  bool declaration(bool external) {
    external_ = external;
    if (external) {
      if (kind_ != TOKEN_WORD || keyword_ != K_EXTERN) return false;
      next();
    }
    if (!specifiers()) return false;
    if (!declarator(true, external, &declared_)) return false;
    if (!punct(';')) return false;
    next();
    return kind_ == TOKEN_END;
  }

 private:
  enum TokenKind { TOKEN_END, TOKEN_WORD, TOKEN_NUMBER, TOKEN_PUNCT, TOKEN_BAD };

  void next() {
    while (*p_ == ' ' || *p_ == '\t') ++p_;
    const char c = *p_;
    word_ = std::string_view();
    keyword_ = 0;
    if (!c) {
      kind_ = TOKEN_END;
    } else if (word_start(c)) {
      const char *start = p_;
      while (word_char(*p_)) ++p_;
      word_ = std::string_view(start, static_cast<std::size_t>(p_ - start));
      keyword_ = keyword_code(start, word_.size(), language_);
      kind_ = TOKEN_WORD;
    } else if (digit(c)) {
      while (digit(*p_)) ++p_;
      kind_ = word_char(*p_) || *p_ == '.' ? TOKEN_BAD : TOKEN_NUMBER;
    } else if (c == '.' && p_[1] == '.' && p_[2] == '.') {
      p_ += 3;
      kind_ = TOKEN_PUNCT;
      punct_ = 'e';
    } else if (c == '*' || c == '[' || c == ']' || c == '(' || c == ')' || c == ',' || c == ';') {
      ++p_;
      kind_ = TOKEN_PUNCT;
      punct_ = c;
    } else {
      kind_ = TOKEN_BAD;
    }
  }

  // The classes of the "C" locale, which the run never leaves, without a
  // call for each character.
  static bool digit(char c) { return c >= '0' && c <= '9'; }
  static bool word_start(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
  static bool word_char(char c) { return word_start(c) || digit(c); }

  bool punct(char c) const { return kind_ == TOKEN_PUNCT && punct_ == c; }

  static bool qualifier_keyword(int code) { return code == K_CONST || code == K_VOLATILE; }

  // A word the scanner reads as a plain name whatever the table holds.
  bool ordinary_word() const {
    return kind_ == TOKEN_WORD && !keyword_ && contextual_word(word_.data(), word_.size()) == W_NONE &&
           !pp_is_type_modifier(word_.data(), word_.size());
  }

  // The word as a C string for the table's lookups (which compare texts).
  const char *word() {
    word_text_.assign(word_.data(), word_.size());
    return word_text_.c_str();
  }

  // Whether any scope of the table may hold the word last made a C string
  // by word(): most words of a declaration being written are the names it
  // declares, which the table does not know yet, and one probe answers for
  // all the look-ups below.
  bool table_may_know() const {
    return table_may_hold_name(table_, table_name(word_text_.c_str(), word_text_.size()));
  }

  // The word: a typedef name of file scope that no tag or other entry shares.
  bool known_typedef() {
    const char *name = word();
    if (script_name_pending(name) || !table_may_know()) return false;
    ScopeContext file_scope;
    if (lookup_tag(name, table_, -1, file_scope)) return false;
    Symbol *s = lookup_ordinary(name, table_, file_scope);
    if (!s || !s->decl || !(s->decl->storage & SF_TYPEDEF)) return false;
    const TypeDesc *t = s->decl->type;
    // "typedef struct S S" is passed over where a name is classified.
    return !(t && t->kind == TK_ELABORATED && type_name(t) && std::strcmp(type_name(t), name) == 0);
  }

  // The word, the tag after "struct", "union" or "enum": known with that kind.
  bool known_tag(int key) {
    const char *name = word();
    if (script_name_pending(name) || !table_may_know()) return false;
    ScopeContext file_scope;
    const int kind = key == K_UNION ? TK_UNION : key == K_ENUM ? TK_ENUM : TK_CLASS;
    Symbol *tag = lookup_tag(name, table_, kind, file_scope);
    if (!tag || !tag->decl || !tag->decl->type) return false;
    const TypeDesc *t = tag->decl->type;
    if (t->template_word || (t->record() && (t->record()->instance_mark != IM_OWN || t->record()->key == KEY_NAMESPACE)))
      return false;
    // A structure tag is what the scanner finds first; an enumeration or
    // union tag only after the ordinary names.
    return kind == TK_CLASS || !lookup_ordinary(name, table_, file_scope);
  }

  // The word, a name the table does not know at all: the text declares it anew.
  bool unknown_name() {
    const char *name = word();
    if (script_name_pending(name)) return false;
    if (!table_may_know()) return true;
    ScopeContext file_scope;
    return !lookup_ordinary(name, table_, file_scope) && !lookup_tag(name, table_, -1, file_scope);
  }

  bool specifiers() {
    int basics = 0, names = 0;
    while (kind_ == TOKEN_WORD) {
      if (qualifier_keyword(keyword_)) {
        next();
        continue;
      }
      if (is_basic_type_keyword(keyword_)) {
        if (names) return false;
        ++basics;
        next();
        continue;
      }
      if (keyword_ == K_STRUCT || keyword_ == K_UNION || keyword_ == K_ENUM) {
        const int key = keyword_;
        // C++ reads "struct S v" as the class itself, which a scratch
        // section of a service cannot undo (see table_begin_scratch).
        if (basics || names || (!external_ && language_ == SRC_CPP)) return false;
        next();
        if (!ordinary_word() || !known_tag(key)) return false;
        ++names;
        next();
        continue;
      }
      if (keyword_) return false;
      if (basics || names) break;  // the declarator's name
      if (!ordinary_word() || !known_typedef()) return false;
      ++names;
      next();
    }
    return basics + names > 0;
  }

  // Pointers, the name (required or not), array bounds, and for the
  // declared entity of an external declaration a parameter list.
  bool declarator(bool name_required, bool function_allowed, std::vector<std::string_view> *names) {
    while (punct('*')) {
      next();
      while (kind_ == TOKEN_WORD && qualifier_keyword(keyword_)) next();
    }
    if (kind_ == TOKEN_WORD) {
      if (!ordinary_word()) return false;
      if (!unknown_name()) return false;
      for (std::string_view n : *names)
        if (n == word_) return false;
      names->push_back(word_);
      next();
    } else if (name_required) {
      return false;
    }
    bool array = false;
    while (punct('[')) {
      next();
      if (kind_ == TOKEN_NUMBER) next();
      if (!punct(']')) return false;
      next();
      array = true;
    }
    if (function_allowed && !array && punct('(')) {
      next();
      if (!parameters()) return false;
    }
    return true;
  }

  bool parameters() {
    if (punct(')')) {
      next();
      return true;
    }
    // The parameter names of one list; no list holds another.
    std::vector<std::string_view> &names = parameter_names_;
    names.clear();
    for (int count = 0;; ++count) {
      if (punct('e')) {
        if (!count) return false;
        next();
        break;
      }
      if (!specifiers()) return false;
      if (!declarator(false, false, &names)) return false;
      if (!punct(',')) break;
      next();
    }
    if (!punct(')')) return false;
    next();
    return true;
  }

  const char *p_;
  SymbolTable &table_;
  SourceLanguage language_;
  std::vector<std::string_view> &declared_;
  bool external_ = false;
  std::string word_text_;
  static std::vector<std::string_view> parameter_names_;
  TokenKind kind_ = TOKEN_END;
  std::string_view word_;
  int keyword_ = 0;
  char punct_ = 0;
};

std::vector<std::string_view> PlainReader::parameter_names_;

// A set of interned names, asked about at every lookup of the script's
// table: open addressing on a flat array, so that most questions cost one
// probe and no text comparison. A slot is one word, the name's address with
// the high bits of its hash above it (addresses of this process leave the top
// 16 bits clear): a file's globals may all wait here at once.
class NameSet {
 public:
  bool empty() const { return count_ == 0; }
  bool contains(std::string_view name) const {
    if (!count_) return false;
    const std::uint32_t h = hash(name);
    if (!filter_.may_hold(filter_hash(h))) return false;
    const std::uint64_t tag = tag_of(h);
    for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
      const std::uint64_t s = slots_[i];
      if (!s) return false;
      if ((s & ~kAddressMask) == tag && same_text(text_of(s), name)) return true;
    }
  }
  // Fetches, without reading them, what contains(name) and insert(name)
  // read first: a file's many globals make both larger than the cache.
  void prefetch(std::string_view name) const {
    if (slots_.empty()) return;
    const std::uint32_t h = hash(name);
    filter_.prefetch(filter_hash(h));
    prefetch_memory(&slots_[h & mask_]);
  }
  void insert(const char *interned) {
    const std::string_view name(interned);
    if (contains(name)) return;
    const std::uint64_t address = reinterpret_cast<std::uintptr_t>(interned);
    if (!address || (address & ~kAddressMask)) report_internal(MSG_ERRINTFCT, "name set");
    if ((count_ + 1) * 10 > slots_.size() * 7) grow();
    const std::uint32_t h = hash(name);
    place(address | tag_of(h), h);
    filter_.add(filter_hash(h));
    ++count_;
  }
  void clear() {
    std::vector<std::uint64_t>().swap(slots_);
    filter_.clear();
    count_ = 0;
    mask_ = 0;
  }

 private:
  static constexpr std::uint64_t kAddressMask = (std::uint64_t{1} << 48) - 1;
  static std::uint32_t hash(std::string_view name) {
    std::uint64_t x = 1469598103934665603ULL;
    for (unsigned char c : name) x = (x ^ c) * 1099511628211ULL;
    return static_cast<std::uint32_t>(x ^ (x >> 32));
  }
  // The home slot comes from the low bits of the hash, the tag from the high ones.
  static std::uint64_t tag_of(std::uint32_t h) { return static_cast<std::uint64_t>(h >> 16) << 48; }
  static const char *text_of(std::uint64_t slot) {
    return reinterpret_cast<const char *>(static_cast<std::uintptr_t>(slot & kAddressMask));
  }
  static bool same_text(const char *text, std::string_view name) {
    for (char c : name)
      if (*text == '\0' || *text++ != c) return false;
    return *text == '\0';
  }
  void place(std::uint64_t slot, std::uint32_t h) {
    std::size_t i = h & mask_;
    while (slots_[i]) i = (i + 1) & mask_;
    slots_[i] = slot;
  }
  void grow() {
    std::vector<std::uint64_t> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, 0);
    mask_ = slots_.size() - 1;
    // Names are never taken out one by one: the filter holds every name the
    // slots can take before they grow again.
    filter_.reset(slots_.size() * 7 / 10);
    for (std::uint64_t s : old)
      if (s) {
        const std::uint32_t h = hash(text_of(s));
        place(s, h);
        filter_.add(filter_hash(h));
      }
  }
  // Most names asked about are not waiting: a filter small enough to stay
  // in the cache answers for them without a probe of the slots, which a
  // file's many globals make larger than the cache. Its two bits come from
  // both halves of this spread of the hash.
  static std::uint64_t filter_hash(std::uint32_t h) { return h * 0x9E3779B97F4A7C15ULL; }
  std::vector<std::uint64_t> slots_;
  NameHashFilter filter_;
  std::size_t count_ = 0;
  std::size_t mask_ = 0;
};

// Plain globals whose extern declarations are written into the script but
// not analysed yet, in the order written. Their texts are rendered again
// when they are analysed: the analyses they come from stay until the
// script's table has taken them or is no longer read (see
// release_script_backlog), and their rendering reads no table.
struct ScriptBacklog {
  std::vector<const Declaration *> globals;
  NameSet names;
};

ScriptBacklog &script_backlog() {
  static ScriptBacklog *b = new ScriptBacklog;  // process lifetime
  return *b;
}

// "extern" and the words a thread's own object adds to it. A function
// template and its explicit specialisations are declared without "extern"
// ("extern template" declares an instantiation).
std::string extern_words(const Declaration *d) {
  std::string words = d->type && d->type->kind == TK_FUNCTION && d->type->template_word ? "" : "extern ";
  storage_text(d->storage & SF_THREAD_LOCAL, words);
  return words;
}

void analyse_backlog() {
  ScriptBacklog &b = script_backlog();
  if (b.globals.empty()) return;
  std::vector<const Declaration *> globals;
  globals.swap(b.globals);
  b.names.clear();
  for (const Declaration *d : globals) {
    std::string text;
    storage_prefix(d, text, "", RM_EXTERN, 0, 0, "", "");
    analyse_script_text(extern_words(d) + text, "", 0, 0);
  }
}

// Whether the text can wait in the backlog; what a later analysis would
// leave of it (the table it last read) is left now.
bool defer_plain_global(const std::string &text, const Declaration *d) {
  // Kept between globals: a file has a great many.
  static std::vector<std::string_view> declared;
  if (!plain_script_declaration(text, true, declared) || declared.size() != 1) return false;
  ScriptBacklog &b = script_backlog();
  const std::string_view n = declared.front();
  b.names.insert(d->name && n == d->name ? d->name : intern_string(n.data(), n.size()));
  b.globals.push_back(d);
  note_analysis_of(*script_context().table);
  return true;
}

}  // namespace

bool plain_script_declaration(const std::string &text, bool external, std::vector<std::string_view> &declared) {
  declared.clear();
  PlainReader reader(text, *script_context().table, declared);
  return reader.declaration(external);
}

static void prefetch_waiting_name(const char *name) { script_backlog().names.prefetch(name); }

bool script_name_pending(const char *name) {
  const ScriptBacklog &b = script_backlog();
  return name && !b.names.empty() && b.names.contains(name);
}

SymbolTable &script_table_for(const char *name) {
  if (script_name_pending(name)) analyse_backlog();
  return *script_context().table;
}

SymbolTable &script_table_complete() {
  analyse_backlog();
  return *script_context().table;
}

void reset_script_backlog() {
  ScriptBacklog &b = script_backlog();
  std::vector<const Declaration *>().swap(b.globals);
  b.names.clear();
}

void release_script_backlog() { reset_script_backlog(); }

void collect_needed_types(NeededSet &set, TypeDesc *type, SymbolTable &table, TypeDesc *context) {
  if (!type) return;
  NeededWalk(set, table).run(type, context);
}

void emit_needed_declarations(const NeededSet &set, int mode) {
  for (const auto &item : set) {
    const NeededEntry &e = item.second;
    if (!e.entry || !e.entry->decl) continue;
    const int m = e.forward_only ? RM_CLASS_KEY : mode;
    const int body = e.forward_only ? 0 : 1;
    std::string text;
    const RenderTrace before = render_trace();
    storage_prefix(e.entry->decl, text, "", m, body, 0, "", "");
    const RenderTrace after = render_trace();
    if (text.empty()) continue;
    // A type of a namespace is declared inside it: its own text and the
    // qualified names that refer to it need that namespace. A typedef's
    // type is what it names: its own namespace is that of its declaration.
    const Declaration *d = e.entry->decl;
    const std::vector<const char *> chain = (d->storage & SF_TYPEDEF) && d->scope_kind != 0
                                                ? declaration_namespaces(d)
                                                : namespace_chain(d->type);
    std::string open, close;
    for (const char *n : chain) {
      open += std::string("namespace ") + n + " { ";
      close += " }";
    }
    parse_into_script(open + text + close);
    for (const char *n : chain) write_script_line(std::string(kDeclPrefix) + "namespace " + n + " {");
    // What the analysis of the text changed in the table is not read by a
    // rendering that read no table: the text is the line but for its prefix.
    std::string line;
    if (!rendered_again_with_prefix(text, before, after, kDeclPrefix, line))
      storage_prefix(e.entry->decl, line, "", m, body, 0, kDeclPrefix, kDeclPrefix);
    write_script_line(line);
    for (std::size_t i = 0; i < chain.size(); ++i) write_script_line(std::string(kDeclPrefix) + "}");
  }
}

void collect_unnamed_enumerations(NeededSet &set, SymbolTable &table, const std::string &path) {
  // The unnamed enumerations of the file first: most files have none, and
  // then the names need not be walked for what they are declared with.
  std::vector<Symbol *> unnamed;
  UnitMatch in_file(path.c_str());
  auto consider = [&](Symbol *s) {
    const Declaration *d = s->decl;
    if (!d || (d->storage & SF_STATIC) || d->scope_kind != 0 || d->name || !d->type || d->type->kind != TK_ENUM ||
        !in_file(d->file))
      return;
    unnamed.push_back(s);
  };
  for_each_symbol_ahead(table, table.tags, consider);
  for_each_symbol_ahead(table, table.ordinary, consider);
  if (unnamed.empty()) return;
  std::unordered_set<const TypeDesc *> named;
  for_each_symbol(table.ordinary, [&](Symbol *s) {
    if (s->decl && s->decl->name && *s->decl->name)
      if (const TypeDesc *e = base_enumeration(s->decl->type)) named.insert(e);
  });
  for (Symbol *s : unnamed)
    if (unknown_unnamed_enumeration(s->decl, named))
      set.insert(s, static_cast<std::int32_t>(s->def_order ? s->def_order : s->first_order), false);
}

void declare_file_globals(const std::string &path, SymbolTable &table) {
  const std::string unit = path;
  NeededSet needed;
  // One walker for every global: its stacks are reused.
  NeededWalk walk(needed, table);
  // The globals by order number, the first of a number kept: a file has a
  // great many, and they are only sorted, never searched. Each is a key,
  // its order number above its place in `global_entries`, so that a plain
  // sort in place keeps the order of equal numbers, with no buffer beside.
  std::vector<Symbol *> global_entries;
  std::vector<std::uint64_t> globals;
  {
    std::size_t entries = 0;
    // The lists' counts: following the lists themselves would read every
    // entry one after the other.
    for (const Bucket &b : table.tags) entries += b.count;
    for (const Bucket &b : table.ordinary) entries += b.count;
    global_entries.reserve(entries);
    globals.reserve(entries);
  }
  collect_unnamed_enumerations(needed, table, path);
  const bool cpp = is_cpp_file_name(path);
  std::vector<const char *> chain;
  // The function templates an explicit specialisation of the file belongs
  // to, by scope and name: the script declares them before it.
  std::set<std::pair<const TypeDesc *, std::string>> specialised;
  UnitMatch in_unit(unit.c_str());
  // Only C++ has templates: a C file's entries need not be walked for them.
  if (table.language == SRC_CPP)
    for_each_symbol_ahead(table, table.ordinary, [&](Symbol *s) {
      const Declaration *d = s->decl;
      if (d && d->name && is_function_specialisation(d->type) && in_unit(d->file))
        specialised.emplace(canonical_scope(d->scope), template_name_part(d->name));
    });
  auto consider = [&](Symbol *s) {
    const Declaration *d = s->decl;
    if (!d || (d->storage & SF_STATIC)) return;
    if (d->scope_kind != 0) {
      // The functions and variables of a named namespace are globals too;
      // its types are declared where something needs them.
      // A name without a type there is what a syntax error left.
      if (s->area != AREA_ORDINARY || !d->type || !member_namespaces(d, chain)) return;
      if (d->storage & SF_TYPEDEF) return;
    }
    if (!in_unit(d->file)) return;
    // An alias template is written out at each use: the script needs no name of it.
    if (d->type && d->type->kind == TK_TEMPLATE && d->type->templ() && d->type->templ()->alias) return;
    // A namespace is neither a type to declare nor a global: its members
    // are not at file scope.
    if (is_namespace_record(d->type)) return;
    if (d->type) walk.run(d->type, d->scope_kind ? d->scope : nullptr);
    if (!d->name || !*d->name) return;
    if (d->type) {
      if (names_own_type(d)) return;
      if (d->type->kind == TK_FUNCTION && !is_function_specialisation(d->type) &&
          (d->type->template_word || (d->type->scope && d->type->scope->kind == TK_TEMPLATE)) &&
          !(d->type->template_word && specialised.count({canonical_scope(d->scope), d->name})))
        return;
    }
    const std::int32_t order = static_cast<std::int32_t>(s->def_order ? s->def_order : s->first_order);
    if (order == 0) return;
    // Numbers compare as the signed values they were; the place breaks ties.
    const std::uint32_t biased = static_cast<std::uint32_t>(order) ^ 0x80000000u;
    globals.push_back(std::uint64_t{biased} << 32 | global_entries.size());
    global_entries.push_back(s);
  };
  for_each_symbol_ahead(table, table.tags, consider);
  for_each_symbol_ahead(table, table.ordinary, consider, prefetch_function_parts);
  emit_needed_declarations(needed, RM_ORDINARY);
  std::sort(globals.begin(), globals.end());
  // Each global's name is asked of the waiting names and entered there a
  // few globals later.
  constexpr std::size_t kNamesAhead = 4;
  for (std::size_t i = 0; i < globals.size(); ++i) {
    if (i + kNamesAhead < globals.size())
      if (const Declaration *ahead = global_entries[static_cast<std::uint32_t>(globals[i + kNamesAhead])]->decl)
        if (ahead->name) prefetch_waiting_name(ahead->name);
    if (i > 0 && globals[i] >> 32 == globals[i - 1] >> 32) continue;
    const Symbol *s = global_entries[static_cast<std::uint32_t>(globals[i])];
    if (script_knows(s, cpp)) continue;
    write_global(s->decl);
  }
}

void emit_tested_declarations(const std::string &tested_path) {
  std::string path = tested_path;
  make_file_name(path, KIND_SOURCE);
  SymbolTable &table = file_analysis(path);
  NeededSet set;
  bool commented = false;
  for_each_symbol(table.tags, [&](Symbol *s) {
    const Declaration *d = s->decl;
    if (!d || !is_record(d->type) || is_namespace_record(d->type)) return;
    if (!same_unit(d->file, path.c_str())) return;
    bool has_method = false;
    for (const MemberNode *m = d->type->record()->first; m && !has_method; m = m->next)
      has_method = m->decl && m->decl->type && m->decl->type->kind == TK_FUNCTION;
    if (!has_method) return;
    if (!commented) {
      write_script_line("");
      write_script_line(keyword(KW_COMMENT_METHOD_TYPES));
      write_script_line("");
      commented = true;
    }
    collect_needed_types(set, d->type, table);
  });
  emit_needed_declarations(set, RM_ORDINARY);
  set.clear();
  write_script_line("");
  write_script_line(keyword(KW_COMMENT_GLOBALS));
  write_script_line("");
  declare_file_globals(path, table);
  file_analysis_done(path);
}

void emit_integrated_declarations(const std::string &file) {
  std::string path = file;
  make_file_name(path, KIND_SOURCE);
  write_script_line(std::string(keyword(KW_COMMENT_INTEGRATED_FILE)) + base_name(path));
  write_script_line("");
  declare_file_globals(path, file_analysis(path));
  file_analysis_done(path);
}

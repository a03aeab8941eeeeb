#include "sanstub.h"

#include <cstring>
#include <unordered_set>

#include "cpprend.h"
#include "cppname.h"
#include "cpptab.h"
#include "msystm.h"
#include "sancmd.h"
#include "sancpp.h"
#include "sandecl.h"
#include "sgener.h"
#include "siofic.h"

namespace {

const char kDeclPrefix[] = "    #";

bool is_record(const TypeDesc *t) {
  return t && (t->kind == TK_CLASS || t->kind == TK_UNION) && t->record() &&
         t->record()->key != KEY_NAMESPACE;
}

bool is_function(const Declaration *d) { return d && d->type && d->type->kind == TK_FUNCTION; }

bool is_defined(const Declaration *d) {
  return is_function(d) && d->type->function() && d->type->function()->info &&
         d->type->function()->info->defined;
}

// A function template has no stub until it is instantiated: its parameter
// types are template parameters.
bool is_function_template(const Declaration *d) { return is_function(d) && d->type->template_word; }

bool is_pure_virtual(const Declaration *d) { return (d->storage & SF_VIRTUAL) && !d->text.empty(); }

// A member declared in the class itself (not inherited), of the class's own
// nested records included.
bool own_member(const MemberNode *m) { return m->decl && !(m->access & ACC_INHERITED); }

bool nested_record(const MemberNode *m, const TypeDesc *cls) {
  return own_member(m) && is_record(m->decl->type) && m->decl->type != cls &&
         same_scope(m->decl->type->scope, cls);
}

// Nested records are bounded by the grammar's nesting limit, so these walks
// recurse.
bool has_stubbable_method(const TypeDesc *cls) {
  const int friend_flag = cls->record()->friend_of_reference;
  for (const MemberNode *m = cls->record()->first; m; m = m->next) {
    if (!own_member(m)) continue;
    if (nested_record(m, cls) && has_stubbable_method(m->decl->type)) return true;
    if (!member_is_selectable(m, 0, friend_flag)) continue;
    if (m->decl->name && is_function(m->decl) && !is_pure_virtual(m->decl)) return true;
  }
  return false;
}

bool has_defined_method_of(const TypeDesc *cls, const char *path) {
  for (const MemberNode *m = cls->record()->first; m; m = m->next) {
    if (!own_member(m)) continue;
    if (nested_record(m, cls) && has_defined_method_of(m->decl->type, path)) return true;
    if (is_defined(m->decl) && same_unit(m->decl->file, path) && !is_function_template(m->decl)) return true;
  }
  return false;
}

bool names_own_type(const Declaration *d) {
  if (!d->type || d->type->kind != TK_ELABORATED) return false;
  const char *tn = type_name(d->type);
  return tn && d->name && std::strcmp(tn, d->name) == 0;
}

bool member_of_record(const Declaration *d) {
  return d->scope_kind == 1 && d->scope && (d->scope->kind == TK_CLASS || d->scope->kind == TK_UNION) &&
         !(d->scope->kind == TK_CLASS && d->scope->record() && d->scope->record()->key == KEY_NAMESPACE);
}

// Lookups name what they look for: see script_table_for.
SymbolTable &script_table(const char *name) { return script_table_for(name); }

struct StubPass {
  const char *path;
  // Member functions stubbed from their definitions: the declared-only pass
  // leaves them out.
  std::unordered_set<const Declaration *> stubbed;
  // Functions whose definition is stubbed count as no longer defined for
  // the rest of the pass, so that each is written once however often it is
  // reached. The analysis itself stays as it was: other emitters read it.
  std::unordered_set<const FunctionInfo *> served;
  bool defined(const Declaration *d) const {
    return is_defined(d) && !served.count(d->type->function()->info);
  }
};

void stub_defined_members(TypeDesc *cls, StubPass &pass, std::unordered_set<const TypeDesc *> &seen) {
  if (!seen.insert(cls).second) return;
  for (const MemberNode *m = cls->record()->first; m; m = m->next) {
    if (!own_member(m)) continue;
    if (nested_record(m, cls)) {
      stub_defined_members(m->decl->type, pass, seen);
      continue;
    }
    if (pass.defined(m->decl) && same_unit(m->decl->file, pass.path) && !is_function_template(m->decl)) {
      write_stub(m->decl);
      pass.stubbed.insert(m->decl);
      pass.served.insert(m->decl->type->function()->info);
    }
  }
}

// The member functions the script declares for the class but nothing
// defines yet.
void stub_declared_members(TypeDesc *cls, StubPass &pass) {
  const char *name = type_name(cls);
  Symbol *in_script = name ? lookup_tag(name, script_table(name), cls->kind, ScopeContext()) : nullptr;
  TypeDesc *script_scope = in_script && in_script->decl ? in_script->decl->type : nullptr;
  const int friend_flag = cls->record()->friend_of_reference;
  for (const MemberNode *m = cls->record()->first; m; m = m->next) {
    if (!own_member(m)) continue;
    if ((m->access & ACC_MASK) != ACC_PUBLIC && !friend_flag) continue;
    if (is_pure_virtual(m->decl)) continue;
    if (nested_record(m, cls)) {
      stub_declared_members(m->decl->type, pass);
      continue;
    }
    if (!is_function(m->decl) || !m->decl->name || pass.stubbed.count(m->decl) ||
        is_function_template(m->decl))
      continue;
    Symbol *f = find_function(m->decl->name, script_table(m->decl->name), script_scope, m->decl->type);
    if (f && !is_defined(f->decl)) {
      write_stub(m->decl);
      pass.stubbed.insert(m->decl);
    }
  }
}

bool script_defines_variable(const char *name) {
  Symbol *s = name ? lookup_ordinary(name, script_table(name), ScopeContext()) : nullptr;
  return s && s->decl && !(s->decl->storage & SF_EXTERN);
}

// The initialiser a definition must repeat: in C++ a const object is
// defined with its value (without one it is no valid definition).
std::string required_initialiser(const Declaration *d, bool cpp) {
  if (!cpp || d->text.empty() || !type_is_const(d->type)) return {};
  return " = " + d->text.str();
}

void add_before_semicolon(std::string &text, const std::string &words) {
  if (!words.empty() && !text.empty() && text.back() == ';') text.insert(text.size() - 1, words);
}

void write_variable_definition(const Declaration *d, bool cpp) {
  std::string text;
  storage_prefix(d, text, "", RM_ORDINARY, 0, 0, "", "");
  if (text.empty()) return;
  // A thread's own object is another object than a shared one of the name.
  std::string thread_word;
  storage_text(d->storage & SF_THREAD_LOCAL, thread_word);
  text.insert(0, thread_word);
  const std::string value = required_initialiser(d, cpp);
  add_before_semicolon(text, value);
  // A variable of a namespace is defined inside it.
  const std::vector<const char *> chain = declaration_namespaces(d);
  std::string open, close;
  for (const char *n : chain) {
    open += std::string("namespace ") + n + " { ";
    close += " }";
  }
  parse_into_script(open + text + close);
  std::string line;
  storage_prefix(d, line, "", RM_ORDINARY, 0, 0, kDeclPrefix, kDeclPrefix);
  if (!thread_word.empty()) line.insert(std::strlen(kDeclPrefix), thread_word);
  add_before_semicolon(line, value);
  write_namespace_openings(chain);
  write_script_line(line);
  write_namespace_closings(chain);
}

// A static data member of a class of the simulated file is defined there:
// the stub defines it in its place, with the value of that definition. A
// const or inline one is left out: its value stands in the class.
bool definable_static_member(const MemberNode *m) {
  const Declaration *d = m->decl;
  return own_member(m) && d->name && (d->storage & SF_STATIC) && !(d->storage & (SF_TYPEDEF | SF_INLINE)) &&
         d->type && !is_function(d) && !type_is_const(d->type) && !member_declares_next(m);
}

bool has_static_member(const TypeDesc *cls) {
  for (const MemberNode *m = cls->record()->first; m; m = m->next) {
    if (nested_record(m, cls) && has_static_member(m->decl->type)) return true;
    if (definable_static_member(m)) return true;
  }
  return false;
}

void define_static_members(const TypeDesc *cls) {
  for (const MemberNode *m = cls->record()->first; m; m = m->next) {
    if (nested_record(m, cls)) {
      define_static_members(m->decl->type);
      continue;
    }
    if (!definable_static_member(m)) continue;
    std::string l, mid, r;
    if (!render_type(m->decl->type, l, mid, r, 0, "", 0, RM_ORDINARY, nullptr, 1)) continue;
    std::string name;
    ScopeContext scope;
    scope.kind = 1;
    scope.current = const_cast<TypeDesc *>(cls);
    write_qualified_name(name, m->decl->name, scope, "::", true);
    std::string value = m->decl->text.empty() ? std::string() : " = " + m->decl->text.str();
    write_script_line(kDeclPrefix + join_declarator(l, mid, name, r) + value + ";");
  }
}

}  // namespace

std::string stub_name(const std::string &path) {
  std::string directory, name, extension, base;
  split_path(path, directory, name);
  split_extension(name, extension, base);
  std::string stub = base + "_" + extension;
  identifier_chars(stub);
  return stub;
}

void write_stub(const Declaration *decl) {
  std::string line;
  storage_prefix(decl, line, "", RM_STUB, 1, 0, kDeclPrefix, kDeclPrefix);
  if (!line.empty()) write_script_line(line);
}

void emit_file_stubs(const std::string &file) {
  std::string path = file;
  make_file_name(path, KIND_SOURCE);
  SymbolTable &table = file_analysis(path);
  const char *unit = path.c_str();
  const bool cpp = is_cpp_file_name(path);

  write_script_line("");
  write_script_line(std::string(keyword(KW_COMMENT_SIMULATED_FILE)) + base_name(path));
  write_script_line("");

  bool stub_needed = false;
  NeededSet class_set, type_set, entry_set;
  for_each_symbol(table.tags, [&](Symbol *s) {
    const Declaration *d = s->decl;
    if (!d || !is_record(d->type) || !same_unit(d->file, unit)) return;
    if (!has_stubbable_method(d->type)) return;
    stub_needed = true;
    collect_needed_types(class_set, d->type, table);
  });
  emit_needed_declarations(class_set, RM_STUB);

  for_each_symbol(table.ordinary, [&](Symbol *s) {
    const Declaration *d = s->decl;
    if (!d || !same_unit(d->file, unit) || member_of_record(d)) return;
    const std::int32_t order = static_cast<std::int32_t>(s->def_order ? s->def_order : s->first_order);
    if (names_own_type(d)) return;
    if (is_function(d)) {
      if (!(d->storage & SF_STATIC) && is_defined(d) && !is_function_template(d)) {
        stub_needed = true;
        collect_needed_types(type_set, d->type, table);
      }
      entry_set.insert(s, order, false);
      return;
    }
    if (!d->name && d->type) return;
    if (script_defines_variable(d->name) || (d->storage & (SF_EXTERN | SF_STATIC))) {
      entry_set.insert(s, order, false);
      return;
    }
    stub_needed = true;
    collect_needed_types(type_set, d->type, table);
    entry_set.insert(s, order, false);
  });
  // The file's enumeration constants may stand in the bounds of the
  // variables defined below, where no type leads to their enumeration.
  for_each_symbol(table.tags, [&](Symbol *s) {
    const Declaration *d = s->decl;
    if (d && d->type && d->type->kind == TK_ENUM && d->scope_kind == 0 && !(d->storage & SF_STATIC) &&
        same_unit(d->file, unit))
      collect_needed_types(type_set, d->type, table);
  });
  collect_unnamed_enumerations(type_set, table, unit);
  emit_needed_declarations(type_set, RM_STUB);
  type_set.clear();
  for (const auto &item : entry_set) {
    const Declaration *d = item.second.entry->decl;
    if (is_function(d) && !(d->storage & SF_STATIC) && is_defined(d) && !is_function_template(d))
      declare_namespace_function(item.second.entry, cpp);
  }

  for_each_symbol(table.tags, [&](Symbol *s) {
    const Declaration *d = s->decl;
    if (!stub_needed && d && is_record(d->type) && has_defined_method_of(d->type, unit)) stub_needed = true;
    if (!stub_needed && d && is_record(d->type) && d->scope_kind == 0 && same_unit(d->file, unit) &&
        has_static_member(d->type))
      stub_needed = true;
  });

  if (stub_needed) {
    write_script_line("");
    write_script_line(std::string(keyword(KW_DEFINE)) + " " + keyword(KW_STUB) + " " + stub_name(path));

    StubPass pass{unit, {}, {}};
    std::unordered_set<const TypeDesc *> seen;
    for_each_symbol(table.tags, [&](Symbol *s) {
      const Declaration *d = s->decl;
      if (d && is_record(d->type)) stub_defined_members(d->type, pass, seen);
    });

    for (const auto &item : class_set) {
      const NeededEntry &e = item.second;
      const Declaration *d = e.entry ? e.entry->decl : nullptr;
      if (e.forward_only || !d || d->scope_kind != 0 || !is_record(d->type)) continue;
      stub_declared_members(d->type, pass);
    }

    for_each_symbol(table.tags, [&](Symbol *s) {
      const Declaration *d = s->decl;
      if (d && is_record(d->type) && d->scope_kind == 0 && same_unit(d->file, unit))
        define_static_members(d->type);
    });

    for (const auto &item : entry_set) {
      const Declaration *d = item.second.entry->decl;
      if (is_function(d)) {
        if (!(d->storage & SF_STATIC) && pass.defined(d) && !is_function_template(d)) write_stub(d);
        continue;
      }
      if (names_own_type(d) || !d->name) continue;
      if (script_defines_variable(d->name) || (d->storage & (SF_EXTERN | SF_STATIC))) continue;
      write_variable_definition(d, cpp);
    }

    write_script_line(std::string(keyword(KW_END)) + " " + keyword(KW_DEFINE));
    write_script_line("");
  }
  file_analysis_done(path);
}

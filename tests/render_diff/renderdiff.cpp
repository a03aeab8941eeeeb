// Round trip of the renderer against the compiler: reads a file of C or C++
// declarations, analyses it, and writes a compilable file made of the
// original text followed by each rendered declaration under a new name
// ("name__r") and compile-time assertions that the compiler sees the same
// types, sizes, offsets and enumerator values. Array bounds are checked both
// as written and recomputed by the expression analysis ("name__c").
//
//   renderdiff c|c++ input output
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cpprend.h"
#include "cpptab.h"
#include "y_cppa.h"
#include "y_cppe.h"
#include "mstrin.h"

namespace {

int g_reports = 0;
void count_report(MessageCode code, std::string_view arg, std::string_view, int line) {
  ++g_reports;
  std::cerr << "report " << message_name(code) << " [" << arg << "] line " << line << "\n";
}

bool g_cpp = false;
std::string g_out;
int g_checks = 0;

void assert_line(const std::string &cond, const std::string &what) {
  g_out += (g_cpp ? "static_assert(" : "_Static_assert(") + cond + ", \"" + what + "\");\n";
  ++g_checks;
}

std::string same_types(const std::string &a, const std::string &b) {
  if (g_cpp) return "std::is_same<" + a + ", " + b + ">::value";
  return "__builtin_types_compatible_p(" + a + ", " + b + ")";
}

std::string type_of(const std::string &expr) {
  return g_cpp ? "decltype(" + expr + ")" : "__typeof__(" + expr + ")";
}

Declaration renamed(const Declaration *d, const std::string &suffix) {
  Declaration r = *d;
  r.name = intern_string((std::string(d->name) + suffix).c_str());
  return r;
}

// Every bound of the type recomputed from its expression.
TypeDesc *without_bound_texts(const TypeDesc *t) {
  TypeDesc *c = duplicate_type(t);
  for (TypeDesc *x = c; x;) {
    if (x->kind == TK_ARRAY && x->array()) {
      x->array()->has_bound_text = false;
      x = x->array()->element;
    } else if (x->kind == TK_POINTER && x->pointer()) {
      x = x->pointer()->target;
    } else {
      break;
    }
  }
  return c;
}

bool has_array(const TypeDesc *t) {
  for (; t;) {
    if (t->kind == TK_ARRAY) return true;
    if (t->kind == TK_POINTER && t->pointer())
      t = t->pointer()->target;
    else
      return false;
  }
  return false;
}

void check_size(const std::string &expr, const TypeDesc *t, const std::string &what) {
  const long long size = type_size_bytes(t);
  if (size > 0) assert_line("sizeof(" + expr + ") == " + std::to_string(size), what + " size");
}

void variable(const Declaration *d) {
  std::string text;
  Declaration r = renamed(d, "__r");
  render_declaration(&r, text, "", RM_ORDINARY, 0, "", "");
  if (text.empty()) return;
  g_out += "extern " + text + "\n";
  const std::string n = d->name;
  assert_line(same_types(type_of(g_cpp ? n : "&" + n), type_of(g_cpp ? n + "__r" : "&" + n + "__r")),
              n);
  if (d->type->kind != TK_REFERENCE) check_size(n, d->type, n);
  if (has_array(d->type)) {
    Declaration c = renamed(d, "__c");
    c.type = without_bound_texts(d->type);
    std::string computed;
    render_declaration(&c, computed, "", RM_ORDINARY, 0, "", "");
    g_out += "extern " + computed + "\n";
    assert_line(
        same_types(type_of(g_cpp ? n : "&" + n), type_of(g_cpp ? n + "__c" : "&" + n + "__c")),
        n + " computed bounds");
  }
}

// What a service of the script does with a function: its parameters
// declared in object form, the return variable, and the call with the
// addresses of pointed-to objects; the compiler checks that they fit.
// Whether a qualifier applies to the type, also through typedef names and
// elaborated names (where the script's forms cannot remove it).
bool qualified_through(const TypeDesc *t, const char *word, bool *hidden) {
  bool through_typedef = false, found = false;
  for (int guard = 0; t && guard < 1000; ++guard) {
    for (const TypeDesc *q = t->next; q; q = q->next)
      if (q->kind == TK_NAMED && q->named() && q->named()->name &&
          std::strcmp(q->named()->name, word) == 0) {
        found = true;
        if (through_typedef) {
          if (hidden) *hidden = true;
          return true;
        }
      }
    if (t->kind == TK_NAMED && t->named() && t->named()->aliased) {
      through_typedef = true;
      t = t->named()->aliased;
    } else if (t->kind == TK_ELABORATED && t->elaborated() && t->elaborated()->named) {
      t = t->elaborated()->named;
    } else {
      return found;
    }
  }
  return found;
}

// Forms the script cannot make assignable: a const hidden in a typedef name,
// and in C++ a volatile object of class type (no volatile copy). The
// renderer removes only the const it writes itself.
bool unassignable(const TypeDesc *t) {
  if (!t) return false;
  if (t->kind == TK_REFERENCE && t->reference()) return unassignable(t->reference()->target);
  if (t->kind == TK_ARRAY && t->array()) return unassignable(t->array()->element);
  bool hidden = false;
  if (qualified_through(t, "const", &hidden) && hidden) return true;
  const TypeDesc *s = strip_typedefs(t);
  while (s && s->kind == TK_ELABORATED && s->elaborated() && s->elaborated()->named)
    s = strip_typedefs(s->elaborated()->named);
  if (g_cpp && s && (s->kind == TK_CLASS || s->kind == TK_UNION) &&
      qualified_through(t, "volatile", nullptr))
    return true;
  if (s && s->kind == TK_POINTER && s->pointer() && t->kind == TK_POINTER) {
    const TypeDesc *x = strip_typedefs(s->pointer()->target);
    if (x && x->kind == TK_POINTER) return unassignable(s->pointer()->target);
    return unassignable(s->pointer()->target);
  }
  return false;
}

void service(const Declaration *d) {
  const FunctionInfo *info = d->type->function()->info;
  if (unassignable(d->type->function()->result)) return;
  for (const DeclNode *p = info ? info->first_param : nullptr; p; p = p->next)
    if (p->decl && unassignable(p->decl->type)) return;
  std::string body;
  for (const DeclNode *p = info ? info->first_param : nullptr; p; p = p->next) {
    if (!p->decl || (p->decl->type && p->decl->type->kind == TK_ELLIPSIS)) continue;
    if (p->decl->type && p->decl->type->kind == TK_VOID && !p->decl->name) continue;
    if (!p->decl->name) return;  // the call would lack an argument
    std::string line;
    render_declaration(p->decl, line, "", RM_OBJECT, 0, "", "");
    body += "  " + line + "\n";
  }
  const std::string svc = std::string("svc_") + d->name;
  std::string ret, call;
  render_declaration(d, ret, svc.c_str(), RM_RETURN, 0, "", "");
  render_declaration(d, call, svc.c_str(), RM_CALL, 0, "", "");
  if (!ret.empty()) body += "  " + ret + "\n";
  body += "  " + call + "\n";
  g_out += std::string("void check__") + d->name + "(void) {\n" + body + "}\n";
  ++g_checks;
}

void function(const Declaration *d) {
  std::string text;
  Declaration r = renamed(d, "__r");
  render_declaration(&r, text, "", RM_EXTERN, 0, "", "");
  if (text.empty()) return;
  g_out += text + "\n";
  const std::string n = d->name;
  assert_line(same_types(type_of(g_cpp ? n : "&" + n), type_of(g_cpp ? n + "__r" : "&" + n + "__r")),
              n);
  service(d);
  // The stub form is C text once the passing keywords are gone.
  std::string stub;
  Declaration st = renamed(d, "__s");
  render_declaration(&st, stub, "", RM_STUB, 1, "", "");
  g_out += stub + "\n";
  ++g_checks;
}

void type_name_decl(const Declaration *d) {
  std::string text;
  Declaration r = renamed(d, "__r");
  render_declaration(&r, text, "", RM_ORDINARY, 1, "", "");
  if (text.empty()) return;
  g_out += text + "\n";
  const std::string n = d->name;
  const TypeDesc *base = d->type;
  if ((base->kind == TK_CLASS || base->kind == TK_UNION || base->kind == TK_ENUM) &&
      !type_name(base)) {
    // A second unnamed aggregate is a new type: compare the layout only.
    assert_line("sizeof(" + n + ") == sizeof(" + n + "__r)", n + " size");
    check_size(n, base, n);
    return;
  }
  if (g_cpp)
    assert_line(same_types(n, n + "__r"), n);
  else
    assert_line(same_types(n + "*", n + "__r*"), n);
}

std::string rename_words(const std::string &text, const std::vector<std::string> &names) {
  std::string out = text;
  for (const std::string &n : names)
    out = std::regex_replace(out, std::regex("\\b" + n + "\\b"), n + "__r");
  return out;
}

void record(const Declaration *d) {
  const TypeDesc *t = d->type;
  if (!t->record() || !t->record()->has_body || t->record()->instance_mark ||
      t->record()->key == KEY_NAMESPACE)
    return;
  std::string text;
  render_declaration(d, text, "", RM_ORDINARY, 1, "", "");
  const std::string n = d->name;
  // Only the head names the tag: "struct S {" or "struct S : public B {".
  const std::string key = t->kind == TK_UNION ? "union " : t->record()->key == KEY_CLASS ? "class " : "struct ";
  if (text.compare(0, key.size() + n.size(), key + n) != 0) {
    std::cerr << "unexpected head: " << text.substr(0, 60) << "\n";
    g_out += "#error unexpected head of " + n + "\n";
    return;
  }
  // C++ copies are renamed throughout (constructors carry the class name);
  // C keeps the inner references, which name the original.
  if (g_cpp)
    text = std::regex_replace(text, std::regex("\\b" + n + "\\b"), n + "__k");
  else
    text.insert(key.size() + n.size(), "__k");
  g_out += text + "\n";
  const std::string a = g_cpp ? n : key + n, b = g_cpp ? n + "__k" : key + n + "__k";
  assert_line("sizeof(" + a + ") == sizeof(" + b + ")", n + " size");
  check_size(a, t, n);
  for (const MemberNode *m = t->record()->first; m; m = m->next) {
    const Declaration *md = m->decl;
    if (!md || !md->name || !md->type || md->bit_width() > 0) continue;
    if (md->storage & (SF_STATIC | SF_TYPEDEF | SF_FRIEND)) continue;
    const TypeKind k = md->type->kind;
    if (k == TK_FUNCTION || k == TK_TEMPLATE) continue;
    if ((k == TK_CLASS || k == TK_UNION || k == TK_ENUM) && type_name(md->type) &&
        std::strcmp(type_name(md->type), md->name) == 0)
      continue;
    if ((m->access & ACC_MASK) != ACC_PUBLIC) continue;
    const std::string mn = md->name;
    // A member of a type defined inside the class: the copy has its own.
    const TypeDesc *mt = md->type;
    while (mt && ((mt->kind == TK_POINTER && mt->pointer()) || (mt->kind == TK_ARRAY && mt->array()) ||
                  (mt->kind == TK_ELABORATED && mt->elaborated() && mt->elaborated()->named)))
      mt = mt->kind == TK_POINTER ? mt->pointer()->target
           : mt->kind == TK_ARRAY ? mt->array()->element
                                  : mt->elaborated()->named;
    const bool own_type = mt && (mt->kind == TK_CLASS || mt->kind == TK_UNION || mt->kind == TK_ENUM) &&
                          (!type_name(mt) || (mt->scope && same_scope(mt->scope, t)) ||
                           (g_cpp && type_name(mt) && n == type_name(mt)));
    if (own_type) {
      if (!g_cpp || t->record()->key != KEY_CLASS)
        assert_line("__builtin_offsetof(" + a + ", " + mn + ") == __builtin_offsetof(" + b + ", " +
                        mn + ")",
                    n + "." + mn + " offset");
      continue;
    }
    if (g_cpp) {
      assert_line(same_types("decltype(" + n + "::" + mn + ")", "decltype(" + n + "__k::" + mn + ")"),
                  n + "." + mn);
    } else {
      assert_line(same_types("__typeof__(((" + a + " *)0)->" + mn + ")",
                             "__typeof__(((" + b + " *)0)->" + mn + ")"),
                  n + "." + mn);
    }
    if (!g_cpp || t->record()->key != KEY_CLASS)
      assert_line("__builtin_offsetof(" + a + ", " + mn + ") == __builtin_offsetof(" + b + ", " +
                      mn + ")",
                  n + "." + mn + " offset");
  }
}

void enumeration(const Declaration *d, SymbolTable &table) {
  const TypeDesc *t = d->type;
  if (!t->enumeration() || !t->enumeration()->first) return;
  std::string text;
  render_declaration(d, text, "", RM_ORDINARY, 1, "", "");
  std::vector<std::string> names{d->name};
  for (const EnumeratorRec *e = t->enumeration()->first; e; e = e->next) names.push_back(e->name);
  g_out += rename_words(text, names) + "\n";
  for (const EnumeratorRec *e = t->enumeration()->first; e; e = e->next) {
    const std::string en = e->name;
    assert_line(en + " == " + en + "__r", en);
    auto r = analyse_expression(e->name, "", "in", 0, nullptr, &table);
    if (r && r->kind == EXPR_INTEGER_CONSTANT)
      assert_line(en + " == " + pint_image(&r->value, 1, 64) + (g_cpp ? "LL" : "LL"),
                  en + " value");
    else
      g_out += "#error no value for " + en + "\n";
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 4) {
    std::cerr << "usage: renderdiff c|c++ input output\n";
    return 2;
  }
  g_cpp = std::strcmp(argv[1], "c++") == 0;
  std::ifstream in(argv[2], std::ios::binary);
  std::stringstream buf;
  buf << in.rdbuf();
  const std::string source = buf.str();
  reset_analysis_settings();
  AnalysisSettings &s = analysis_settings();
  s.sizes->long_bits = 8 * static_cast<int>(sizeof(long));
  s.sizes->longlong_bits = 8 * static_cast<int>(sizeof(long long));
  set_analyser_report(count_report);
  SymbolTable table;
  table_init(table, "");
  analyse_text(source.c_str(), table, "", "in", 1, 0, 0);
  g_out = g_cpp ? "#include <type_traits>\n" : "";
  g_out += "#define _in\n#define _inout\n";
  g_out += source + "\n/* rendered */\n";
  std::vector<const Declaration *> seen;
  for_each_symbol(table.tags, [&](Symbol *sym) {
    const Declaration *d = sym->decl;
    if (!d || !d->name || !d->type || d->scope_kind) return;
    if (std::strstr(d->name, "ortek_")) return;
    if (d->type->kind == TK_CLASS || d->type->kind == TK_UNION) record(d);
    if (d->type->kind == TK_ENUM) enumeration(d, table);
  });
  std::set<std::string> names;
  std::set<std::string> repeated;
  for_each_symbol(table.ordinary, [&](Symbol *sym) {
    const Declaration *d = sym->decl;
    if (!d || !d->name || d->scope_kind) return;
    if (!names.insert(d->name).second) repeated.insert(d->name);
  });
  for_each_symbol(table.ordinary, [&](Symbol *sym) {
    const Declaration *d = sym->decl;
    if (!d || !d->name || !d->type || d->scope_kind || repeated.count(d->name)) return;
    if (d->storage & SF_TYPEDEF)
      type_name_decl(d);
    else if (d->type->kind == TK_FUNCTION)
      function(d);
    else if (d->type->kind != TK_ELABORATED)
      variable(d);
  });
  std::ofstream out(argv[3], std::ios::binary);
  out << g_out;
  std::cout << g_checks << " checks, " << g_reports << " reports\n";
  release_table(table);
  return g_reports ? 1 : 0;
}

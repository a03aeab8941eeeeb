// symdump: analyses one preprocessed C/C++ text (line markers allowed) and
// prints what it declares, one line per entry:
//   kind<TAB>name<TAB>type<TAB>storage<TAB>defined|declared<TAB>file:line[<TAB>params]
// kind is one of: function, variable, typedef, enum, struct, class, union,
// namespace, template, function-template; members are printed with their scope
// ("A::f"). --quiet suppresses the analyser's reports; --summary prints only
// the number of entries (for timing); --pp runs the tool's preprocessor on the
// file first (with -D and -I as given, after the file named by --pre; --pp-out
// keeps its output). Parameters of functions are "name:type" separated by ", ";
// "params=N" gives their count without a lone unnamed void and the ellipsis.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cpptab.h"
#include "y_cppa.h"
#include "merror.h"
#include "mstrin.h"
#include "cprepr.h"

namespace {

std::string type_text(const TypeDesc *t, int depth = 0);

std::string chain_text(const TypeDesc *t) {
  std::string s;
  for (const TypeDesc *q = t ? t->next : nullptr; q; q = q->next)
    if (q->kind == TK_NAMED && q->named() && q->named()->name) s += std::string(" ") + q->named()->name;
  return s;
}

std::string params_text(const TypeDesc *f, int depth) {
  std::string s;
  for (DeclNode *n = f->function()->info->first_param; n; n = n->next) {
    if (!s.empty()) s += ", ";
    if (n->decl && n->decl->type && n->decl->type->kind == TK_ELLIPSIS) {
      s += "...";
      continue;
    }
    s += type_text(n->decl ? n->decl->type : nullptr, depth + 1);
    if (n->decl && n->decl->name) s += std::string(" ") + n->decl->name;
    if (n->decl && !n->decl->text.empty()) s += " = " + n->decl->text;
  }
  return s;
}

std::string type_text(const TypeDesc *t, int depth) {
  if (depth > 200) return "...";
  if (!t) return "int";
  const char *n = type_name(t);
  switch (t->kind) {
    case TK_INTEGER:
    case TK_FLOATING: return std::string(n ? n : "?") + chain_text(t);
    case TK_VOID: return "void" + chain_text(t);
    case TK_POINTER: return type_text(t->pointer()->target, depth + 1) + " *" + chain_text(t);
    case TK_REFERENCE: return type_text(t->reference()->target, depth + 1) + " &";
    case TK_ARRAY: return type_text(t->array()->element, depth + 1) + " [" + t->array()->bound_text + "]";
    case TK_FUNCTION:
      return type_text(t->function()->result, depth + 1) + " (" + params_text(t, depth) + ")";
    case TK_ENUM: return std::string("enum ") + (n ? n : "<anon>");
    case TK_UNION: return std::string("union ") + (n ? n : "<anon>");
    case TK_CLASS: return std::string(t->record()->key == KEY_CLASS ? "class " : "struct ") + (n ? n : "<anon>");
    case TK_ELABORATED: return std::string("elaborated ") + (n ? n : "?");
    case TK_NAMED: return std::string(n ? n : "?") + chain_text(t);
    case TK_ELLIPSIS: return "...";
    case TK_TEMPLATE: return std::string("template ") + (n ? n : "?");
    default: return "?";
  }
}

std::string storage_text(unsigned flags) {
  std::string s;
  for (unsigned f = 1; f <= SF_MUTABLE; f <<= 1)
    if (flags & f) s += storage_flag_text(f);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s.empty() ? "-" : s;
}

std::string scoped_name(const Declaration *d) {
  std::string name = d->name ? d->name : "<anon>";
  for (const TypeDesc *s = d->scope_kind ? d->scope : nullptr; s; s = s->record() ? s->record()->enclosing : nullptr) {
    const char *sn = type_name(s);
    name = std::string(sn ? sn : "?") + "::" + name;
    if (!s->record()) break;
  }
  return name;
}

int param_count(const TypeDesc *f) {
  int n = 0;
  DeclNode *first = f->function()->info->first_param;
  for (DeclNode *p = first; p; p = p->next) {
    if (p->decl && p->decl->type && p->decl->type->kind == TK_ELLIPSIS) continue;
    ++n;
  }
  if (n == 1 && first && first->decl && !first->decl->name && first->decl->type &&
      first->decl->type->kind == TK_VOID && !first->decl->type->next)
    n = 0;
  return n;
}

void print_entry(const Symbol *s, bool tag) {
  const Declaration *d = s->decl;
  if (!d) return;
  const TypeDesc *t = d->type;
  std::string kind;
  if (tag) {
    if (!t) kind = "tag";
    else if (t->kind == TK_ENUM) kind = "enum";
    else if (t->kind == TK_UNION) kind = "union";
    else if (t->kind == TK_TEMPLATE) kind = "template";
    else if (t->kind == TK_CLASS && t->record()->key == KEY_NAMESPACE) kind = "namespace";
    else if (t->kind == TK_CLASS && t->record()->key == KEY_CLASS) kind = "class";
    else kind = "struct";
  } else if (d->storage & SF_TYPEDEF) {
    kind = "typedef";
  } else if (t && t->kind == TK_FUNCTION) {
    kind = t->template_word ? "function-template" : "function";
  } else if (t && t->kind == TK_NAMED && strip_typedefs(t) && strip_typedefs(t)->kind == TK_FUNCTION) {
    kind = "function";  // "Handler on_a;" with "typedef int Handler(int);"
  } else {
    kind = "variable";
  }
  bool defined;
  if (t && t->kind == TK_FUNCTION) defined = t->function()->info->defined != 0;
  else if (kind == "function") defined = false;
  else if (tag && t && t->record()) defined = t->record()->has_body || t->record()->first;
  else if (tag && t && t->kind == TK_ENUM) defined = t->enumeration()->first != nullptr;
  else defined = !(d->storage & SF_EXTERN);
  std::printf("%s\t%s\t%s\t%s\t%s\t%s:%d", kind.c_str(), scoped_name(d).c_str(), type_text(t).c_str(),
              storage_text(d->storage).c_str(), defined ? "defined" : "declared", d->file ? d->file : "",
              d->line);
  if (t && t->kind == TK_FUNCTION) std::printf("\tparams=%d\t(%s)", param_count(t), params_text(t, 0).c_str());
  std::printf("\n");
}

}  // namespace

int main(int argc, char **argv) {
  bool summary = false, quiet = false, preprocess = false;
  const char *file = nullptr, *pp_out = nullptr, *pre = nullptr;
  std::vector<std::string> defines, dirs;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--summary") summary = quiet = true;
    else if (a == "--quiet") quiet = true;
    else if (a == "--pp") preprocess = true;
    else if (a == "--pp-out" && i + 1 < argc) pp_out = argv[++i];
    else if (a == "--pre" && i + 1 < argc) pre = argv[++i];
    else if (a.compare(0, 2, "-D") == 0) defines.push_back(a.substr(2));
    else if (a.compare(0, 2, "-I") == 0) dirs.push_back(a.substr(2));
    else file = argv[i];
  }
  if (!file) {
    std::fprintf(stderr,
                 "usage: symdump [--quiet | --summary] [--pp [--pp-out out] [--pre defines.h] [-Dname[=value]] [-Idir]] file\n");
    return 2;
  }
  std::string text;
  if (preprocess) {
    // The tool's own preprocessor, as the generator runs it on a tested file.
    std::vector<const char *> d, inc;
    for (const std::string &x : defines) d.push_back(x.c_str());
    d.push_back(nullptr);
    for (const std::string &x : dirs) inc.push_back(x.c_str());
    inc.push_back(nullptr);
    static MacroTable macros;
    pp_init(d.data(), inc.data(), macros, 1);
    std::string request;
    if (pre) request = std::string("#include \"") + pre + "\"\n";
    request += std::string("#include \"") + file + "\"\n";
    pp_process_text(request.c_str(), 0, "", 1, text, macros);
    if (pp_out) {
      std::FILE *o = std::fopen(pp_out, "wb");
      if (!o) {
        std::perror(pp_out);
        return 2;
      }
      std::fwrite(text.data(), 1, text.size(), o);
      std::fclose(o);
    }
  } else {
    std::FILE *f = std::fopen(file, "rb");
    if (!f) {
      std::perror(file);
      return 2;
    }
    char buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
  }
  if (quiet) set_reports_suppressed(true);
  static SymbolTable table;
  // A C file is read as C, as the generator reads it.
  const std::string name = file;
  const bool c_file = name.size() > 2 && (name.compare(name.size() - 2, 2, ".c") == 0 ||
                                          name.compare(name.size() - 2, 2, ".h") == 0);
  table_init(table, "", c_file ? SRC_C : SRC_CPP);
  analyse_text(text.c_str(), table, "", file, 1, 0, 0);
  if (summary) {
    long tags = 0, ordinary = 0;
    for_each_symbol(table.tags, [&](Symbol *) { ++tags; });
    for_each_symbol(table.ordinary, [&](Symbol *) { ++ordinary; });
    std::printf("%ld tags, %ld ordinary entries\n", tags, ordinary);
    std::fprintf(stderr, "syntax errors: %d\n", analysis_syntax_errors());
    return 0;
  }
  for_each_symbol(table.tags, [](Symbol *s) { print_entry(s, true); });
  for_each_symbol(table.ordinary, [](Symbol *s) { print_entry(s, false); });
  std::fflush(stdout);
  std::fprintf(stderr, "syntax errors: %d\n", analysis_syntax_errors());
  return 0;
}

// Qualified names, operator words, parameter-name reconciliation and types
// read from text.
#include "cppname.h"

#include <cstring>
#include <vector>

#include "cpptab.h"
#include "ctylex.h"
#include "merror.h"
#include "y_cppa.h"

namespace {

// Longest spellings first: "->*" must not be read as "->" then "*".
struct OperatorWord {
  char spelling[4];
  char word[24];
};
constexpr OperatorWord kOperatorWords[] = {
    {"->*", "arrow_star"}, {"<<=", "left_shift_assign"}, {">>=", "right_shift_assign"},
    {"+=", "add_assign"},  {"++", "increment"},          {"-=", "sub_assign"},
    {"--", "decrement"},   {"->", "ptr"},                {"*=", "mul_assign"},
    {"/=", "div_assign"},  {"%=", "mod_assign"},         {"^=", "xor_assign"},
    {"&=", "and_assign"},  {"&&", "and"},                {"|=", "or_assign"},
    {"||", "or"},          {"!=", "not_equal"},          {"==", "equal"},
    {"<=", "less_equal"},  {"<<", "left_shift"},         {">=", "greater_equal"},
    {">>", "right_shift"}, {".*", "dot_star"},           {"()", "function_call"},
    {"[]", "subscript"},   {"+", "plus"},                {"-", "minus"},
    {"*", "mul"},          {"/", "div"},                 {"%", "mod"},
    {"~", "invbit"},       {"^", "xorbit"},              {"&", "andbit"},
    {"|", "orbit"},        {"!", "not"},                 {"=", "assign"},
    {"<", "less"},         {">", "greater"},             {".", "dot"},
    {"\"\"", "literal"},
};

bool is_alnum(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Letters and digits kept, blanks dropped, anything else '_'.
void append_identifier(std::string &out, const char *name) {
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p; ++p) {
    if (is_alnum(*p))
      out += static_cast<char>(*p);
    else if (*p != ' ' && *p != '\t')
      out += '_';
  }
}

void append_name(std::string &out, const char *name, bool verbatim) {
  if (verbatim) {
    out += name;
    return;
  }
  if (name[0] == '~') {
    out += "destructor_";
    append_identifier(out, name + 1);
    return;
  }
  if (std::strncmp(name, "operator", 8) == 0 && !is_alnum(static_cast<unsigned char>(name[8])) &&
      name[8] != '_') {
    out += "operator_";
    const char *p = name + 8;
    if (*p == ' ') ++p;
    out += operator_identifier(p);
    return;
  }
  append_identifier(out, name);
}

// An unnamed namespace adds nothing: its members are named from the
// enclosing scope, and its invented name is no name in C++ text.
bool contributes(const TypeDesc *s) {
  if (!s || (s->kind != TK_CLASS && s->kind != TK_UNION && s->kind != TK_TEMPLATE)) return false;
  return !(s->kind == TK_CLASS && s->record() && s->record()->key == KEY_NAMESPACE &&
           is_unnamed_namespace_name(type_name(s)));
}

// Enclosing chains are short; the bound only stops a corrupted cycle.
constexpr int kScopeChainLimit = 1000;

}  // namespace

std::string operator_identifier(const char *spelling) {
  std::string out;
  for (const char *p = spelling; *p;) {
    bool matched = false;
    for (const OperatorWord &w : kOperatorWords) {
      const size_t n = std::strlen(w.spelling);
      if (std::strncmp(p, w.spelling, n) == 0) {
        out += w.word;
        p += n;
        matched = true;
        break;
      }
    }
    if (matched) continue;
    if (*p == ' ' || *p == ':')
      out += '_';
    else if (is_alnum(static_cast<unsigned char>(*p)) || *p == '_')
      out += *p;
    else
      out += '_';
    ++p;
  }
  return out;
}

void write_scope_name(std::string &out, const TypeDesc *scope, const char *separator,
                      bool verbatim) {
  std::vector<const char *> names;
  int guard = 0;
  for (const TypeDesc *s = scope; s && guard < kScopeChainLimit; s = enclosing_scope(s), ++guard) {
    if (!contributes(s)) continue;
    const char *n = type_name(s);
    if (n && *n) names.push_back(n);
  }
  for (size_t i = names.size(); i-- > 0;) {
    append_name(out, names[i], verbatim);
    if (i) out += separator;
  }
}

void write_qualified_name(std::string &out, const char *name, const ScopeContext &scope,
                          const char *separator, bool verbatim) {
  if (!separator) separator = verbatim ? "::" : "_";
  if (scope.kind && scope.current) {
    const size_t before = out.size();
    write_scope_name(out, scope.current, separator, verbatim);
    if (out.size() != before && name && *name) out += separator;
  }
  if (!name || !*name) return;
  append_name(out, name, verbatim);
}

// ---------------------------------------------------------------------------

namespace {

bool is_lone_void(const DeclNode *list) {
  return list && !list->next && list->decl && !list->decl->name && list->decl->type &&
         list->decl->type->kind == TK_VOID;
}

}  // namespace

int CPP_modify_param_name(TypeDesc *declared, TypeDesc *defined, const char *file, int line) {
  if (!declared || !defined || declared->kind != TK_FUNCTION || defined->kind != TK_FUNCTION ||
      !declared->function() || !defined->function() || !declared->function()->info ||
      !defined->function()->info)
    return 0;
  DeclNode *a = declared->function()->info->first_param;
  DeclNode *b = defined->function()->info->first_param;
  // "f()" against "f(void)" in either order names nothing.
  if ((!a && is_lone_void(b)) || (!b && is_lone_void(a))) return 1;
  size_t na = 0, nb = 0;
  for (DeclNode *p = a; p; p = p->next) ++na;
  for (DeclNode *p = b; p; p = p->next) ++nb;
  // Lenient matching can pair lists of different lengths ("int f();" with
  // "int f(int a) {...}"): that is user input, not an internal fault, so the
  // declaration keeps its names.
  if (na != nb) return 0;
  for (; a && b; a = a->next, b = b->next)
    if (a->decl && b->decl && b->decl->name) a->decl->name = b->decl->name;
  return 1;
}

// ---------------------------------------------------------------------------

namespace {

void count_report(void *count, MessageCode code, std::string_view, std::string_view, int) {
  if (code.severity() <= SEV_WARNING) ++*static_cast<int *>(count);
}

}  // namespace

TypeDesc *type_from_text(const char *type_text, SymbolTable &table, const char *file, int line,
                         const char *function_name, AnalysisBudget *budget, TypeDesc *scope) {
  if (!type_text) return nullptr;
  const std::string text = std::string("__ortek_var(") + type_text + ");";
  // Everything the reading reports is only counted: it tells that the text
  // is no type. The temporary entry is no declaration of the file: it must
  // not reach the list of recorded entries the emitters copy into the script.
  AnalysisSettings &settings = analysis_settings();
  const int recording = settings.recording;
  settings.recording = 0;
  int reports = 0;
  const int syntax_errors = analyse_text_reporting(
      text.c_str(), table, function_name ? function_name : "", file ? file : "", line,
      ReportSink{count_report, &reports}, settings.keep_bodies, settings.lenient_matching, budget, scope);
  const bool failed = reports > 0 || syntax_errors > 0;
  settings.recording = recording;

  ScopeContext ctx;
  if (function_name && *function_name) {
    ctx.kind = 1;
    ctx.current = function_scope(table, function_name);
  } else if (scope) {
    ctx.kind = 1;
    ctx.current = scope;
  }
  Symbol *entry = lookup_in_scope("__ortek_var", table, AREA_ORDINARY, ctx.current);
  TypeDesc *result = nullptr;
  if (!failed && entry && entry->decl && entry->decl->type &&
      entry->decl->type->kind == TK_FUNCTION && entry->decl->type->function() &&
      entry->decl->type->function()->info && entry->decl->type->function()->info->first_param &&
      entry->decl->type->function()->info->first_param->decl)
    result = duplicate_type(entry->decl->type->function()->info->first_param->decl->type, &table);
  // Every temporary entry goes, also after an error (a second reading must
  // not find the first one's leftovers).
  while (entry) {
    remove_symbol(table, entry);
    entry = lookup_in_scope("__ortek_var", table, AREA_ORDINARY, ctx.current);
  }
  return result;
}

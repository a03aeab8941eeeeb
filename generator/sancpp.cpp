#include "sancpp.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "cppname.h"
#include "cpprend.h"
#include "cpptab.h"
#include "y_cppa.h"
#include "merror.h"
#include "msystm.h"
#include "mstrin.h"
#include "sancmd.h"
#include "sandecl.h"
#include "sgener.h"
#include "siofic.h"

namespace {

// Aggregates nest placeholders and classes nest classes; the table comes
// from the analysed text, so the depth of both walks is bounded here. Real
// code stays far below; a deeper aggregate gets the plain "0".
constexpr int kNestingLimit = 256;
// Aggregates of aggregates can grow a placeholder exponentially with the
// text (each level holding two members of the level below); past this size
// the remaining values are written as the plain "0" instead of exhausting
// memory. Real placeholders are a few hundred characters.
constexpr std::size_t kPlaceholderLimit = 1 << 20;

const char *const kVar = "VAR";
const char *const kStructure = "STRUCTURE";

bool same_name(const char *a, const char *b) { return a && b && std::strcmp(a, b) == 0; }

// ------------------------------------------------------------ same_unit

// The unit part of a path: after the last "/" or "\", before the last "."
// of what remains.
void unit_part(const char *path, const char *&begin, const char *&end) {
  begin = path;
  for (const char *p = path; *p; ++p)
    if (*p == '/' || *p == '\\') begin = p + 1;
  const char *dot = std::strrchr(begin, '.');
  end = dot ? dot : begin + std::strlen(begin);
}

// ------------------------------------------------------------ placeholders

// A member a test can set: what the table's selection rule gives for data
// members, without the friend and typedef declarations and the nested type
// definitions that a class body also lists among its members.
bool member_is_listed(const MemberNode *m, int friend_of_reference) {
  if (!member_is_selectable(m, 1, friend_of_reference)) return false;
  const Declaration *d = m->decl;
  if (d->storage & (SF_FRIEND | SF_TYPEDEF)) return false;
  const TypeDesc *t = d->type;
  if (t && (t->kind == TK_ENUM || t->kind == TK_UNION || t->kind == TK_CLASS || t->kind == TK_TEMPLATE) &&
      same_name(d->name, type_name(t)))
    return false;
  return !type_is_const(t);
}

// keyword: the line's keyword, a fixed text; left as it was for a type
// that has no placeholder.
void placeholder_at(const TypeDesc *type, std::string &init, const char *&keyword, int mode, int depth) {
  for (int hops = 0;; ++hops) {
    if (!type || depth > kNestingLimit || hops > kNestingLimit || init.size() > kPlaceholderLimit) {
      init += "0";
      keyword = kVar;
      return;
    }
    switch (type->kind) {
      case TK_INTEGER:
      case TK_VOID:
      case TK_ELLIPSIS:
        init += "0";
        keyword = kVar;
        return;
      case TK_FLOATING:
        init += "0.0";
        keyword = kVar;
        return;
      case TK_POINTER:
        init += type_is_char_string(type) ? "\"\"" : "NIL";
        keyword = kVar;
        return;
      case TK_ARRAY:
        if (type_is_char_string(type)) {
          init += "\"\"";
          keyword = kVar;
          return;
        }
        init += "{ ";
        init += ::keyword(KW_OTHERS);
        init += " => ";
        if (type->array() && type->array()->element) {
          const char *element_keyword = nullptr;
          placeholder_at(type->array()->element, init, element_keyword, mode, depth + 1);
        } else {
          init += "0";
        }
        init += " }";
        keyword = ::keyword(KW_ARRAY);
        return;
      case TK_ENUM: {
        const EnumeratorRec *first = type->enumeration() ? type->enumeration()->first : nullptr;
        if (!first || !first->name) {
          init += "0";
        } else {
          ScopeContext scope;
          scope.kind = type->scope_kind;
          scope.current = type->scope;
          const EnumInfo *e = type->enumeration();
          if (e->scoped && e->name) {
            // The enumerators of a scoped enumeration are named through it.
            write_qualified_name(init, e->name, scope, "::", true);
            init += "::";
            init += first->name;
          } else {
            write_qualified_name(init, first->name, scope, "::", true);
          }
        }
        keyword = kVar;
        return;
      }
      case TK_UNION: {
        // The first member is the first data member: the entry of the unnamed
        // type of "union { struct {...} a; ... }" stands before a.
        const MemberNode *first = type->record() ? type->record()->first : nullptr;
        while (first && member_declares_next(first)) first = first->next;
        if (!first || !first->decl) {
          init += "0";
        } else {
          const char *member_keyword = nullptr;
          init += "{ ";
          if (first->decl->name) init += first->decl->name;
          init += " => ";
          placeholder_at(first->decl->type, init, member_keyword, mode, depth + 1);
          init += " }";
        }
        keyword = kVar;
        return;
      }
      case TK_ELABORATED:
        type = type->elaborated() ? type->elaborated()->named : nullptr;
        continue;
      case TK_NAMED:
        type = type->named() ? type->named()->aliased : nullptr;
        continue;
      case TK_FUNCTION:
        if (mode == VM_RESULT) {
          type = type->function() ? type->function()->result : nullptr;
          continue;
        }
        init += "NIL";
        keyword = kVar;
        return;
      case TK_CLASS: {
        init += "{ ";
        bool first = true;
        const ClassInfo *r = type->record();
        for (int pass = 0; r && pass < 2; ++pass) {
          for (const MemberNode *m = pass == 0 ? r->first : r->first_inherited; m; m = m->next) {
            if (member_declares_next(m) || !member_is_listed(m, r->friend_of_reference)) continue;
            if (!first) init += ", ";
            first = false;
            if (m->decl->name) {
              init += m->decl->name;
              init += " => ";
            }
            const char *member_keyword = nullptr;
            placeholder_at(m->decl->type, init, member_keyword, mode, depth + 1);
          }
        }
        init += " }";
        keyword = kStructure;
        return;
      }
      case TK_REFERENCE:
        type = type->reference() ? type->reference()->target : nullptr;
        continue;
      default:  // no type, class template, reserved: nothing
        return;
    }
  }
}

void write_standard_line(const char *indent, std::string_view line_keyword, const char *name,
                         const std::string &init) {
  write_script_pieces({indent, line_keyword, " ", name ? name : "", ",\t\tinit = ", init, ",\t\t",
                       keyword(KW_EXPECTED_VALUE), " = init"});
}

// The standard line with the placeholder of `type`.
void write_placeholder_line(const char *indent, const char *name, const TypeDesc *type, int mode) {
  std::string init;
  const char *line_keyword = kVar;
  placeholder_at(type, init, line_keyword, mode, 0);
  write_standard_line(indent, line_keyword, name, init);
}

// The object a constructor or destructor service works on: a pointer to the
// class, its expected value the class's aggregate.
void write_object_line(const Declaration *decl, const char *indent) {
  if (!decl->name) {
    write_script_line("");
    return;
  }
  std::string id;
  write_qualified_name(id, decl->name, ScopeContext{}, "_", false);
  std::string value, line_keyword = kVar;
  placeholder(decl->scope, value, line_keyword, VM_OBJECT);
  std::string line(indent);
  line += line_keyword;
  line += " *pt_";
  line += id;
  line += ",\t\tinit == ,\t\t";
  line += keyword(KW_EXPECTED_VALUE);
  line += " = ";
  line += value;
  write_script_line(line);
}

// Whether a function's result renders as plain void (a void pointer still
// gets its return variable).
bool result_is_void(const TypeDesc *function) {
  std::string left, middle, right;
  render_type(function->function() ? function->function()->result : nullptr, left, middle, right, 0, "", 0,
              RM_RETURN, nullptr, 1);
  std::string joined = left + middle;
  while (!joined.empty() && joined.back() == ' ') joined.pop_back();
  return joined == "void";
}

// ------------------------------------------------------------ environments

// Declarations that an environment may list: file-scope variables of the
// unit (members belong to their class's aggregate; a typedef name is a type,
// not a variable), static ones only for the inserted tested file.
bool environment_candidate(const Declaration *d, UnitMatch &unit, int included) {
  if (!d || d->scope_kind != 0) return false;
  if (d->storage & SF_TYPEDEF) return false;
  if (!included && (d->storage & SF_STATIC)) return false;
  // "Handler on_a;" with "typedef int Handler(int);" declares a function.
  if (d->type && d->type->kind == TK_NAMED) {
    const TypeDesc *seen = strip_typedefs(d->type);
    if (seen && seen->kind == TK_FUNCTION) return false;
  }
  return unit(d->file);
}

// Whether a candidate makes the block worth writing.
bool counts_for_block(const Declaration *d) {
  const TypeDesc *t = d->type;
  if (!t || type_is_const(t)) return d->name != nullptr;
  switch (t->kind) {
    case TK_ENUM:
    case TK_UNION:
    case TK_CLASS: return d->name != nullptr;
    case TK_ELABORATED: return !same_name(d->name, type_name(t));
    case TK_FUNCTION:
    case TK_TEMPLATE: return false;
    default: return true;
  }
}

// ------------------------------------------------------------ services

// Addresses (of interned names, of analysis records) with a small value in
// the low bits their alignment leaves clear, in one flat array: the services
// pass notes every function of a file, and a heap node per address would
// weigh more than the table's own entry for it.
template <unsigned kValueBits> class AddressMap {
 public:
  // The value kept with the address, or -1 when it has none.
  int find(const void *address) const {
    if (slots_.empty()) return -1;
    const std::uintptr_t a = reinterpret_cast<std::uintptr_t>(address);
    for (std::size_t i = home(a);; i = (i + 1) & mask_) {
      if (!slots_[i]) return -1;
      if ((slots_[i] & ~kValueMask) == a) return static_cast<int>(slots_[i] & kValueMask);
    }
  }
  // Fetches, without reading it, the slot find(address) reads first.
  void prefetch(const void *address) const {
    if (!slots_.empty()) prefetch_memory(&slots_[home(reinterpret_cast<std::uintptr_t>(address))]);
  }
  void set(const void *address, unsigned value) {
    const std::uintptr_t a = reinterpret_cast<std::uintptr_t>(address);
    if (!a || (a & kValueMask) || (value & ~kValueMask)) report_internal(MSG_ERRINTFCT, "address map");
    if ((count_ + 1) * 10 > slots_.size() * 7) grow();
    std::size_t i = home(a);
    while (slots_[i] && (slots_[i] & ~kValueMask) != a) i = (i + 1) & mask_;
    if (!slots_[i]) ++count_;
    slots_[i] = a | value;
  }
  void clear() {
    std::vector<std::uintptr_t>().swap(slots_);
    count_ = 0;
    mask_ = 0;
    shift_ = 64;
  }

 private:
  static constexpr std::uintptr_t kValueMask = (std::uintptr_t{1} << kValueBits) - 1;
  // The top bits of the product: the ones every bit of the address reaches.
  // Middle bits clustered for some heap layouts, tripling the probes.
  std::size_t home(std::uintptr_t a) const {
    return static_cast<std::size_t>((static_cast<std::uint64_t>(a >> kValueBits) * 0x9e3779b97f4a7c15ULL) >> shift_);
  }
  void grow() {
    std::vector<std::uintptr_t> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, 0);
    mask_ = slots_.size() - 1;
    shift_ = 64;
    for (std::size_t n = slots_.size(); n > 1; n >>= 1) --shift_;
    for (std::uintptr_t w : old) {
      if (!w) continue;
      std::size_t i = home(w & ~kValueMask);
      while (slots_[i]) i = (i + 1) & mask_;
      slots_[i] = w;
    }
  }
  std::vector<std::uintptr_t> slots_;
  std::size_t count_ = 0;
  std::size_t mask_ = 0;
  int shift_ = 64;
};

struct ServiceNames {
  AddressMap<0> taken;  // every service name of the run, interned
  bool empty_taken = false;
  // First suffix not yet tried per base name, so that a large overload group
  // does not probe its earlier suffixes again for every new member.
  std::unordered_map<std::string, int> next_suffix;
};

ServiceNames &service_names() {
  static ServiceNames *names = new ServiceNames;  // run lifetime
  return *names;
}

// Parses a declaration the script now holds into the script's own table, in
// the scope of the service, so that later emitters know it.
void declare_in_script(const std::string &text, const char *service) {
  AnalysisSettings &settings = analysis_settings();
  analyse_script_text(text, service, settings.keep_bodies, settings.lenient_matching);
}

// The declarations of one service go to the script's table in a scratch
// section of the service's own scope, which nothing looks into afterwards:
// their analysis can only tell a fault of the text. A run of plain
// declarations (plain_script_declaration) of distinct names has none to
// tell and would be undone with the section, so it is not analysed; the
// first other text has the ones before it analysed first, in order, as if
// none had waited.
class ServiceDeclarations {
 public:
  // service: the interned name, which the pool then finds at once.
  explicit ServiceDeclarations(const char *service)
      : service_(service), fresh_(!table_has_function_scope(table(), service)), waiting_(waiting_texts()) {
    waiting_.clear();
    table_begin_scratch(table(), service_);
  }
  ~ServiceDeclarations() {
    table_end_scratch(table());
    waiting_.clear();
  }
  ServiceDeclarations(const ServiceDeclarations &) = delete;
  ServiceDeclarations &operator=(const ServiceDeclarations &) = delete;

  void declare(const std::string &text) {
    if (!analysing_) {
      std::vector<std::string_view> &declared = waiting_.declared;
      if (fresh_ && plain_script_declaration(text, false, declared) && waiting_.distinct(declared)) {
        waiting_.add(text, declared);
        note_analysis_of(table());
        return;
      }
      analysing_ = true;
      // Nothing is in the section yet. Whatever the script declares before
      // the service goes into the table outside it.
      table_end_scratch(table());
      script_table_complete();
      table_begin_scratch(table(), service_);
      for (std::size_t i = 0; i < waiting_.ends.size(); ++i) declare_in_script(waiting_.text(i), service_);
      waiting_.clear();
    }
    declare_in_script(text, service_);
  }

 private:
  // The texts waiting one after the other in one buffer, and the names they
  // declare as places in it: a file's many services reuse the same storage
  // instead of a string for each text and each name. The services are
  // written one at a time, so one set serves them all.
  struct WaitingTexts {
    std::string texts;
    std::vector<std::size_t> ends;
    std::vector<std::pair<std::size_t, std::size_t>> names;  // offset, length
    std::vector<std::string_view> declared;                  // the reader's list, kept
    void clear() {
      texts.clear();
      ends.clear();
      names.clear();
    }
    std::string text(std::size_t i) const {
      const std::size_t begin = i ? ends[i - 1] : 0;
      return texts.substr(begin, ends[i] - begin);
    }
    bool distinct(const std::vector<std::string_view> &declared_names) const {
      for (std::string_view d : declared_names)
        for (const auto &n : names)
          if (std::string_view(texts).substr(n.first, n.second) == d) return false;
      return true;
    }
    // The declared names are views of `text`.
    void add(const std::string &text, const std::vector<std::string_view> &declared_names) {
      const std::size_t at = texts.size();
      texts += text;
      ends.push_back(texts.size());
      for (std::string_view d : declared_names)
        names.emplace_back(at + static_cast<std::size_t>(d.data() - text.data()), d.size());
    }
  };
  static WaitingTexts &waiting_texts() {
    static WaitingTexts *w = new WaitingTexts;  // process lifetime
    return *w;
  }
  static SymbolTable &table() { return *script_context().table; }

  const char *const service_;
  const bool fresh_;
  bool analysing_ = false;
  WaitingTexts &waiting_;
};

struct Subject {
  Declaration *decl = nullptr;
  TypeDesc *function = nullptr;
  TypeDesc *owner = nullptr;  // class, union or namespace of a member
  bool is_namespace = false;
  bool constructor = false;
  bool destructor = false;
};

std::string scope_text(const TypeDesc *scope, const char *separator, bool verbatim) {
  std::string out;
  ScopeContext context;
  context.kind = 1;
  context.current = const_cast<TypeDesc *>(scope);
  write_qualified_name(out, nullptr, context, separator, verbatim);
  return out;
}

// A parameter without a name still takes an argument: for the length of a
// service it is named "param_" and its position, so that the script declares
// a variable for it and passes it in the call. The names go afterwards: the
// table is the analysed file's.
class GeneratedParameterNames {
 public:
  explicit GeneratedParameterNames(FunctionInfo *info) {
    if (!names_any(info)) return;
    std::unordered_set<std::string> taken;
    for (DeclNode *p = info ? info->first_param : nullptr; p; p = p->next)
      if (p->decl && p->decl->name) taken.insert(p->decl->name);
    int position = 0;
    for (DeclNode *p = info ? info->first_param : nullptr; p; p = p->next) {
      ++position;
      Declaration *d = p->decl;
      if (!names(d)) continue;
      std::string name = "param_" + std::to_string(position);
      while (!taken.insert(name).second) name += '_';
      d->name = intern_string(name.c_str());
      named_.push_back(d);
    }
  }
  ~GeneratedParameterNames() {
    for (Declaration *d : named_) d->name = nullptr;
  }
  static bool names_any(const FunctionInfo *info) {
    for (const DeclNode *p = info ? info->first_param : nullptr; p; p = p->next)
      if (names(p->decl)) return true;
    return false;
  }
  GeneratedParameterNames(const GeneratedParameterNames &) = delete;
  GeneratedParameterNames &operator=(const GeneratedParameterNames &) = delete;

 private:
  static bool names(const Declaration *d) {
    return d && !d->name && d->type && d->type->kind != TK_ELLIPSIS && d->type->kind != TK_VOID;
  }
  std::vector<Declaration *> named_;
};

void write_service(const Subject &s, std::string name) {
  const char *const id = svc_begin(name, s.decl ? s.decl->name : nullptr);
  FunctionInfo *info = s.function->function() ? s.function->function()->info : nullptr;
  // Naming the unnamed parameters changes declarations that the script's
  // extern declarations still to be analysed are rendered from.
  if (GeneratedParameterNames::names_any(info)) script_table_complete();
  // The service's declarations are looked up in its own scope only, and no
  // later service shares its name: once written, they may go.
  ServiceDeclarations script(id);
  const GeneratedParameterNames generated(info);
  bool declared = false;

  bool first = true;
  for (DeclNode *p = info ? info->first_param : nullptr; p; p = p->next) {
    if (!p->decl || !p->decl->name) continue;
    if (first) write_script_pieces({"    ", keyword(KW_COMMENT_PARAMETERS)});
    first = false;
    std::string text;
    render_declaration(p->decl, text, name.c_str(), RM_OBJECT, 0, "", "");
    script.declare(text);
    write_script_pieces({"    #", text});
    declared = true;
  }

  const bool object = s.constructor || s.destructor;
  std::string result;
  render_declaration(s.decl, result, name.c_str(), object ? RM_OBJECT_DECL : RM_RETURN, 0, "", "");
  if (!result.empty()) {
    write_script_pieces({"    ", keyword(KW_COMMENT_RETURN_TYPE)});
    script.declare(result);
    write_script_pieces({"    #", result});
    declared = true;
  }

  const bool method = s.owner && !s.is_namespace && !object;
  std::string instance;
  if (!s.owner) {
    write_script_line("");
  } else if (method) {
    instance = scope_text(s.owner, "_", false) + "_instance";
    write_script_line(std::string("    ") + keyword(KW_COMMENT_CLASS_INSTANCES));
    write_script_line("    #" + scope_text(s.owner, "::", true) + " " + instance + ";");
    write_script_line("");
    declared = true;
  }

  if (declared) {
    svc_env_begin(name);
    for (DeclNode *p = info ? info->first_param : nullptr; p; p = p->next)
      if (p->decl && p->decl->name) emit_var_line(p->decl, "    ", "", VM_PARAMETER);
    emit_var_line(s.decl, "    ", name.c_str(), object ? VM_OBJECT : VM_RESULT);
    if (method) {
      Declaration temporary;
      temporary.name = instance.c_str();
      temporary.type = s.owner;
      emit_var_line(&temporary, "    ", "", VM_GLOBAL);
    }
    svc_env_end(name);
  }

  test_begin();
  std::string call;
  if (s.constructor) {
    render_declaration(s.decl, call, name.c_str(), RM_CONSTRUCT, 0, "", "        #");
  } else if (s.destructor) {
    render_declaration(s.decl, call, name.c_str(), RM_DESTRUCT, 0, "", "        #");
  } else {
    // The members of an unnamed namespace are named from the enclosing scope.
    const std::string space = s.is_namespace ? scope_text(s.owner, "::", true) : std::string();
    if (!space.empty()) write_script_line("        #using namespace " + space + ";");
    render_declaration(s.decl, call, name.c_str(), RM_CALL, 0, "", "        #");
  }
  write_script_line(call);
  svc_end(name);
}

std::string service_base_name(const Declaration *d) {
  std::string name;
  ScopeContext scope;
  scope.kind = d->scope_kind;
  scope.current = d->scope;
  write_qualified_name(name, d->name, scope, "_", false);
  return name;
}

// The services pass's view of the functions' defined flags: a function is
// served once and counts as no longer defined afterwards, and the members of
// a template instance made for the tested file count as defined. The
// analysis itself is only read: the file's other emitters read it too.
struct DefinedFlags {
  static_assert(alignof(FunctionInfo) >= 2, "a flag fits beside the address");
  AddressMap<1> changed;
  bool defined(const FunctionInfo *info) const {
    const int changed_to = changed.find(info);
    return changed_to >= 0 ? changed_to != 0 : info->defined != 0;
  }
  void set(const FunctionInfo *info, bool value) { changed.set(info, value ? 1 : 0); }
  void prefetch(const FunctionInfo *info) const { changed.prefetch(info); }
};

const FunctionInfo *defined_info(const TypeDesc *t, const DefinedFlags &flags) {
  if (!t || t->kind != TK_FUNCTION || !t->function() || !t->function()->info) return nullptr;
  return flags.defined(t->function()->info) ? t->function()->info : nullptr;
}

// The member's own name in a member definition captured with a class
// template: what follows the last "::", without a parameter list.
std::string captured_member_name(const std::string &text) {
  std::string name = text;
  const std::size_t colons = name.rfind("::");
  if (colons != std::string::npos) name = name.substr(colons + 2);
  if (name.compare(0, 8, "operator") != 0) name = name.substr(0, name.find('('));
  const std::size_t first = name.find_first_not_of(" \t\n");
  if (first == std::string::npos) return "";
  return name.substr(first, name.find_last_not_of(" \t\n") + 1 - first);
}

// A class made from a class template for the tested file has the member
// functions that the template defines outside its body: they count as
// defined in the instance, so that they are served with it.
void define_instance_members(TypeDesc *type, DefinedFlags &flags) {
  const TemplateInfo *templ = type->template_word->templ();
  if (!templ || templ->member_definitions.empty()) return;
  std::unordered_set<std::string> defined;
  for (const std::string &text : templ->member_definitions) defined.insert(captured_member_name(text));
  for (MemberNode *m = type->record()->first; m; m = m->next) {
    Declaration *d = m->decl;
    if (!d || !d->name || !defined.count(d->name)) continue;
    TypeDesc *t = d->type;
    if (t && t->kind == TK_FUNCTION && t->function() && t->function()->info) flags.set(t->function()->info, true);
  }
}

void class_services(TypeDesc *type, SymbolTable &table, const char *tested, const char *member_file,
                    DefinedFlags &flags, int depth) {
  if (!type || !type->record() || depth > kNestingLimit) return;
  ClassInfo *r = type->record();
  const bool is_namespace = type->kind == TK_CLASS && r->key == KEY_NAMESPACE;
  // The members of a template instance made for the tested file belong to
  // it, wherever the template itself was written.
  const bool tested_instance = r->instance_mark == 1 && type->template_word && same_unit(member_file, tested);
  const char *class_name = r->name;
  const char *template_name = type->template_word ? type_name(type->template_word) : nullptr;
  for (MemberNode *m = r->first; m; m = m->next) {
    Declaration *d = m->decl;
    if (!d || !same_scope(d->scope, type)) continue;
    TypeDesc *t = d->type;
    if (t && (t->kind == TK_UNION || t->kind == TK_CLASS)) {
      if (t != type && same_scope(t->scope, type)) class_services(t, table, tested, member_file, flags, depth + 1);
      continue;
    }
    if (!d->name || (d->storage & SF_FRIEND)) continue;
    if ((m->access & (ACC_PRIVATE | ACC_PROTECTED)) && !r->friend_of_reference) continue;
    if ((d->storage & SF_VIRTUAL) && !d->text.empty()) continue;  // pure virtual
    const FunctionInfo *info = defined_info(t, flags);
    if (!info) continue;
    if (!tested_instance && !same_unit(d->file, tested)) continue;
    flags.set(info, false);
    if (t->template_word && !is_function_specialisation(t)) continue;  // a member function template
    Subject s;
    s.decl = d;
    s.function = t;
    s.owner = type;
    s.is_namespace = is_namespace;
    s.constructor = !is_namespace && (same_name(d->name, class_name) || same_name(d->name, template_name));
    s.destructor = !is_namespace && d->name[0] == '~';
    write_service(s, service_base_name(d));
  }
}

}  // namespace

namespace {

bool same_unit_part(const char *file_a, const char *file_b) {
  if (!file_a || !file_b) return false;
  const char *a, *a_end, *b, *b_end;
  unit_part(file_a, a, a_end);
  unit_part(file_b, b, b_end);
  if (a_end - a != b_end - b) return false;
  for (; a < a_end; ++a, ++b) {
    const unsigned char ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
    if (ca == cb) continue;
    if (ca >= 128 || cb >= 128 || std::tolower(ca) != std::tolower(cb)) return false;
  }
  return true;
}

}  // namespace

bool same_unit(const char *file_a, const char *file_b) {
  if (std::getenv("QZW_NOBASENAME")) return true;
  return same_unit_part(file_a, file_b);
}

UnitMatch::UnitMatch(const char *path) : path_(path), any_(std::getenv("QZW_NOBASENAME") != nullptr) {}

bool UnitMatch::matches(const char *file) const { return any_ || same_unit_part(file, path_); }

void placeholder(const TypeDesc *type, std::string &init_text, std::string &keyword, int mode) {
  const char *word = nullptr;
  placeholder_at(type, init_text, word, mode, 0);
  if (word) keyword = word;
}

void emit_var_line(const Declaration *decl, const char *indent, const char *svc_name, int mode) {
  if (!decl) return;
  const TypeDesc *t = decl->type;
  if (!t) {
    if (decl->name) write_standard_line(indent, kVar, decl->name, "0");
    return;
  }
  switch (t->kind) {
    case TK_POINTER:
      if (mode == VM_PARAMETER && !type_is_char_string(t)) {
        // The script variable of a pointer parameter is the object it
        // designates; pointers to functions and arrays stay pointers.
        const TypeDesc *target = t->pointer() ? t->pointer()->target : nullptr;
        const TypeDesc *seen = strip_typedefs(target);
        if ((seen && (seen->kind == TK_FUNCTION || seen->kind == TK_ARRAY)) || t->pointer()->member_class) target = t;
        write_placeholder_line(indent, decl->name, target, mode);
        return;
      }
      break;
    case TK_ENUM:
    case TK_UNION:
    case TK_CLASS:
      if (!decl->name) return;
      break;
    case TK_ELABORATED:
      if (same_name(decl->name, type_name(t))) return;
      break;
    case TK_FUNCTION:
      if (mode == VM_RESULT) {
        // A member without a result (a conversion function) has no return
        // variable declared: only an old-style function outside any scope is int.
        if (result_is_void(t) || (t->function() && !t->function()->result && decl->scope_kind)) return;
        const std::string name = std::string("ret_") + (svc_name ? svc_name : "");
        write_placeholder_line(indent, name.c_str(), t, mode);
      } else if (mode == VM_OBJECT) {
        write_object_line(decl, indent);
      }
      return;
    case TK_REFERENCE:
      if (mode == VM_PARAMETER) {
        write_placeholder_line(indent, decl->name, t->reference() ? t->reference()->target : nullptr, mode);
        return;
      }
      break;
    case TK_TEMPLATE: return;
    default: break;
  }
  write_placeholder_line(indent, decl->name, t, mode);
}

void emit_file_environment(const std::string &path, SymbolTable &table, int included) {
  std::string directory, file;
  split_path(path, directory, file);
  UnitMatch unit(file.c_str());

  bool wanted = false;
  for (int b = 0; b < TABLE_BUCKETS && !wanted; ++b)
    for (Symbol *s = table.ordinary[b].first; s && !wanted; s = s->next)
      wanted = environment_candidate(s->decl, unit, included) && counts_for_block(s->decl);
  if (!wanted) return;

  write_script_line("");
  write_script_line(std::string(keyword(KW_COMMENT_FILE_ENVIRONMENT)) + path);

  std::string base = file, suffix;
  const std::size_t dot = file.rfind('.');
  if (dot != std::string::npos) {
    base = file.substr(0, dot);
    suffix = file.substr(dot + 1);
  }
  identifier_chars(base);
  identifier_chars(suffix);
  const std::string env_name = "ENV_" + base + "_" + suffix;

  write_script_line(std::string(keyword(KW_ENVIRONMENT)) + " " + env_name);
  for_each_symbol_ahead(table, table.ordinary, [&](Symbol *s) {
    if (environment_candidate(s->decl, unit, included) && !type_is_const(s->decl->type))
      emit_var_line(s->decl, "  ", "", VM_GLOBAL);
  });
  write_script_line(std::string(keyword(KW_END)) + " " + keyword(KW_ENVIRONMENT) + " -- " + env_name);
  write_script_line(std::string(keyword(KW_USE)) + " " + env_name);
  write_script_line("");
}

// The unique name into `unique`; returns its interned copy. Names are
// interned, so the address stands for the text (the empty name is the
// pool's null, which the set does not hold).
// `copy`, when given, is the pool's copy of `name`: a declaration's own
// name. Interning the name again would look it up in an index that a file
// of many functions has long pushed out of the caches.
static const char *claim_service_name(const std::string &name, std::string &unique, const char *copy) {
  ServiceNames &names = service_names();
  const char *interned = nullptr;
  // The service's scope and declarations are then looked up by the copy:
  // the pool answers for it at once.
  if (copy) intern_note_copy(copy);
  auto taken = [&names, &interned, &name, copy](const std::string &n) {
    interned = copy && &n == &name ? copy : intern_string(n.c_str(), n.size());
    return interned ? names.taken.find(interned) >= 0 : names.empty_taken;
  };
  unique = name;
  if (taken(name)) {
    int &n = names.next_suffix[name];
    if (n < 2) n = 2;
    for (;; ++n) {
      unique = name + "_" + std::to_string(n);
      if (!taken(unique)) break;
    }
    ++n;
  }
  if (interned)
    names.taken.set(interned, 0);
  else
    names.empty_taken = true;
  return interned;
}

std::vector<Symbol *> &spare_symbol_walk_list() {
  static std::vector<Symbol *> *spare = new std::vector<Symbol *>;  // process lifetime
  return *spare;
}

std::string unique_service_name(const std::string &name) {
  std::string unique;
  claim_service_name(name, unique, nullptr);
  return unique;
}

void reset_service_names() {
  ServiceNames &names = service_names();
  names.taken.clear();
  names.empty_taken = false;
  names.next_suffix.clear();
}

// The fixed lines of a service are written a group at a time: the pieces
// of a group carry the line ends between its lines.
const char *svc_begin(std::string &name, const char *interned_name) {
  std::string unique;
  const char *claimed =
      claim_service_name(name, unique, interned_name && name == interned_name ? interned_name : nullptr);
  name.swap(unique);
  const std::string_view rule = rule_line();
  write_script_pieces({"\n", rule, "\n", keyword(KW_COMMENT_SERVICE), name, "\n", rule, "\nSERVICE ", name, "\n",
                       keyword(KW_SERVICE_TYPE), " ", keyword(KW_SERVICE_TYPE_VALUE), "\n"});
  return claimed;
}

void svc_env_begin(const std::string &name) {
  write_script_pieces({"    ", keyword(KW_ENVIRONMENT), " ENV_", name});
}

void svc_env_end(const std::string &name) {
  const char *environment = keyword(KW_ENVIRONMENT);
  write_script_pieces({"    ", keyword(KW_END), " ", environment, " -- ENV_", name, "\n    ", keyword(KW_USE), " ENV_",
                       name, "\n"});
}

void test_begin() {
  write_script_pieces({"    TEST 1\n    ", keyword(KW_FAMILY), " nominal\n\n        ELEMENT"});
}

void svc_end(const std::string &name) {
  const char *end = keyword(KW_END);
  write_script_pieces({"        ", end, " ELEMENT\n\n    ", end, " TEST -- TEST 1\n\n", end, " SERVICE -- ", name, "\n"});
}

void emit_services(const std::string &tested_path, SymbolTable &table) {
  const bool insert = generator_options().insert_requested != 0;
  DefinedFlags flags;
  const char *tested = tested_path.c_str();
  UnitMatch in_tested(tested);
  for_each_symbol_ahead(table, table.ordinary, [&](Symbol *s) {
    Declaration *d = s->decl;
    // Members are served class by class below; typedef names are types.
    if (!d || d->scope_kind != 0 || (d->storage & SF_TYPEDEF)) return;
    if ((d->storage & SF_STATIC) && !insert) return;
    TypeDesc *t = d->type;
    for (int hops = 0; t && t->kind == TK_ELABORATED && hops < kNestingLimit; ++hops)
      t = t->elaborated() ? t->elaborated()->named : nullptr;
    const FunctionInfo *info = defined_info(t, flags);
    if (!info) return;
    flags.set(info, false);  // served once, however often it is reached
    if (!in_tested(d->file)) return;
    // A function template is no function a test can call until it is
    // instantiated, and its parameter types are template parameters.
    if (t->template_word && !is_function_specialisation(t)) return;
    Subject subject;
    subject.decl = d;
    subject.function = t;
    write_service(subject, service_base_name(d));
  }, [&flags](const Symbol *s, int step) {
    prefetch_function_parts(s, step);
    // A file of many functions makes the maps of the served functions and
    // of the services' names larger than the caches: each function's places
    // there are fetched with its parts, a step after its own record.
    if (step != 2) return;
    const Declaration *d = s->decl;
    const TypeDesc *t = d ? d->type : nullptr;
    if (!t || t->kind != TK_FUNCTION || !t->function()) return;
    flags.prefetch(t->function()->info);
    if (d->name) service_names().taken.prefetch(d->name);
  });
  for_each_symbol(table.tags, [&](Symbol *s) {
    Declaration *d = s->decl;
    TypeDesc *t = d ? d->type : nullptr;
    if (!t || (t->kind != TK_UNION && t->kind != TK_CLASS)) return;
    if (t->record() && t->record()->instance_mark == 1 && t->template_word && same_unit(d->file, tested))
      define_instance_members(t, flags);
    class_services(t, table, tested, d->file, flags, 0);
  });
}

void emit_class_services(TypeDesc *type, SymbolTable &table, const char *tested_name, const char *member_file) {
  DefinedFlags flags;
  class_services(type, table, tested_name, member_file, flags, 0);
}

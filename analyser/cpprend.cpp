// Types and declarations written back as C/C++ text.
#include "cpprend.h"

#include <cstdio>
#include <cstring>
#include <set>

#include "cppname.h"
#include "cpptab.h"
#include "merror.h"
#include "y_cppe.h"

namespace {

// Deeper type graphs cannot come from the grammar (its own nesting limit is
// far lower); the bound only keeps hand-built or corrupted graphs from
// exhausting the stack.
constexpr int kRenderDepthLimit = 4000;

// State of one top-level rendering.
struct RenderState {
  int depth = 0;
  bool failed = false;
  const char *file = nullptr;  // position for bound expressions and reports
  int line = 0;
};
RenderState g_state;

// What every rendering so far did that decides whether another rendering
// of the same declaration would differ by more than its line prefix.
RenderTrace g_trace;

struct DepthGuard {
  bool ok;
  DepthGuard() {
    if (g_state.depth == 0) g_state.failed = false;
    ok = ++g_state.depth <= kRenderDepthLimit;
    if (!ok && !g_state.failed) {
      g_state.failed = true;
      ++g_trace.table_reads;
      analyser_report(MSG_SYNTAXERR, "type nested too deeply to be written",
                      g_state.file, g_state.line);
    }
  }
  ~DepthGuard() { --g_state.depth; }
};

void add_tabs(std::string &out, int n) { out.append(n > 0 ? static_cast<size_t>(n) : 0, '\t'); }

void new_line(std::string &out, const char *prefix, int tabs) {
  ++g_trace.line_breaks;
  out += '\n';
  if (prefix) out += prefix;
  add_tabs(out, tabs);
}

void trim_right(std::string &s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
}

// A blank before what follows, unless the text is empty or already ends with
// a blank or an opening parenthesis.
void blank_if_needed(std::string &s) {
  if (!s.empty() && s.back() != ' ' && s.back() != '(' && s.back() != '\t') s += ' ';
}

bool is_word_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$';
}

// Removes the whole word "const" (and one blank after it); "constant_t" and
// "my_const" stay.
void cut_const(std::string &s) {
  for (size_t pos = s.find("const"); pos != std::string::npos; pos = s.find("const", pos)) {
    const bool start_ok = pos == 0 || !is_word_char(s[pos - 1]);
    const bool end_ok = pos + 5 >= s.size() || !is_word_char(s[pos + 5]);
    if (start_ok && end_ok) {
      size_t n = 5;
      if (pos + n < s.size() && s[pos + n] == ' ') ++n;
      s.erase(pos, n);
    } else {
      pos += 5;
    }
  }
}

bool is_aggregate(const TypeDesc *t) {
  return t && (t->kind == TK_ENUM || t->kind == TK_UNION || t->kind == TK_CLASS);
}

// Typedef names, elaborated names and references, as the object form does.
const TypeDesc *see_through(const TypeDesc *t) { return see_through_names(t, false); }

bool is_string_char(const TypeDesc *t) { return is_text_char(see_through(t)); }

const TypeDesc *pointer_target(const TypeDesc *t) {
  return t && t->kind == TK_POINTER && t->pointer() ? t->pointer()->target : nullptr;
}

// Pointers kept as pointers in the object and stub forms.
bool keeps_pointer(const TypeDesc *target) {
  const TypeDesc *s = see_through(target);
  return !s || s->kind == TK_FUNCTION || s->kind == TK_ARRAY || s->kind == TK_VOID;
}

bool is_char_string(const TypeDesc *t) {
  const TypeDesc *s = see_through(t);
  if (!s) return false;
  if (s->kind == TK_POINTER) return is_string_char(pointer_target(s));
  if (s->kind == TK_ARRAY && s->array()) return is_string_char(s->array()->element);
  return false;
}

// The record whose guard stands for a class: a copy made to carry qualifiers
// shares the record, so the guard must be that of the record's own type.
TypeDesc *guard_owner(const TypeDesc *t) {
  if (t->record() && t->record()->self) return t->record()->self;
  return const_cast<TypeDesc *>(t);
}

const TypeDesc *class_scope(const TypeDesc *scope) {
  // Function scopes do not qualify names.
  if (scope && (scope->kind == TK_CLASS || scope->kind == TK_UNION || scope->kind == TK_TEMPLATE))
    return scope;
  return nullptr;
}

bool belongs_to(const TypeDesc *t, const TypeDesc *current) {
  const TypeDesc *s = class_scope(t->scope);
  if (!s && !class_scope(current)) return true;
  return s && current && same_scope(s, current);
}

void qualified_type_name(std::string &out, const TypeDesc *t, const char *name) {
  ScopeContext ctx;
  ctx.kind = class_scope(t->scope) ? 1 : 0;
  ctx.current = const_cast<TypeDesc *>(class_scope(t->scope));
  write_qualified_name(out, name, ctx, "::", true);
}

void render_chain(const TypeDesc *next, std::string &left, int mode) {
  for (int guard = 0; next && guard < 10000; next = next->next, ++guard) {
    if (next->kind == TK_NAMED && next->named()) {
      if (next->named()->name && *next->named()->name) {
        left += next->named()->name;
        left += ' ';
      }
    } else {
      break;
    }
  }
  if (mode == RM_RETURN || mode == RM_OBJECT) cut_const(left);
}

// Qualifiers after a type that renders by name.
void render_follow(const TypeDesc *t, std::string &left, int mode, int follow) {
  if (!follow || !t->next) return;
  blank_if_needed(left);
  render_chain(t->next, left, mode);
}

std::string bound_text(const ArrayInfo &a, int mode) {
  if (a.has_bound_text) {
    if (a.bound_text.find_first_not_of(" \t\n") == std::string::npos) return "100";
    return a.bound_text.str();
  }
  if (!a.bound_expression.empty()) {
    ++g_trace.table_reads;
    auto r = analyse_expression(a.bound_expression.c_str(), "", g_state.file ? g_state.file : "",
                                g_state.line, expression_bound_callback);
    if (r) {
      if (r->kind == EXPR_INTEGER_CONSTANT) {
        int32_t v = 0;
        const bool fits = pint_fits(&r->value, 31, pint_is_negative(&r->value));
        if (fits) pint_to_int(&v, &r->value);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%d", static_cast<int>(v));
        return fits ? std::string(buf) : std::string("1");
      }
      return mode == RM_OBJECT ? "100" : "1";
    }
  }
  return mode == RM_OBJECT ? "100" : "";
}

// "(...)" of a function type: each parameter written by `write` after its
// separator, the ellipsis as "...".
template <typename Write> void write_parameters(const TypeDesc *f, std::string &out, Write write) {
  out += '(';
  bool first = true;
  for (const DeclNode *n = f->function()->info ? f->function()->info->first_param : nullptr; n;
       n = n->next) {
    const Declaration *p = n->decl;
    if (!p) continue;
    if (p->type && p->type->kind == TK_ELLIPSIS) {
      out += first ? "..." : ", ...";
      first = false;
      continue;
    }
    if (!first) out += ", ";
    first = false;
    write(p);
  }
  out += ')';
}

// Whether `text` holds `name` as a whole identifier.
bool mentions_name(const std::string &text, const char *name) {
  const std::size_t n = std::strlen(name);
  auto ident = [](char c) { return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
  for (std::size_t i = text.find(name); i != std::string::npos; i = text.find(name, i + 1))
    if ((i == 0 || !ident(text[i - 1])) && (i + n >= text.size() || !ident(text[i + n]))) return true;
  return false;
}

// Whether the result of a function type is a decltype (or typeof) whose
// expression names one of the function's parameters: auto f(int a) -> decltype(a).
bool result_names_parameters(const TypeDesc *f) {
  const FunctionInfo *info = f->function()->info;
  if (!info || !info->first_param) return false;
  const TypeDesc *r = f->function()->result;
  for (int guard = 0; r && guard < 1000; ++guard) {
    if (r->kind == TK_POINTER && r->pointer()) r = r->pointer()->target;
    else if (r->kind == TK_REFERENCE && r->reference()) r = r->reference()->target;
    else break;
  }
  if (!r || r->kind != TK_NAMED || !r->named() || r->named()->aliased || !r->named()->name) return false;
  const std::string text = r->named()->name;
  if (text.compare(0, 9, "decltype(") != 0 && text.find("typeof") == std::string::npos) return false;
  for (const DeclNode *n = info->first_param; n; n = n->next)
    if (n->decl && n->decl->name && mentions_name(text, n->decl->name)) return true;
  return false;
}

// The word a basic type without qualifiers renders as in every mode, when
// render_type would write it: most parameters are of one, and need no
// parts of their own.
const char *basic_type_word(const TypeDesc *t) {
  if (!t || t->next || g_state.failed || g_state.depth >= kRenderDepthLimit) return nullptr;
  if (t->kind == TK_VOID) return "void";
  if (t->kind != TK_INTEGER && t->kind != TK_FLOATING) return nullptr;
  const char *n = type_name(t);
  return n ? n : "int";
}

void render_param_list(const TypeDesc *f, std::string &right, const TypeDesc *current) {
  write_parameters(f, right, [&](const Declaration *p) {
    const char *head = p->storage & SF_PACK ? "..." : "";
    if (const char *word = basic_type_word(p->type)) {
      append_declarator(right, word, "", head, p->name ? p->name : "", "");
    } else {
      std::string l, m, r;
      render_type(p->type, l, m, r, 0, "", 0, RM_ORDINARY, current, 1);
      append_declarator(right, l, m, head, p->name ? p->name : "", r);
    }
    if (!p->text.empty()) {
      right += " = ";
      right += p->text;
    }
  });
}

void render_function_suffix(const TypeDesc *f, std::string &right, const TypeDesc *current) {
  render_param_list(f, right, current);
  const FunctionInfo *info = f->function()->info;
  if (!info) return;
  if (info->qualifiers) {
    std::string q;
    render_chain(info->qualifiers, q, RM_ORDINARY);
    trim_right(q);
    if (!q.empty()) right += ' ' + q;
  }
  if (info->has_exception_spec || info->first_except) {
    right += " throw (";
    bool first = true;
    for (const TypeNode *n = info->first_except; n; n = n->next) {
      if (!first) right += ", ";
      first = false;
      std::string l, m, r;
      render_type(n->type, l, m, r, 0, "", 0, RM_ORDINARY, current, 1);
      append_declarator(right, l, m, "", "", r);
    }
    right += ')';
  }
}

const char *access_label(int access) {
  switch (access & ACC_MASK) {
    case ACC_PRIVATE: return "private:";
    case ACC_PROTECTED: return "protected:";
    default: return "public:";
  }
}

// A declaration of the tag itself ("struct S;" entered under the name S),
// which must not repeat the name as a declarator.
bool is_tag_declaration(const Declaration *d) {
  if (!d->type || !d->name || (d->storage & SF_TYPEDEF)) return false;
  const TypeKind k = d->type->kind;
  if (k != TK_ENUM && k != TK_UNION && k != TK_CLASS && k != TK_TEMPLATE) return false;
  const char *n = type_name(d->type);
  return n && std::strcmp(n, d->name) == 0;
}

// The aggregate a declarator's type is built on ("struct {...} *a[2]").
const void *base_record(const TypeDesc *t) {
  for (int guard = 0; t && guard < 10000; ++guard) {
    if (t->kind == TK_POINTER && t->pointer())
      t = t->pointer()->target;
    else if (t->kind == TK_ARRAY && t->array())
      t = t->array()->element;
    else if (t->kind == TK_REFERENCE && t->reference())
      t = t->reference()->target;
    else if (t->kind == TK_FUNCTION && t->function())
      t = t->function()->result;
    else
      break;
  }
  if (!t) return nullptr;
  if (t->record()) return t->record();
  if (t->enumeration()) return t->enumeration();
  return nullptr;
}

void render_template_head(const TemplateInfo *ti, std::string &left, const char *prefix, int depth,
                          const TypeDesc *current, bool with_defaults = true);

// " = default" or " = delete" after a function's declarator, as declared.
const char *special_definition_text(const TypeDesc *t) {
  const FunctionInfo *info = t && t->kind == TK_FUNCTION && t->function() ? t->function()->info : nullptr;
  if (!info) return "";
  return info->special_definition == SD_DEFAULT ? " = default" : info->special_definition == SD_DELETE ? " = delete" : "";
}

void render_members(const TypeDesc *t, std::string &left, const char *prefix, int depth,
                    const TypeDesc *self) {
  const ClassInfo *rec = t->record();
  const bool is_namespace = rec->key == KEY_NAMESPACE;
  int access = rec->key == KEY_CLASS ? ACC_PRIVATE : ACC_PUBLIC;
  for (const MemberNode *m = rec->first; m; m = m->next) {
    const Declaration *d = m->decl;
    if (!d || member_declares_next(m)) continue;
    if (!is_namespace && t->kind == TK_CLASS && (m->access & ACC_MASK) &&
        (m->access & ACC_MASK) != access) {
      access = m->access & ACC_MASK;
      new_line(left, prefix, depth + 1);
      left += access_label(access);
    }
    new_line(left, prefix, depth + 1);
    std::string line;
    const TypeDesc *mt = d->type;
    // A member function template keeps its template head.
    if (mt && mt->kind == TK_FUNCTION && mt->template_word && mt->template_word->templ())
      render_template_head(mt->template_word->templ(), line, prefix, depth + 1, self);
    storage_text(d->storage, line);
    // A type defined inside this class is written where it is declared.
    // A type defined inside this class is written where it is declared: an
    // unnamed one with its declarator, a named one at its own member entry.
    const bool nested = is_aggregate(mt) && (!type_name(mt) || (is_tag_declaration(d) &&
                                                               class_scope(mt->scope) &&
                                                               same_scope(mt->scope, self)));
    std::string l, m2, r;
    if (!render_type(mt, l, m2, r, nested ? 1 : 0, prefix, depth + 1, RM_ORDINARY, self, 1)) {
      g_state.failed = true;
      return;
    }
    append_declarator(line, l, m2, "", is_tag_declaration(d) ? "" : (d->name ? d->name : ""), r);
    if ((d->bit_width() > 0 || (!d->name && (d->storage & SF_BITFIELD))) && mt && mt->kind != TK_FUNCTION &&
        !(d->storage & SF_TYPEDEF))
      line += " : " + std::to_string(d->bit_width());
    if (mt && mt->kind == TK_FUNCTION && (d->storage & SF_VIRTUAL) && !d->text.empty())
      line += " = " + d->text;
    line += special_definition_text(mt);
    left += line;
    left += ';';
  }
}

void render_bases(const TypeDesc *t, std::string &left) {
  bool first = true;
  for (const BaseNode *b = t->record()->first_base; b; b = b->next) {
    if (!b->base) continue;
    left += first ? " : " : ", ";
    first = false;
    if (b->is_virtual) left += "virtual ";
    left += (b->access & ACC_MASK) == ACC_PUBLIC      ? "public "
            : (b->access & ACC_MASK) == ACC_PROTECTED ? "protected "
                                                      : "private ";
    const char *n = type_name(b->base);
    if (n) qualified_type_name(left, b->base, n);
  }
}

void render_record(const TypeDesc *t, std::string &left, int body, const char *prefix, int depth,
                   int mode, const TypeDesc *current, int follow) {
  const ClassInfo *rec = t->record();
  const char *name = rec->name;
  TypeDesc *owner = guard_owner(t);
  const bool has_members = rec->has_body || rec->first;
  const bool unnamed = !name || !*name;
  // An explicit specialisation has a body of its own; an instance is
  // declared by its template.
  const bool write_body = (body || unnamed) && has_members && !owner->rendering_guard &&
                          (rec->instance_mark == IM_OWN || rec->explicit_specialisation);
  const char *key = t->kind == TK_UNION            ? "union "
                    : rec->key == KEY_NAMESPACE    ? "namespace "
                    : rec->key == KEY_CLASS        ? "class "
                                                   : "struct ";
  bool with_key;
  if (write_body || mode == RM_CLASS_KEY || unnamed)
    with_key = true;
  else if (mode == RM_NO_CLASS_KEY || rec->instance_mark || t->template_word ||
           (rec->key == KEY_NAMESPACE && mode != RM_TEMPLATE_ARG))
    with_key = false;
  else
    with_key = belongs_to(t, current) || !class_scope(t->scope);
  blank_if_needed(left);
  if (with_key && rec->explicit_specialisation && (write_body || mode == RM_CLASS_KEY)) left += "template <> ";
  if (with_key) {
    left += key;
    if (write_body) left += rec->alignment;
    if (!unnamed) left += name;
  } else if (!unnamed) {
    qualified_type_name(left, t, name);
  }
  if (write_body) {
    owner->rendering_guard = 1;
    if (t->kind == TK_CLASS && rec->key != KEY_NAMESPACE) render_bases(t, left);
    trim_right(left);
    left += " {";
    render_members(t, left, prefix, depth, t);
    new_line(left, prefix, depth);
    left += '}';
    owner->rendering_guard = 0;
  }
  render_follow(t, left, mode, follow);
}

void render_enum(const TypeDesc *t, std::string &left, int body, const char *prefix, int depth,
                 int mode, const TypeDesc *current, int follow) {
  const EnumInfo *e = t->enumeration();
  const char *name = e->name;
  const bool unnamed = !name || !*name;
  TypeDesc *owner = const_cast<TypeDesc *>(t);
  const bool write_body = (body || unnamed) && e->first && !owner->rendering_guard;
  blank_if_needed(left);
  if (write_body || unnamed || mode == RM_CLASS_KEY || belongs_to(t, current) ||
      !class_scope(t->scope)) {
    left += "enum ";
    // The key and the fixed underlying type belong to the definition (and
    // to an opaque declaration); a use names the enumeration alone.
    const bool defining = (write_body || mode == RM_CLASS_KEY) && !unnamed;
    if (defining && e->scoped) left += e->scoped == 1 ? "class " : "struct ";
    if (!unnamed) left += name;
    if ((write_body || (defining && (e->scoped || e->underlying))) && e->underlying) {
      std::string ul, um, ur;
      render_type(e->underlying, ul, um, ur, 0, "", 0, RM_ORDINARY, nullptr, 1);
      std::string u = ul + um + ur;
      trim_right(u);
      trim_right(left);
      left += " : " + u;
    }
  } else {
    qualified_type_name(left, t, name);
  }
  if (write_body) {
    owner->rendering_guard = 1;
    trim_right(left);
    left += " {";
    for (const EnumeratorRec *r = e->first; r; r = r->next) {
      new_line(left, prefix, depth + 1);
      left += r->name ? r->name : "";
      if (r->has_value && !r->value_text.empty()) {
        left += " = ";
        left += r->value_text;
      }
      if (r->next) left += ',';
    }
    new_line(left, prefix, depth);
    left += '}';
    owner->rendering_guard = 0;
  }
  render_follow(t, left, mode, follow);
}

void render_template_head(const TemplateInfo *ti, std::string &left, const char *prefix, int depth,
                          const TypeDesc *current, bool with_defaults) {
  left += "template <";
  bool first = true;
  for (const TemplateParam *p = ti->first_param; p; p = p->next) {
    if (!first) left += ", ";
    first = false;
    if (p->is_type) {
      left += p->template_head;
      left += p->is_class ? "class" : "typename";
      left += p->pack ? "... " : " ";
      left += p->name ? p->name : "";
    } else {
      std::string l, m, r;
      render_type(p->value_type, l, m, r, 0, prefix, depth, RM_TEMPLATE_ARG, current, 1);
      append_declarator(left, l, m, p->pack ? "..." : "", p->name ? p->name : "", r);
    }
    if (p->has_default && with_defaults) {
      left += " = ";
      left += p->default_text;
    }
  }
  left += "> ";
}

void render_template(const TypeDesc *t, std::string &left, int body, const char *prefix,
                     int depth, int mode, const TypeDesc *current, int follow) {
  const TemplateInfo *ti = t->templ();
  // A definition after its declaration: the defaults stand in the
  // declaration, written before it; a compiler refuses them twice.
  render_template_head(ti, left, prefix, depth, current, !(body && ti->declared_before && !ti->alias));
  if (ti->alias) {
    left += "using ";
    if (ti->name) left += ti->name;
    // An alias has no declaration without its type: "using X;" is no C++.
    if (!ti->body.empty()) left += " = " + ti->body;
    render_follow(t, left, mode, follow);
    return;
  }
  left += ti->key == KEY_CLASS ? "class " : ti->key == KEY_UNION ? "union " : "struct ";
  if (body && ti->has_body) left += ti->alignment;
  if (ti->name) left += ti->name;
  if (body && ti->has_body && !ti->body.empty()) {
    // The body is the captured source text: every line of it after the first
    // must carry the prefix too, or it would leave the embedded text.
    // (A source with CR LF line ends leaves its CR out: the script's lines
    // end with LF alone.)
    left += ' ';
    const std::string &text = ti->body;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n')
        new_line(left, prefix, depth);
      else if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
        left += text[i];
    }
  }
  render_follow(t, left, mode, follow);
}

}  // namespace

// Its body is written with w; writing it at its own entry as well would add
// an anonymous member.
bool member_declares_next(const MemberNode *m) {
  if (!m || !m->decl) return false;
  const TypeDesc *t = m->decl->type;
  if (!is_aggregate(t) || type_name(t) || m->decl->name || !m->next || !m->next->decl) return false;
  const void *rec = t->record() ? static_cast<const void *>(t->record())
                              : static_cast<const void *>(t->enumeration());
  return rec && base_record(m->next->decl->type) == rec;
}


void append_declarator(std::string &out, std::string_view left, std::string_view middle,
                       std::string_view name_head, std::string_view name, std::string_view right) {
  std::size_t n = left.size();
  while (n && (left[n - 1] == ' ' || left[n - 1] == '\t')) --n;
  const bool blank = (!middle.empty() || !name_head.empty() || !name.empty()) && n && left[n - 1] != '(';
  const std::size_t total = n + (blank ? 1 : 0) + middle.size() + name_head.size() + name.size() + right.size();
  // Most declarators are short: they are put together here and appended
  // at once, each append of a string costing more than its copy.
  char joined[128];
  if (total <= sizeof joined) {
    char *p = joined;
    auto put = [&p](std::string_view piece) {
      if (!piece.empty()) std::memcpy(p, piece.data(), piece.size());
      p += piece.size();
    };
    put(left.substr(0, n));
    if (blank) *p++ = ' ';
    put(middle);
    put(name_head);
    put(name);
    put(right);
    // The blanks at the end of this text go, never those of the text before it.
    while (p > joined && (p[-1] == ' ' || p[-1] == '\t')) --p;
    out.append(joined, static_cast<std::size_t>(p - joined));
    return;
  }
  const std::size_t base = out.size();
  out.append(left.data(), n);
  if (blank) out += ' ';
  out.append(middle.data(), middle.size());
  out.append(name_head.data(), name_head.size());
  out.append(name.data(), name.size());
  out.append(right.data(), right.size());
  std::size_t end = out.size();
  while (end > base && (out[end - 1] == ' ' || out[end - 1] == '\t')) --end;
  out.resize(end);
}

std::string join_declarator(const std::string &left, const std::string &middle,
                            const std::string &name, const std::string &right) {
  std::string out;
  append_declarator(out, left, middle, "", name, right);
  return out;
}

int render_type(const TypeDesc *type, std::string &left, std::string &middle, std::string &right,
                int body, const char *indent_prefix, int depth, int mode,
                const TypeDesc *current_class, int follow) {
  DepthGuard guard;
  if (!guard.ok || g_state.failed) return 0;
  if (!indent_prefix) indent_prefix = "";
  if (!type) {
    blank_if_needed(left);
    left += "int";
    return 1;
  }
  const TypeDesc *t = type;
  switch (t->kind) {
    case TK_INTEGER:
    case TK_FLOATING: {
      const char *n = type_name(t);
      blank_if_needed(left);
      left += n ? n : "int";
      render_follow(t, left, mode, follow);
      return 1;
    }
    case TK_VOID:
      blank_if_needed(left);
      left += "void";
      render_follow(t, left, mode, follow);
      return 1;
    case TK_POINTER: {
      const TypeDesc *target = t->pointer() ? t->pointer()->target : nullptr;
      if (mode == RM_OBJECT) {
        if (is_string_char(target)) {
          // "char", or "signed char" when that is the pointed-to type: the
          // buffer is passed where the pointer was.
          const TypeDesc *c = see_through(target);
          const char *cn = c->integer()->name;
          blank_if_needed(left);
          left += cn && std::strcmp(cn, "signed char") == 0 ? "signed char " : "char ";
          right += "[200]";
          return 1;
        }
        // A pointer to member designates no object: it stays what it is.
        if (!keeps_pointer(target) && !t->pointer()->member_class) {
          // Only the outer pointer goes: the script passes the object's
          // address, so a pointer to a pointer stays a pointer variable
          // (assignable: const removed as in the return form).
          const TypeDesc *x = see_through(target);
          const int inner = x && x->kind == TK_POINTER ? RM_RETURN : RM_OBJECT;
          return render_type(target, left, middle, right, body, indent_prefix, depth,
                             inner, current_class, follow);
        }
      }
      // In the assignable forms only the pointer's own const goes; what it
      // points to keeps its qualifiers, or the value could not be assigned.
      const bool assignable = mode == RM_RETURN || mode == RM_OBJECT;
      const int target_mode = assignable ? RM_ORDINARY : mode;
      std::string tl, tm, tr;
      if (!render_type(target, tl, tm, tr, 0, indent_prefix, depth, target_mode,
                       current_class, 1))
        return 0;
      std::string quals;
      if (follow && t->next) render_chain(t->next, quals, assignable ? RM_RETURN : mode);
      const TypeDesc *bare = target;
      const bool parens = bare && (bare->kind == TK_FUNCTION || bare->kind == TK_ARRAY);
      left += tl;
      if (parens) {
        trim_right(left);
        if (!tm.empty()) {
          blank_if_needed(left);
          left += tm;
        } else {
          left += ' ';
        }
        left += '(';
      } else if (t->pointer() && t->pointer()->member_class) {
        // The steps of the member's own type stand before the class name
        // ("int *C::*"): after it they would make another type ("int C::**").
        blank_if_needed(left);
        left += tm;
      } else {
        middle += tm;
      }
      if (t->pointer() && t->pointer()->member_class) {
        const char *cn = type_name(t->pointer()->member_class);
        blank_if_needed(left);
        if (cn) qualified_type_name(left, t->pointer()->member_class, cn);
        left += "::";
      }
      middle += '*';
      middle += quals;
      if (parens) right += ')';
      right += tr;
      return 1;
    }
    case TK_ARRAY: {
      if (!t->array()) return 1;
      right += '[';
      right += bound_text(*t->array(), mode);
      right += ']';
      // The elements of an object-form array keep their pointers (the array
      // is passed as it is, its elements are not dereferenced).
      return render_type(t->array()->element, left, middle, right, body, indent_prefix, depth,
                         mode == RM_OBJECT ? RM_RETURN : mode, current_class, follow);
    }
    case TK_REFERENCE: {
      const TypeDesc *target = t->reference() ? t->reference()->target : nullptr;
      if (mode == RM_RETURN || mode == RM_OBJECT) {
        const int m = (mode == RM_OBJECT && is_char_string(target)) ? RM_ORDINARY : mode;
        return render_type(target, left, middle, right, body, indent_prefix, depth, m,
                           current_class, follow);
      }
      std::string tl, tm, tr;
      if (!render_type(target, tl, tm, tr, 0, indent_prefix, depth, mode,
                       current_class, 1))
        return 0;
      // A reference to an array or a function needs the parentheses too
      // ("int (&r)[3]"); without them the text declares something else.
      const bool parens = target && (target->kind == TK_FUNCTION || target->kind == TK_ARRAY);
      left += tl;
      if (parens) {
        trim_right(left);
        if (!tm.empty()) {
          blank_if_needed(left);
          left += tm;
        } else {
          left += ' ';
        }
        left += '(';
      } else {
        middle += tm;
      }
      middle += t->reference()->rvalue ? "&&" : "&";
      if (follow && t->next) {
        std::string q;
        render_chain(t->next, q, mode);
        if (!q.empty()) middle += ' ' + q;
      }
      if (parens) right += ')';
      right += tr;
      return 1;
    }
    case TK_ELLIPSIS:
      left += (t->ellipsis() && t->ellipsis()->marker) ? ", ..." : "...";
      return 1;
    case TK_ENUM:
      if (!t->enumeration()) return 1;
      render_enum(t, left, body, indent_prefix, depth, mode, current_class, follow);
      return 1;
    case TK_UNION:
    case TK_CLASS:
      if (!t->record()) return 1;
      render_record(t, left, body, indent_prefix, depth, mode, current_class, follow);
      return !g_state.failed;
    case TK_ELABORATED: {
      const TypeDesc *named = t->elaborated() ? t->elaborated()->named : nullptr;
      if (!named) return 1;
      if (!render_type(named, left, middle, right, 0, indent_prefix, depth, mode,
                       current_class, 1))
        return 0;
      render_follow(t, left, mode, follow);
      return 1;
    }
    case TK_FUNCTION: {
      if (!t->function()) return 1;
      // A basic result is its word, and names no parameter.
      if (const char *word = basic_type_word(t->function()->result)) {
        left += word;
        render_function_suffix(t, right, current_class);
        return !g_state.failed;
      }
      std::string rl, rm, rr;
      // Constructors, destructors and conversion functions have no result.
      if (t->function()->result &&
          !render_type(t->function()->result, rl, rm, rr, 0, indent_prefix, depth, mode,
                       current_class, 1))
        return 0;
      if (result_names_parameters(t)) {
        // auto f(int a) -> decltype(a + 1): before the parameters the
        // result's names are unknown, so it stays after them.
        std::string result = join_declarator(rl, rm, "", rr);
        trim_right(result);
        blank_if_needed(left);
        left += "auto ";
        render_function_suffix(t, right, current_class);
        right += " -> " + result;
        return !g_state.failed;
      }
      left += rl;
      middle += rm;
      render_function_suffix(t, right, current_class);
      right += rr;
      return !g_state.failed;
    }
    case TK_NAMED: {
      if (!t->named()) return 1;
      blank_if_needed(left);
      if (t->named()->name && *t->named()->name) {
        // A typedef name declared in a class or namespace other than the
        // current one needs its qualification.
        const TypeDesc *s = class_scope(t->scope);
        if (t->named()->aliased && s && !(current_class && same_scope(s, current_class)))
          qualified_type_name(left, t, t->named()->name);
        else
          left += t->named()->name;
        left += ' ';
      }
      if (follow) render_chain(t->next, left, mode);
      if (mode == RM_RETURN || mode == RM_OBJECT) cut_const(left);
      return 1;
    }
    case TK_TEMPLATE:
      if (!t->templ()) return 1;
      render_template(t, left, body, indent_prefix, depth, mode, current_class, follow);
      return 1;
    default:
      return 1;  // reserved kinds and anything above: nothing
  }
}

// ---------------------------------------------------------------------------

void storage_text(unsigned flags, std::string &out) {
  std::string s;
  static const unsigned kOrder[] = {SF_TYPEDEF,   SF_FRIEND, SF_EXTERN,   SF_STATIC, SF_THREAD_LOCAL,
                                    SF_AUTO,      SF_REGISTER, SF_OVERLOAD, SF_INLINE};
  for (unsigned f : kOrder)
    if (flags & f) s += storage_flag_text(f);
  // These stand alone: each one set replaces what was built so far.
  static const unsigned kReplacing[] = {SF_VIRTUAL, SF_EXPORT, SF_EXPLICIT, SF_MUTABLE};
  for (unsigned f : kReplacing)
    if (flags & f) s = storage_flag_text(f);
  out += s;
}

namespace {

const TypeDesc *owning_class(const Declaration *d) {
  return d->scope_kind ? class_scope(d->scope) : nullptr;
}

// Constructors, destructors and conversion functions have no result; a
// function outside any class without one is an old-style definition whose
// result is int ("f(n) { ... }").
bool implicit_int(const Declaration *d) {
  return d->type && d->type->kind == TK_FUNCTION && d->type->function() &&
         !d->type->function()->result && !owning_class(d);
}

bool result_is_void(const Declaration *d, const TypeDesc *f) {
  if (!f->function()->result) return !implicit_int(d);
  if (const char *word = basic_type_word(f->function()->result)) {
    std::string_view w(word);
    while (!w.empty() && (w.back() == ' ' || w.back() == '\t')) w.remove_suffix(1);
    return w == "void";
  }
  std::string l, m, r;
  render_type(f->function()->result, l, m, r, 0, "", 0, RM_ORDINARY, nullptr, 1);
  trim_right(l);
  return l == "void" && m.empty() && r.empty();
}

std::string call_arguments(const TypeDesc *f) {
  std::string out;
  bool first = true;
  for (const DeclNode *n = f->function()->info ? f->function()->info->first_param : nullptr; n;
       n = n->next) {
    const Declaration *p = n->decl;
    if (!p || !p->name || (p->type && p->type->kind == TK_ELLIPSIS)) continue;
    if (!first) out += ", ";
    first = false;
    // The declaration's own kind decides, as for the script variable: a
    // typedef name of a pointer type is declared as that type.
    const TypeDesc *s = p->type;
    if (s && s->kind == TK_POINTER && !is_string_char(pointer_target(s)) &&
        !keeps_pointer(pointer_target(s)) && !s->pointer()->member_class)
      out += '&';
    if (s && s->kind == TK_REFERENCE && s->reference() && s->reference()->rvalue) {
      // The script variable is an lvalue: it binds to "&&" only when cast.
      std::string l, m, r;
      render_type(s, l, m, r, 0, "", 0, RM_ORDINARY, nullptr, 1);
      std::string type = l + m + r;
      while (!type.empty() && type.back() == ' ') type.pop_back();
      out += "static_cast<" + type + ">(" + p->name + ")";
      continue;
    }
    out += p->name;
  }
  return out;
}

std::string identifier_name(const char *name) {
  std::string out;
  write_qualified_name(out, name, ScopeContext(), "_", false);
  return out;
}

std::string class_text(const TypeDesc *cls) {
  std::string out;
  write_scope_name(out, cls, "::", true);
  return out;
}

void render_stub(const Declaration *d, std::string &out, const TypeDesc *current) {
  const TypeDesc *f = d->type;
  std::string l, m, r;
  // The result stands before the qualified name, outside the class: it is
  // written with its full qualification.
  if (f->function()->result)
    render_type(f->function()->result, l, m, r, 0, "", 0, RM_ORDINARY, nullptr, 1);
  else if (implicit_int(d))
    l = "int";
  std::string trailing;
  if (result_names_parameters(f)) {
    trailing = join_declarator(l, m, "", r);
    trim_right(trailing);
    l = "auto";
    m.clear();
    r.clear();
  }
  trim_right(l);
  out += l;
  // A constructor or destructor has no result: its name follows the prefix.
  if (!l.empty() || !m.empty()) out += ' ';
  out += m;
  if (const TypeDesc *cls = owning_class(d)) {
    out += class_text(cls);
    out += "::";
  }
  out += d->name ? d->name : "";
  write_parameters(f, out, [&](const Declaration *p) {
    std::string pl, pm, pr;
    render_type(p->type, pl, pm, pr, 0, "", 0, p->name ? RM_OBJECT : RM_ORDINARY, current, 1);
    if (!p->name) {
      append_declarator(out, pl, pm, "", "", pr);
      return;
    }
    const TypeDesc *s = see_through(p->type);
    const TypeDesc *target = pointer_target(s);
    const bool inout = s && s->kind == TK_POINTER && !(see_through(target) &&
                                                       see_through(target)->kind == TK_VOID);
    trim_right(pl);
    out += pl;
    out += ' ';
    out += pm;
    out += ' ';
    out += inout ? "_inout" : "_in";
    out += ' ';
    out += p->name;
    out += pr;
  });
  // A const member function is another function than the same without const.
  if (const FunctionInfo *info = f->function()->info) {
    if (info->qualifiers) {
      std::string q;
      render_chain(info->qualifiers, q, RM_ORDINARY);
      trim_right(q);
      if (!q.empty()) out += ' ' + q;
    }
  }
  out += r;
  if (!trailing.empty()) out += " -> " + trailing;
  out += ';';
}

void render_parameter_form(const Declaration *d, std::string &out, const TypeDesc *current) {
  const TypeDesc *f = d->type;
  out += d->name ? d->name : "";
  out += '(';
  int count = 0;
  for (const DeclNode *n = f->function()->info ? f->function()->info->first_param : nullptr; n;
       n = n->next)
    ++count;
  bool first = true;
  for (const DeclNode *n = f->function()->info ? f->function()->info->first_param : nullptr; n;
       n = n->next) {
    const Declaration *p = n->decl;
    if (!p) continue;
    if (p->type && p->type->kind == TK_ELLIPSIS) {
      out += first ? " ..." : ", ...";
      first = false;
      continue;
    }
    if (!p->name && count > 1) {
      ++g_trace.table_reads;
      analyser_report(MSG_NOMPARINC, d->name ? d->name : "", d->file, d->line);
    }
    if (!first) out += ", ";
    first = false;
    if (const char *word = basic_type_word(p->type)) {
      append_declarator(out, word, "", "", p->name ? p->name : "", "");
      continue;
    }
    std::string pl, pm, pr;
    render_type(p->type, pl, pm, pr, 0, "", 0, RM_OBJECT, current, 1);
    append_declarator(out, pl, pm, "", p->name ? p->name : "", pr);
  }
  out += ");";
}

}  // namespace

int render_declaration(const Declaration *decl, std::string &out, const char *function_name,
                       int mode, int body, const char *indent_prefix, const char *prefix_text) {
  if (!decl) return 1;
  const char *line_prefix = indent_prefix && *indent_prefix ? indent_prefix
                            : prefix_text               ? prefix_text
                                                        : "";
  const RenderState saved = g_state;
  g_state = RenderState();
  g_state.file = decl->file;
  g_state.line = decl->line;
  // The return variable is declared in the script, outside the function's
  // class or namespace: the result type needs its full qualification there.
  const TypeDesc *current = mode == RM_RETURN ? nullptr : owning_class(decl);
  const char *name = decl->name ? decl->name : "";
  // The declaration is written in place after the prefix, and both go again
  // when it comes out empty or fails: no text of its own is built and copied.
  const std::size_t mark = out.size();
  if (prefix_text) out += prefix_text;
  const std::size_t start = out.size();
  std::string &text = out;
  const TypeDesc *t = decl->type;
  if (!t) {
    text += name;
    text += ';';
  } else if (t->kind == TK_ELABORATED) {
    const TypeDesc *named = t->elaborated() ? t->elaborated()->named : nullptr;
    const char *tn = type_name(t);
    std::string l, m, r;
    if (named && tn && std::strcmp(tn, name) == 0) {
      render_type(named, l, m, r, 0, line_prefix, 0, mode, class_scope(named->scope), 1);
      text += "typedef ";
      append_declarator(text, l, m, "", name, r);
      text += ';';
    } else {
      render_type(t, l, m, r, 0, line_prefix, 0, mode, current, 1);
      if (decl->storage & SF_TYPEDEF) text += "typedef ";
      append_declarator(text, l, m, "", name, r);
      text += ';';
    }
  } else if (t->kind == TK_FUNCTION && t->function() && !(decl->storage & SF_TYPEDEF)) {
    std::string l, m, r;
    switch (mode) {
      case RM_RETURN:
        if (!result_is_void(decl, t)) {
          if (const char *word = basic_type_word(t->function()->result)) {
            append_declarator(text, word, "", "ret_", function_name ? function_name : "", "");
          } else {
            render_type(t->function()->result, l, m, r, 0, line_prefix, 0, RM_RETURN, current, 1);
            append_declarator(text, l, m, "ret_", function_name ? function_name : "", r);
          }
          text += ';';
        }
        break;
      case RM_EXTERN:
        if ((decl->storage & SF_INLINE) && t->function()->info && t->function()->info->defined) break;
        render_type(t, l, m, r, 0, line_prefix, 0, RM_ORDINARY, current, 1);
        if (implicit_int(decl)) l = "int " + l;
        append_declarator(text, l, m, "", name, r);
        text += special_definition_text(t);
        text += ';';
        // A function template, or an explicit specialisation of one
        // (template <> int f<int>(int)), is declared with its header.
        if (t->template_word && t->template_word->templ()) {
          std::string head;
          render_template_head(t->template_word->templ(), head, line_prefix, 0, current);
          text.insert(start, head);
        }
        break;
      case RM_CALL:
        if (!result_is_void(decl, t)) {
          text += "ret_";
          text += function_name ? function_name : "";
          text += " = ";
        }
        if (const TypeDesc *cls = owning_class(decl)) {
          if (cls->kind != TK_CLASS || !cls->record() || cls->record()->key != KEY_NAMESPACE) {
            write_scope_name(text, cls, "_", false);
            text += "_instance.";
          }
        }
        text += name;
        text += '(';
        text += call_arguments(t);
        text += ");";
        break;
      case RM_CONSTRUCT:
        text += "pt_" + identifier_name(name) + " = new " + class_text(owning_class(decl)) + "(" +
                call_arguments(t) + ");";
        break;
      case RM_DESTRUCT:
        text += "delete pt_" + identifier_name(name) + ";";
        break;
      case RM_STUB:
        render_stub(decl, text, current);
        break;
      case RM_OBJECT_DECL:
        text += class_text(owning_class(decl)) + " *pt_" + identifier_name(name) + ";";
        break;
      case RM_OBJECT:
        render_parameter_form(decl, text, current);
        break;
      default:
        break;  // other modes write nothing for a function
    }
  } else {
    std::string l, m, r;
    // Only the declaration of the type itself writes a named body; a variable
    // of that type refers to it.
    const int own_body = body && is_tag_declaration(decl);
    // An instance of a class template is declared by its template.
    if (is_tag_declaration(decl) && t->record() && t->record()->instance_mark &&
        !t->record()->explicit_specialisation) {
      g_state = saved;
      out.resize(mark);
      return 1;
    }
    if (const char *word = basic_type_word(t)) {
      if (decl->storage & SF_TYPEDEF) text += "typedef ";
      append_declarator(text, word, "", "", name, "");
      text += ';';
    } else if (render_type(t, l, m, r, own_body, line_prefix, 0, mode, current, 1) && !g_state.failed) {
      if (decl->storage & SF_TYPEDEF) text += "typedef ";
      append_declarator(text, l, m, "", is_tag_declaration(decl) ? "" : name, r);
      text += ';';
    }
  }
  const bool failed = g_state.failed;
  g_state = saved;
  if (failed || out.size() == start) out.resize(mark);
  return failed ? 0 : 1;
}

int storage_prefix(const Declaration *decl, std::string &out, const char *function_name, int mode,
                   int body, int storage_flag, const char *indent_prefix,
                   const char *prefix_text) {
  if (!decl) return 1;
  // The prefix and the word are written first and go again with a
  // declaration that comes out empty or fails.
  const std::size_t mark = out.size();
  if (prefix_text) out += prefix_text;
  if (storage_flag) {
    // Only the last of these words stands.
    const char *word = "";
    static const unsigned kFlags[] = {SF_EXTERN, SF_STATIC, SF_AUTO,
                                      SF_REGISTER, SF_EXPORT, SF_MUTABLE};
    for (unsigned f : kFlags)
      if (decl->storage & f) word = storage_flag_text(f);
    out += word;
  }
  const std::size_t start = out.size();
  const char *line_prefix = indent_prefix && *indent_prefix ? indent_prefix : prefix_text;
  const int ok = render_declaration(decl, out, function_name, mode, body, line_prefix, "");
  if (!ok || out.size() == start) out.resize(mark);
  return ok ? 1 : 0;
}

const RenderTrace &render_trace() { return g_trace; }

bool rendered_again_with_prefix(const std::string &text, const RenderTrace &before, const RenderTrace &after,
                                const char *prefix, std::string &out) {
  // A bound read from a table or a report would be read or made again; a
  // line break that is not one of the rendering's own (a source text that
  // holds one) takes no prefix. Every line break written is kept in the
  // text: the forms renderings leave out write no body.
  if (after.table_reads != before.table_reads) return false;
  std::size_t breaks = 0;
  for (char c : text) breaks += c == '\n';
  if (breaks != after.line_breaks - before.line_breaks) return false;
  const std::size_t mark = out.size();
  out.reserve(mark + text.size() + (breaks + 1) * std::strlen(prefix));
  out += prefix;
  std::size_t from = 0;
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', from)) {
    out.append(text, from, at + 1 - from);
    out += prefix;
    from = at + 1;
  }
  out.append(text, from, std::string::npos);
  return true;
}

// Type descriptors and the operations on them.
#include "ctree.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <ostream>
#include <new>
#include <string>
#include <type_traits>

#include "cpptab.h"
#include "merror.h"
#include "mstrin.h"

namespace {

AnalyserProcess g_process;

// Records sit in their owner's blocks; only those holding strings or lists
// need their destructor run on release.
template <typename T> T *owned_new(SymbolTable *owner) {
  void (*destroy)(void *) = nullptr;
  if (!std::is_trivially_destructible<T>::value) destroy = [](void *q) { static_cast<T *>(q)->~T(); };
  return new (table_allocate(owner, record_slot<T>(), sizeof(T), destroy)) T();
}

bool text_is(const char *a, const char *b) { return a && b && std::strcmp(a, b) == 0; }

// Structural walks follow declarators, whose nesting the grammar bounds; the
// limit only protects against graphs that are not trees.
constexpr int WALK_LIMIT = 10000;
// Comparisons recurse along declarators (the grammar keeps them shallow).
constexpr int RECURSION_LIMIT = 1000;

// The detail record its kind needs is there (callers may have built odd types).
bool has_detail(const TypeDesc *t) {
  switch (t->kind) {
    case TK_INTEGER: return t->integer() != nullptr;
    case TK_FLOATING: return t->floating() != nullptr;
    case TK_POINTER: return t->pointer() != nullptr;
    case TK_ARRAY: return t->array() != nullptr;
    case TK_ENUM: return t->enumeration() != nullptr;
    case TK_UNION:
    case TK_CLASS: return t->record() != nullptr;
    case TK_ELABORATED: return t->elaborated() != nullptr;
    case TK_FUNCTION: return t->function() != nullptr && t->function()->info != nullptr;
    case TK_NAMED: return t->named() != nullptr;
    case TK_REFERENCE: return t->reference() != nullptr;
    case TK_ELLIPSIS: return t->ellipsis() != nullptr;
    case TK_TEMPLATE: return t->templ() != nullptr;
    default: return true;
  }
}

}  // namespace

AnalyserProcess &analyser_process() { return g_process; }
AnalysisSettings &analysis_settings() { return g_process.settings; }
void reset_analysis_settings() {
  static_cast<AnalysisOptions &>(g_process.settings) = AnalysisOptions();
  reset_target_sizes();
}

void set_analyser_report(ReportCallback callback) { g_process.report = callback; }
ReportCallback analyser_report_callback() { return g_process.report; }

void analyser_report(MessageCode code, std::string_view arg, const char *file, int line) {
  std::string_view f = file ? std::string_view(file) : std::string_view();
  if (g_process.report)
    g_process.report(code, arg, f, line);
  else
    report_at_position(code, arg, f, line);
}

void ReportSink::operator()(MessageCode code, std::string_view arg, const char *file, int line) const {
  if (function)
    function(context, code, arg, file ? std::string_view(file) : std::string_view(), line);
  else
    analyser_report(code, arg, file, line);
}

int OwnedText::note() const {
  if (!p_) return 0;
  int n;
  std::memcpy(&n, p_ - sizeof n, sizeof n);
  return n;
}

void OwnedText::assign(std::string_view s, int note) {
  const std::size_t n = std::min(s.find('\0'), s.size());
  char *q = nullptr;
  if (n || note) {
    char *block = new char[sizeof note + n + 1];
    std::memcpy(block, &note, sizeof note);
    q = block + sizeof note;
    // An empty view may carry no address at all, which memcpy must not see.
    if (n) std::memcpy(q, s.data(), n);
    q[n] = '\0';
  }
  release();
  p_ = q;
}

void OwnedText::release() {
  if (p_) delete[] (p_ - sizeof(int));
  p_ = nullptr;
}

std::ostream &operator<<(std::ostream &out, const OwnedText &text) { return out << text.view(); }

// ---------------------------------------------------------------------------
// Constructors

TypeDesc *type_new(TypeKind kind, SymbolTable *owner) {
  TypeDesc *t = owned_new<TypeDesc>(owner);
  t->kind = kind;
  switch (kind) {
    case TK_INTEGER: t->set_detail(owned_new<IntegerInfo>(owner)); break;
    case TK_FLOATING: t->set_detail(owned_new<FloatInfo>(owner)); break;
    case TK_POINTER: t->set_detail(owned_new<PointerInfo>(owner)); break;
    case TK_ARRAY: t->set_detail(owned_new<ArrayInfo>(owner)); break;
    case TK_ENUM: t->set_detail(owned_new<EnumInfo>(owner)); break;
    case TK_UNION:
    case TK_CLASS:
      t->set_detail(owned_new<ClassInfo>(owner));
      t->record()->self = t;
      if (kind == TK_UNION) t->record()->key = KEY_UNION;
      break;
    case TK_ELABORATED: t->set_detail(owned_new<ElaboratedInfo>(owner)); break;
    case TK_FUNCTION:
      t->set_detail(owned_new<FunctionDetail>(owner));
      t->function()->info = owned_new<FunctionInfo>(owner);
      break;
    case TK_NAMED: t->set_detail(owned_new<NamedInfo>(owner)); break;
    case TK_REFERENCE: t->set_detail(owned_new<ReferenceInfo>(owner)); break;
    case TK_ELLIPSIS: t->set_detail(owned_new<EllipsisInfo>(owner)); break;
    case TK_TEMPLATE: t->set_detail(owned_new<TemplateInfo>(owner)); break;
    default: break;
  }
  return t;
}

Declaration *decl_new(const char *name, TypeDesc *type, SymbolTable *owner) {
  Declaration *d = owned_new<Declaration>(owner);
  d->name = intern_string(name);
  d->type = type;
  return d;
}

MemberNode *member_node_new(Declaration *decl, int access, SymbolTable *owner) {
  MemberNode *m = owned_new<MemberNode>(owner);
  m->decl = decl;
  m->access = access;
  return m;
}

BaseNode *base_node_new(TypeDesc *base, int access, bool is_virtual, SymbolTable *owner) {
  BaseNode *b = owned_new<BaseNode>(owner);
  b->base = base;
  b->access = access;
  b->is_virtual = is_virtual;
  return b;
}

EnumeratorRec *enumerator_new(const char *name, SymbolTable *owner) {
  EnumeratorRec *e = owned_new<EnumeratorRec>(owner);
  e->name = intern_string(name);
  return e;
}

DeclNode *decl_node_new(Declaration *decl, SymbolTable *owner) {
  DeclNode *n = owned_new<DeclNode>(owner);
  n->decl = decl;
  return n;
}

TypeNode *type_node_new(TypeDesc *type, SymbolTable *owner) {
  TypeNode *n = owned_new<TypeNode>(owner);
  n->type = type;
  return n;
}

TemplateParam *template_param_new(const char *name, SymbolTable *owner) {
  TemplateParam *p = owned_new<TemplateParam>(owner);
  p->name = intern_string(name);
  return p;
}

Instantiation *instantiation_new(const char *instance_name, TypeDesc *instance, SymbolTable *owner) {
  Instantiation *i = owned_new<Instantiation>(owner);
  i->instance_name = intern_string(instance_name);
  i->instance = instance;
  return i;
}

// ---------------------------------------------------------------------------
// Copies into another table

RecordCopy::RecordCopy(const TableRecords &from, SymbolTable *to) : from_(from), to_(to), copies_(RS_COUNT) {
  for (int slot = 0; slot < RS_COUNT; ++slot) copies_[slot].assign(from.count(slot), nullptr);
}

template <typename T, typename Made> T *RecordCopy::copy_record(int slot, const T *original, Made &&made) {
  if (!original) return nullptr;
  void **copy = copy_of(slot, original);
  if (!copy) return const_cast<T *>(original);
  if (!*copy) {
    T *n = owned_new<T>(to_);
    *copy = n;
    made(*original, *n);
  }
  return static_cast<T *>(*copy);
}

TypeDesc *RecordCopy::type(const TypeDesc *t) {
  return copy_record(RS_TYPE, t, [this](const TypeDesc &o, TypeDesc &n) { types_.emplace_back(&o, &n); });
}

Declaration *RecordCopy::decl(const Declaration *d) {
  return copy_record(RS_DECLARATION, d,
                     [this](const Declaration &o, Declaration &n) { declarations_.emplace_back(&o, &n); });
}

template <typename T, typename Fill> T *RecordCopy::detail(const T *original, Fill &&fill) {
  return copy_record(record_slot<T>(), original, fill);
}

void RecordCopy::finish() {
  // Filling a record asks for the records it points at, which join the lists.
  for (std::size_t t = 0, d = 0; ok_ && (t < types_.size() || d < declarations_.size());) {
    if (t < types_.size()) {
      const auto p = types_[t++];
      fill(p.first, p.second);
    } else {
      const auto p = declarations_[d++];
      fill(p.first, p.second);
    }
  }
}

void RecordCopy::fill(const Declaration *d, Declaration *n) {
  n->name = d->name;
  n->type = type(d->type);
  n->scope = type(d->scope);
  n->file = d->file;
  n->text = d->text;
  n->storage = d->storage;
  n->scope_kind = d->scope_kind;
  n->line = d->line;
}

void RecordCopy::fill_record(const ClassInfo &r, ClassInfo &n) {
  if (r.first_base || r.first_inherited || !r.using_namespaces.empty() || !r.using_declarations.empty() ||
      r.instance_mark != IM_OWN || r.explicit_specialisation || r.key == KEY_NAMESPACE || r.first_opening ||
      r.next_opening || r.alias_of || !r.template_arguments.empty()) {
    ok_ = false;
    return;
  }
  n.name = r.name;
  n.member_count = r.member_count;
  for (const MemberNode *m = r.first; m; m = m->next) {
    MemberNode *c = member_node_new(decl(m->decl), m->access, to_);
    (n.last ? n.last->next : n.first) = c;
    n.last = c;
  }
  n.friend_of_reference = r.friend_of_reference;
  n.key = r.key;
  n.has_body = r.has_body;
  n.enclosing = type(r.enclosing);
  n.alignment = r.alignment;
  n.self = type(r.self);
}

void RecordCopy::fill_function(const FunctionInfo &f, FunctionInfo &n) {
  if (f.qualifiers || f.first_except || f.has_exception_spec || f.special_definition != SD_NONE) {
    ok_ = false;
    return;
  }
  for (const DeclNode *p = f.first_param; p; p = p->next) {
    DeclNode *c = decl_node_new(decl(p->decl), to_);
    (n.last_param ? n.last_param->next : n.first_param) = c;
    n.last_param = c;
  }
  n.body = f.body;
  n.defined = f.defined;
  n.has_body = f.has_body;
}

void RecordCopy::fill_enumeration(const EnumInfo &e, EnumInfo &n) {
  if (e.scoped) {
    ok_ = false;
    return;
  }
  n.name = e.name;
  n.count = e.count;
  for (const EnumeratorRec *r = e.first; r; r = r->next) {
    EnumeratorRec *c = enumerator_new(r->name, to_);
    c->has_value = r->has_value;
    c->value_text = r->value_text;
    c->file = r->file;
    c->line = r->line;
    c->enumeration = type(r->enumeration);
    (n.last ? n.last->next : n.first) = c;
    n.last = c;
  }
  n.underlying = type(e.underlying);
}

void RecordCopy::fill(const TypeDesc *t, TypeDesc *n) {
  n->kind = t->kind;
  if (t->template_word) {
    ok_ = false;
    return;
  }
  n->scope_kind = t->scope_kind;
  n->rendering_guard = t->rendering_guard;
  n->visit_mark = t->visit_mark;
  n->shared = t->shared;
  n->scope = type(t->scope);
  n->next = type(t->next);
  const auto same = [](const auto &original, auto &copy) { copy = original; };
  switch (t->kind) {
    case TK_INTEGER: n->set_detail(detail(t->integer(), same)); break;
    case TK_FLOATING: n->set_detail(detail(t->floating(), same)); break;
    case TK_ELLIPSIS: n->set_detail(detail(t->ellipsis(), same)); break;
    case TK_POINTER:
      if (t->pointer() && t->pointer()->member_class) {
        ok_ = false;
        return;
      }
      n->set_detail(detail(t->pointer(), [this](const PointerInfo &o, PointerInfo &c) { c.target = type(o.target); }));
      break;
    case TK_ARRAY:
      n->set_detail(detail(t->array(), [this](const ArrayInfo &o, ArrayInfo &c) {
        c.element = type(o.element);
        c.has_bound_text = o.has_bound_text;
        c.bound_text = o.bound_text;
        c.bound_expression = o.bound_expression;
      }));
      break;
    case TK_ENUM:
      n->set_detail(detail(t->enumeration(), [this](const EnumInfo &o, EnumInfo &c) { fill_enumeration(o, c); }));
      break;
    case TK_UNION:
    case TK_CLASS:
      n->set_detail(detail(t->record(), [this](const ClassInfo &o, ClassInfo &c) { fill_record(o, c); }));
      break;
    case TK_ELABORATED:
      n->set_detail(
          detail(t->elaborated(), [this](const ElaboratedInfo &o, ElaboratedInfo &c) { c.named = type(o.named); }));
      break;
    case TK_FUNCTION:
      n->set_detail(detail(t->function(), [this](const FunctionDetail &o, FunctionDetail &c) {
        c.result = type(o.result);
        c.info = detail(o.info, [this](const FunctionInfo &f, FunctionInfo &fc) { fill_function(f, fc); });
      }));
      break;
    case TK_NAMED:
      n->set_detail(detail(t->named(), [this](const NamedInfo &o, NamedInfo &c) {
        c.name = o.name;
        c.aliased = type(o.aliased);
      }));
      break;
    case TK_REFERENCE:
    case TK_TEMPLATE: ok_ = false; return;
    default: break;
  }
}

TypeDesc *integer_type(const char *name, int size_bits, int char_type, SymbolTable *owner) {
  TypeDesc *t = type_new(TK_INTEGER, owner);
  t->integer()->name = intern_string(name);
  t->integer()->size = size_bits;
  t->integer()->char_type = char_type;
  return t;
}

TypeDesc *floating_type(const char *name, SymbolTable *owner) {
  TypeDesc *t = type_new(TK_FLOATING, owner);
  t->floating()->name = intern_string(name);
  return t;
}

TypeDesc *qualifier_type(const char *name, SymbolTable *owner) { return named_type(name, nullptr, owner); }

TypeDesc *named_type(const char *name, TypeDesc *aliased, SymbolTable *owner) {
  TypeDesc *t = type_new(TK_NAMED, owner);
  t->named()->name = intern_string(name);
  t->named()->aliased = aliased;
  return t;
}

TypeDesc *pointer_to(TypeDesc *target, SymbolTable *owner) {
  TypeDesc *t = type_new(TK_POINTER, owner);
  t->pointer()->target = target;
  return t;
}

TypeDesc *reference_to(TypeDesc *target, SymbolTable *owner) {
  TypeDesc *t = type_new(TK_REFERENCE, owner);
  t->reference()->target = target;
  return t;
}

TypeDesc *array_of(TypeDesc *element, SymbolTable *owner) {
  TypeDesc *t = type_new(TK_ARRAY, owner);
  t->array()->element = element;
  return t;
}

TypeDesc *function_returning(TypeDesc *result, SymbolTable *owner) {
  TypeDesc *t = type_new(TK_FUNCTION, owner);
  t->function()->result = result;
  return t;
}

// ---------------------------------------------------------------------------
// Integer specifier words. A composed name such as "long unsigned int" is
// read back word by word so that the specifiers combine in any source order.

namespace {

struct IntWords {
  int is_unsigned = 0, is_signed = 0, is_short = 0, is_long = 0, is_int = 0, is_char = 0;
  int other = 0;  // bool, wchar_t or a word we do not know
};

void count_words(const char *name, IntWords &w) {
  if (!name) return;
  const char *p = name;
  while (*p) {
    while (*p == ' ') ++p;
    const char *s = p;
    while (*p && *p != ' ') ++p;
    const std::string_view word(s, static_cast<std::size_t>(p - s));
    if (word.empty()) continue;
    if (word == "unsigned") ++w.is_unsigned;
    else if (word == "signed") ++w.is_signed;
    else if (word == "short") ++w.is_short;
    else if (word == "long") ++w.is_long;
    else if (word == "int") ++w.is_int;
    else if (word == "char") ++w.is_char;
    else ++w.other;
  }
}

// Size in bits (negative when signed) and the character flag of a valid word
// set; false when the words do not form a type.
bool words_type(const IntWords &w, int &size, int &char_type) {
  const AnalysisSettings &s = analysis_settings();
  if (w.is_unsigned && w.is_signed) return false;
  if (w.is_short && w.is_long) return false;
  if (w.is_unsigned > 1 || w.is_signed > 1 || w.is_short > 1 || w.is_long > 2 || w.is_int > 1 ||
      w.is_char > 1)
    return false;
  if (w.is_char && (w.is_short || w.is_long || w.is_int)) return false;
  if (w.other) return false;
  int bits;
  if (w.is_char) bits = s.sizes->char_bits;
  else if (w.is_short) bits = s.sizes->short_bits;
  else if (w.is_long == 2) bits = s.sizes->longlong_bits;
  else if (w.is_long == 1) bits = s.sizes->long_bits;
  else bits = s.sizes->int_bits;
  bool is_signed;
  if (w.is_unsigned) is_signed = false;
  else if (w.is_signed) is_signed = true;
  else if (w.is_char) is_signed = !s.sizes->plain_char_unsigned;
  else is_signed = true;
  size = is_signed ? -bits : bits;
  char_type = w.is_char ? 1 : 0;
  return true;
}

bool is_qualifier(const TypeDesc *t) {
  return t && t->kind == TK_NAMED && t->named() && !t->named()->aliased &&
         (text_is(t->named()->name, "const") || text_is(t->named()->name, "volatile"));
}

// Appends the qualifiers of `chain` after `type`, skipping ones it has.
// Anything else found in the chain (a type-modifier name) is linked as it is,
// with the rest of its chain.
void merge_chain(TypeDesc *type, TypeDesc *chain, SymbolTable *owner) {
  for (int guard = 0; chain && guard < WALK_LIMIT; chain = chain->next, ++guard) {
    if (!is_qualifier(chain)) {
      append_qualifier(type, chain);
      return;
    }
    bool present = false;
    int g2 = 0;
    for (TypeDesc *q = type->next; q && g2 < WALK_LIMIT; q = q->next, ++g2)
      if (is_qualifier(q) && text_is(q->named()->name, chain->named()->name)) present = true;
    if (!present) append_qualifier(type, qualifier_type(chain->named()->name, owner));
  }
}

void construct_warning(const ReportSink &sink, std::string_view arg, const char *file, int line) {
  sink(MSG_CONSTRUCT, arg, file, line);
}

}  // namespace

namespace {

// Identity of a shared basic type: the kind, the interned name and, for
// integers, the size and character marker of the moment (the sizeof
// pragmas change the sizes during an analysis).
struct BasicKey {
  TypeKind kind;
  const char *name;
  int size;
  int char_type;
};

bool basic_matches(const void *record, const void *key) {
  const TypeDesc *t = static_cast<const TypeDesc *>(record);
  const BasicKey &k = *static_cast<const BasicKey *>(key);
  if (t->kind != k.kind) return false;
  if (k.kind == TK_INTEGER)
    return t->integer()->name == k.name && t->integer()->size == k.size && t->integer()->char_type == k.char_type;
  if (k.kind == TK_FLOATING) return t->floating()->name == k.name;
  return true;
}

// Where the record of a basic type was last found in its table's shared
// records, by the type: a table holds some thirty, and the grammar asks for
// one at every specifier word. A hint is only a guess, checked against the
// list (the table may be another at the same address, its list cut back
// since): the record at that place is the one the search would find when it
// matches, since the list holds one record per type.
struct SharedHint {
  const SymbolTable *owner = nullptr;
  std::size_t index = 0;
};
SharedHint shared_hints[64];

SharedHint &hint_of(const BasicKey &k) {
  const std::uintptr_t x = reinterpret_cast<std::uintptr_t>(k.name) ^
                           static_cast<std::uintptr_t>(static_cast<unsigned>(k.size) * 31u + k.kind * 7u + k.char_type);
  return shared_hints[(x * 0x9E3779B97F4A7C15ULL) >> 58];
}

// Files declare a great many objects and parameters of the same few basic
// types: each table keeps one record per basic type for all of them.
// `name`: the pool's copy of the type's name (or none).
TypeDesc *shared_interned_basic(TypeKind kind, const char *name, int size, int char_type, SymbolTable *owner) {
  const BasicKey key{kind, name, size, char_type};
  const std::vector<void *> &shared = table_shared(owner);
  SharedHint &hint = hint_of(key);
  if (hint.owner == owner && hint.index < shared.size() && basic_matches(shared[hint.index], &key))
    return static_cast<TypeDesc *>(shared[hint.index]);
  // table_find_shared's search with basic_matches, the comparison inline.
  for (std::size_t i = 0; i < shared.size(); ++i)
    if (basic_matches(shared[i], &key)) {
      hint = {owner, i};
      return static_cast<TypeDesc *>(shared[i]);
    }
  TypeDesc *t = kind == TK_INTEGER    ? integer_type(key.name, size, char_type, owner)
                : kind == TK_FLOATING ? floating_type(key.name, owner)
                                      : type_new(kind, owner);
  t->shared = 1;
  table_add_shared(owner, t);
  return t;
}

TypeDesc *shared_basic(TypeKind kind, const char *name, int size, int char_type, SymbolTable *owner) {
  return shared_interned_basic(kind, intern_string(name), size, char_type, owner);
}

}  // namespace

namespace {

// The words of the basic types, by BasicWord.
enum BasicWord : int { BW_CHAR, BW_SHORT, BW_INT, BW_LONG, BW_SIGNED, BW_UNSIGNED, BW_FLOAT, BW_DOUBLE,
                       BW_BOOL, BW_C_BOOL, BW_WCHAR_T, BW_VOID, BW_NONE };
constexpr const char *kBasicWords[] = {"char",   "short", "int",  "long",  "signed",  "unsigned",
                                       "float",  "double", "bool", "_Bool", "wchar_t", "void"};

// The basic word a text is, BW_NONE when it is none (a text of several
// words among them): told by the length, then one comparison.
BasicWord basic_word(std::string_view k) {
  auto is = [&](BasicWord w) { return k == kBasicWords[w] ? w : BW_NONE; };
  switch (k.size()) {
    case 3: return is(BW_INT);
    case 4: return k[0] == 'c' ? is(BW_CHAR) : k[0] == 'l' ? is(BW_LONG) : k[0] == 'b' ? is(BW_BOOL) : is(BW_VOID);
    case 5: return k[0] == 's' ? is(BW_SHORT) : k[0] == 'f' ? is(BW_FLOAT) : is(BW_C_BOOL);
    case 6: return k[0] == 's' ? is(BW_SIGNED) : is(BW_DOUBLE);
    case 7: return is(BW_WCHAR_T);
    case 8: return is(BW_UNSIGNED);
    default: return BW_NONE;
  }
}

// The interned copy of a basic type's word: the grammar asks for one basic
// type per specifier word it reads, each time with the word's spelling.
const char *interned_word(BasicWord w) {
  static const char *interned[std::size(kBasicWords)] = {};
  if (!interned[w]) interned[w] = intern_string(kBasicWords[w]);
  return interned[w];
}

}  // namespace

TypeDesc *basic_type(const char *keyword, SymbolTable *owner) {
  if (!keyword) return nullptr;
  const AnalysisSettings &s = analysis_settings();
  const BasicWord word = basic_word(keyword);
  IntWords w;
  switch (word) {
    // The words' names are the pool's copies already: asked for every basic
    // type keyword a declaration holds, they are not interned again.
    case BW_VOID: return shared_interned_basic(TK_VOID, nullptr, 0, 0, owner);
    case BW_FLOAT: case BW_DOUBLE: return shared_interned_basic(TK_FLOATING, interned_word(word), 0, 0, owner);
    case BW_BOOL: case BW_C_BOOL:
      return shared_interned_basic(TK_INTEGER, interned_word(word), s.sizes->char_bits, 0, owner);
    case BW_WCHAR_T: return shared_basic(TK_INTEGER, "wchar_t", -s.sizes->int_bits, 0, owner);
    // One word of an integer type: the count of its words, without reading them again.
    case BW_CHAR: w.is_char = 1; keyword = interned_word(word); break;
    case BW_SHORT: w.is_short = 1; keyword = interned_word(word); break;
    case BW_INT: w.is_int = 1; keyword = interned_word(word); break;
    case BW_LONG: w.is_long = 1; keyword = interned_word(word); break;
    case BW_SIGNED: w.is_signed = 1; keyword = interned_word(word); break;
    case BW_UNSIGNED: w.is_unsigned = 1; keyword = interned_word(word); break;
    case BW_NONE: count_words(keyword, w); break;
  }
  int size, ch;
  if (!words_type(w, size, ch)) return nullptr;
  if (word == BW_NONE) return shared_basic(TK_INTEGER, keyword, size, ch, owner);
  return shared_interned_basic(TK_INTEGER, keyword, size, ch, owner);
}

TypeDesc *private_copy(TypeDesc *type, SymbolTable *owner) {
  if (!type || !type->shared) return type;
  return duplicate_type(type, owner);
}

// ---------------------------------------------------------------------------
// List helpers

void enum_add_enumerator(TypeDesc *enumeration, EnumeratorRec *e) {
  if (!enumeration || !enumeration->enumeration() || !e) return;
  EnumInfo *info = enumeration->enumeration();
  e->enumeration = enumeration;
  e->next = nullptr;
  if (info->last) info->last->next = e; else info->first = e;
  info->last = e;
  ++info->count;
}

void class_add_member(TypeDesc *record_type, MemberNode *m) {
  if (!record_type || !record_type->record() || !m) return;
  ClassInfo *r = record_type->record();
  m->next = nullptr;
  if (r->last) r->last->next = m; else r->first = m;
  r->last = m;
  ++r->member_count;
}

void class_add_inherited(TypeDesc *record_type, MemberNode *m) {
  if (!record_type || !record_type->record() || !m) return;
  ClassInfo *r = record_type->record();
  m->next = nullptr;
  if (r->last_inherited) r->last_inherited->next = m; else r->first_inherited = m;
  r->last_inherited = m;
}

void class_add_base(TypeDesc *record_type, BaseNode *b) {
  if (!record_type || !record_type->record() || !b) return;
  ClassInfo *r = record_type->record();
  b->next = nullptr;
  if (r->last_base) r->last_base->next = b; else r->first_base = b;
  r->last_base = b;
}

void function_add_param(TypeDesc *function_type, Declaration *param, SymbolTable *owner) {
  if (!function_type || !function_type->function()) return;
  FunctionInfo *f = function_type->function()->info;
  DeclNode *n = decl_node_new(param, owner);
  if (f->last_param) f->last_param->next = n; else f->first_param = n;
  f->last_param = n;
}

void function_add_exception(TypeDesc *function_type, TypeDesc *type, SymbolTable *owner) {
  if (!function_type || !function_type->function()) return;
  FunctionInfo *f = function_type->function()->info;
  TypeNode *n = type_node_new(type, owner);
  if (f->last_except) f->last_except->next = n; else f->first_except = n;
  f->last_except = n;
  f->has_exception_spec = 1;
}

void template_add_param(TypeDesc *template_type, TemplateParam *p) {
  if (!template_type || !template_type->templ() || !p) return;
  TemplateInfo *t = template_type->templ();
  p->next = nullptr;
  if (t->last_param) t->last_param->next = p; else t->first_param = p;
  t->last_param = p;
}

void template_add_instance(TypeDesc *template_type, Instantiation *i) {
  if (!template_type || !template_type->templ() || !i) return;
  TemplateInfo *t = template_type->templ();
  i->next = nullptr;
  if (t->last_instance) t->last_instance->next = i; else t->first_instance = i;
  t->last_instance = i;
}

void append_qualifier(TypeDesc *type, TypeDesc *qualifier) {
  if (!type || !qualifier || type == qualifier) return;
  TypeDesc *t = type;
  for (int guard = 0; t->next && guard < WALK_LIMIT; ++guard) {
    if (t->next == qualifier) return;
    t = t->next;
  }
  // Qualifying a shared type would qualify every use of it.
  if (t->shared) report_internal(MSG_ERRINTFCT, "append_qualifier");
  t->next = qualifier;
}

void namespace_reopen(TypeDesc *first_record, TypeDesc *new_record) {
  if (!first_record || !new_record || !first_record->record() || !new_record->record()) return;
  TypeDesc *head = canonical_scope(first_record);
  TypeDesc *t = head;
  for (int guard = 0; t->record()->next_opening && guard < WALK_LIMIT; ++guard) t = t->record()->next_opening;
  if (t == new_record) return;
  t->record()->next_opening = new_record;
  new_record->record()->first_opening = head;
}

const char *unnamed_namespace_name() {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s_%d", "ortek_unnamed_namespace", ++g_process.unnamed_namespaces);
  return intern_string(buffer);
}

bool is_unnamed_namespace_name(const char *name) {
  static const char kPrefix[] = "ortek_unnamed_namespace_";
  return name && std::strncmp(name, kPrefix, sizeof kPrefix - 1) == 0;
}

bool is_function_specialisation(const TypeDesc *t) {
  return t && t->kind == TK_FUNCTION && t->template_word && t->template_word->templ() &&
         !t->template_word->templ()->first_param;
}

const char *type_name(const TypeDesc *t) {
  if (!t) return nullptr;
  switch (t->kind) {
    case TK_INTEGER: return t->integer() ? t->integer()->name : nullptr;
    case TK_FLOATING: return t->floating() ? t->floating()->name : nullptr;
    case TK_ENUM: return t->enumeration() ? t->enumeration()->name : nullptr;
    case TK_UNION:
    case TK_CLASS: return t->record() ? t->record()->name : nullptr;
    case TK_ELABORATED: return t->elaborated() ? type_name(t->elaborated()->named) : nullptr;
    case TK_NAMED: return t->named() ? t->named()->name : nullptr;
    case TK_TEMPLATE: return t->templ() ? t->templ()->name : nullptr;
    default: return nullptr;
  }
}

TypeDesc *canonical_scope(TypeDesc *scope) {
  if (!scope) return nullptr;
  if ((scope->kind == TK_CLASS || scope->kind == TK_UNION) && scope->record()) {
    TypeDesc *self = scope->record()->self ? scope->record()->self : scope;
    if (self->record() && self->record()->first_opening) return self->record()->first_opening;
    return self;
  }
  return scope;
}

bool same_scope(const TypeDesc *a, const TypeDesc *b) {
  return canonical_scope(const_cast<TypeDesc *>(a)) == canonical_scope(const_cast<TypeDesc *>(b));
}

TypeDesc *enclosing_scope(const TypeDesc *scope) {
  if (!scope) return nullptr;
  if (scope->record() && scope->record()->enclosing) return scope->record()->enclosing;
  return scope->scope;
}

// ---------------------------------------------------------------------------
// Composition of specifiers

TypeDesc *CPP_compose_type(TypeDesc *first, TypeDesc *second, const char *file, int line,
                           SymbolTable *owner, const ReportSink &sink) {
  if (!first) return second;
  if (!second) return first;
  if (first->kind < 0 || first->kind > TK_TEMPLATE || second->kind < 0 || second->kind > TK_TEMPLATE) {
    sink(MSG_ERRINTERN, "CPP_compose_type", file, line);
    return nullptr;
  }
  // A bare qualifier joins the chain of the other operand.
  if (is_qualifier(second)) {
    first = private_copy(first, owner);
    merge_chain(first, second, owner);
    return first;
  }
  if (is_qualifier(first)) {
    second = private_copy(second, owner);
    merge_chain(second, first, owner);
    return second;
  }
  if (second->kind == TK_POINTER) {
    TypeDesc *inner = CPP_compose_type(first, second->pointer()->target, file, line, owner, sink);
    if (!inner) return nullptr;
    second->pointer()->target = inner;
    return second;
  }
  if (first->kind == TK_INTEGER) {
    if (second->kind == TK_NAMED) {  // a typedef name stands
      merge_chain(second, first->next, owner);
      return second;
    }
    const char *n1 = first->integer()->name ? first->integer()->name : "";
    if (second->kind == TK_FLOATING) {
      // "long double" (either order) is the widest floating type.
      IntWords w;
      count_words(n1, w);
      if (w.is_long == 1 && !w.is_unsigned && !w.is_signed && !w.is_short && !w.is_int &&
          !w.is_char && !w.other && text_is(second->floating()->name, "double")) {
        const std::string joined = std::string(n1) + " double";
        if (!first->next && !second->next) return shared_basic(TK_FLOATING, joined.c_str(), 0, 0, owner);
        TypeDesc *r = floating_type(joined.c_str(), owner);
        merge_chain(r, first->next, owner);
        merge_chain(r, second->next, owner);
        return r;
      }
      construct_warning(sink, "", file, line);
      return nullptr;
    }
    if (second->kind != TK_INTEGER) {
      construct_warning(sink, "", file, line);
      return nullptr;
    }
    const char *n2 = second->integer()->name ? second->integer()->name : "";
    std::string joined = std::string(n1) + " " + n2;
    IntWords w;
    count_words(n1, w);
    count_words(n2, w);
    int size, ch;
    if (!words_type(w, size, ch)) {
      construct_warning(sink, joined, file, line);
      return nullptr;
    }
    if (!first->next && !second->next) return shared_basic(TK_INTEGER, joined.c_str(), size, ch, owner);
    TypeDesc *r = integer_type(joined.c_str(), size, ch, owner);
    merge_chain(r, first->next, owner);
    merge_chain(r, second->next, owner);
    return r;
  }
  if (first->kind == TK_FLOATING && second->kind == TK_INTEGER &&
      text_is(first->floating()->name, "double") && text_is(second->integer()->name, "long")) {
    if (!first->next && !second->next) return shared_basic(TK_FLOATING, "double long", 0, 0, owner);
    TypeDesc *r = floating_type("double long", owner);
    merge_chain(r, first->next, owner);
    merge_chain(r, second->next, owner);
    return r;
  }
  construct_warning(sink, "", file, line);
  return nullptr;
}

// ---------------------------------------------------------------------------
// Copy

namespace {

TypeDesc *dup(const TypeDesc *t, int depth, SymbolTable *owner);

// Named aggregates reached from inside a type are shared: copying them would
// walk whole graphs of linked structures.
TypeDesc *dup_sub(TypeDesc *t, int depth, SymbolTable *owner) {
  if (!t) return nullptr;
  bool named_aggregate = (t->kind == TK_ENUM || t->kind == TK_UNION || t->kind == TK_CLASS ||
                          t->kind == TK_TEMPLATE) && type_name(t);
  if (named_aggregate || depth > 200) return t;
  return dup(t, depth + 1, owner);
}

TypeDesc *dup(const TypeDesc *t, int depth, SymbolTable *owner) {
  if (!t) return nullptr;
  TypeDesc *n = type_new(t->kind, owner);
  if (!has_detail(t)) return n;
  n->scope_kind = t->scope_kind;
  n->scope = t->scope;
  n->template_word = t->template_word;
  // Qualifier chain, copied node by node.
  TypeDesc *tail = n;
  for (const TypeDesc *q = t->next; q && depth < WALK_LIMIT; q = q->next, ++depth) {
    TypeDesc *c = is_qualifier(q) ? qualifier_type(q->named()->name, owner) : dup_sub(const_cast<TypeDesc *>(q), depth, owner);
    if (!is_qualifier(q)) {  // a composed chain: keep the rest as it is
      tail->next = c;
      break;
    }
    tail->next = c;
    tail = c;
  }
  switch (t->kind) {
    case TK_INTEGER: *n->integer() = *t->integer(); break;
    case TK_FLOATING: *n->floating() = *t->floating(); break;
    case TK_POINTER:
      n->pointer()->member_class = t->pointer()->member_class;
      n->pointer()->target = dup_sub(t->pointer()->target, depth, owner);
      break;
    case TK_ARRAY:
      n->array()->element = dup_sub(t->array()->element, depth, owner);
      n->array()->has_bound_text = t->array()->has_bound_text;
      n->array()->bound_text = t->array()->bound_text;
      n->array()->bound_expression = t->array()->bound_expression;
      break;
    case TK_ENUM: {
      const EnumInfo *o = t->enumeration();
      n->enumeration()->name = o->name;
      n->enumeration()->scoped = o->scoped;
      n->enumeration()->underlying = o->underlying;
      for (const EnumeratorRec *e = o->first; e; e = e->next) {
        EnumeratorRec *c = enumerator_new(e->name, owner);
        c->has_value = e->has_value;
        c->value_text = e->value_text;
        c->file = e->file;
        c->line = e->line;
        enum_add_enumerator(n, c);
      }
      break;
    }
    case TK_UNION:
    case TK_CLASS: {
      const ClassInfo *o = t->record();
      ClassInfo *r = n->record();
      r->name = o->name;
      r->friend_of_reference = o->friend_of_reference;
      r->instance_mark = o->instance_mark;
      r->explicit_specialisation = o->explicit_specialisation;
      r->key = o->key;
      r->has_body = o->has_body;
      r->enclosing = o->enclosing;
      r->using_namespaces = o->using_namespaces;
      r->using_declarations = o->using_declarations;
      r->alias_of = o->alias_of;
      r->template_arguments = o->template_arguments;
      // Members keep being members of the original scope.
      r->self = o->self ? o->self : const_cast<TypeDesc *>(t);
      for (const MemberNode *m = o->first; m; m = m->next) {
        MemberNode *c = member_node_new(m->decl, m->access, owner);
        class_add_member(n, c);
      }
      for (const MemberNode *m = o->first_inherited; m; m = m->next) {
        MemberNode *c = member_node_new(m->decl, m->access, owner);
        class_add_inherited(n, c);
      }
      for (const BaseNode *b = o->first_base; b; b = b->next)
        class_add_base(n, base_node_new(b->base, b->access, b->is_virtual, owner));
      break;
    }
    case TK_ELABORATED: *n->elaborated() = *t->elaborated(); break;
    case TK_FUNCTION: {
      const FunctionInfo *o = t->function()->info;
      FunctionInfo *f = n->function()->info;
      n->function()->result = dup_sub(t->function()->result, depth, owner);
      for (const DeclNode *p = o->first_param; p; p = p->next) {
        const Declaration *od = p->decl;
        Declaration *d = decl_new(nullptr, nullptr, owner);
        if (od) {
          *d = *od;
          d->type = dup_sub(od->type, depth, owner);
        }
        function_add_param(n, d, owner);
      }
      for (const TypeDesc *q = o->qualifiers; q; q = q->next) {
        TypeDesc *c = is_qualifier(q) ? qualifier_type(q->named()->name, owner) : const_cast<TypeDesc *>(q);
        if (!f->qualifiers) f->qualifiers = c; else append_qualifier(f->qualifiers, c);
        if (!is_qualifier(q)) break;
      }
      for (const TypeNode *e = o->first_except; e; e = e->next)
        function_add_exception(n, dup_sub(e->type, depth, owner), owner);
      f->has_exception_spec = o->has_exception_spec;
      f->defined = o->defined;
      f->has_body = o->has_body;
      f->body = o->body;
      break;
    }
    case TK_NAMED: *n->named() = *t->named(); break;
    case TK_REFERENCE:
      n->reference()->target = dup_sub(t->reference()->target, depth, owner);
      n->reference()->rvalue = t->reference()->rvalue;
      break;
    case TK_ELLIPSIS: *n->ellipsis() = *t->ellipsis(); break;
    case TK_TEMPLATE: {
      const TemplateInfo *o = t->templ();
      TemplateInfo *r = n->templ();
      r->name = o->name;
      r->key = o->key;
      r->has_body = o->has_body;
      r->body = o->body;
      r->file = o->file;
      r->line = o->line;
      r->member_definitions = o->member_definitions;
      for (const TemplateParam *p = o->first_param; p; p = p->next) {
        TemplateParam *c = template_param_new(p->name, owner);
        c->is_type = p->is_type;
        c->is_class = p->is_class;
        c->value_type = p->value_type;
        c->has_default = p->has_default;
        c->default_text = p->default_text;
        template_add_param(n, c);
      }
      for (const Instantiation *i = o->first_instance; i; i = i->next)
        template_add_instance(n, instantiation_new(i->instance_name, i->instance, owner));
      break;
    }
    default: break;
  }
  return n;
}

bool record_has_body(const TypeDesc *t) {
  return t && t->record() && (t->record()->has_body || t->record()->first);
}

}  // namespace

TypeDesc *duplicate_type(const TypeDesc *type, SymbolTable *owner) { return dup(type, 0, owner); }

TypeDesc *merge_type(TypeDesc *old_type, TypeDesc *new_type) {
  if (!old_type) return new_type;
  if (!new_type || old_type == new_type) return old_type;
  if (old_type->kind != new_type->kind) return new_type;
  if (!has_detail(old_type) || !has_detail(new_type)) return new_type;
  switch (old_type->kind) {
    case TK_ENUM:
      if (new_type->enumeration()->first && !old_type->enumeration()->first) {
        EnumInfo *o = old_type->enumeration();
        o->first = new_type->enumeration()->first;
        o->last = new_type->enumeration()->last;
        o->count = new_type->enumeration()->count;
        for (EnumeratorRec *e = o->first; e; e = e->next) e->enumeration = old_type;
        if (!o->name) o->name = new_type->enumeration()->name;
      }
      if (!old_type->enumeration()->underlying) {
        old_type->enumeration()->underlying = new_type->enumeration()->underlying;
        old_type->enumeration()->scoped = new_type->enumeration()->scoped;
      }
      return old_type;
    case TK_UNION:
    case TK_CLASS:
      // Share the record: the members were entered with the new type as
      // their scope, and everything that pointed at the forward declaration
      // now sees the body.
      if (record_has_body(new_type) && new_type->record() != old_type->record())
        old_type->set_detail(new_type->record());
      return old_type;
    case TK_TEMPLATE:
      if (new_type->templ()->has_body && !old_type->templ()->has_body) old_type->set_detail(new_type->templ());
      return old_type;
    case TK_FUNCTION: {
      // The later declaration stands (a definition after its prototype),
      // except that a prototype after the definition does not take the
      // definition's parameter names and body away. Default values written
      // only in the declaration that goes are kept.
      const bool keep_old = old_type->function()->info->defined && !new_type->function()->info->defined;
      TypeDesc *stays = keep_old ? old_type : new_type;
      TypeDesc *goes = keep_old ? new_type : old_type;
      DeclNode *o = goes->function()->info->first_param;
      DeclNode *n = stays->function()->info->first_param;
      for (; o && n; o = o->next, n = n->next)
        if (o->decl && n->decl && n->decl->text.empty() && !o->decl->text.empty()) n->decl->text = o->decl->text.view();
      return stays;
    }
    case TK_ARRAY:
      if (!new_type->array()->has_bound_text && new_type->array()->bound_expression.empty() &&
          (old_type->array()->has_bound_text || !old_type->array()->bound_expression.empty()))
        return old_type;
      return new_type;
    default: return new_type;
  }
}

// ---------------------------------------------------------------------------
// Comparison

namespace {

bool chain_has(const TypeDesc *t, const char *qualifier) {
  int guard = 0;
  for (const TypeDesc *q = t ? t->next : nullptr; q && guard < WALK_LIMIT; q = q->next, ++guard)
    if (q->kind == TK_NAMED && q->named() && text_is(q->named()->name, qualifier)) return true;
  return false;
}

bool same_qualifiers(const TypeDesc *a, const TypeDesc *b) {
  return chain_has(a, "const") == chain_has(b, "const") &&
         chain_has(a, "volatile") == chain_has(b, "volatile");
}

bool equal_types(const TypeDesc *a, const TypeDesc *b, bool lenient, bool top, int depth);

// The integer type a spelling names ("long int" and "signed long" are
// "long"): types of equal size may still be distinct (int and long).
std::string integer_spelling(const char *name) {
  bool is_unsigned = false, is_signed = false, has_char = false;
  int longs = 0;
  std::string rest;
  const char *p = name ? name : "";
  while (*p) {
    while (*p == ' ') ++p;
    const char *b = p;
    while (*p && *p != ' ') ++p;
    std::string w(b, static_cast<std::size_t>(p - b));
    if (w.empty()) continue;
    if (w == "unsigned") is_unsigned = true;
    else if (w == "signed") is_signed = true;
    else if (w == "long") ++longs;
    else if (w == "int") continue;
    else {
      if (w == "char") has_char = true;
      rest += w;
    }
  }
  std::string out = is_unsigned ? "u" : (is_signed && has_char) ? "s" : "";
  for (int i = 0; i < longs; ++i) out += "l";
  out += rest.empty() && longs == 0 ? "int" : rest;
  return out;
}

bool equal_params(const TypeDesc *f1, const TypeDesc *f2, bool lenient, int depth) {
  const DeclNode *p = f1->function()->info->first_param;
  const DeclNode *q = f2->function()->info->first_param;
  auto only_void = [](const DeclNode *n) {
    return n && !n->next && n->decl && n->decl->type && n->decl->type->kind == TK_VOID;
  };
  if ((!p && only_void(q)) || (!q && only_void(p))) return true;
  if (lenient && (!p || !q)) return true;  // an old-style declaration says nothing
  for (; p && q; p = p->next, q = q->next) {
    const TypeDesc *a = p->decl ? p->decl->type : nullptr;
    const TypeDesc *b = q->decl ? q->decl->type : nullptr;
    if (!equal_types(a, b, lenient, true, depth + 1)) return false;
  }
  return !p && !q;
}

bool equal_types(const TypeDesc *a, const TypeDesc *b, bool lenient, bool top, int depth) {
  if (depth > RECURSION_LIMIT) return false;
  if (lenient) {
    a = strip_typedefs(a);
    b = strip_typedefs(b);
  }
  if (a == b) return true;
  if (!a || !b || !has_detail(a) || !has_detail(b)) return false;
  if (!(lenient && top) && !same_qualifiers(a, b)) return false;
  if (a->kind != b->kind) {
    // "struct S" and S name the same class.
    const TypeDesc *x = a->kind == TK_ELABORATED ? a->elaborated()->named : a;
    const TypeDesc *y = b->kind == TK_ELABORATED ? b->elaborated()->named : b;
    if (x != a || y != b) return equal_types(x, y, lenient, false, depth + 1);
    return false;
  }
  switch (a->kind) {
    case TK_INTEGER:
      if (!lenient && integer_spelling(a->integer()->name) != integer_spelling(b->integer()->name)) return false;
      return a->integer()->size == b->integer()->size && a->integer()->char_type == b->integer()->char_type &&
             (std::strcmp(a->integer()->name ? a->integer()->name : "", "bool") == 0) ==
                 (std::strcmp(b->integer()->name ? b->integer()->name : "", "bool") == 0);
    case TK_FLOATING: {
      auto width = [](const char *n) { return n && std::strstr(n, "long") ? 2 : (text_is(n, "float") ? 0 : 1); };
      return width(a->floating()->name) == width(b->floating()->name);
    }
    case TK_POINTER:
      return a->pointer()->member_class == b->pointer()->member_class &&
             equal_types(a->pointer()->target, b->pointer()->target, lenient, false, depth + 1);
    case TK_REFERENCE:
      return a->reference()->rvalue == b->reference()->rvalue &&
             equal_types(a->reference()->target, b->reference()->target, lenient, false, depth + 1);
    case TK_ARRAY:
      return equal_types(a->array()->element, b->array()->element, lenient, false, depth + 1);
    case TK_FUNCTION:
      return equal_types(a->function()->result, b->function()->result, lenient, false, depth + 1) &&
             equal_params(a, b, lenient, depth + 1);
    case TK_ELABORATED:
      return equal_types(a->elaborated()->named, b->elaborated()->named, lenient, false, depth + 1);
    case TK_NAMED: return text_is(a->named()->name, b->named()->name);
    case TK_ENUM:
    case TK_UNION:
    case TK_CLASS:
    case TK_TEMPLATE: {
      if (a->record() && b->record() && a->record() == b->record()) return true;
      const char *n1 = type_name(a), *n2 = type_name(b);
      return n1 && n2 && std::strcmp(n1, n2) == 0 && same_scope(a->scope, b->scope);
    }
    case TK_ELLIPSIS:
    case TK_VOID:
    case TK_NONE:
    case TK_RESERVED: return true;
  }
  return false;
}

}  // namespace

bool same_type(const TypeDesc *a, const TypeDesc *b) { return equal_types(a, b, false, false, 0); }

bool same_parameters(const TypeDesc *f1, const TypeDesc *f2, bool lenient) {
  if (!f1 || !f2 || f1->kind != TK_FUNCTION || f2->kind != TK_FUNCTION) return false;
  // The const and volatile of a member function belong to its signature:
  // at(int) and at(int) const are two overloads.
  const FunctionInfo *i1 = f1->function() ? f1->function()->info : nullptr;
  const FunctionInfo *i2 = f2->function() ? f2->function()->info : nullptr;
  const TypeDesc *q1 = i1 ? i1->qualifiers : nullptr;
  const TypeDesc *q2 = i2 ? i2->qualifiers : nullptr;
  auto has = [](const TypeDesc *q, const char *word) {
    for (int guard = 0; q && guard < WALK_LIMIT; q = q->next, ++guard)
      if (q->kind == TK_NAMED && q->named() && text_is(q->named()->name, word)) return true;
    return false;
  };
  if (has(q1, "const") != has(q2, "const") || has(q1, "volatile") != has(q2, "volatile")) return false;
  return equal_params(f1, f2, lenient, 0);
}

const TypeDesc *strip_typedefs(const TypeDesc *type) {
  for (int guard = 0; type && type->kind == TK_NAMED && type->named() && type->named()->aliased && guard < WALK_LIMIT;
       ++guard)
    type = type->named()->aliased;
  return type;
}

TypeDesc *strip_typedefs(TypeDesc *type) {
  return const_cast<TypeDesc *>(strip_typedefs(static_cast<const TypeDesc *>(type)));
}

const TypeDesc *see_through_names(const TypeDesc *t, bool leading_qualifiers) {
  for (int guard = 0; t && guard < WALK_LIMIT; ++guard) {
    if (t->kind == TK_NAMED && t->named() && t->named()->aliased)
      t = t->named()->aliased;
    else if (leading_qualifiers && t->kind == TK_NAMED && t->named() && !t->named()->aliased && t->next)
      t = t->next;
    else if (t->kind == TK_ELABORATED && t->elaborated() && t->elaborated()->named)
      t = t->elaborated()->named;
    else if (t->kind == TK_REFERENCE && t->reference() && t->reference()->target)
      t = t->reference()->target;
    else
      break;
  }
  return t;
}

// ---------------------------------------------------------------------------
// Predicates

ParamMode param_mode(TypeDesc *type, bool clear_marker) {
  static constexpr char markers[][7] = {"_in", "_IN", "_out", "_OUT", "_inout", "_INOUT", "_no", "_NO"};
  auto marker_of = [&](TypeDesc *t) -> int {
    if (!t || t->kind != TK_NAMED || !t->named() || !t->named()->name) return -1;
    for (int i = 0; i < 8; ++i)
      if (std::strcmp(t->named()->name, markers[i]) == 0) {
        if (clear_marker) t->named()->name = nullptr;
        return i;
      }
    return -1;
  };
  TypeDesc *t = type;
  for (int guard = 0; t && guard < WALK_LIMIT && has_detail(t); ++guard) {
    int m = marker_of(t);
    if (m >= 0) return static_cast<ParamMode>(m);
    int g2 = 0;
    for (TypeDesc *q = t->next; q && g2 < WALK_LIMIT; q = q->next, ++g2) {
      m = marker_of(q);
      if (m >= 0) return static_cast<ParamMode>(m);
    }
    switch (t->kind) {
      case TK_POINTER: t = t->pointer()->target; break;
      case TK_ARRAY: t = t->array()->element; break;
      case TK_FUNCTION: t = t->function()->result; break;
      case TK_REFERENCE: t = t->reference()->target; break;
      case TK_NAMED: t = t->named()->aliased; break;
      default: t = nullptr; break;
    }
  }
  return PM_NONE;
}

bool type_is_const(const TypeDesc *t) {
  for (int guard = 0; t && guard < WALK_LIMIT; ++guard) {
    if (!has_detail(t)) return false;
    switch (t->kind) {
      case TK_INTEGER:
      case TK_FLOATING:
      case TK_VOID:
      case TK_POINTER:
      case TK_ELLIPSIS: return chain_has(t, "const");
      case TK_ARRAY: t = t->array()->element; break;
      case TK_FUNCTION: t = t->function()->result; break;
      case TK_REFERENCE:
        if (chain_has(t, "const")) return true;
        t = t->reference()->target;
        break;
      case TK_NAMED:
        // The name, its own chain, then what it stands for (typedef chains
        // can be long: walked, not recursed).
        if (text_is(t->named()->name, "const") || chain_has(t, "const")) return true;
        t = t->named()->aliased;
        break;
      // "const struct cfg x", and the same through "typedef struct cfg cfg".
      case TK_ELABORATED:
      case TK_CLASS:
      case TK_UNION:
      case TK_ENUM: return chain_has(t, "const");
      default: return false;
    }
  }
  return false;
}

namespace {
const TypeDesc *through_names(const TypeDesc *t) {
  for (int guard = 0; t && guard < WALK_LIMIT && has_detail(t); ++guard) {
    if (t->kind == TK_NAMED && t->named()->aliased) t = t->named()->aliased;
    else if (t->kind == TK_ELABORATED && t->elaborated()->named) t = t->elaborated()->named;
    else if (t->kind == TK_REFERENCE && t->reference()->target) t = t->reference()->target;
    else break;
  }
  return t;
}
}  // namespace

bool is_text_char(const TypeDesc *t) {
  if (!t || t->kind != TK_INTEGER || !t->integer() || !t->integer()->char_type) return false;
  // Plain char holds text whatever the target's signedness; "unsigned char"
  // written as such holds bytes.
  const char *name = t->integer()->name;
  return t->integer()->size < 0 || !name || !std::strstr(name, "unsigned");
}

bool type_is_char_string(const TypeDesc *type) {
  const TypeDesc *t = through_names(type);
  if (!t || !has_detail(t)) return false;
  const TypeDesc *inner;
  if (t->kind == TK_POINTER) inner = t->pointer()->target;
  else if (t->kind == TK_ARRAY) inner = t->array()->element;
  else return false;
  return is_text_char(through_names(inner));
}

bool member_is_selectable(const MemberNode *member, int mode, int friend_of_reference) {
  if (!member || !member->decl) return false;
  const int access = member->access & ACC_MASK;
  const bool inherited = (member->access & ACC_INHERITED) != 0;
  if (access != ACC_PUBLIC) {
    bool ok = (inherited && (member->access & (ACC_PATH_A | ACC_PATH_B))) || (friend_of_reference && !inherited);
    if (!ok) return false;
  }
  const Declaration *d = member->decl;
  const TypeDesc *t = d->type;
  if (!t) return d->name != nullptr;
  switch (t->kind) {
    case TK_UNION: return true;
    case TK_ELABORATED: {
      const char *n = type_name(t);
      return !(n && d->name && std::strcmp(n, d->name) == 0);
    }
    case TK_FUNCTION: return mode != 1 && d->name != nullptr;
    default: break;
  }
  const TypeDesc *base = strip_typedefs(t);
  if (base && (base->kind == TK_CLASS || base->kind == TK_UNION)) {
    int guard = 0;
    for (const TypeDesc *s = d->scope; s && guard < WALK_LIMIT; s = enclosing_scope(s), ++guard)
      if (same_scope(s, base)) return false;
  }
  return d->name != nullptr;
}

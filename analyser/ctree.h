// Type model of the declaration analyser: type descriptors, declarations,
// the records hanging off them, and the operations on types that do not need
// the symbol table's buckets (composition, copying, merging, predicates).
//
// Ownership: every record here is created through the constructors below and
// belongs to the symbol table named as its owner; release_table frees them
// all at once. Never delete a record yourself and never build one with plain
// new: graphs share nodes freely (one specifier type serves every declarator
// of a list), so only the owner may free them. Records made with no owner
// belong to a process-wide pool that lives until exit.
#pragma once
#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "merror.h"
#include "y1_tab.h"

struct SymbolTable;
struct TypeDesc;

// A text held by a record: one word, nothing allocated while it is empty.
// Most declarations carry no initialiser and most functions no kept body,
// and files with very many of them make the size of these records count.
// The block holding the text has room for one number beside it (see
// DeclText), kept by every assignment of a text and by clear().
class OwnedText {
 public:
  OwnedText() = default;
  explicit OwnedText(std::string_view s) { assign(s, 0); }
  OwnedText(const OwnedText &o) { assign(o.view(), o.note()); }
  OwnedText(OwnedText &&o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  OwnedText &operator=(const OwnedText &o) {
    if (this != &o) assign(o.view(), o.note());
    return *this;
  }
  OwnedText &operator=(OwnedText &&o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  OwnedText &operator=(std::string_view s) {
    assign(s, note());
    return *this;
  }
  ~OwnedText() { release(); }

  bool empty() const { return !p_ || !*p_; }
  const char *c_str() const { return p_ ? p_ : ""; }
  char operator[](std::size_t i) const { return c_str()[i]; }
  std::string_view view() const { return p_ ? std::string_view(p_) : std::string_view(); }
  operator std::string_view() const { return view(); }
  std::string str() const { return std::string(view()); }
  std::size_t find(std::string_view s, std::size_t from = 0) const { return view().find(s, from); }
  std::size_t find_first_not_of(std::string_view s) const { return view().find_first_not_of(s); }
  void clear() { assign(std::string_view(), note()); }
  friend bool operator==(const OwnedText &a, std::string_view b) { return a.view() == b; }
  friend bool operator!=(const OwnedText &a, std::string_view b) { return a.view() != b; }
  friend std::string operator+(std::string a, const OwnedText &b) { return a.append(b.view()); }
  friend std::string operator+(const char *a, const OwnedText &b) { return std::string(a).append(b.view()); }

 protected:
  int note() const;
  void set_note(int note) { assign(view(), note); }

 private:
  // The text ends at its first NUL: texts come from source lines, which
  // never hold one. Nothing is allocated for an empty text with note 0.
  void assign(std::string_view s, int note);
  void release();
  char *p_ = nullptr;  // the text, after the note in the same block
};

// A declaration's initialiser or default-value text, with the width of a
// bit-field member in the text's block: few declarations have either, and
// the width then costs no word of every declaration.
class DeclText : public OwnedText {
 public:
  using OwnedText::OwnedText;
  using OwnedText::operator=;
  // 0 for anything but a bit-field.
  int bit_width() const { return note(); }
  void set_bit_width(int width) { set_note(width); }
};
std::ostream &operator<<(std::ostream &out, const OwnedText &text);

struct Declaration;
struct Symbol;

enum TypeKind : int {
  TK_INTEGER = 0,      // char and integer types
  TK_FLOATING = 1,
  TK_NONE = 2,         // never built
  TK_POINTER = 3,
  TK_ARRAY = 4,
  TK_ENUM = 5,
  TK_UNION = 6,
  TK_ELABORATED = 7,   // "struct S" used as a type
  TK_FUNCTION = 8,
  TK_VOID = 9,
  TK_CLASS = 10,       // structure, class, namespace record
  TK_NAMED = 11,       // typedef name used as a type, or a const/volatile qualifier
  TK_REFERENCE = 12,
  TK_ELLIPSIS = 13,
  TK_TEMPLATE = 14,    // class template
  TK_RESERVED = 15     // renders as nothing
};

enum StorageFlags : unsigned {
  SF_TYPEDEF = 0x001,
  SF_EXTERN = 0x002,
  SF_STATIC = 0x004,
  SF_AUTO = 0x008,
  SF_REGISTER = 0x010,
  SF_FRIEND = 0x020,
  SF_OVERLOAD = 0x040,
  SF_INLINE = 0x080,
  SF_VIRTUAL = 0x100,
  SF_EXPORT = 0x200,
  SF_EXPLICIT = 0x400,
  SF_MUTABLE = 0x800,
  // A bit-field member: `word` holds its width (0 only for an unnamed one,
  // which ends the allocation unit).
  SF_BITFIELD = 0x1000,
  // "thread_local": each thread has its own object (a declaration of it
  // elsewhere must say so too).
  SF_THREAD_LOCAL = 0x2000,
  // A function parameter pack (Args &&...args): written with its "...".
  SF_PACK = 0x4000
};

// Member access word: low bits the access, then inheritance marks.
enum MemberAccess : int {
  ACC_PUBLIC = 1,
  ACC_PRIVATE = 2,
  ACC_PROTECTED = 4,
  ACC_MASK = 7,
  ACC_INHERITED = 8,
  ACC_PATH_A = 16,  // properties of the inheritance path; either makes a
  ACC_PATH_B = 32   // non-public inherited member selectable
};

// Where a class record comes from.
enum InstanceMark : int {
  IM_OWN = 0,             // its own definition
  IM_INSTANCE = 1,        // an instance made for a use of a class template
  IM_SPECIALISATION = 2   // an explicit specialisation of a class template
};

enum ClassKey : int { KEY_STRUCT = 0, KEY_CLASS = 1, KEY_UNION = 2, KEY_NAMESPACE = 3 };

// Parameter passing markers; the index in the marker list is the mode.
enum ParamMode : int {
  PM_IN = 0, PM_IN_UPPER = 1, PM_OUT = 2, PM_OUT_UPPER = 3,
  PM_INOUT = 4, PM_INOUT_UPPER = 5, PM_NO = 6, PM_NO_UPPER = 7, PM_NONE = 8
};

// ---------------------------------------------------------------------------
// Analysis settings shared by the scanner, the grammar and the type
// operations. The generator fills them before an analysis; only the sizeof and
// signof pragmas change the target sizes during one.
struct AnalysisOptions {
  int keep_bodies = 0;       // keep bodies of functions defined outside classes
  int lenient_matching = 0;  // compatible parameter lists name the same function
  int first_match = 0;       // lookups return the first visible entry
  int recording = 0;         // append entries made/completed to SymbolTable::recorded;
                             // the generator turns it on for analyses copied into the script
  int multichar_allowed = 0;
};
struct AnalysisSettings : AnalysisOptions {
  // The target's sizes: the preprocessor's record, which #if sizeof reads
  // too and the sizeof and signof pragmas set.
  TargetSizes *sizes = &target_sizes();
};
AnalysisSettings &analysis_settings();
void reset_analysis_settings();  // back to the defaults above

// ---------------------------------------------------------------------------
// Detail records, one kind each.

struct IntegerInfo {      // kind 0
  const char *name = nullptr;  // interned, e.g. "unsigned long int"
  int size = 0;                // bits; negative when signed
  int char_type = 0;           // non-zero for the character types
};

struct FloatInfo {        // kind 1
  const char *name = nullptr;  // interned, e.g. "long double"
};

struct PointerInfo {      // kind 3; the pointer's own qualifiers are in TypeDesc::next
  TypeDesc *member_class = nullptr;  // class of a pointer to member, else none
  TypeDesc *target = nullptr;
};

struct ArrayInfo {        // kind 4
  TypeDesc *element = nullptr;
  bool has_bound_text = false;
  OwnedText bound_text;        // as written (may be only blanks)
  OwnedText bound_expression;  // normalised expression text, analysed on demand
};

struct EnumeratorRec {
  const char *name = nullptr;    // interned
  bool has_value = false;
  OwnedText value_text;
  const char *file = nullptr;    // interned; position when created
  int line = 0;
  EnumeratorRec *next = nullptr;
  TypeDesc *enumeration = nullptr;
};

struct EnumInfo {         // kind 5
  const char *name = nullptr;
  int count = 0;
  EnumeratorRec *first = nullptr;
  EnumeratorRec *last = nullptr;
  int scoped = 0;                 // 1 "enum class", 2 "enum struct"
  TypeDesc *underlying = nullptr; // the fixed underlying type (enum E : unsigned char)
};

// One per member of a class, structure, union or namespace record, in
// declaration order, and one per inherited member.
struct MemberNode {
  Declaration *decl = nullptr;
  int access = ACC_PUBLIC;  // MemberAccess bits
  MemberNode *next = nullptr;
};

struct BaseNode {
  TypeDesc *base = nullptr;  // the base class type
  int access = ACC_PRIVATE;  // derivation access (ACC_PUBLIC/PRIVATE/PROTECTED)
  bool is_virtual = false;
  BaseNode *next = nullptr;
};

// Using-declaration text ("using A :: f") with its first name.
struct UsingDecl {
  std::string text;
  const char *first_name = nullptr;
};

// Class record (kinds 6 and 10; kind 6 leaves the base and inheritance lists
// empty). It is also the scope record of classes, unions and namespaces.
struct ClassInfo {
  const char *name = nullptr;
  int member_count = 0;
  MemberNode *first = nullptr;
  MemberNode *last = nullptr;
  MemberNode *first_inherited = nullptr;
  MemberNode *last_inherited = nullptr;
  BaseNode *first_base = nullptr;
  BaseNode *last_base = nullptr;
  int friend_of_reference = 0;  // a member befriends the generator's reference name
  InstanceMark instance_mark = IM_OWN;
  int explicit_specialisation = 0;  // template <> class X<args> {...}: a body of its own
  ClassKey key = KEY_STRUCT;
  int has_body = 0;             // the body has been seen
  // Scope record.
  TypeDesc *enclosing = nullptr;          // enclosing class/namespace, none at file level
  std::vector<TypeDesc *> using_namespaces;  // named by using-directives inside it
  std::vector<UsingDecl> using_declarations;
  TypeDesc *first_opening = nullptr;  // first record of a reopened namespace (none on the first)
  TypeDesc *next_opening = nullptr;   // next record of the same namespace
  TypeDesc *alias_of = nullptr;       // namespace alias: the namespace it refers to
  std::string template_arguments;     // instances: the argument texts
  std::string alignment;              // "alignas(...) " of the class head: the layout depends on it
  // The type the members were entered with. A forward declaration completed
  // later shares this record, so compare scopes with same_scope.
  TypeDesc *self = nullptr;
};

struct ElaboratedInfo {   // kind 7
  TypeDesc *named = nullptr;  // the class-like type it names
};

// Parameter list node, and node of the exception list after "throw".
struct DeclNode {
  Declaration *decl = nullptr;
  DeclNode *next = nullptr;
};
struct TypeNode {
  TypeDesc *type = nullptr;
  TypeNode *next = nullptr;
};

struct FunctionInfo {
  DeclNode *first_param = nullptr;
  DeclNode *last_param = nullptr;
  TypeDesc *qualifiers = nullptr;  // of a member function ("const" ...)
  TypeNode *first_except = nullptr;
  TypeNode *last_except = nullptr;
  OwnedText body;       // body text when kept
  unsigned char defined = 0;   // set by a function definition; cleared by emitters once written
  unsigned char has_body = 0;  // body text kept
  unsigned char has_exception_spec = 0;  // "throw (...)" was written (possibly empty)
  // Defined by "= default" or "= delete" where declared: a declaration
  // written back without it would be another function (a user-provided
  // constructor no one defines, a call that should not compile).
  unsigned char special_definition = 0;  // SD_NONE, SD_DEFAULT or SD_DELETE
};

enum SpecialDefinition : unsigned char { SD_NONE = 0, SD_DEFAULT = 1, SD_DELETE = 2 };

struct FunctionDetail {   // kind 8
  TypeDesc *result = nullptr;
  FunctionInfo *info = nullptr;
};

struct NamedInfo {        // kind 11
  const char *name = nullptr;  // typedef name, or "const"/"volatile"
  TypeDesc *aliased = nullptr; // none for a qualifier
};

struct ReferenceInfo {    // kind 12
  TypeDesc *target = nullptr;
  bool rvalue = false;     // "&&"
};

struct EllipsisInfo {     // kind 13
  int marker = 0;  // a parameter precedes it
};

struct TemplateParam {
  const char *name = nullptr;
  int is_type = 1;              // class/typename parameter, else a value parameter
  int is_class = 0;             // declared with "class"
  TypeDesc *value_type = nullptr;  // type of a value parameter
  bool has_default = false;
  bool pack = false;            // typename... Ts
  std::string default_text;
  std::string template_head;    // "template <typename...> " of a template template parameter
  TemplateParam *next = nullptr;
};

struct Instantiation {
  const char *instance_name = nullptr;  // e.g. "List<int>"
  TypeDesc *instance = nullptr;         // the class made for it
  Instantiation *next = nullptr;
};

struct TypeDesc;
// template <class V, class A> struct X<V, V, A> {...}: the header that holds
// its parameters, the argument pattern and the body.
struct PartialSpecialisation {
  TypeDesc *header = nullptr;
  std::vector<std::string> pattern;
  std::string body;
  const char *file = nullptr;
  int line = 0;
};

struct TemplateInfo {     // kind 14
  const char *name = nullptr;
  ClassKey key = KEY_CLASS;
  TemplateParam *first_param = nullptr;
  TemplateParam *last_param = nullptr;
  int has_body = 0;
  std::string body;          // captured body text
  const char *file = nullptr;  // position of the declaration
  int line = 0;
  Instantiation *first_instance = nullptr;
  Instantiation *last_instance = nullptr;
  std::vector<std::string> member_definitions;  // member bodies captured with the template
  int alias = 0;             // template <...> using name = type;  `body` holds the type's text
  std::string alignment;     // "alignas(...) " of the class head
  int declared_before = 0;   // the definition of a template declared earlier
  std::vector<PartialSpecialisation> partials;
};

// ---------------------------------------------------------------------------

// A type has the one detail record its kind calls for, so the record is
// kept in a single word and each accessor answers for its own kinds only
// (none for the others, as a type never changes its kind). Files with many
// declarations hold a great many types: their size counts.
struct TypeDesc {
  TypeKind kind = TK_RESERVED;
  unsigned char scope_kind = 0;       // 0 file scope, 1 declared in a class or namespace
  unsigned char rendering_guard = 0;
  unsigned char visit_mark = 0;       // set while a walk (needed types) is inside it
  // Shared by every use in its table (an unqualified basic type): never
  // changed; qualify or modify a private_copy instead.
  unsigned char shared = 0;
  TypeDesc *scope = nullptr;   // class/namespace where declared
  TypeDesc *next = nullptr;    // chained specifier (qualifiers after the type)
  TypeDesc *template_word = nullptr;  // the class template it comes from, if any

  // Detail record by kind (kinds 2, 9, 15: none).
  IntegerInfo *integer() const { return of<IntegerInfo>(kind == TK_INTEGER); }
  FloatInfo *floating() const { return of<FloatInfo>(kind == TK_FLOATING); }
  PointerInfo *pointer() const { return of<PointerInfo>(kind == TK_POINTER); }
  ArrayInfo *array() const { return of<ArrayInfo>(kind == TK_ARRAY); }
  EnumInfo *enumeration() const { return of<EnumInfo>(kind == TK_ENUM); }
  ClassInfo *record() const { return of<ClassInfo>(kind == TK_UNION || kind == TK_CLASS); }
  ElaboratedInfo *elaborated() const { return of<ElaboratedInfo>(kind == TK_ELABORATED); }
  FunctionDetail *function() const { return of<FunctionDetail>(kind == TK_FUNCTION); }
  NamedInfo *named() const { return of<NamedInfo>(kind == TK_NAMED); }
  ReferenceInfo *reference() const { return of<ReferenceInfo>(kind == TK_REFERENCE); }
  EllipsisInfo *ellipsis() const { return of<EllipsisInfo>(kind == TK_ELLIPSIS); }
  TemplateInfo *templ() const { return of<TemplateInfo>(kind == TK_TEMPLATE); }
  // Sets (or replaces) the detail record: the one of the type's kind.
  template <typename T> void set_detail(T *record) { detail_ = record; }
  // The detail record whatever its kind, for a walk that fetches ahead.
  const void *detail_record() const { return detail_; }

 private:
  template <typename T> T *of(bool matches) const { return matches ? static_cast<T *>(detail_) : nullptr; }
  void *detail_ = nullptr;
};

// Files with very many declarations hold as many of these: six words.
struct Declaration {
  const char *name = nullptr;   // interned; none for an unnamed entity
  TypeDesc *type = nullptr;
  TypeDesc *scope = nullptr;    // owning class or namespace (or function scope type)
  const char *file = nullptr;   // interned name of the declaring file
  DeclText text;                // default-value or initialiser text, bit-field width
  std::uint16_t storage = 0;    // StorageFlags
  unsigned char scope_kind = 0; // 0 file scope, 1 member of a class or namespace
  int line = 0;                 // line of the declaration (diagnostics)
  // Width of a bit-field member; 0 for anything else.
  int bit_width() const { return text.bit_width(); }
};
static_assert(SF_PACK <= 0xffff, "every storage flag fits Declaration::storage");
static_assert(sizeof(void *) != 8 || sizeof(Declaration) == 48, "a declaration stays six words");

// Scope context passed to lookups.
struct ScopeContext {
  int kind = 0;                 // 0 no enclosing class/namespace, 1 inside one
  TypeDesc *current = nullptr;  // the class, namespace or function scope
};

// ---------------------------------------------------------------------------
// Constructors. Every record names the table that owns it; `owner` null
// means the process-wide pool (records that outlive every table).

TypeDesc *type_new(TypeKind kind, SymbolTable *owner = nullptr);  // with its detail record
Declaration *decl_new(const char *name, TypeDesc *type, SymbolTable *owner = nullptr);
MemberNode *member_node_new(Declaration *decl, int access, SymbolTable *owner = nullptr);
BaseNode *base_node_new(TypeDesc *base, int access, bool is_virtual, SymbolTable *owner = nullptr);
EnumeratorRec *enumerator_new(const char *name, SymbolTable *owner = nullptr);
DeclNode *decl_node_new(Declaration *decl, SymbolTable *owner = nullptr);
TypeNode *type_node_new(TypeDesc *type, SymbolTable *owner = nullptr);
TemplateParam *template_param_new(const char *name, SymbolTable *owner = nullptr);
Instantiation *instantiation_new(const char *instance_name, TypeDesc *instance,
                                 SymbolTable *owner = nullptr);

// Convenience builders (names are interned).
TypeDesc *integer_type(const char *name, int size_bits, int char_type, SymbolTable *owner = nullptr);
TypeDesc *floating_type(const char *name, SymbolTable *owner = nullptr);
TypeDesc *qualifier_type(const char *name, SymbolTable *owner = nullptr);  // kind 11 "const" / "volatile"
TypeDesc *named_type(const char *name, TypeDesc *aliased, SymbolTable *owner = nullptr);
TypeDesc *pointer_to(TypeDesc *target, SymbolTable *owner = nullptr);
TypeDesc *reference_to(TypeDesc *target, SymbolTable *owner = nullptr);
TypeDesc *array_of(TypeDesc *element, SymbolTable *owner = nullptr);
TypeDesc *function_returning(TypeDesc *result, SymbolTable *owner = nullptr);  // with an empty FunctionInfo
// A basic type keyword ("int", "char", "unsigned", "long", "double", "bool",
// "wchar_t", "void", ...) with the target sizes; none for an unknown word.
// The type is the table's shared record: unqualified, no scope of its own.
TypeDesc *basic_type(const char *keyword, SymbolTable *owner = nullptr);
// A type of its own for a caller about to change it: the type itself unless
// it is shared, else a copy.
TypeDesc *private_copy(TypeDesc *type, SymbolTable *owner = nullptr);

// List helpers (append at the end, keep counts).
void enum_add_enumerator(TypeDesc *enumeration, EnumeratorRec *e);
void class_add_member(TypeDesc *record_type, MemberNode *m);
void class_add_inherited(TypeDesc *record_type, MemberNode *m);
void class_add_base(TypeDesc *record_type, BaseNode *b);
void function_add_param(TypeDesc *function_type, Declaration *param, SymbolTable *owner = nullptr);
void function_add_exception(TypeDesc *function_type, TypeDesc *type, SymbolTable *owner = nullptr);
void template_add_param(TypeDesc *template_type, TemplateParam *p);
void template_add_instance(TypeDesc *template_type, Instantiation *i);
void append_qualifier(TypeDesc *type, TypeDesc *qualifier);  // at the end of type->next
// Links a reopened namespace record after the records of its first opening.
void namespace_reopen(TypeDesc *first_record, TypeDesc *new_record);
// "ortek_unnamed_namespace_N", N counting from 1 within the run (interned).
const char *unnamed_namespace_name();
// Whether a namespace name is one of those: such a name means nothing in
// C++ text, where the members of an unnamed namespace are named from the
// enclosing scope.
bool is_unnamed_namespace_name(const char *name);

// Whether a function type is an explicit specialisation of a function
// template (template <> int f<int>(int)): a function of its own, which a
// test calls like any other, where the template itself is none.
bool is_function_specialisation(const TypeDesc *function);

// The name of a named type (enumeration, union, class, template, elaborated,
// typedef name, integer/floating name); none otherwise.
const char *type_name(const TypeDesc *type);
// The canonical scope record (first record of a reopened namespace).
TypeDesc *canonical_scope(TypeDesc *scope);
// The scope that encloses a class, namespace or function scope type.
TypeDesc *enclosing_scope(const TypeDesc *scope);
// Whether two scope types stand for the same scope (completed forward
// declarations, reopened namespaces).
bool same_scope(const TypeDesc *a, const TypeDesc *b);

// The records a table owns, numbered kind by kind in the order of their
// blocks, so that a copy of the table can keep the copies in arrays by
// those numbers (defined with the table, in cpptab.cpp).
class TableRecords {
 public:
  explicit TableRecords(const SymbolTable &table);
  // The number of a record of that kind among the table's, or -1 when the
  // table does not own it (a record of the process's pool). Records that
  // point at each other were mostly made one after the other: the block
  // found last for the kind is tried first.
  std::ptrdiff_t number(int slot, const void *record) const {
    const char *p = static_cast<const char *>(record);
    const Block *b = last_[static_cast<std::size_t>(slot)];
    if (!b || p < b->begin || p >= b->end) b = find(slot, p);
    if (!b || (p - b->begin) % static_cast<std::ptrdiff_t>(b->size) != 0) return -1;
    return static_cast<std::ptrdiff_t>(b->first) + (p - b->begin) / static_cast<std::ptrdiff_t>(b->size);
  }
  std::size_t count(int slot) const { return slot < static_cast<int>(counts_.size()) ? counts_[slot] : 0; }

 private:
  struct Block {
    const char *begin, *end;
    std::size_t size;   // of one record
    std::size_t first;  // number of its first record
  };
  const Block *find(int slot, const char *p) const;
  std::vector<std::vector<Block>> blocks_;  // by kind, in address order
  std::vector<std::size_t> counts_;
  mutable std::vector<const Block *> last_;
};

// Copies of a table's records into another table, each record copied once,
// the copies pointing at each other as the originals do (a class record two
// types share stays shared; a record the table does not own, one of the
// process's pool, is pointed at as it is). A record is made when first
// asked for and filled by finish(), from a work list: long chains of records
// (structures naming the next one) cost no call depth. Only what C
// declarations make is copied: a record only C++ makes (templates,
// references, bases, using lists, namespaces, instances, pointers to
// members, exception lists, special definitions) turns ok() false, and the
// copies are then unfinished and must go with their table.
class RecordCopy {
 public:
  RecordCopy(const TableRecords &from, SymbolTable *to);
  TypeDesc *type(const TypeDesc *t);
  Declaration *decl(const Declaration *d);
  void finish();
  bool ok() const { return ok_; }

 private:
  // Where the copy of a record of the table stands (none for others).
  void **copy_of(int slot, const void *record) {
    const std::ptrdiff_t n = from_.number(slot, record);
    return n < 0 ? nullptr : &copies_[slot][static_cast<std::size_t>(n)];
  }
  // The copy of a record of the table, made(original, copy) called when it
  // is made; the record itself when the table does not own it.
  template <typename T, typename Made> T *copy_record(int slot, const T *original, Made &&made);
  // The copy of a detail record, filled by fill(original, copy) when it is
  // made: a type that shares it with another (a completed forward
  // declaration) shares the copy. Types and declarations are filled later,
  // from the lists (their kind too).
  template <typename T, typename Fill> T *detail(const T *original, Fill &&fill);
  void fill(const TypeDesc *t, TypeDesc *n);
  void fill(const Declaration *d, Declaration *n);
  void fill_record(const ClassInfo &r, ClassInfo &n);
  void fill_function(const FunctionInfo &f, FunctionInfo &n);
  void fill_enumeration(const EnumInfo &e, EnumInfo &n);
  const TableRecords &from_;
  SymbolTable *to_;
  bool ok_ = true;
  std::vector<std::vector<void *>> copies_;  // by kind and number
  std::vector<std::pair<const TypeDesc *, TypeDesc *>> types_;
  std::vector<std::pair<const Declaration *, Declaration *>> declarations_;
};

// The analyser's process-wide state, one record: what the generator sets
// for every analysis and what outlives any one table. Everything that
// belongs to one analysis lives in its Analysis object instead.
struct AnalyserProcess {
  AnalysisSettings settings;
  ReportCallback report = nullptr;     // null: report_at_position
  int unnamed_namespaces = 0;          // numbers given so far
  bool escaped_line_names = false;     // see lex_set_escaped_line_names
  int last_syntax_errors = 0;          // of the last analysis
  // The table of the last outermost analysis: expressions analysed outside
  // any analysis (array bounds being rendered) are read in it.
  SymbolTable *last_table = nullptr;
  SymbolTable *pool = nullptr;         // owner of records made with no table
  // Types of expression results made once in the pool: basic types by
  // name and width, pointers by target.
  std::map<std::string, TypeDesc *> expression_types;
  std::unordered_map<const TypeDesc *, TypeDesc *> expression_pointers;
};
AnalyserProcess &analyser_process();

// Reports of the analyser go through this callback (report_at_position
// unless the generator sets another); null restores the default.
void set_analyser_report(ReportCallback callback);
// The callback set by set_analyser_report (null: the default).
ReportCallback analyser_report_callback();
void analyser_report(MessageCode code, std::string_view arg, const char *file, int line);

// Where the reports of one analysis go: a function with its context, or,
// when it has none, analyser_report. An analysis whose reports only tell
// its caller something (a type read from a text) is given a sink of its
// own, which every part of it reports to.
struct ReportSink {
  void (*function)(void *context, MessageCode code, std::string_view arg, std::string_view file,
                   int line) = nullptr;
  void *context = nullptr;
  void operator()(MessageCode code, std::string_view arg, const char *file, int line) const;
};

// ---------------------------------------------------------------------------
// Type operations.

// Combines two partial specifiers; none (with a "CONSTRUCT" warning) when they
// do not combine.
TypeDesc *CPP_compose_type(TypeDesc *first, TypeDesc *second, const char *file, int line,
                           SymbolTable *owner = nullptr, const ReportSink &sink = ReportSink());
// Deep copy: strings copied, enumerators and members re-created; named
// aggregates below the top are shared, not copied.
TypeDesc *duplicate_type(const TypeDesc *type, SymbolTable *owner = nullptr);
// Completes `old_type` with `new_type` in place where possible (so that other
// declarations pointing at it see the completion) and returns the type that
// now stands.
TypeDesc *merge_type(TypeDesc *old_type, TypeDesc *new_type);
// Structural identity of two types (names compared for named types).
bool same_type(const TypeDesc *a, const TypeDesc *b);
// Whether two function types have matching parameter lists; `lenient`
// accepts compatible lists (typedef names seen through, an empty list
// against "(void)", top-level const ignored).
bool same_parameters(const TypeDesc *f1, const TypeDesc *f2, bool lenient);

ParamMode param_mode(TypeDesc *type, bool clear_marker);
bool type_is_const(const TypeDesc *type);
bool type_is_char_string(const TypeDesc *type);
// A character type that holds text: plain or signed char (not unsigned char).
bool is_text_char(const TypeDesc *t);
// See through typedef names (kind 11 with an aliased type).
const TypeDesc *strip_typedefs(const TypeDesc *type);
TypeDesc *strip_typedefs(TypeDesc *type);
// The type a use stands for: typedef names, elaborated names and references
// seen through, and leading const/volatile qualifiers too when asked.
const TypeDesc *see_through_names(const TypeDesc *type, bool leading_qualifiers);
// Whether the emitters may use a member (mode 1 rejects functions).
bool member_is_selectable(const MemberNode *member, int mode, int friend_of_reference);

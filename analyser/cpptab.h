// Symbol table of one analysis: what a file declares, in buckets whose order
// the script emitters reproduce, with a name index beside them so that
// lookups stay cheap on files with very many declarations.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ctree.h"

constexpr int TABLE_BUCKETS = 100;

// Which bucket area an entry lives in.
enum TableArea : int { AREA_ORDINARY = 0, AREA_TAG = 1, AREA_ENUMERATOR = 2 };

struct Symbol {
  Declaration *decl = nullptr;
  // Order numbers (declaration counter values). Ordinary entries get both
  // at creation, and a new definition number when a body is seen later. A
  // tag has a first number only when it was declared before its body (0 for
  // a tag defined at once) and a definition number once its body is seen
  // (0 while it is only forward-declared).
  std::uint32_t first_order = 0;
  std::uint32_t def_order = 0;
  Symbol *next = nullptr;         // bucket list
  Symbol *prev = nullptr;
  // Bookkeeping of the table (read-only for users). Files with very many
  // declarations hold as many entries: the fields are no wider than needed.
  std::uint32_t sequence = 0;     // insertion sequence: list order inside a bucket
  // How often it stands in SymbolTable::recorded; kRecordedMany and more
  // count as kRecordedMany, which stands for "any number".
  unsigned char recorded_times = 0;
  static constexpr unsigned char kRecordedMany = 255;
  unsigned char area = AREA_ORDINARY;
  unsigned char bucket = 0;       // below TABLE_BUCKETS
  bool removed = false;
};
static_assert(TABLE_BUCKETS <= 256, "a bucket number fits Symbol::bucket");
static_assert(sizeof(void *) != 8 || sizeof(Symbol) == 40, "an entry stays five words");

struct Bucket {
  Symbol *first = nullptr;
  Symbol *last = nullptr;
  // Entries linked in the list: lets a walk over a whole area place each
  // list's entries before reading them (see for_each_symbol_ahead).
  std::size_t count = 0;
};

struct FunctionScopeNode {
  const char *name = nullptr;   // interned function name
  TypeDesc *scope = nullptr;    // kind 8 scope type of that function
  FunctionScopeNode *next = nullptr;
};

// The language a text is read in. C reads the words only C++ reserves
// (class, new, operator, this, true...) as identifiers, as C code uses them.
enum SourceLanguage : int { SRC_CPP = 0, SRC_C = 1 };

struct TableIndex;  // private: name index beside the buckets
struct TableArena;  // private: every record owned by the table

struct SymbolTable {
  std::uint32_t counter = 0;  // declaration counter
  FunctionScopeNode *function_scopes[TABLE_BUCKETS] = {};
  Bucket ordinary[TABLE_BUCKETS];
  Bucket tags[TABLE_BUCKETS];
  Bucket enumerators[TABLE_BUCKETS];
  const char *reference_name = nullptr;  // interned; from the generator
  // File-level using-directives and using-declarations.
  std::vector<TypeDesc *> using_namespaces;
  std::vector<UsingDecl> using_declarations;
  // Entries made or completed while the recording switch was on, in order.
  std::vector<Symbol *> recorded;
  TableIndex *index = nullptr;
  TableArena *arena = nullptr;
  // Every text analysed into the table is read in this language; set by
  // table_init, kept until the table is initialised again.
  SourceLanguage language = SRC_CPP;
};

// Bucket of a name: 10 * (sum of character codes mod 10) + (length mod 10).
int name_bucket(const char *name);
// List of the function-scope area: sum of character codes mod 100.
int function_scope_bucket(const char *name);

// Records the reference name and the language, sets the counter to 0 and
// empties every area. A table that still holds entries is released first.
void table_init(SymbolTable &table, const char *reference_name, SourceLanguage language = SRC_CPP);
// Frees every entry, declaration, type and string of the table.
void release_table(SymbolTable &table);

// Hands a record to its owner (null: the process pool); used by the
// constructors of ctree.h.
void table_own(SymbolTable *owner, void *object, void (*destroy)(void *));

// Blocks of records of one kind: one slot per record type.
enum RecordSlot : int {
  RS_SYMBOL, RS_FUNCTION_SCOPE, RS_TYPE, RS_DECLARATION, RS_MEMBER, RS_BASE, RS_ENUMERATOR,
  RS_DECL_NODE, RS_TYPE_NODE, RS_TEMPLATE_PARAM, RS_INSTANTIATION, RS_INTEGER, RS_FLOAT,
  RS_POINTER, RS_ARRAY, RS_ENUM, RS_CLASS, RS_ELABORATED, RS_FUNCTION_DETAIL, RS_FUNCTION,
  RS_NAMED, RS_REFERENCE, RS_ELLIPSIS, RS_TEMPLATE, RS_COUNT
};
template <typename T> constexpr RecordSlot record_slot();
#define ORTEK_RECORD_SLOT(type, slot) \
  template <> constexpr RecordSlot record_slot<type>() { return slot; }
ORTEK_RECORD_SLOT(Symbol, RS_SYMBOL)
ORTEK_RECORD_SLOT(FunctionScopeNode, RS_FUNCTION_SCOPE)
ORTEK_RECORD_SLOT(TypeDesc, RS_TYPE)
ORTEK_RECORD_SLOT(Declaration, RS_DECLARATION)
ORTEK_RECORD_SLOT(MemberNode, RS_MEMBER)
ORTEK_RECORD_SLOT(BaseNode, RS_BASE)
ORTEK_RECORD_SLOT(EnumeratorRec, RS_ENUMERATOR)
ORTEK_RECORD_SLOT(DeclNode, RS_DECL_NODE)
ORTEK_RECORD_SLOT(TypeNode, RS_TYPE_NODE)
ORTEK_RECORD_SLOT(TemplateParam, RS_TEMPLATE_PARAM)
ORTEK_RECORD_SLOT(Instantiation, RS_INSTANTIATION)
ORTEK_RECORD_SLOT(IntegerInfo, RS_INTEGER)
ORTEK_RECORD_SLOT(FloatInfo, RS_FLOAT)
ORTEK_RECORD_SLOT(PointerInfo, RS_POINTER)
ORTEK_RECORD_SLOT(ArrayInfo, RS_ARRAY)
ORTEK_RECORD_SLOT(EnumInfo, RS_ENUM)
ORTEK_RECORD_SLOT(ClassInfo, RS_CLASS)
ORTEK_RECORD_SLOT(ElaboratedInfo, RS_ELABORATED)
ORTEK_RECORD_SLOT(FunctionDetail, RS_FUNCTION_DETAIL)
ORTEK_RECORD_SLOT(FunctionInfo, RS_FUNCTION)
ORTEK_RECORD_SLOT(NamedInfo, RS_NAMED)
ORTEK_RECORD_SLOT(ReferenceInfo, RS_REFERENCE)
ORTEK_RECORD_SLOT(EllipsisInfo, RS_ELLIPSIS)
ORTEK_RECORD_SLOT(TemplateInfo, RS_TEMPLATE)
#undef ORTEK_RECORD_SLOT

// Storage for a record of `size` bytes owned like table_own's, taken from
// the blocks of its slot so that a record costs neither its own heap block
// nor an ownership entry. `destroy` (none for records without a destructor)
// runs on release.
void *table_allocate(SymbolTable *owner, RecordSlot slot, std::size_t size, void (*destroy)(void *));
// Records that every use within one owner may share because nothing changes
// them (unqualified basic types): the first that `matches` accepts, or
// none. Records listed by table_add_shared while a scratch section was open
// are forgotten when the section is undone, as the records themselves go.
// Few kinds of record are shared, so the list is searched in order.
void *table_find_shared(SymbolTable *owner, bool (*matches)(const void *record, const void *key),
                        const void *key);
void table_add_shared(SymbolTable *owner, void *record);
// The shared records, oldest first, for a search of one's own (the records
// table_find_shared goes through, in its order).
const std::vector<void *> &table_shared(SymbolTable *owner);

// Adds a declaration; returns the entry that now stands for the name, or none
// when it was dropped or a function declaration matched an existing entry.
// `lenient`: lenient matching of parameter lists (-1: the process setting).
// Redefinitions are reported to `sink`.
Symbol *enter_declaration(Declaration *decl, SymbolTable &table, const ScopeContext &scope,
                          int line, int lenient = -1, const ReportSink &sink = ReportSink());

// Visible ordinary entry (variables, functions, typedef names, then
// enumeration constants) of that name.
Symbol *lookup_ordinary(const char *name, SymbolTable &table, const ScopeContext &scope);
// Visible tag entry of that name and kind (TK_ENUM, TK_UNION, TK_CLASS,
// TK_TEMPLATE); kind -1 accepts any tag kind.
Symbol *lookup_tag(const char *name, SymbolTable &table, int kind, const ScopeContext &scope);
// Visible enumeration constant of that name.
Symbol *lookup_enumerator(const char *name, SymbolTable &table, const ScopeContext &scope);
// One level of a lookup: the scope itself (null: file scope) and the
// namespaces it names in using-directives. kind -1 accepts any type kind;
// skip_own_tag_typedefs passes over "typedef struct S S".
Symbol *lookup_at_level(const char *name, SymbolTable &table, int area, TypeDesc *scope, int kind,
                        bool skip_own_tag_typedefs = false);
// What a name stands for at one level, for the token scanner: the first of
// lookup_at_level for a class, a template, an ordinary entry (skipping the
// typedef of a tag of the same name), an enumerator, an enum and a union,
// with the name's entries found once for all six.
Symbol *lookup_name_at_level(const char *name, SymbolTable &table, TypeDesc *scope);
// A name with the hash the table's index files it under, made once for a
// name looked up at many levels.
struct TableName {
  const char *name = nullptr;
  std::uint64_t hash = 0;  // 0 for a null or empty name
};
TableName table_name(const char *name);
// The same for a name whose length the caller knows.
TableName table_name(const char *name, std::size_t length);
// The same for a name whose characters' hash_text_bytes the caller has.
TableName table_name_of_hash(const char *name, std::uint64_t text_hash);
Symbol *lookup_name_at_level(const TableName &name, SymbolTable &table, TypeDesc *scope);
// lookup_tag for a name whose hash the caller has.
Symbol *lookup_tag(const TableName &name, SymbolTable &table, int kind, const ScopeContext &scope);
// False when no scope and no area of the table holds an entry of that name
// (so that every look-up of it finds nothing); true when one may.
bool table_may_hold_name(const SymbolTable &table, const TableName &name);
// The class template a class was made from: an instance's template, or,
// for an explicit specialisation (template <> struct X<int> { ... }) whose
// body is still being read and is not linked to it yet, the template named
// before its arguments, looked up from the scope that encloses it. None for
// any other class.
TypeDesc *template_of_class(SymbolTable &table, const TypeDesc *cls);
// Only the given scope (no enclosing scopes); a null scope means file scope.
Symbol *lookup_in_scope(const char *name, SymbolTable &table, int area, TypeDesc *scope);
// A function entry of that name in exactly that scope whose parameter list
// matches `function_type` (lenient as the analysis setting says).
Symbol *find_function(const char *name, SymbolTable &table, TypeDesc *scope,
                      const TypeDesc *function_type, int lenient = -1);
bool is_visible(const Symbol *entry, const ScopeContext &scope, const SymbolTable &table);

// using from::name; in `scope` (null: file scope): the entries of that name
// declared in `from` so far are found in `scope` too, as its own would be.
void table_add_using(SymbolTable &table, TypeDesc *scope, const char *name, TypeDesc *from);

// The entry receives a definition order number (a body or complete type was seen).
void symbol_mark_defined(SymbolTable &table, Symbol *entry);
// Unlinks an entry from its bucket and the index (its records stay owned by
// the table until release).
void remove_symbol(SymbolTable &table, Symbol *entry);

// Finds or creates the scope of the named function (function-scope area).
TypeDesc *function_scope(SymbolTable &table, const char *function_name);

// A scratch section: analyses whose entries all go to the scope of one
// function that nobody looks into afterwards (a script service's own
// declarations). Ending it forgets those entries and gives their storage
// back, unless the section entered anything elsewhere or changed what was
// there before (then everything stays as if no section had been opened).
// Returns whether it was undone. Beginning one ends any section open.
void table_begin_scratch(SymbolTable &table, const char *function_name);
// Whether the table has the scope of that function (entries may stand in it).
bool table_has_function_scope(const SymbolTable &table, const char *function_name);
bool table_end_scratch(SymbolTable &table);
// Records made before the section now point at ones made in it (a template
// lists a new instance): the section is kept.
void table_note_shared_change(SymbolTable &table);

// `to` initialised anew as a copy of `from`: the same entries in the same
// buckets and order, under the same names and order numbers, with copies of
// their declarations and types, so that analysing a text into `to` does
// what analysing it into `from` would. False when `from` holds what only
// C++ makes, or what a copy cannot place: `to` is then to be initialised
// again before any use.
bool table_copy(const SymbolTable &from, SymbolTable &to);
// Exchanges the whole contents of two tables (their records go with them).
void table_swap(SymbolTable &a, SymbolTable &b);

// Iteration helpers in the emitters' order: buckets 0 to 99, list order.
template <typename F> void for_each_symbol(const Bucket (&area)[TABLE_BUCKETS], F &&f) {
  for (int b = 0; b < TABLE_BUCKETS; ++b)
    for (Symbol *s = area[b].first; s; s = s->next) f(s);
}

// The names the table's index holds (by scope and area), and room made for
// that many at once: a table known to grow to a size is spared the steps.
std::size_t table_index_size(const SymbolTable &table);
void table_reserve(SymbolTable &table, std::size_t names);

// Appends every entry of an area to out in for_each_symbol's order. The
// lists are followed side by side, each entry written straight to its place:
// in a table of a great many entries every step along one list is a load
// that misses the cache, and steps along different lists wait together.
void collect_area_entries(const Bucket (&area)[TABLE_BUCKETS], std::vector<Symbol *> &out);

// The storage words the renderer writes for one flag ("typedef " ...), or "".
const char *storage_flag_text(unsigned flag);

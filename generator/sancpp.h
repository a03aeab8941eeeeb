// Emitters of the script's environments and services: they walk the table of
// one analysed file and write VAR lines with their value placeholders, and
// one service with a first test per function defined in the tested file.
// The stub and declaration emitters share same_unit and the VAR line builder.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cpptab.h"
#include "mfmemo.h"

// Modes of emit_var_line and placeholder.
enum VarMode : int {
  VM_GLOBAL = 0,     // global variable of an environment, class instance of a method
  VM_RESULT = 1,     // return value of a service
  VM_OBJECT = 5,     // object under test of a constructor or destructor
  VM_PARAMETER = 7   // parameter of a service
};

// Whether two paths name the same unit: the file-name parts without their
// last suffix, compared ignoring ASCII case. Always true when QZW_NOBASENAME
// is set; an absent path never matches.
bool same_unit(const char *file_a, const char *file_b);

// same_unit against one path, for a walk over a whole table: the entries'
// file names are interned, a file's entries share one, and the answer for
// the last name asked is kept. The environment is read when it is made.
class UnitMatch {
 public:
  explicit UnitMatch(const char *path);
  bool operator()(const char *file) {
    if (!asked_ || file != last_) {
      asked_ = true;
      last_ = file;
      last_result_ = matches(file);
    }
    return last_result_;
  }

 private:
  bool matches(const char *file) const;
  const char *path_;
  bool any_;
  bool asked_ = false;
  const char *last_ = nullptr;
  bool last_result_ = false;
};

// for_each_symbol over an area of `table` for the walks of the emitters
// over whole files: the entries are gathered first and the records of the
// ones a few places ahead fetched while the current one is looked at, so
// that a table of a great many entries is not read one waiting load after
// another. An entry that f makes is walked as for_each_symbol would: the
// rest of the walk then follows the table as it stands.
// The list of one walk, taken from the last walk's when no other walk holds
// it: the walks of a file of a great many entries would each grow a list of
// megabytes anew.
struct SymbolWalkList {
  std::vector<Symbol *> entries;
  explicit SymbolWalkList(std::vector<Symbol *> &spare) : spare_(spare) {
    entries.swap(spare);
    entries.clear();
  }
  ~SymbolWalkList() {
    if (entries.capacity() > spare_.capacity()) entries.swap(spare_);
  }
  SymbolWalkList(const SymbolWalkList &) = delete;
  SymbolWalkList &operator=(const SymbolWalkList &) = delete;

 private:
  std::vector<Symbol *> &spare_;
};
std::vector<Symbol *> &spare_symbol_walk_list();

template <typename T>
inline void prefetch_record(const T *record) {
  if (!record) return;
  prefetch_memory(record);
  prefetch_memory(reinterpret_cast<const char *>(record) + sizeof(T) - 1);
}

// The parts of a function the walks of globals and services read first,
// fetched in four steps, each step reading what the one before fetched:
// step 0 the type's detail, 1 the function's own record and result, 2 its
// first parameter's node, 3 that parameter and the next node.
inline void prefetch_function_parts(const Symbol *s, int step) {
  const Declaration *d = s->decl;
  const TypeDesc *t = d ? d->type : nullptr;
  if (!t || t->kind != TK_FUNCTION) return;
  if (step == 0) {
    prefetch_record(static_cast<const FunctionDetail *>(t->detail_record()));
    return;
  }
  const FunctionDetail *f = t->function();
  if (!f) return;
  if (step == 1) {
    prefetch_record(f->info);
    prefetch_record(f->result);
    return;
  }
  const DeclNode *first = f->info ? f->info->first_param : nullptr;
  if (!first) return;
  if (step == 2) {
    prefetch_record(first);
    return;
  }
  prefetch_record(first->decl);
  prefetch_record(first->next);
}

struct NoDeeperFetch {
  void operator()(const Symbol *, int) const {}
};

// `deeper(entry, step)` fetches what f reads beyond an entry's type, for
// steps 0 to 3 at four, three, two and one entries ahead.
template <typename F, typename Deeper = NoDeeperFetch>
void for_each_symbol_ahead(const SymbolTable &table, const Bucket (&area)[TABLE_BUCKETS], F &&f,
                           Deeper &&deeper = Deeper()) {
  SymbolWalkList list(spare_symbol_walk_list());
  std::vector<Symbol *> &entries = list.entries;
  collect_area_entries(area, entries);
  // Each stage reads what the stage before fetched: an entry, then its
  // declaration, then its type and name. Reading an entry's declaration
  // before the entry itself has come in would wait for it, and over a large
  // table every entry is a miss. Records lie side by side at sizes that are
  // not a multiple of a cache line: each is fetched at both ends.
  constexpr std::size_t kEntriesAhead = 24, kDeclarationsAhead = 12, kTypesAhead = 6, kDeeperSteps = 4;
  const std::uint32_t counter = table.counter;
  const std::size_t n = entries.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i + kEntriesAhead < n) prefetch_record(entries[i + kEntriesAhead]);
    if (i + kDeclarationsAhead < n) prefetch_record(entries[i + kDeclarationsAhead]->decl);
    if (i + kTypesAhead < n)
      if (const Declaration *d = entries[i + kTypesAhead]->decl) {
        prefetch_record(d->type);
        prefetch_record(d->name);
      }
    for (std::size_t step = 0; step < kDeeperSteps; ++step)
      if (i + kDeeperSteps - step < n) deeper(entries[i + kDeeperSteps - step], static_cast<int>(step));
    Symbol *s = entries[i];
    f(s);
    if (table.counter != counter) {
      for (Symbol *t = s->next; t; t = t->next) f(t);
      for (int b = s->bucket + 1; b < TABLE_BUCKETS; ++b)
        for (Symbol *t = area[b].first; t; t = t->next) f(t);
      return;
    }
  }
}

// The environment block of one analysed file (included: the inserted tested
// file, whose static variables are listed too). Writes nothing when the file
// declares no variable of its own.
void emit_file_environment(const std::string &path, SymbolTable &table, int included);

// Zero or one VAR-style line for one declaration, prefixed with indent.
// svc_name serves the return-variable name of VM_RESULT.
void emit_var_line(const Declaration *decl, const char *indent, const char *svc_name, int mode);

// Appends the initial-value text of type to init_text; keyword receives the
// line keyword ("VAR", the array keyword or "STRUCTURE") where the type has
// one and is left as it was otherwise.
void placeholder(const TypeDesc *type, std::string &init_text, std::string &keyword, int mode);

// The services of the tested file, whose analysis the caller has put into
// table (the free functions, then the member functions class by class).
void emit_services(const std::string &tested_path, SymbolTable &table);

// The services of the member functions of one class, union or namespace,
// nested classes included. member_file is the file of the class's entry.
void emit_class_services(TypeDesc *type, SymbolTable &table, const char *tested_name,
                         const char *member_file);

// Service names are unique in the run: the name itself the first time, then
// name_2, name_3, ... Returns the name now taken.
std::string unique_service_name(const std::string &name);

// The fixed line groups of a service; svc_begin makes name unique in place
// and returns its interned copy. interned_name may be a declaration's name
// (a copy of the string pool's): where the service is named after it alone,
// it stands for the name's copy.
const char *svc_begin(std::string &name, const char *interned_name = nullptr);
void svc_env_begin(const std::string &name);
void svc_env_end(const std::string &name);
void test_begin();
void svc_end(const std::string &name);

// Test support: forgets the service names of the run.
void reset_service_names();

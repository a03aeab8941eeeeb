// Declarations the script carries before its BEGIN line: the types the
// tested file's classes and globals need, and the globals of the tested and
// integrated files as extern declarations. Every written declaration is also
// parsed into the script's own table, so that no name is declared twice in
// the script. The stub emitter shares the needed-type collection.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

struct Declaration;
struct Symbol;
struct SymbolTable;
struct TypeDesc;

struct NeededEntry {
  Symbol *entry = nullptr;
  std::int32_t order = 0;
  bool forward_only = false;  // write a forward declaration (class key, no body)
};

// Table entries ordered by order number; the first insertion of a number
// wins. Order numbers arrive mostly ascending, so a balanced tree keeps the
// inserts logarithmic where a plain search tree would degrade into a list.
class NeededSet {
 public:
  // Number 0 adds nothing.
  void insert(Symbol *entry, std::int32_t order, bool forward_only);
  bool contains(std::int32_t order) const { return entries_.count(order) != 0; }
  bool empty() const { return entries_.empty(); }
  std::size_t size() const { return entries_.size(); }
  void clear() { entries_.clear(); }
  // Ascending order.
  std::map<std::int32_t, NeededEntry>::const_iterator begin() const { return entries_.begin(); }
  std::map<std::int32_t, NeededEntry>::const_iterator end() const { return entries_.end(); }

 private:
  std::map<std::int32_t, NeededEntry> entries_;
};

// Adds to set the named types that type depends on, declared in table (the
// analysed file) and not yet known to the script.
// `context` is the class or namespace the type was written in (none: file
// scope): the names in the arguments of its instances are looked up there.
void collect_needed_types(NeededSet &set, TypeDesc *type, SymbolTable &table, TypeDesc *context = nullptr);

// Writes the set's declarations in ascending order (forward-only entries as
// forward declarations, the others in mode with their bodies), each parsed
// into the script's table first.
void emit_needed_declarations(const NeededSet &set, int mode);

// Adds the unnamed enumerations of the file ("enum { N = 4 };") whose
// constants the script does not know yet and that no typedef or variable
// is declared with: nothing else would declare their constants.
void collect_unnamed_enumerations(NeededSet &set, SymbolTable &table, const std::string &path);

// The needed types of a file's file-scope declarations, then its globals as
// extern declarations.
void declare_file_globals(const std::string &path, SymbolTable &table);

// The extern declaration, inside its namespace wrappers, of a function of a
// named namespace that the script does not declare yet: a stub's qualified
// name needs a prior declaration in C++.
void declare_namespace_function(const Symbol *s, bool cpp);

// The named namespaces a declaration is a member of, outermost first (empty
// at file scope and for a member of a class; an unnamed namespace adds no
// name), with the lines that open and close them around its text.
std::vector<const char *> declaration_namespaces(const Declaration *d);
void write_namespace_openings(const std::vector<const char *> &chain);
void write_namespace_closings(const std::vector<const char *> &chain);

// The section bodies of the tested file and of one integrated file.
void emit_tested_declarations(const std::string &tested_path);
void emit_integrated_declarations(const std::string &path);

// Analyses a text of the script's own into the script's table, in the
// scope of the function named, if any. A template instance that cannot be
// made is not reported again: the analysed file's reading told it at its
// place in the source.
void analyse_script_text(const std::string &text, const char *function_name, int keep_bodies,
                         int lenient_matching);

// Parses one C text the script carries into the script's table (file name:
// the generated script).
void parse_into_script(const std::string &text);

// Whether analysing `text` into the script's table could do nothing but
// enter the names it declares as new entries, with no report: its
// specifiers are basic types, qualifiers, tags and typedef names the table
// knows at file scope; its declarators pointers and arrays of written
// sizes, with (`external` only) one parameter list of such declarations
// after "extern" and the name; every name it declares is unknown to the
// table and new within the text. `declared` receives the names declared in
// the table's scope (parameters excluded), as views into `text`. Anything
// else is no plain declaration, whatever its analysis would do.
bool plain_script_declaration(const std::string &text, bool external, std::vector<std::string_view> &declared);

// The script's extern declarations of plain globals are analysed into its
// table when something first needs them: a lookup of one of their names or
// any analysis into the table. Until then the table does not hold them, and
// a file with very many globals costs neither their analysis nor their
// entries when nothing asks. Since such a declaration only adds an entry
// of a new name, analysing it later leaves the table as analysing it at
// once would.
//
// The script's table, with the declarations of that name analysed.
SymbolTable &script_table_for(const char *name);
// The script's table with every declaration analysed.
SymbolTable &script_table_complete();
// Whether a name is declared by a declaration not analysed yet.
bool script_name_pending(const char *name);
// Forgets what was not analysed (the script's table is being started again).
void reset_script_backlog();
// Forgets what was not analysed once nothing reads the script's table any
// more (after the services), so that the analyses it came from may go
// without it. An analysis released while the backlog holds declarations
// has them analysed first (script_table_complete).
void release_script_backlog();

// Emitters of the script's environments and services: they walk the table of
// one analysed file and write VAR lines with their value placeholders, and
// one service with a first test per function defined in the tested file.
// The stub and declaration emitters share same_unit and the VAR line builder.
#pragma once
#include <string>

struct SymbolTable;
struct TypeDesc;
struct Declaration;

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
// and returns its interned copy.
const char *svc_begin(std::string &name);
void svc_env_begin(const std::string &name);
void svc_env_end(const std::string &name);
void test_begin();
void svc_end(const std::string &name);

// Test support: forgets the service names of the run.
void reset_service_names();

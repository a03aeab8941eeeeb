// Names as the test script needs them: qualified C++ names written verbatim
// or as script identifiers (operator symbols spelled as words), parameter
// names carried from a definition to its declaration, and types read from
// their text through a temporary declaration.
#pragma once
#include <string>

#include "ctree.h"

struct SymbolTable;
struct AnalysisBudget;

// Appends the name qualified by its scope. verbatim: the name as stored
// (separator "::" for C++ text); otherwise a script identifier (separator
// "_"): operator words, "destructor_", every other non-alphanumeric
// character as '_'. A null or empty name writes only the scope part (no
// trailing separator).
void write_qualified_name(std::string &out, const char *name, const ScopeContext &scope,
                          const char *separator, bool verbatim);
// The qualification of a scope type alone ("M::Vec" / "M_Vec"); nothing for
// file scope.
void write_scope_name(std::string &out, const TypeDesc *scope, const char *separator,
                      bool verbatim);
// The identifier word of an operator spelling ("+=" -> "add_assign").
std::string operator_identifier(const char *spelling);

// Gives the parameters of `declared` the names of those of `defined`.
// Returns 1 on success, 0 when either is not a function type or the lists
// differ in length (lenient matching of "int f();" with "int f(int a)"):
// the declaration then keeps its names and nothing is reported.
int CPP_modify_param_name(TypeDesc *declared, TypeDesc *defined, const char *file, int line);

// A new type for a type written as text ("unsigned long", "struct S *"),
// read in the scope of `function_name` (file scope when empty); none when
// the text is not a type.
// `budget`: the one of the analysis in progress that reads the text.
// `scope`: a namespace the text is read in instead (no function name then).
TypeDesc *type_from_text(const char *type_text, SymbolTable &table, const char *file, int line,
                         const char *function_name = nullptr, AnalysisBudget *budget = nullptr,
                         TypeDesc *scope = nullptr);

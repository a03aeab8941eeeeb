// Declaration grammar: reads the preprocessed text of one file (or a short
// composed text) and enters what it declares into a SymbolTable. Executable
// code is skipped: function bodies are captured as text, and expressions
// inside declarations are kept as normalised text.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "ctree.h"

struct SymbolTable;

// Handed on to expression analysis; the same shape as the report callback.
using ExpressionCallback = void (*)(int severity, const char *code, std::string_view arg,
                                    std::string_view file, int line);

// One analysis. `function_name` non-empty makes the declarations local to
// that function's scope. Never throws; syntax errors are reported and the
// declarations completed so far stay in the table.
void analyse_text(const char *text, SymbolTable &table, const char *function_name,
                  const char *file_name, int first_line, ExpressionCallback callback,
                  int keep_bodies, int lenient_matching);

// The callback of the analysis in progress (none outside an analysis).
ExpressionCallback analysis_expression_callback();
// Number of syntax errors reported by the last (outermost) analysis.
int analysis_syntax_errors();

// Scope of the analysis in progress, for the scanner's identifier
// classification: the innermost class or namespace being defined.
ScopeContext grammar_scope_context();

// Instance of a class template for the given argument texts: the class of the
// composed name when it exists, else made by a nested analysis of the
// template body. `mark` is the instance mark given to a new class (1 for a
// use as a type name). None (with "TEMINSINC") when a parameter has neither
// argument nor default or instantiations nest too deeply.
TypeDesc *instantiate_class_template(SymbolTable &table, TypeDesc *templ,
                                     const std::vector<std::string> &arguments, int mark);
// `text` with every parameter name of the template replaced by its argument
// (or its default); used for the member definitions captured with a class
// template when its instances are completed.
std::string bind_template_text(const TypeDesc *templ, const std::vector<std::string> &arguments,
                               const std::string &text);

// Limits: parser nesting (the deepest declarator, class or expression
// nesting accepted) and nested template instantiations.
constexpr int GRAMMAR_NESTING_LIMIT = 150;
constexpr int INSTANTIATION_NESTING_LIMIT = 64;

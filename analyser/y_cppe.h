// Expression analysis: one expression text (an array bound, an enumerator
// value, a test-dialect expression) is parsed with its own scanner and
// grammar, typed against the symbol table and, when it is a constant integer
// expression, evaluated exactly on BigInt.
#pragma once
#include <memory>
#include <string>

#include "mfmath.h"
#include "y_cppa.h"

struct SymbolTable;
struct TypeDesc;

// Result kinds.
constexpr int EXPR_INTEGER_CONSTANT = 11;
constexpr int EXPR_NO_VALUE = 12;

// Nesting depth (parentheses, unary operators, right-associative chains)
// accepted by the expression grammar; beyond it the text is reported as a bad
// expression and gets no value.
constexpr int EXPRESSION_STACK_LIMIT = 600;

struct ExpressionResult {
  int kind = EXPR_NO_VALUE;
  BigInt value{};           // valid for EXPR_INTEGER_CONSTANT
  TypeDesc *type = nullptr; // type of the whole expression (may be none)
  int width = 0;            // bits of that integer type; negative when signed
  std::string image;        // the expression written back as text
};

// Analyses `text` in the scope of the named function (file scope for an
// empty or null name) of `table` (null: the table of the last analysis),
// sharing `budget` with the analysis that asks (none: a budget of its own). Reports go
// through `callback` when given, else through the analyser's report
// function, with `file_name` and `line`. Returns nothing for an empty text
// (blanks only).
std::unique_ptr<ExpressionResult> analyse_expression(const char *text, const char *function_name,
                                                     const char *file_name, int line,
                                                     ReportCallback callback,
                                                     SymbolTable *table = nullptr,
                                                     AnalysisBudget *budget = nullptr);

// Convenience for the grammar and the renderer: true and *out set when the
// text is an integer constant expression whose value fits 64 bits.
bool evaluate_integer_expression(const char *text, const char *function_name,
                                 const char *file_name, int line, ReportCallback callback,
                                 long long *out, SymbolTable *table = nullptr,
                                 AnalysisBudget *budget = nullptr);

// The callback the renderer hands to analyse_expression for array bounds
// (reports through the analyser's report function).
void expression_bound_callback(MessageCode code, std::string_view arg, std::string_view file, int line);

// Image of a character constant's value (its low 8 bits): 'a', '\n', '\033'.
std::string character_constant_image(int value);

// Size in bytes of a type on the target (the analyser's target sizes; a
// pointer has the size of long); -1 when unknown (incomplete types, bit
// fields that cannot be laid out, functions).
// `context`: the expression analysis asking (enumerator values and array
// bounds are evaluated in it); none outside one.
struct ExpressionContext;
long long type_size_bytes(const TypeDesc *type, const ExpressionContext *context = nullptr);

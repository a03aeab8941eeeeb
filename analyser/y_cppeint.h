// Private to expression analysis (y_cppe.cpp, cppsize.cpp): what the type
// layout needs from the evaluation of constant expressions.
#pragma once

#include "ctree.h"

#include "y_cppa.h"

// Where an expression analysis reads and reports, for the evaluations it
// starts (enumerator values, array bounds inside sizeof).
struct ExpressionContext {
  const char *function = "";
  const char *file = "";
  int line = 0;
  ReportCallback callback = nullptr;
  SymbolTable *table = nullptr;
  AnalysisBudget *budget = nullptr;
};

// Bytes of an enumeration's underlying type (int unless a value needs more).
long long enumeration_bytes(const TypeDesc *enumeration, const ExpressionContext &context);
// An array's bound evaluated in the given context; -1 when empty or not constant.
long long array_bound_value(const ArrayInfo &array, const ExpressionContext &context);

// ---------------------------------------------------------------------------
// The expression scanner (y_cppelx.cpp): the declaration scanner's token set
// with its own tables, and the test language's radix constants 0FFh, 101b.

#include <string>
#include <vector>

enum ETokKind { E_END, E_IDENT, E_INT, E_RADIX, E_FLOAT, E_CHAR, E_STRING, E_PUNCT };

struct ETok {
  int kind = E_END;
  std::string text;
  size_t begin = 0, end = 0;  // source span
};

// The tokens of the text, ending with one E_END token.
std::vector<ETok> scan_expression(const std::string &text);
// An action without a rule: a message on the error stream.
void expression_bad_switch(int action);
bool expression_is_hex(char c);

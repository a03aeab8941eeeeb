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

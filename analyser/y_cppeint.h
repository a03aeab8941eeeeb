// Private to expression analysis (y_cppe.cpp, cppsize.cpp): what the type
// layout needs from the evaluation of constant expressions.
#pragma once

#include "ctree.h"

// Bytes of an enumeration's underlying type (int unless a value needs more).
long long enumeration_bytes(const TypeDesc *enumeration);
// An array's bound evaluated in the context of the analysis in progress
// (file scope outside one); -1 when empty or not constant.
long long array_bound_value(const ArrayInfo &array);

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

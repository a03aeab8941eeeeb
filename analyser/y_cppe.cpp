// Expression analysis (first cut: the entry points; evaluation follows).
#include "y_cppe.h"

std::unique_ptr<ExpressionResult> analyse_expression(const char *, const char *, const char *, int,
                                                     ExpressionCallback, SymbolTable *) {
  return nullptr;
}
bool evaluate_integer_expression(const char *, const char *, const char *, int,
                                 ExpressionCallback, long long *, SymbolTable *) {
  return false;
}
void expression_bound_callback(int, const char *, std::string_view, std::string_view, int) {}
std::string character_constant_image(int) { return {}; }
long long type_size_bytes(const TypeDesc *) { return -1; }

// Evaluation of #if and #elif conditions.
//
// The evaluator knows nothing of the macro table or the input stack: the
// preprocessor installs hooks (macro lookup, macro expansion of the line,
// reporting with the current position) and hands over the collected text.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mcodes.h"

// One value of the expression: 64-bit two's complement plus the unsigned flag
// that selects the 32-bit forms of some operators.
struct IfValue {
  int64_t value = 0;
  bool is_unsigned = false;
};

struct IfHooks {
  // Is the name in the macro table (any kind)? Used for `defined` when no
  // expander is installed and for __CHAR_UNSIGNED__.
  bool (*is_macro)(const char *name, size_t length) = nullptr;
  // Macro-expands the prepared line (with `defined` handled, see
  // if_defined_operator) and returns the expanded text. When absent, only the
  // `defined` operator is replaced and no macro is expanded.
  std::string (*expand)(const char *text, size_t length) = nullptr;
  // Takes back the room of an expanded text once it has been read, for the
  // expansions that follow. When absent, the text is freed.
  void (*release)(std::string &text) = nullptr;
  // Reports a warning (all reports of the evaluator are warnings) at the
  // position of the directive. When absent, report_warning is used.
  void (*report)(MessageCode code, std::string_view arg) = nullptr;
};

// Installs the hooks (a copy is kept); returns the previous ones.
IfHooks if_set_hooks(const IfHooks &hooks);

// The target's sizes: set by the "sizeof" and "signof" pragmas (which the
// analyser acts on when it meets their passed-through lines), read by
// `sizeof` here and by the analyser alike. They live for the rest of the
// process.
struct TargetSizes {
  int char_bits = 8;
  int short_bits = 16;
  int int_bits = 32;
  int long_bits = 32;
  int longlong_bits = 64;
  bool plain_char_unsigned = false;
  // (name, bytes) pairs of the sizeof pragma in order of appearance; names
  // are kept without blanks ("longdouble").
  std::vector<std::pair<std::string, int>> declared_sizes;
  // How often #if has asked for a size: a reading that asked depends on them.
  unsigned long asked = 0;
  // Bytes declared for name (its blanks ignored), the newest declaration
  // winning; -1 when there is none.
  int declared_size(std::string_view name) const;
};
TargetSizes &target_sizes();
// Back to the defaults above (tests).
void reset_target_sizes();

// Prepares, expands and evaluates the text of an #if/#elif line: whether the
// low 32 bits of the value are non-zero (false when the parse failed).
bool pp_eval_if(const char *text, size_t length);

// Evaluates an already expanded text. `ok` (optional) tells whether the
// parse succeeded; the returned value is meaningful only then.
IfValue if_evaluate(const char *text, size_t length, bool *ok = nullptr);

// The `defined` operator for the expander. `text`/`length` is what follows
// the word "defined"; returns 1 or 0 and stores in *consumed how many
// characters the operand took (0 when none followed). Reports "ERDEFINED"
// for a missing identifier or a missing ')'.
int if_defined_operator(const char *text, size_t length, size_t *consumed);

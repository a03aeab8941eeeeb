// #if evaluator: the input as an expanded expression, and as the text of an
// #if line with the `defined` operator and no macro expansion.
#include "fuzz_support.h"

namespace fuzz_ifeval {

bool no_macro(const char *, size_t) { return false; }

int run(const uint8_t *data, size_t size) {
  fuzz_support::setup();
  fuzz_support::fresh_state();
  const std::string text = fuzz_support::text_of(data, size);
  IfHooks hooks;
  hooks.is_macro = no_macro;
  const IfHooks previous = if_set_hooks(hooks);
  try {
    bool ok = false;
    if_evaluate(text.data(), text.size(), &ok);
    pp_eval_if(text.data(), text.size());
  } catch (const fuzz_support::FuzzExit &) {
  }
  if_set_hooks(previous);
  return 0;
}

}  // namespace fuzz_ifeval

ORTEK_FUZZ_TARGET(fuzz_ifeval::run)

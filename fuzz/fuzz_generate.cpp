// The whole generation on one tested file: preprocessing, analysis and every
// emitter, writing t.ptu beside it.
#include "fuzz_support.h"
#include "generator/sancmd.h"
#include "generator/sgener.h"
#include "generator/siofic.h"

namespace fuzz_generate {

int run(const uint8_t *data, size_t size) {
  fuzz_support::setup();
  fuzz_support::fresh_state();
  fuzz_support::write_file("t.c", data, size);
  std::remove("t.ptu");
  std::remove("t.bck");
  reset_script_writer();
  generator_options() = GeneratorOptions{};
  generator_options().tested_file = "t.c";
  generator_options().generated_file = "t.ptu";
  try {
    generation_run("ortekstart \"t.c\" \"t.ptu\"");
  } catch (const fuzz_support::FuzzExit &) {
  }
  // A run ended by a fatal report leaves its script open.
  ScriptWriter &w = script_writer();
  if (w.stream) std::fclose(w.stream);
  reset_script_writer();
  return 0;
}

}  // namespace fuzz_generate

ORTEK_FUZZ_TARGET(fuzz_generate::run)

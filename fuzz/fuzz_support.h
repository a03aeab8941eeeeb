// Shared set-up of the fuzz targets. Each target is a plain function over
// one input; the libFuzzer entry point is added only when ORTEK_FUZZ_ENTRY
// is defined, so that the regression test can run the same code on stored
// inputs in the ordinary build.
//
// The tool ends the process on fatal and internal reports. Here the
// reporter's exit hook throws FuzzExit instead, which the target catches:
// a fatal report is a sound outcome of a malformed input, not a finding.
// The process-wide states a run may leave half-way are reset before every
// input.
#pragma once
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ctree.h"
#include "ctylex.h"
#include "i18n_anaccpp_msg.h"
#include "i18n_bibli_msg.h"
#include "i18n_modbas_msg.h"
#include "i18n_squelet_msg.h"
#include "merror.h"
#include "cprepr.h"
#include "y1_tab.h"

namespace fuzz_support {

struct FuzzExit {
  int status;
};

[[noreturn]] inline void throw_exit(int status) { throw FuzzExit{status}; }

inline std::string &work_folder() {
  static std::string folder;
  return folder;
}

inline void remove_work_folder() {
  if (work_folder().empty()) return;
  std::error_code ignored;
  std::filesystem::current_path("/", ignored);
  std::filesystem::remove_all(work_folder(), ignored);
}

// Once per process: the message catalogues, the exit hook and a private
// working folder (every target that writes files writes them there).
inline void setup() {
  static bool done = false;
  if (done) return;
  done = true;
  register_squelet_messages();
  register_modbas_messages();
  register_bibli_messages();
  register_ana_c_cpp_messages();
  set_exit_hook(throw_exit);
  const char *tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ortek-fuzz.XXXXXX";
  if (!mkdtemp(pattern.data())) std::abort();
  work_folder() = pattern;
  std::filesystem::current_path(work_folder());
  std::atexit(remove_work_folder);
}

// Before every input: the states a previous run may have left behind.
inline void fresh_state() {
  reset_reporter();
  pp_reset_for_tests();
  reset_target_sizes();
  lex_set_escaped_line_names(false);
  reset_analysis_settings();
  set_analyser_report(nullptr);
}

inline std::string text_of(const uint8_t *data, size_t size) {
  return std::string(reinterpret_cast<const char *>(data), size);
}

inline void write_file(const char *name, const uint8_t *data, size_t size) {
  std::FILE *f = std::fopen(name, "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

}  // namespace fuzz_support

#ifdef ORTEK_FUZZ_ENTRY
#define ORTEK_FUZZ_TARGET(function)                                              \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {    \
    return function(data, size);                                                \
  }
#else
#define ORTEK_FUZZ_TARGET(function)
#endif

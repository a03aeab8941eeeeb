// Replays the fuzz targets' inputs in the ordinary build: every finding kept
// under fuzz/regressions/<target>/ and the seed corpus fuzz/corpus/<target>/
// must run to its end (a sanitizer build turns any memory fault into a
// failure) and within a few seconds.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../fuzz/fuzz_cmdline.cpp"
#include "../fuzz/fuzz_generate.cpp"
#include "../fuzz/fuzz_grammar.cpp"
#include "../fuzz/fuzz_ifeval.cpp"
#include "../fuzz/fuzz_lexer.cpp"
#include "../fuzz/fuzz_optfile.cpp"
#include "../fuzz/fuzz_pp.cpp"

// In a sanitizer build: a run ended by a fatal report unwinds past records
// that the process exit would have released; those are not leaks of the
// tool.
extern "C" const char *__asan_default_options() { return "detect_leaks=0"; }

namespace {

namespace fs = std::filesystem;
using Target = int (*)(const uint8_t *, size_t);

std::vector<fs::path> inputs(const std::string &target, const char *kind) {
  std::vector<fs::path> out;
  const fs::path folder = fs::path(ORTEK_TEST_DATA) / ".." / "fuzz" / kind / target;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return out;
  for (const auto &e : fs::directory_iterator(folder))
    if (e.is_regular_file() && e.path().filename().string()[0] != '.') out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

// Runs every input; returns how many there were.
size_t replay(const std::string &target, Target run, const char *kind) {
  size_t count = 0;
  for (const fs::path &p : inputs(target, kind)) {
    std::ifstream in(p, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto start = std::chrono::steady_clock::now();
    run(reinterpret_cast<const uint8_t *>(data.data()), data.size());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 10.0) << p;
    ++count;
  }
  return count;
}

struct Case {
  const char *name;
  Target run;
};

const Case kTargets[] = {
    {"cmdline", fuzz_cmdline::run}, {"optfile", fuzz_optfile::run}, {"pp", fuzz_pp::run},
    {"ifeval", fuzz_ifeval::run},   {"lexer", fuzz_lexer::run},     {"grammar", fuzz_grammar::run},
    {"generate", fuzz_generate::run},
};

TEST(FuzzRegressions, FindingsRunToTheirEnd) {
  size_t total = 0;
  for (const Case &c : kTargets) total += replay(c.name, c.run, "regressions");
  RecordProperty("inputs", static_cast<int>(total));
  // Kept findings exist: finding none means the replay looks in the wrong
  // place, and would pass without checking anything.
  EXPECT_GT(total, 0u) << "no input under fuzz/regressions";
}

TEST(FuzzRegressions, SeedCorpusRunsToItsEnd) {
  for (const Case &c : kTargets) EXPECT_GT(replay(c.name, c.run, "corpus"), 0u) << c.name;
}

// A fatal report ends the input, not the process, and the next input
// starts from a clean reporter.
TEST(FuzzRegressions, FatalReportEndsOnlyTheInput) {
  const std::string bad = "-no_such_option\n";
  fuzz_cmdline::run(reinterpret_cast<const uint8_t *>(bad.data()), bad.size());
  const std::string good = "int g;\nint f(int a) { return a; }\n";
  fuzz_generate::run(reinterpret_cast<const uint8_t *>(good.data()), good.size());
  EXPECT_EQ(error_count(), 0);
  std::ifstream script("t.ptu");
  const std::string text((std::istreambuf_iterator<char>(script)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("SERVICE f"), std::string::npos) << text;
}

// The whole-generation input carries its options and further files.
TEST(FuzzRegressions, GenerationInputCarriesOptionsAndFiles) {
  const std::string input =
      "//! -SIMULATE=s.c\nint g;\nint f(int a) { return a; }\n//@ s.c\nint h;\nint k(void) { return 1; }\n"
      "//@ ../escape.c\nint lost;\n";
  fuzz_generate::run(reinterpret_cast<const uint8_t *>(input.data()), input.size());
  EXPECT_EQ(error_count(), 0);
  std::ifstream script("t.ptu");
  const std::string text((std::istreambuf_iterator<char>(script)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("-- STUB DECLARATIONS OF THE SIMULATED FILES"), std::string::npos) << text;
  EXPECT_NE(text.find("SERVICE f"), std::string::npos);
  EXPECT_EQ(text.find("lost"), std::string::npos);
  EXPECT_FALSE(fs::exists("../escape.c"));
}

}  // namespace

#include "cprepr.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cpinternal.h"  // the state a run leaves behind
#include "merror.h"
#include "pp_fixture.h"
#include "y1_tab.h"

// Death tests end the child with exit(), which leaves the heap objects of
// the abandoned stack frames unreleased: no leak report for those children.
static int g_dying = 0;
extern "C" int __lsan_is_turned_off() { return g_dying; }

namespace {

// The directory texts of the include chain, in search order.
std::vector<std::string> chain() {
  std::vector<std::string> texts;
  for (IncludeDir *d = pp_state.include_head; d; d = d->next)
    if (!d->bare) texts.push_back(d->text);
  return texts;
}

struct Result {
  std::string out;
  std::string err;
  int errors = 0;
};

class Pp : public pp_fixture::PpTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(open_pp("cprepr_test"));
    table_ = new MacroTable;
  }
  void TearDown() override { close_pp(); }
  void init(std::vector<const char *> defs = {}, std::vector<const char *> incs = {}) {
    defs.push_back(nullptr);
    incs.push_back(nullptr);
    testing::internal::CaptureStderr();
    pp_init(defs.data(), incs.data(), *table_, 1);
    init_err_ = testing::internal::GetCapturedStderr();
  }
  // Starts the run with the folders d1 and d2 of the test's folder as the
  // include chain; returns their paths.
  std::pair<std::string, std::string> init_with_d1_d2() {
    std::pair<std::string, std::string> dirs{path("d1"), path("d2")};
    init({}, {dirs.first.c_str(), dirs.second.c_str()});
    initialised_ = true;
    return dirs;
  }
  Result run(const std::string &text, const char *name = "") {
    if (!initialised_) {
      init();
      initialised_ = true;
    }
    Result r;
    testing::internal::CaptureStderr();
    r.errors = pp_process_text(text.c_str(), 0, name, 0, r.out, *table_);
    r.err = testing::internal::GetCapturedStderr();
    return r;
  }
  // For death tests, which capture standard error themselves.
  void run_raw(const std::string &text) {
    g_dying = 1;
    std::vector<const char *> none{nullptr};
    pp_init(none.data(), none.data(), *table_, 1);
    std::string out;
    pp_process_text(text.c_str(), 0, "", 0, out, *table_);
  }
  // Preprocessed text of a file, through the include mechanism.
  Result run_file(const std::string &name, const std::string &content) {
    write(name, content);
    return run("#include \"" + path(name) + "\"");
  }
  // Output without line markers.
  static std::string text_only(const std::string &out) {
    std::string r;
    std::size_t pos = 0;
    while (pos < out.size()) {
      std::size_t nl = out.find('\n', pos);
      std::size_t stop = nl == std::string::npos ? out.size() : nl + 1;
      if (out.compare(pos, 6, "#line ") != 0) r.append(out, pos, stop - pos);
      pos = stop;
    }
    return r;
  }
  static int count(const std::string &hay, const std::string &needle) {
    int n = 0;
    for (std::size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
  }
  std::string marker(int line, const std::string &name) const {
    return "#line " + std::to_string(line) + " \"" + path(name) + "\"\n";
  }

  bool initialised_ = false;
  std::string init_err_;
};

// ------------------------------------------------------------ state and include search

TEST_F(Pp, IncludeFindsFileBesideIncluderAfterChainEntries) {
  write("inc/a.h", "int from_inc;\n");
  write("sub/a.h", "int beside;\n");
  write("sub/b.h", "int only_beside;\n");
  write("sub/t.c", "#include \"a.h\"\n#include \"b.h\"\n");
  std::string inc = path("inc");
  init({}, {inc.c_str()});
  initialised_ = true;
  Result r = run("#include \"" + path("sub/t.c") + "\"");
  EXPECT_NE(r.out.find("int from_inc;"), std::string::npos) << r.out;  // chain entries come first
  EXPECT_EQ(r.out.find("int beside;"), std::string::npos);
  EXPECT_NE(r.out.find("int only_beside;"), std::string::npos);
  EXPECT_NE(r.out.find("#line 1 \"" + path("sub") + "/b.h\""), std::string::npos);
  EXPECT_EQ(r.err, "");
  ASSERT_EQ(pp_state.included_files.size(), 3u);
  EXPECT_EQ(pp_state.included_files[1], inc + "/a.h");
}

TEST_F(Pp, TargetDirectoryAndSystemDirectories) {
  write("D/lib/x.h", "int target;\n");
  setenv("QZUTGT", path("D").c_str(), 1);
  setenv("QZW_ADD_USR_INCLUDE", "", 1);
  Result r = run("#include <x.h>\n");
  EXPECT_NE(r.out.find("#line 1 \"" + path("D") + "/lib/x.h\""), std::string::npos) << r.out;
  EXPECT_EQ(chain(), (std::vector<std::string>{path("D") + "/lib", "/usr/include", "/usr/local/include"}));
}

TEST_F(Pp, NoTargetDirectoryWhenVariablesUnsetOrEmpty) {
  setenv("QZUTGT", "", 1);
  setenv("QZLTGT", "", 1);
  init();
  EXPECT_EQ(pp_state.include_head, nullptr);
  // An empty QZUTGT leaves the choice to QZLTGT.
  setenv("QZLTGT", "/opt/t", 1);
  init();
  EXPECT_EQ(chain(), (std::vector<std::string>{"/opt/t/lib"}));
}

TEST_F(Pp, IncludeNextSearchesAfterTheEntryWhereFound) {
  write("d1/y.h", "#include \"x.h\"\n");
  write("d2/x.h", "int second;\n#include_next <x.h>\n");
  write("d3/x.h", "int third;\n");
  std::string d1 = path("d1"), d2 = path("d2"), d3 = path("d3");
  init({}, {d1.c_str(), d2.c_str(), d3.c_str()});
  initialised_ = true;
  Result r = run("#include <y.h>\n");
  EXPECT_NE(r.out.find("int second;"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("int third;"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
}

// A directory a standard defines file names that already stands earlier in
// the chain (an INCL option, QZW_ADD_USR_INCLUDE) takes its place among the
// standard ones: a library header found before it reaches it through
// #include_next, as <cstdlib> reaches the C library's <stdlib.h>.
TEST_F(Pp, StandardDirectoryNamedEarlierMovesToItsStandardPlace) {
  write("libc/stdlib.h", "int from_c_library;\n");
  write("libcxx/cstdlib", "#include_next <stdlib.h>\nint from_cxx_library;\n");
  std::string libc = path("libc"), libcxx = path("libcxx");
  init({}, {libc.c_str()});
  initialised_ = true;
  const std::string pragmas =
      "#pragma ortek incl_std \"" + libcxx + "\"\n#pragma ortek incl_std \"" + libc + "\"\n";
  Result r = run(pragmas + "#include <cstdlib>\n");
  EXPECT_NE(r.out.find("int from_c_library;"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
  ASSERT_NE(pp_state.include_tail, nullptr);
  EXPECT_EQ(pp_state.include_tail->text, libc);
  // Read again for the next file, the standard entries stay where they are.
  r = run(pragmas + "#include <cstdlib>\n");
  EXPECT_NE(r.out.find("int from_c_library;"), std::string::npos) << r.out;
  int count = 0;
  for (IncludeDir *d = pp_state.include_head; d; d = d->next) count += d->text == libc || d->text == libcxx;
  EXPECT_EQ(count, 2);
}

TEST_F(Pp, SystemDirectoriesMoveBehindTheStandardOnesOfEachFile) {
  setenv("QZW_ADD_USR_INCLUDE", "", 1);
  for (int file = 0; file < 2; ++file) {
    SCOPED_TRACE(file);
    init();
    Result r = run("#pragma ortek incl_std \"/opt/cxx\"\n#pragma ortek incl_std \"/usr/include\"\n");
    std::vector<std::string> chain;
    for (IncludeDir *d = pp_state.include_head; d; d = d->next) chain.push_back(d->text);
    EXPECT_EQ(chain, (std::vector<std::string>{"/usr/local/include", "/opt/cxx", "/usr/include"}));
    testing::internal::CaptureStderr();
    pp_release(*table_, 1);  // the next file builds its chain again
    testing::internal::GetCapturedStderr();
  }
}

TEST_F(Pp, HeaderIncludedTwiceIsExpandedTwice) {
  write("h.h", "int v = N;\n");
  Result r = run("#define N 1\n#include \"" + path("h.h") + "\"\n#undef N\n#define N 2\n#include \"" +
                 path("h.h") + "\"\n");
  EXPECT_NE(r.out.find("int v = 1;"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("int v = 2;"), std::string::npos) << r.out;
  EXPECT_EQ(pp_state.included_files.size(), 1u);
}

// Files above the cache's size limit are read at each inclusion: a change
// between two runs is seen, and a file that includes itself shares the text
// of the level still reading it.
TEST_F(Pp, LargeFilesAreReadAgainAndSharedWhileOpen) {
  std::string padding;
  while (padding.size() < (std::size_t{1} << 20) + 1000) padding += "int filler_line_of_some_length;\n";
  write("big.h", "int v = N;\n" + padding);
  Result r = run("#define N 1\n#include \"" + path("big.h") + "\"\n#undef N\n#define N 2\n#include \"" +
                 path("big.h") + "\"\n");
  EXPECT_NE(r.out.find("int v = 1;"), std::string::npos);
  EXPECT_NE(r.out.find("int v = 2;"), std::string::npos);
  EXPECT_EQ(r.err, "");
  write("big.h", "int w = N;\n" + padding);
  r = run("#include \"" + path("big.h") + "\"\n");
  EXPECT_NE(r.out.find("int w = 2;"), std::string::npos);
  EXPECT_EQ(r.out.find("int v"), std::string::npos);

  write("self.h", "#ifndef ONCE\n#define ONCE\n#include \"" + path("self.h") + "\"\nint inner_end;\n#endif\nint tail;\n" +
                      padding);
  r = run("#include \"" + path("self.h") + "\"\n");
  EXPECT_EQ(count(r.out, "int tail;"), 2);
  EXPECT_EQ(count(r.out, "int inner_end;"), 1);
  EXPECT_EQ(count(r.out, "int filler_line_of_some_length;"), 2 * count(padding, "int filler_line_of_some_length;"));
  EXPECT_EQ(r.err, "");
}

// A header that is a pipe comes in pieces: a short read is not its end.
TEST_F(Pp, HeaderFromAPipeIsReadToItsEnd) {
  const std::string fifo = path("piped.h");
  ::unlink(fifo.c_str());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // A reader that stopped early must fail the test, not end the process.
  void (*const previous)(int) = std::signal(SIGPIPE, SIG_IGN);
  std::thread writer([&fifo] {
    std::FILE *f = std::fopen(fifo.c_str(), "w");
    if (!f) return;
    std::fputs("int first_piece;\n", f);
    std::fflush(f);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::fputs("int second_piece;\n", f);
    std::fclose(f);
  });
  Result r = run("#include \"" + fifo + "\"\n");
  writer.join();
  std::signal(SIGPIPE, previous);
  ::unlink(fifo.c_str());
  EXPECT_NE(r.out.find("int first_piece;"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("int second_piece;"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
}

TEST_F(Pp, IncludeOperandFormsAndMacroOperand) {
  write("m.h", "int via_macro;\n");
  Result r = run("#define H \"" + path("m.h") + "\"\n#include H\n#include nothing\n");
  EXPECT_NE(r.out.find("int via_macro;"), std::string::npos) << r.out;
  EXPECT_EQ(count(r.err, "ProbaX-W-ERINCLUDE"), 1) << r.err;
}

TEST_F(Pp, FileEndsWithoutNewlineOrAtNul) {
  Result r = run_file("n.h", std::string("int a;\nint b; // tail", 22));
  EXPECT_EQ(text_only(r.out), "int a;\nint b;  \n") << r.out;
  EXPECT_EQ(r.err, "");
  r = run_file("z.h", std::string("int c;\nint d;\0int hidden;\n", 26));
  EXPECT_EQ(text_only(r.out), "int c;\nint d;\n");
}

TEST_F(Pp, MissingIncludeIsFatal) {
  EXPECT_EXIT(run_raw("#include \"no/such/file.h\"\n"), ::testing::ExitedWithCode(7), "IMPOUVFIC");
}

TEST_F(Pp, SelfIncludeStopsAtTheStackLimit) {
  write("self.h", "#include \"self.h\"\n");
  EXPECT_EXIT(run_raw("#include \"" + path("self.h") + "\"\n"), ::testing::ExitedWithCode(7), "NBRECURSI");
}

struct Stopped {
  int status;
};
[[noreturn]] void throw_stop(int status) { throw Stopped{status}; }

TEST_F(Pp, ContextReleasedAfterARunCutShort) {
  // An embedding program may catch the end of a fatal run; the context can
  // still be released and used again.
  write("self.h", "#if 1\n#include \"self.h\"\n");
  ExitHook saved = set_exit_hook(throw_stop);
  testing::internal::CaptureStderr();
  bool stopped = false;
  try {
    run_raw("#include \"" + path("self.h") + "\"\n");
  } catch (const Stopped &s) {
    stopped = s.status == 7;
  }
  pp_release(*table_, 1);
  std::string err = testing::internal::GetCapturedStderr();
  set_exit_hook(saved);
  g_dying = 0;
  EXPECT_TRUE(stopped);
  EXPECT_NE(err.find("NBRECURSI"), std::string::npos);
  EXPECT_NE(err.find("UNTERCOND"), std::string::npos);
  EXPECT_EQ(pp_state.depth, -1);
  Result r = run("#define A 1\nA\n");
  EXPECT_EQ(r.out, "\n1\n");
}

TEST_F(Pp, DeepIncludesBelowTheLimitWork) {
  // 1990 nested files, each including the next.
  const int n = 1990;
  for (int i = 0; i < n; ++i)
    write("deep/" + std::to_string(i) + ".h",
          i + 1 < n ? "#include \"" + std::to_string(i + 1) + ".h\"\n" : "int bottom;\n");
  Result r = run("#include \"" + path("deep/0.h") + "\"\n");
  EXPECT_NE(r.out.find("int bottom;"), std::string::npos);
  EXPECT_EQ(r.err, "");
}

TEST_F(Pp, GuardedHeaderIncludedOftenIsFast) {
  write("g.h", "#ifndef G_H\n#define G_H\nint g;\n" + std::string(20000, ' ') + "\n#endif\n");
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "#include \"" + path("g.h") + "\"\n";
  auto t0 = std::chrono::steady_clock::now();
  Result r = run(text);
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_EQ(count(r.out, "int g;"), 1);
  EXPECT_LT(s, 2.0);
  int nodes = 0;
  for (IncludeDir *d = pp_state.include_head; d; d = d->next) ++nodes;
  EXPECT_LE(nodes, 1);  // the chain does not grow with every include
}

// ------------------------------------------------------------ guarded headers met again

// The part of an output from the line marker of file (the n-th one, from 0)
// up to the next marker.
static std::string piece(const std::string &out, const std::string &file, int n) {
  const std::string start = "#line 1 \"" + file + "\"\n";
  std::size_t at = out.find(start);
  for (int i = 0; i < n && at != std::string::npos; ++i) at = out.find(start, at + 1);
  if (at == std::string::npos) return "(none)";
  const std::size_t next = out.find("#line ", at + start.size());
  return out.substr(at, next == std::string::npos ? std::string::npos : next - at);
}

// A header met again while its guard is defined writes what a reading
// writes then (its comments and blank lines, its line markers), without
// scanning it; once the guard is undefined it is read again.
TEST_F(Pp, GuardedHeaderMetAgainWritesWhatAReadingWrites) {
  write("g.h", "/* first\n   comment */\n\n#ifndef G_H\n#define G_H\nint g;\n#if X\n#else\n#endif\n"
               "#endif /* G_H */\n\n// end\n");
  const std::string inc = "#include \"" + path("g.h") + "\"\n";
  // The file met for the first time with its guard defined is read as usual.
  Result plain = run_file("t0.c", "#define G_H\n" + inc + "int a;\n");
  const std::string expected = piece(plain.out, path("g.h"), 0);
  EXPECT_EQ(expected, "#line 1 \"" + path("g.h") + "\"\n \n\n\n\n\n\n\n\n\n\n\n \n");
  pp_release(*table_, true);
  init();
  Result r = run_file("t.c", inc + inc + inc + "int after;\n#undef G_H\n" + inc + inc);
  EXPECT_EQ(count(r.out, "int g;"), 2) << r.out;
  for (int n : {1, 2, 4}) EXPECT_EQ(piece(r.out, path("g.h"), n), expected) << n;
  EXPECT_NE(r.out.find("#line 3 \"" + path("t.c") + "\"\n\nint after;\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(pp_state.included_files.size(), 3u);
}

// The text kept is that of the line markers' spelling at the time.
TEST_F(Pp, GuardedHeaderMetAgainWithEscapedNames) {
  write("a\"b/g.h", "#ifndef G_H\n#define G_H\nint g;\n#endif\n");
  std::string dir = path("a\"b");
  init({}, {dir.c_str()});
  initialised_ = true;
  const std::string inc = "#include <g.h>\n";
  const std::string plain = "#line 1 \"" + dir + "/g.h\"\n";
  const std::string escaped = "#line 1 \"" + path("a\\\"b") + "/g.h\"\n";
  Result r = run(inc + inc + inc);
  EXPECT_EQ(count(r.out, plain), 3) << r.out;
  pp_set_escape_line_names(true);
  r = run(inc + inc);
  EXPECT_EQ(count(r.out, escaped), 2) << r.out;
  pp_set_escape_line_names(false);
  r = run(inc);
  EXPECT_EQ(count(r.out, plain), 1) << r.out;
  EXPECT_EQ(count(r.out, "int g;"), 0);
}

// Only a file that is one "#ifndef" group with nothing but comments and
// blank lines around it is passed over; any other shape is read each time.
TEST_F(Pp, OnlyAPlainGuardIsPassedOver) {
  write("tail.h", "#ifndef A\n#define A\nint a;\n#endif\nint tail;\n");
  write("head.h", "int head;\n#ifndef B\n#define B\n#endif\n");
  write("else.h", "#ifndef C\n#define C\nint c1;\n#else\nint c2;\n#endif\n");
  write("nested.h", "#ifndef D\n#define D\n#if 0\n#elif 1\n#else\n#endif\nint d;\n#endif\n");
  write("cont.h", "#ifndef E\n#define E\nint e;\n#endif // \\\nint e_tail;\n");
  write("inner.h", "#ifndef F\n#define F\n#if 1\n#endif\nint f;\n#endif\n");
  std::string text;
  for (const char *f : {"tail.h", "head.h", "else.h", "nested.h", "cont.h", "inner.h"})
    for (int i = 0; i < 3; ++i) text += "#include \"" + path(f) + "\"\n";
  Result r = run(text);
  EXPECT_EQ(count(r.out, "int a;"), 1);
  EXPECT_EQ(count(r.out, "int tail;"), 3);
  EXPECT_EQ(count(r.out, "int head;"), 3);
  EXPECT_EQ(count(r.out, "int c1;"), 1);
  EXPECT_EQ(count(r.out, "int c2;"), 2);
  EXPECT_EQ(count(r.out, "int d;"), 1);
  EXPECT_EQ(count(r.out, "int e;"), 1);
  EXPECT_EQ(count(r.out, "int e_tail;"), 0);  // the comment goes on over it
  EXPECT_EQ(count(r.out, "int f;"), 1);
  EXPECT_EQ(r.err, "");
}

// The look at a file's first lines that decides whether the walk over the
// whole file is needed names the guard pp_find_guard finds, whenever it
// finds one, whatever follows the "#endif".
TEST(PpGuard, CandidateNamesTheGuardTheWalkFinds) {
  const char *texts[] = {
      "#ifndef A\n#define A\nint a;\n#endif\n",
      "/* c */\n\n// d\n#ifndef A\n#define A\n#endif /* A */\n\n// end\n",
      "#ifndef A\n#define A\nint a;\n#endif\nint tail;\n",
      "#ifndef A\n#endif\n#define B\n",
      "int head;\n#ifndef B\n#define B\n#endif\n",
      "#ifndef C\n#define C\nint c1;\n#else\nint c2;\n#endif\n",
      "#ifndef C\n#elif 1\n#endif\n",
      "#ifndef D\n#define D\n#if 0\n#elif 1\n#else\n#endif\nint d;\n#endif\n",
      "#ifndef E\n#define E\nint e;\n#endif // \\\nint e_tail;\n",
      "#ifndef F\n#define F\n#if 1\n#endif\nint f;\n#endif\n",
      "#ifndef R\n#if 1\n#else\n#else\n#endif\n#endif\n",
      "#ifndef G \\\n  H\n#endif\n",
      "\\\n#ifndef G\n#endif\n",
      "/* open\n#ifndef G\n#endif\n",
      "#ifndef G /* c */\n#endif\n",
      "#  ifndef\tG\t\n#endif\n",
      "#ifndef G\n#endif",
      "#ifndef G\n",
      "#ifndef\n#endif\n",
      "#ifndef 1G\n#endif\n",
      "#ifdef G\n#endif\n",
      "#ifndefG\n#endif\n",
      "#ifndef G\n#if 1\n#endif\n",
      "#ifndef G\n#endif extra\n",
      "#ifndef G\n#endif /* a */ /* b\n */\n",
      "#ifndef G\n#endif\n#ifndef H\n#endif\n",
      "",
      "\n\n",
  };
  int found = 0;
  for (const char *t : texts) {
    const std::string text = t;
    std::string guard;
    std::string_view candidate;
    const bool has_candidate = pp_guard_candidate(text.data(), text.data() + text.size(), candidate);
    if (pp_find_guard(text.data(), text.data() + text.size(), guard)) {
      ++found;
      EXPECT_TRUE(has_candidate) << text;
      EXPECT_EQ(std::string(candidate), guard) << text;
    }
  }
  EXPECT_GE(found, 5);
}

// A file whose guard is not defined when it is met again is read; once the
// name is defined, it is passed over, and read again once it is undefined.
TEST_F(Pp, GuardDefinedOnlyAfterTheFileIsMetAgain) {
  write("l.h", "#ifndef L\nint l;\n#endif\n");
  const std::string inc = "#include \"" + path("l.h") + "\"\n";
  Result r = run(inc + inc + inc + "#define L\n" + inc + inc + "#undef L\n" + inc);
  EXPECT_EQ(count(r.out, "int l;"), 4) << r.out;
  EXPECT_EQ(count(r.out, "#line 1 \"" + path("l.h") + "\""), 6) << r.out;
  EXPECT_EQ(r.err, "");
}

// A group that reports when it is skipped is not passed over silently.
TEST_F(Pp, GuardedGroupThatReportsWhenSkippedIsRead) {
  write("r.h", "#ifndef R\n#define R\n#if 1\n#else\n#else\n#endif\nint r;\n#endif\n");
  const std::string inc = "#include \"" + path("r.h") + "\"\n";
  Result r = run(inc + inc + inc);
  EXPECT_EQ(count(r.out, "int r;"), 1);
  // Once as read, once (the same report each time) as skipped.
  EXPECT_EQ(count(r.err, "ELIFAELSE"), 2) << r.err;
}

TEST_F(Pp, IncludeNextReachesAGuardedHeaderAgain) {
  write("d1/x.h", "#include_next <x.h>\nint first;\n");
  write("d2/x.h", "#ifndef X2\n#define X2\nint second;\n#endif\n");
  const auto [d1, d2] = init_with_d1_d2();
  Result r = run("#include <x.h>\n#include <x.h>\n#include <x.h>\n#undef X2\n#include <x.h>\n");
  EXPECT_EQ(count(r.out, "int first;"), 4) << r.out;
  EXPECT_EQ(count(r.out, "int second;"), 2) << r.out;
  EXPECT_EQ(count(r.out, "#line 1 \"" + d2 + "/x.h\""), 4);
  EXPECT_EQ(r.err, "");
}

// Each spelling of a path is a file of its own for the markers; the guard
// keeps the second spelling out as it keeps the first.
TEST_F(Pp, GuardedHeaderNamedThroughTwoPaths) {
  write("g.h", "#ifndef G_H\n#define G_H\nint g;\n#endif\n");
  write("sub/x.h", "");
  const std::string one = path("g.h"), two = path("sub/../g.h");
  Result r = run("#include \"" + one + "\"\n#include \"" + two + "\"\n#include \"" + two + "\"\n#include \"" + one +
                 "\"\n");
  EXPECT_EQ(count(r.out, "int g;"), 1);
  EXPECT_EQ(count(r.out, "#line 1 \"" + two + "\""), 2) << r.out;
  EXPECT_EQ(count(r.out, "#line 1 \"" + one + "\""), 2) << r.out;
  EXPECT_EQ(pp_state.included_files, (std::vector<std::string>{one, two}));
}

// A path found to hold no file is not looked at again in the same run; the
// next run looks again.
TEST_F(Pp, MissingFileStaysMissingForTheRun) {
  write("d2/m.h", "int in_d2;\n");
  const auto [d1, d2] = init_with_d1_d2();
  Result r = run("#include <m.h>\n");
  EXPECT_NE(r.out.find("int in_d2;"), std::string::npos);
  write("d1/m.h", "int in_d1;\n");
  r = run("#include <m.h>\n");
  EXPECT_NE(r.out.find("int in_d2;"), std::string::npos);
  pp_release(*table_, true);
  init({}, {d1.c_str(), d2.c_str()});
  r = run("#include <m.h>\n");
  EXPECT_NE(r.out.find("int in_d1;"), std::string::npos) << r.out;
}

// What a run learns of the paths it tries serves its later searches: the
// same header is found in the same later directory every time, and a
// directory that holds no folder of the name does not hide the next one's.
TEST_F(Pp, HeaderFoundInALaterDirectoryIsFoundThereAgain) {
  write("d1/other.h", "int unrelated;\n");
  write("d2/sub/m.h", "int in_d2_sub;\n");
  write("d3/sub/m.h", "int in_d3_sub;\n");
  write("d2/sub/n.h", "#include <sub/m.h>\n#include \"m.h\"\n");
  std::string d1 = path("d1"), d2 = path("d2"), d3 = path("d3");
  init({}, {d1.c_str(), d2.c_str(), d3.c_str()});
  initialised_ = true;
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    Result r = run("#include <sub/m.h>\n#include <sub/n.h>\n#include <sub/m.h>\n");
    EXPECT_EQ(count(r.out, "int in_d2_sub;"), 4) << r.out;
    EXPECT_EQ(count(r.out, "int in_d3_sub;"), 0) << r.out;
    EXPECT_EQ(count(r.out, "#line 1 \"" + d2 + "/sub/m.h\""), 4) << r.out;
    EXPECT_EQ(r.err, "");
  }
  EXPECT_EQ(pp_state.included_files, (std::vector<std::string>{d2 + "/sub/m.h", d2 + "/sub/n.h"}));
}

// A folder of the header's name that is a file, or a header name that is a
// folder, is passed over like a missing one; nothing is reported.
TEST_F(Pp, FileInPlaceOfAFolderOrFolderInPlaceOfAHeaderIsPassedOver) {
  write("d1/sub", "not a folder\n");
  write("d1/m.h/x", "");
  write("d2/sub/m.h", "int in_d2_sub;\n");
  write("d2/m.h", "int in_d2;\n");
  const auto [d1, d2] = init_with_d1_d2();
  Result r = run("#include <sub/m.h>\n#include <m.h>\n#include <sub/m.h>\n#include <m.h>\n");
  EXPECT_EQ(count(r.out, "int in_d2_sub;"), 2) << r.out;
  EXPECT_EQ(count(r.out, "int in_d2;"), 2) << r.out;
  EXPECT_EQ(r.err, "");
}

// A "." or ".." step leads where the system leads: "a/.." only where "a"
// is a folder.
TEST_F(Pp, DotStepsInHeaderNames) {
  write("d1/a/x.h", "int in_d1_a;\n");
  write("d2/b/y.h", "int in_d2_b;\n");
  write("d2/a/z.h", "");
  const auto [d1, d2] = init_with_d1_d2();
  Result r = run("#include <./a/../a/x.h>\n#include <a/../b/y.h>\n#include <b/./y.h>\n");
  EXPECT_EQ(count(r.out, "int in_d1_a;"), 1) << r.out;
  EXPECT_EQ(count(r.out, "int in_d2_b;"), 2) << r.out;
  EXPECT_EQ(r.err, "");
}

// A header that a run found missing, below a folder that was not there, is
// found by the next run once made; a header changed between two runs is
// read again.
TEST_F(Pp, FolderAndFileMadeOrChangedBetweenRunsAreSeen) {
  write("d2/sub/m.h", "int in_d2;\n");
  const auto [d1, d2] = init_with_d1_d2();
  Result r = run("#include <sub/m.h>\n");
  EXPECT_NE(r.out.find("int in_d2;"), std::string::npos) << r.out;
  write("d1/sub/m.h", "int in_d1;\n");
  write("d2/sub/m.h", "int in_d2_changed_text;\n");
  // The same run goes on with what it found.
  r = run("#include <sub/m.h>\n");
  EXPECT_NE(r.out.find("int in_d2;"), std::string::npos) << r.out;
  pp_release(*table_, true);
  init({}, {d1.c_str(), d2.c_str()});
  r = run("#include <sub/m.h>\n#include \"" + d2 + "/sub/m.h\"\n");
  EXPECT_NE(r.out.find("int in_d1;"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("int in_d2_changed_text;"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
}

// A header missing from every directory is reported each time it is
// included, also once the run knows the paths tried.
TEST_F(Pp, HeaderMissingEverywhereIsReportedEachTime) {
  std::string d1 = path("d1");
  write("d1/ok.h", "int ok;\n");
  init({}, {d1.c_str()});
  initialised_ = true;
  ExitHook saved = set_exit_hook(throw_stop);
  int stops = 0;
  for (int i = 0; i < 2; ++i) {
    testing::internal::CaptureStderr();
    try {
      std::string out;
      pp_process_text("#include <ok.h>\n#include <no/such.h>\n", 0, "", 0, out, *table_);
    } catch (const Stopped &s) {
      stops += s.status == 7;
    }
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("IMPOUVFIC"), std::string::npos) << err;
    EXPECT_NE(err.find("no/such.h"), std::string::npos) << err;
    while (pp_state.depth >= 0) pp_pop_level();
  }
  set_exit_hook(saved);
  EXPECT_EQ(stops, 2);
}

// ------------------------------------------------------------ scanning and output

TEST_F(Pp, TrigraphsAndDigraphsKeepLineLengths) {
  Result r = run("a = b ?" "?! c;\nx<:1:> \"<:\"\n?" "?=define T 1\nT\n");
  EXPECT_EQ(r.out, "a = b | c;  \nx[1] \"[\"   \n\n1\n");
  std::string s = "a ?" "?/   \nb\n";
  pp_prepare_buffer(s);
  EXPECT_EQ(s, "a      \\\nb\n");  // still continued, same length
  r = run("int a ?" "?/\n= 1;\n");
  EXPECT_EQ(r.out, "int a   = 1;\n");
  // Lines without a digraph stay as they are, one holding several is
  // rewritten from its first, and a NUL inside the text does not end the
  // search; a lone "<", ":" or "%" at the very end is no digraph.
  const char in[] = "a < b % c : d\nx\0y ? z : w <%\n%:x<:y:>%>\n<";
  const char out[] = "a < b % c : d\nx\0y ? z : w { \n#x[y]}    \n<";
  s.assign(in, sizeof in - 1);
  pp_prepare_buffer(s);
  EXPECT_EQ(s, std::string(out, sizeof out - 1));
}

// A text shorter than a few pages is first looked at for the pairs that
// start a trigraph or make a digraph, and left as it is when it holds none;
// a longer one is always searched. Behind many lines of a longer text (the
// replacements work line by line), every short text over the characters
// that matter must come out the same, whatever its length and room.
// A text of up to `longest - 1` characters drawn from `alphabet`, the same
// for the same seed.
std::string random_text(unsigned &seed, std::string_view alphabet, std::size_t longest) {
  seed = seed * 1103515245u + 12345u;
  const std::size_t length = (seed >> 16) % longest;
  std::string text;
  for (std::size_t i = 0; i < length; ++i) {
    seed = seed * 1103515245u + 12345u;
    text.push_back(alphabet[(seed >> 16) % alphabet.size()]);
  }
  return text;
}

TEST_F(Pp, ShortTextsLookedAtFirstComeOutAsSearched) {
  const std::string pad = std::string(8192, 'a') + "\n";
  unsigned seed = 12345;
  int replaced = 0;
  for (int round = 0; round < 4000; ++round) {
    const std::string text = random_text(seed, "?<:%>=/(a\n", 40);
    const std::size_t length = text.size();
    std::string searched = pad + text;
    pp_prepare_buffer(searched);
    std::string looked = text;
    if (round % 3 == 1) looked.reserve(length + (round % 17));
    if (round % 3 == 2) looked.shrink_to_fit();
    pp_prepare_buffer(looked);
    ASSERT_EQ(looked, searched.substr(pad.size())) << text;
    if (looked != text) ++replaced;
  }
  EXPECT_GT(replaced, 1000);
}

TEST_F(Pp, CommentsKeepLineNumbers) {
  Result r = run_file("c.c", "a /* one\ntwo\nthree */ b\nc\n");
  EXPECT_EQ(r.out, marker(1, "c.c") + "a  \n\n b\nc\n");
  r = run_file("u.c", "x /* open\n\n");
  EXPECT_NE(r.err.find("ProbaX-W-UNTERCOMM,  [" + path("u.c") + ":1]"), std::string::npos) << r.err;
  r = run("a // c \\\n continued\nb\n");
  EXPECT_EQ(r.out, "a  \nb\n");
  r = run("a /\\\n* split */ b\n");
  EXPECT_EQ(r.out, "a   b\n");
  r = run("a // last line, no newline");
  EXPECT_EQ(r.out, "a  ");
  EXPECT_EQ(r.err, "");
}

// A line comment's end is searched a newline at a time: it must be where
// a walk a character at a time stops, continuations counted alike, over
// texts made of what matters (backslashes, carriage returns, newlines).
TEST_F(Pp, LineCommentEndsWhereTheWalkStops) {
  unsigned seed = 777;
  for (int round = 0; round < 20000; ++round) {
    const std::string text = random_text(seed, "\\\r\na/", 24);
    const char *begin = text.c_str(), *end = begin + text.size();
    const char *walked = begin;
    int walked_lines = 0;
    while (walked < end && *walked != '\n') {
      if (int k = continuation_at(walked)) {
        walked += k;
        ++walked_lines;
      } else {
        ++walked;
      }
    }
    int lines = 0;
    ASSERT_EQ(pp_line_comment_end(begin, end, &lines) - begin, walked - begin) << text;
    ASSERT_EQ(lines, walked_lines) << text;
  }
}

TEST_F(Pp, EmptyLinesCatchUpSmallGapsMarkersLargeOnes) {
  // A continued directive: its empty line and one more, so that X stays on
  // line 3 for the analyser.
  Result r = run_file("d.c", "#define X \\\n 1\nX\n");
  EXPECT_EQ(r.out, marker(1, "d.c") + "\n\n1\n");
  std::string skipped = "#if 0\n" + std::string(6, '\n') + "#endif\nsmall\n#if 0\n" + std::string(7, '\n') +
                        "#endif\nlarge\n";
  r = run_file("g.c", skipped);
  EXPECT_EQ(r.out, marker(1, "g.c") + std::string(8, '\n') + "small\n#line 18 \"" + path("g.c") + "\"\n\nlarge\n")
      << r.out;
  // Several continued definitions in a row: no drift at all.
  r = run_file("m.c", "#define A \\\n 1 \\\n 2\n#define B \\\n 3\nA B\n");
  EXPECT_EQ(r.out, marker(1, "m.c") + std::string(5, '\n') + "1 2 3\n") << r.out;
}

TEST_F(Pp, IncludeMarkersAndEscapedNames) {
  write("sub/in.h", "int i;\n");
  Result r = run_file("m.c", "int a;\n#include \"sub\\in.h\"\nint b;\n");
  EXPECT_EQ(r.out, marker(1, "m.c") + "int a;\n#line 1 \"" + path("") + "sub\\in.h\"\nint i;\n" +
                       marker(2, "m.c") + "\nint b;\n")
      << r.out;
  pp_set_escape_line_names(true);
  r = run("#include \"" + path("m.c") + "\"");
  EXPECT_NE(r.out.find("#line 1 \"" + path("") + "sub\\\\in.h\""), std::string::npos) << r.out;
}

TEST_F(Pp, FileNamesAreValidStringLiterals) {
  write("sub/q.h", "__FILE__ __BASE_FILE__\n");
  Result r = run_file("f.c", "#include \"sub\\q.h\"\n");
  // The backslash of the name is escaped: the literal means the name.
  EXPECT_NE(r.out.find("\"" + path("") + "sub\\\\q.h\" \"" + path("f.c") + "\""), std::string::npos) << r.out;
  r = run_file("f2.c", "#line 3 \"a\\\"b.c\"\n__FILE__\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(Pp, PragmaOnceSkipsTheSameFileByAnyPath) {
  write("o.h", "#pragma once\nonce_body\n");
  write("sub/x.h", "#include \"../o.h\"\n");
  ASSERT_EQ(symlink(path("o.h").c_str(), path("link.h").c_str()), 0);
  Result r = run_file("p.c", "#include \"o.h\"\n#include \"./o.h\"\n#include \"link.h\"\n#include \"sub/x.h\"\n"
                             "#include \"" + path("o.h") + "\"\nend\n");
  EXPECT_EQ(count(r.out, "once_body"), 1) << r.out;
  EXPECT_NE(r.out.find("end"), std::string::npos);
  EXPECT_EQ(r.err, "");
  // "#pragma once" with more words, or another pragma, is no once.
  write("t.h", "#pragma once more\ntwice_body\n");
  r = run_file("q.c", "#include \"t.h\"\n#include \"t.h\"\n");
  EXPECT_EQ(count(r.out, "twice_body"), 2) << r.out;
  // A context released forgets its once files: the next one reads it again.
  r = run_file("r.c", "#include \"o.h\"\n");
  EXPECT_EQ(count(r.out, "once_body"), 0) << r.out;  // same context: still skipped
  pp_release(*table_, true);
  r = run_file("r2.c", "#include \"o.h\"\n");
  EXPECT_EQ(count(r.out, "once_body"), 1) << r.out;
}

TEST_F(Pp, NumbersAndLiterals) {
  Result r = run("#define e 9\n1e+5 1..2 0x1e 'e' \"e\\\"e\"\n");
  EXPECT_EQ(r.out, "\n1e+5 1..2 0x1e 'e' \"e\\\"e\"\n");
  r = run_file("s.c", "char *s = \"open\nint after;\n'x\n");
  EXPECT_EQ(count(r.err, "UNTERSTRI"), 2) << r.err;
  EXPECT_NE(r.err.find(path("s.c") + ":1]"), std::string::npos);
  EXPECT_NE(r.out.find("\nint after;\n"), std::string::npos);
  r = run("\"a\\\nb\"\n");
  EXPECT_EQ(r.out, "\"ab\"\n");
}

TEST_F(Pp, BytesAboveAsciiAndHugeTexts) {
  Result r = run("#define S(x) #x\nS(\xe9\x01) \"\xff\" \xe9t\xe9\n");
  EXPECT_EQ(r.out, "\n\"\\351\\001\" \"\xff\" \xe9t\xe9\n");
  std::string line(10 * 1024 * 1024, 'a');
  line[5] = ' ';
  r = run(line + "\n");
  EXPECT_EQ(r.out.size(), line.size() + 1);
  std::string ident(100000, 'q');
  r = run("#define " + ident + " ok\n" + ident + "\n");
  EXPECT_EQ(r.out, "\nok\n");
  std::string body(1024 * 1024, 'b');
  r = run("#define BIG x " + body + "\n#define ID(a) [a]\nBIG ID(" + body + ")\n");
  EXPECT_EQ(r.out.size(), 2 + 2 + body.size() + 1 + 2 + body.size() + 1);
}

// The arguments of calls nested in arguments stand on one stack, read by
// their places: calls of ten arguments nested five deep, beyond what one
// stretch of the stack holds, give each argument its own text.
// A macro's name read where the text is written as it is goes to the output
// only where it stays: a function-like macro without a call (also one met
// at the end of an expansion), a macro being expanded, and nothing of it
// where it expands, over a line end too.
TEST_F(Pp, MacroNamesStayOnlyWhereTheyAreNotExpanded) {
  Result r = run("#define f(x) x\n#define a a b\n#define g f\n#define h(y) g y\nf + f(1) a g(2) h(3) h f\n(4) g\n");
  std::string tokens;
  for (char c : text_only(r.out))
    if (c != '\n') tokens += c;
  std::string squeezed;
  for (char c : tokens)
    if (c != ' ' || (!squeezed.empty() && squeezed.back() != ' ')) squeezed += c;
  while (!squeezed.empty() && squeezed.back() == ' ') squeezed.pop_back();
  EXPECT_EQ(squeezed, "f + 1 a b 2 f 3 h 4 f") << r.out;
  EXPECT_EQ(r.err, "");
}

TEST_F(Pp, ManyArgumentsOfNestedCalls) {
  Result r = run("#define F(a,b,c,d,e,f,g,h,i,j) j i h g f e d c b a\n#define G(x, y) F(x, y, x, y, x, y, x, y, x, y)\n"
                 "F(F(1,2,3,4,5,6,7,8,9,10),2,3,4,5,6,7,8,9,F(a,b,c,d,e,f,g,h,i,F(0,1,2,3,4,5,6,7,8,G(G(p,q),G(r,s)))))\n");
  std::string tokens;
  for (char c : text_only(r.out))
    if (c != ' ' && c != '\n') tokens += c;
  std::string want;
  for (int i = 0; i < 5; ++i) want += "srsrsrsrsrqpqpqpqpqp";
  want += "876543210ihgfedcba98765432" "1098765432" "1";
  EXPECT_EQ(tokens, want) << r.out;
  EXPECT_EQ(r.err, "");
}

TEST_F(Pp, MacroCallOverSeveralLines) {
  Result r = run_file("ml.c", "#define F(a, b) a + b\nint x = F(1,\n  2\n  );\nint y;\n" +
                                  std::string(9, '\n') + "int z = F(3,\n\n\n\n\n\n\n\n\n4);\nend\n");
  std::string t = text_only(r.out);
  EXPECT_NE(t.find("int x = 1 +    2   ;\n\n\nint y;\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
  // After the long call the analyser still sees the right line for "end".
  EXPECT_NE(r.out.find("#line 25 \"" + path("ml.c") + "\"\nend\n"), std::string::npos) << r.out;
}

TEST_F(Pp, CarriageReturnLineEnds) {
  Result r = run_file("w.c",
                      "#define A 1 + \\\r\n 2\r\nA\r\n#ifdef A\r\nyes\r\n#endif\r\n#warning  text\r\n"
                      "#line 40 \"n.c\"\r\nx\r\n#pragma ortek pragma p1 = #define P 1\r\n#pragma p1\r\nP\r\n");
  std::string t = text_only(r.out);
  EXPECT_NE(t.find("1 + 2\r\n"), std::string::npos) << t;
  EXPECT_NE(t.find("yes"), std::string::npos);
  EXPECT_EQ(r.err.find("INVALIEND"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("#warning text\n"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("#line 40 \"n.c\"\n"), std::string::npos) << r.out;
  EXPECT_NE(t.find("\n1\r\n"), std::string::npos) << t;
}

TEST_F(Pp, AnalysisSwitchedOffByPragmas) {
  Result r = run("a\n#pragma ortek stop_analyse\n#define HIDDEN 1\nhidden text\n#pragma ortek start_analyse\nHIDDEN\n");
  EXPECT_EQ(r.out, "a\n\nHIDDEN\n");
  // The state survives the run.
  r = run("#pragma ortek stop\n");
  EXPECT_FALSE(pp_state.analysis_on);
  r = run("invisible\n#pragma ortek pragma go = \"#pragma ortek start_analyze\"\n#pragma go\nseen\n");
  EXPECT_FALSE(pp_state.analysis_on);  // the map entry itself was not executed
  EXPECT_EQ(r.out, "");
  pp_state.analysis_on = true;
  run("#pragma ortek pragma go = \"#pragma ortek start_analyze\"\n");
  pp_state.analysis_on = false;
  r = run("invisible\n#pragma go\nseen\n");
  EXPECT_EQ(r.out, "\nseen\n");
}

// ------------------------------------------------------------ directives

TEST_F(Pp, NullUnknownAndPassedThroughDirectives) {
  Result r = run("#\n#ident \"v\"\n#pragma ortek crc_justify\n#pragma ortek sizeof(int)=4\n#pragma ortek si(x)=1\n"
                 "#error stop /* c */ here\n#pragma other\n");
  EXPECT_EQ(r.out, "\n#ident \"v\"\n\n#pragma ortek sizeof(int)=4\n#pragma ortek si(x)=1\n#error stop   here\n\n");
  EXPECT_NE(r.err.find("ProbaX-W-WARNERR"), std::string::npos);
  EXPECT_NE(r.err.find("#error stop   here"), std::string::npos) << r.err;
  EXPECT_EQ(count(r.err, "ProbaX-"), 1);
  r = run("#warning " + std::string(600, 'w') + "\n");
  std::size_t at = r.err.find("#warning ");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(r.err.find('\n', at) - at, 511u);
}

// The analyser's pragma word is looked for at the start of every directive's
// text, as a whole word only; a clean line is read where it stands, a line
// with a comment or continuation from a copy, and both read the same.
TEST_F(Pp, DirectiveTextsReadInPlaceOrCleaned) {
  Result r = run("#pragma ortekx sizeof(int)=4\n#pragma ortek\n#pragma\tortek\tsizeof(int)=4\n"
                 "#define ortek sizeof(int)=4\n#pragma ortek /* c */ sizeof(long)=8\n#pragma ortek si\\\n(x)=1\n"
                 "#pragma ortek sizeof(short)=2");
  EXPECT_EQ(r.out,
            "\n\n#pragma\tortek\tsizeof(int)=4\n#define ortek sizeof(int)=4\n#pragma ortek   sizeof(long)=8\n"
            "#pragma ortek si(x)=1\n#pragma ortek sizeof(short)=2");
  EXPECT_EQ(r.err, "");
  r = run("#define A /* c */ 1\n#define B 2 // d\n#define C \\\n 3\nA B C\n#if A + \\\n B == 3 /* e */\nyes\n#endif\n");
  EXPECT_EQ(text_only(r.out), "\n\n\n  1 2 3\n\nyes\n\n");
}

// A directive line is passed over many bytes at a time up to the next
// comment, literal, continuation or '<': one at any offset is seen, and
// the line reads as its cleaned form does.
TEST_F(Pp, DirectiveLinesSeeCommentsAndLiteralsAtAnyOffset) {
  const struct {
    const char *raw, *clean;
  } forms[] = {{" /* c */ b", "   b"}, {" \"x\\\n y\" b", " \"x y\" b"}, {" // c", ""}, {" b \\\n c", " b c"},
               {" 'q' < b", " 'q' < b"}};
  for (const auto &f : forms) {
    for (int k = 1; k < 40; ++k) {
      const std::string body(k, 'a');
      Result r = run("#define X " + body + f.raw + "\n#define Y " + body + f.clean + "\n[X]\n[Y]\n#undef X\n#undef Y\n");
      const std::string out = text_only(r.out);
      const std::size_t x = out.find('['), y = out.find('[', x + 1);
      ASSERT_NE(y, std::string::npos) << out;
      EXPECT_EQ(out.substr(x, out.find('\n', x) - x), out.substr(y, out.find('\n', y) - y)) << f.raw << " " << k;
      EXPECT_EQ(r.err, "") << f.raw << " " << k;
    }
  }
}

TEST_F(Pp, IfdefDiagnostics) {
  struct Case {
    const char *text;
    const char *report;
    bool taken;
  } cases[] = {
      {"#ifdef X junk", "INVALIEND", true}, {"#ifdef 9X", "STARTDIGI", false},
      {"#ifdef", "NOARGUMEN", false},       {"#ifdef +X", "ARGPUNCTU", false},
      {"#ifndef X junk", "INVALIEND", false}, {"#ifdef X", nullptr, true},
  };
  for (const Case &c : cases) {
    Result r = run(std::string("#define X\n") + c.text + "\nin\n#endif\n");
    EXPECT_EQ(r.out.find("in") != std::string::npos, c.taken) << c.text;
    if (c.report)
      EXPECT_NE(r.err.find(std::string("ProbaX-W-") + c.report), std::string::npos) << c.text << r.err;
    else
      EXPECT_EQ(r.err, "") << c.text;
  }
}

TEST_F(Pp, ConditionalStackDiagnostics) {
  Result r = run_file("e.c", "#if 1\na\n#else\nb\n#else\nc\n#endif\n");
  EXPECT_EQ(text_only(r.out), "\na\n\n\n\n\n\n");  // skipped lines are empty lines
  EXPECT_NE(r.err.find("ProbaX-W-ELIFAELSE,  [" + path("e.c") + ":5]  #else"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("ProbaX-I-MATCHLINE,  [" + path("e.c") + ":5]   1"), std::string::npos) << r.err;
  r = run("#if 0\n#if 1\nx\n#else\ny\n#endif\nz\n#elif 1\nw\n#endif\n");
  EXPECT_EQ(text_only(r.out), "\nw\n\n");
  EXPECT_EQ(r.err, "");
  r = run("#endif\n#else\n#elif 1\n");
  EXPECT_NE(r.err.find("UNBAENDIF"), std::string::npos);
  EXPECT_NE(r.err.find("NOCONDITI"), std::string::npos);
  EXPECT_NE(r.err.find("#else"), std::string::npos);
  EXPECT_NE(r.err.find("#elif"), std::string::npos);
  r = run("#if 0\n#else\n#elif 1\nq\n#endif\n");
  EXPECT_NE(r.err.find("ELIFAELSE"), std::string::npos);
  EXPECT_EQ(r.out.find('q'), std::string::npos);
  r = run("#if 0\n#if 1\n#else\n#else\n#endif\n#endif\n");
  EXPECT_NE(r.err.find("ELIFAELSE,   else or elif"), std::string::npos) << r.err;
  // Conditionals belong to the file that opened them.
  write("else.h", "#else\n");
  r = run("#if 1\n#include \"" + path("else.h") + "\"\n#endif\n");
  EXPECT_NE(r.err.find("NOCONDITI"), std::string::npos);
  // Still open when the context is released.
  run("#if 1\n#ifdef Q\n");
  testing::internal::CaptureStderr();
  pp_release(*table_, 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(count(err, "UNTERCOND"), 2) << err;
  EXPECT_NE(err.find("[1]  if"), std::string::npos) << err;  // the text starts at line 0
  // A header's conditionals are told at the header's own position, though
  // no file is open any more when they are released.
  write("open.h", "int h;\n#if 1\n");
  run("#include \"" + path("open.h") + "\"\nint after;\n");
  testing::internal::CaptureStderr();
  pp_release(*table_, 0);
  err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(count(err, "UNTERCOND"), 1) << err;
  EXPECT_NE(err.find("[" + path("open.h") + ":2]"), std::string::npos) << err;
}

TEST_F(Pp, DeepConditionalsAndManySkippedLines) {
  std::string t;
  for (int i = 0; i < 3000; ++i) t += "#if 1\n";
  t += "inside\n";
  for (int i = 0; i < 3000; ++i) t += "#endif\n";
  t += "#if 0\n";
  for (int i = 0; i < 3000; ++i) t += "#if 1\n#else\n#endif\n'\n";
  t += "#endif\nafter\n";
  Result r = run(t);
  EXPECT_NE(r.out.find("inside"), std::string::npos);
  EXPECT_NE(r.out.find("after"), std::string::npos);
  EXPECT_EQ(r.err, "");
}

// A condition that names no macro but through "defined" is read without a
// rescan: these are the shapes at the edge of that path, each with what the
// rescan gives (taken or not, and the codes reported).
TEST_F(Pp, ConditionsWithoutMacrosReadAsRescanned) {
  const char *conds[] = {
      "defined X", "defined(X)", "defined ( X ) && 1", "defined\tX", "defined(X", "defined (", "defined 1",
      "defined defined", "defined(defined)", "!defined Y || defined X", "Y1 + 1", "1e+defined", "definedX",
      "2/1 == 2", "4 / 2 == 2", "1 /**/ + 1", "'a' == 97", "__LINE__ > 0", "0x10 == 16", "1.5", "(1) ? 2 : 0",
      "$x == 0", "defined $a", "defined X // c", "1 \\\n + 1", "0 # 1", "defined X defined", "X", "defined D",
      "3 ... 4", "1 ? defined X : 0", "-1 < 0u",
  };
  std::string summary;
  for (const char *c : conds) {
    Result r = run(std::string("#define X\n#define D defined\n#if ") + c + "\nyes\n#else\nno\n#endif\n");
    summary += r.out.find("yes") != std::string::npos ? "+" : "-";
    for (std::size_t at = r.err.find("ProbaX-"); at != std::string::npos; at = r.err.find("ProbaX-", at + 1))
      summary += r.err.substr(at + 9, 9);
    summary += ' ';
  }
  EXPECT_EQ(summary,
            "+ + + + +ERDEFINED -ERDEFINEDEXPERRONE -ERDEFINEDEXPERRONE + + + + -EXPERRONEEXPERRONE - + + + + "
            "-FICINCONNEXPERRONE + -EXPERRONEEXPERRONE + + - + + - -ERDEFINEDEXPERRONE -EMPTYEXPR + -EXPERRONE + - ");
  // A macro named "defined" is hidden by the operator while a condition is read.
  Result r = run("#define defined 1\n#if defined X && defined(Q)\nyes\n#endif\n#if defined\nyes\n#endif\n");
  EXPECT_EQ(text_only(r.out), "\n\n\n");
  EXPECT_EQ(r.err, "ProbaX-W-INVDEFINE,   \nProbaX-W-ERDEFINED,   \n");
}

// A skipped line's text is passed over many bytes at a time up to the
// next comment, continuation, literal or line end: one at any offset must
// be seen, or the "#else" it hides would open a group.
TEST_F(Pp, SkippedTextSeesWhatHidesADirectiveAtAnyOffset) {
  const char *hiders[] = {"/*\n#else\ntaken\n*/", "b\\\n#else", "\"x\\\n#else\"", "'\\\n#else'", "b/* x */\\\n#else"};
  for (const char *hider : hiders) {
    for (int k = 0; k < 40; ++k) {
      const std::string text = "#if 0\n" + std::string(k, 'a') + hider + "\ntaken\n#endif\nafter __LINE__\n";
      Result r = run(text, "t.c");
      EXPECT_EQ(r.out.find("taken"), std::string::npos) << text;
      EXPECT_NE(r.out.find("after"), std::string::npos) << text;
      // The lines passed are counted: "after" is on the last line (the
      // run numbers the first one 0).
      const std::string line = std::to_string(std::count(text.begin(), text.end(), '\n') - 1);
      EXPECT_NE(r.out.find("after " + line + "\n"), std::string::npos) << text << r.out;
    }
  }
}

// A file's text that reads as written goes to the output a stretch at a
// time, up to the next name a macro holds: the stretch ends and the macro
// acts wherever the name stands, at the text's end too.
TEST_F(Pp, TextStretchesEndAtMacroNames) {
  Result r = run("#define M [m]\n#define F(x) <x>\n#define $d dollar\n"
                 "a M b M\nM\n1e+M 0x1FM M1 .5M M.5 F F(1) F (2)F(3)\n"
                 "\xc3\xa9M $d M$d caf\xc3\xa9 x/M/y 'M' \"M\" M# M/**/M\n"
                 "  M  \n#  define N M M\nN N(1)F\nM");
  EXPECT_EQ(text_only(r.out),
            "\n\n\na [m] b [m]\n[m]\n1e+M 0x1FM M1 .5M [m].5 F <1> <2><3>\n"
            "\xC3\xA9[m] dollar M$d caf\xC3\xA9 x/[m]/y 'M' \"M\" [m]# [m] [m]\n  [m]  \n\n[m] [m] [m] [m](1)F\n[m]");
  EXPECT_EQ(r.err, "");
}

// The same stretches in expansions and rescanned arguments, where a name at
// the end of an expansion goes on in the enclosing text and a name marked
// as not to be expanded again stays as it is.
TEST_F(Pp, ExpansionStretchesEndAtMacroNamesAndMarks) {
  Result r = run("#define M [m]\n#define F(x) x\n#define S S + M\n#define ID(x) x\n#define G(x) ID(x) x 1.5e+M M\n"
                 "#define MM M\n#define H() M\n"
                 "F(ab)cd F(M)x F(x M)M F(S S) ID(ID(S) S) G(S M) G(F(M)) MM H()H() F(a)F(M)\n");
  EXPECT_EQ(text_only(r.out),
            "\n\n\n\n\n\n\nabcd [m]x x [m][m] S + [m] S + [m] S + [m] S + [m] S + [m] [m] S + [m] [m] 1.5e+M [m] "
            "[m] [m] 1.5e+M [m] [m] MH() aF([m])\n");
  EXPECT_EQ(r.err, "");
}

// A condition whose macros each stand for one number is read without a
// rescan too: each shape here, with what the rescan gives (taken or not, and
// the reports, whose text shows the expanded condition read so far).
TEST_F(Pp, ConditionsWithNumberMacrosReadAsRescanned) {
  const char *conds[] = {
      "W == 64", "W==64", "W+W == 128", "-W < 0", "W-1", "F == 16", "L > 0 && defined W", "E+1", "D", "W W",
      "W == 64 +", "(W)", "!W", "defined W && W", ".W", "W.", "W.W", "1.W", "W e", "WE", "x W", "W x",
      "W<<1 == 128 &&", "N == 1", "P", "DOT", "S == 64", "Z", "W ? W : F ==", "2 W", "W 2", "-W-", "+W+",
      "W...", "U == 1 ||", "G", "W/W", "W/", "W##W", "defined(W) W",
  };
  std::string summary;
  for (const char *c : conds) {
    Result r = run(std::string("#define W 64\n#define F 0x10\n#define L 201710L\n#define E 1e\n#define D 1.5\n"
                               "#define N -1\n#define P (2)\n#define DOT .5\n#define S 64 /* c */\n#define Z 0\n"
                               "#define U 1u\n#define G W\n#if ") +
                   c + "\nyes\n#else\nno\n#endif\n");
    summary += r.out.find("yes") != std::string::npos ? "+" : "-";
    summary += r.err;
    summary += '|';
  }
  EXPECT_EQ(summary,
            "+|+|+|+|+|+|+|-ProbaX-W-EXPERRONE,    1e\nProbaX-W-EXPERRONE,    1e\n|"
            "-ProbaX-W-EXPERRONE,    1.5\nProbaX-W-EXPERRONE,    1.5\n|-ProbaX-W-EXPERRONE,    64 64\n|"
            "-ProbaX-W-EXPERRONE,    64 == 64 +\n|+|-|+|-ProbaX-W-EXPERRONE,    .\n|"
            "-ProbaX-W-EXPERRONE,    64.\nProbaX-W-EXPERRONE,    64.\n|"
            "-ProbaX-W-EXPERRONE,    64.64\nProbaX-W-EXPERRONE,    64.64\n|"
            "-ProbaX-W-EXPERRONE,    1.W\nProbaX-W-EXPERRONE,    1.W\n|-ProbaX-W-EXPERRONE,    64 e\n|-|"
            "-ProbaX-W-EXPERRONE,    x 64\n|-ProbaX-W-EXPERRONE,    64 x\n|"
            "-ProbaX-W-EXPERRONE,    64<<1 == 128 &&\n|-|+|-ProbaX-W-EXPERRONE,    .\n|+|-|"
            "-ProbaX-W-EXPERRONE,    64 ? 64 : 0x10 ==\n|-ProbaX-W-EXPERRONE,    2 64\n|"
            "-ProbaX-W-EXPERRONE,    64 2\n|-ProbaX-W-EXPERRONE,    -64-\n|-ProbaX-W-EXPERRONE,    +64+\n|"
            "-ProbaX-W-EXPERRONE,    64...\nProbaX-W-EXPERRONE,    64...\n|-ProbaX-W-EXPERRONE,    1u == 1 ||\n|"
            "+|+|-ProbaX-W-EXPERRONE,    64/\n|+|-ProbaX-W-EXPERRONE,     1  64\n|");
}

TEST_F(Pp, IfConditionsExpandMacrosAndDefined) {
  struct Case {
    const char *cond;
    bool taken;
    const char *report;
  } cases[] = {
      {"defined(Z) && Z > 2", false, nullptr},
      {"defined X && !defined(Y)", true, nullptr},
      {"D(X) && D X", true, nullptr},           // "defined" produced by a macro
      {"SQ(3) == 9 && TWO", true, nullptr},
      {"#machine(X)", true, nullptr},
      {"1 # 0", true, nullptr},                 // a '#' ends the expression
      {"", false, "EMPTYEXPR"},
      {"defined", false, "ERDEFINED"},
      {"1.0", false, "EXPERRONE"},
      {"UNDEF(1)", false, "EXPERRONE"},
  };
  for (const Case &c : cases) {
    Result r = run(std::string("#define X\n#define D defined\n#define SQ(a) ((a)*(a))\n#define TWO 2\n#if ") +
                   c.cond + "\nyes\n#else\nno\n#endif\n");
    EXPECT_EQ(r.out.find("yes") != std::string::npos, c.taken) << c.cond;
    EXPECT_EQ(r.out.find("no") != std::string::npos, !c.taken) << c.cond;
    if (c.report)
      EXPECT_NE(r.err.find(c.report), std::string::npos) << c.cond << r.err;
    else
      EXPECT_EQ(r.err, "") << c.cond;
  }
  Result r = run("#if 0\n#elif TWO == 2\nsecond\n#elif 1/0\nthird\n#endif\n");
  EXPECT_NE(r.out.find("second"), std::string::npos);
  EXPECT_EQ(r.out.find("third"), std::string::npos);
  EXPECT_EQ(r.err, "");  // a later #elif is not evaluated
}

TEST_F(Pp, LineDirective) {
  Result r = run_file("l.c", "a\n#line 120 \"src/a.c\"\nb\n#line 7\nc\n#line 0 \"x.c\"\nd\n");
  // "#line 7" alone renumbers and keeps the name; line 0 does nothing.
  EXPECT_EQ(r.out, marker(1, "l.c") + "a\n#line 120 \"src/a.c\"\nb\n#line 7 \"src/a.c\"\nc\n\nd\n") << r.out;
  r = run_file("n.c", "a\n#line 40\n__LINE__\n#line 12x\n__LINE__\n#line\n__LINE__\n");
  EXPECT_EQ(r.out, marker(1, "n.c") + "a\n" + marker(40, "n.c") + "40\n" + marker(12, "n.c") + "12\n\n14\n") << r.out;
  r = run_file("l2.c", "#line " + std::string(3000, '9') + " \"big.c\"\nx\n#line 5 \" sp ace.c\"\n__FILE__ __LINE__\n");
  EXPECT_EQ(r.out.find("big.c"), std::string::npos);
  EXPECT_NE(r.out.find("\"space.c\" 5"), std::string::npos) << r.out;
}

TEST_F(Pp, UndefChecks) {
  Result r = run("#define A 1\n#undef A\nA\n#undef __LINE__\n__LINE__\n#undef defined\n#undef __STDC__\n");
  EXPECT_EQ(r.out, "\n\nA\n\n__LINE__\n\n\n");
  EXPECT_EQ(count(r.err, "UNDEFININ"), 2) << r.err;
  EXPECT_NE(r.err.find("__LINE__"), std::string::npos);
  EXPECT_NE(r.err.find("defined"), std::string::npos);
}

TEST_F(Pp, PragmaKeywordsByPrefixAndTheMap) {
  Result r = run("#pragma ortek incl_std \"/opt/a\", /opt/b\n#pragma ortek incl_std\n");
  EXPECT_EQ(chain(), (std::vector<std::string>{"/opt/a", "/opt/b"}));
  EXPECT_NE(r.err.find("ProbaX-W-SYNTAXERR,   empty pragma ortek incl_std"), std::string::npos) << r.err;
  // Read again (a defines file is read for every analysed file): no copies.
  run("#pragma ortek incl_std \"/opt/a\", /opt/b\n");
  int copies = 0;
  for (IncludeDir *d = pp_state.include_head; d; d = d->next) copies += d->text == "/opt/b";
  EXPECT_EQ(copies, 1);
  EXPECT_EQ(chain().size(), 2u);
  std::string ident(5000, 'm');
  r = run("#pragma ortek type_modifier = far\n#pragma ortek type_mod=far\n#pragma ortek type_modifier =" + ident +
          "\n#pragma ortek type_modifier far\n#pragma ortek type_modifier =\n");
  EXPECT_EQ(pp_state.type_modifiers.size(), 2u);
  EXPECT_TRUE(pp_is_type_modifier("far", 3));
  EXPECT_TRUE(pp_is_type_modifier(ident.data(), ident.size()));
  EXPECT_FALSE(pp_is_type_modifier("fa", 2));
  EXPECT_FALSE(pp_is_type_modifier("farther", 7));
  EXPECT_FALSE(pp_is_type_modifier("", 0));
  EXPECT_EQ(count(r.err, "TYPMODINC"), 2);
  r = run("#pragma ortek pragma \"pack ( 1 )\" = \"#define PACKED 1\"\n#pragma   pack ( 1 )  \nPACKED\n"
          "#pragma ortek pragma pack ( 1 ) = #define PACKED 2\n#pragma pack ( 1 )\nPACKED\n");
  EXPECT_EQ(r.out, "\n\n1\n\n\n2\n") << r.err;
  EXPECT_EQ(pp_state.pragma_map.size(), 1u);
}

// A text given back comes back empty with its room; a short one is only
// emptied, a large one loses its room.
TEST(SpareTexts, GivenTextsComeBackEmptyWithTheirRoom) {
  std::vector<std::string> before;
  before.swap(pp_state.spare_texts);
  std::string short_text = "abc";
  pp_give_text(short_text);
  EXPECT_TRUE(short_text.empty());
  EXPECT_TRUE(pp_state.spare_texts.empty());
  std::string text(100, 'x');
  const std::size_t room = text.capacity();
  pp_give_text(text);
  EXPECT_TRUE(text.empty());
  ASSERT_EQ(pp_state.spare_texts.size(), 1u);
  std::string large(100000, 'y');
  pp_give_text(large);
  EXPECT_TRUE(large.empty());
  EXPECT_LT(large.capacity(), 100000u);
  EXPECT_EQ(pp_state.spare_texts.size(), 1u);
  std::string taken = pp_take_text();
  EXPECT_TRUE(taken.empty());
  EXPECT_EQ(taken.capacity(), room);
  EXPECT_TRUE(pp_state.spare_texts.empty());
  EXPECT_TRUE(pp_take_text().empty());
  before.swap(pp_state.spare_texts);
}

// The bits that answer most questions before the set is looked at never
// turn a modifier away, whatever its length or its leading characters.
TEST(TypeModifiers, TheQuickAnswerAgreesWithTheSet) {
  const std::vector<std::string> declared = {"q", "__extension__", "_Noreturn", "__thread", "_Atomic",
                                             std::string(63, 'l'), std::string(64, 'l') + "x", "far", "$x"};
  std::vector<std::string> probes = declared;
  for (const std::string &d : declared) {
    probes.push_back(d.substr(0, d.size() - 1));
    probes.push_back(d + "_");
    probes.push_back("_" + d);
    std::string other = d;
    other.back() = other.back() == 'z' ? 'y' : 'z';
    probes.push_back(other);
  }
  for (const char *p : {"", "_", "__", "int", "__restrict", "_Bool", "fat", "q1", "r", "x"}) probes.push_back(p);
  probes.push_back(std::string(100, 'l') + "x");
  TypeModifierSet set;
  for (const std::string &p : probes) {
    EXPECT_FALSE(set.contains(p)) << p;
  }
  for (const std::string &d : declared) set.insert(d);
  set.insert("far");
  set.insert("");
  EXPECT_EQ(set.size(), declared.size());
  for (const std::string &p : probes) {
    const bool expected = std::find(declared.begin(), declared.end(), p) != declared.end();
    EXPECT_EQ(set.contains(p), expected) << p;
  }
  set.clear();
  EXPECT_EQ(set.size(), 0u);
  for (const std::string &p : probes) EXPECT_FALSE(set.contains(p)) << p;
}

TEST_F(Pp, PragmaMapLoopStopsAtTheStackLimit) {
  EXPECT_EXIT(run_raw("#pragma ortek pragma loop = \"#pragma loop\"\n#pragma loop\n"), ::testing::ExitedWithCode(7),
              "NBRECURSI");
}

TEST_F(Pp, SizeAndSignPragmaHandlers) {
  // The handlers as the analyser calls them through the table.
  auto act = [](const char *word, const char *operand, PragmaOperand *parsed = nullptr) {
    const PragmaKeyword *k = pp_pragma_keyword(word);
    return k && k->layer == PragmaLayer::analyser && k->handler(operand, parsed);
  };
  PragmaOperand op;
  EXPECT_TRUE(act("sizeof", "(int) = 16", &op));
  EXPECT_TRUE(op.basic);
  EXPECT_TRUE(act("size", "mytype=64", &op));
  EXPECT_FALSE(op.basic);
  EXPECT_EQ(op.type, "mytype");
  EXPECT_EQ(op.bits, 64);
  EXPECT_TRUE(act("si", "long long = 128"));
  EXPECT_FALSE(act("sizeof", "(short) = 168"));  // wider than the arithmetic
  EXPECT_FALSE(act("sizeof", "char = 0"));
  EXPECT_FALSE(act("sizeof", "= 8"));
  EXPECT_EQ(target_sizes().int_bits, 16);
  EXPECT_EQ(target_sizes().longlong_bits, 128);
  EXPECT_EQ(target_sizes().short_bits, 16);
  EXPECT_EQ(target_sizes().declared_sizes.size(), 3u);
  Result r = run("#if sizeof(int) == 2 && sizeof(mytype) == 8\nok\n#endif\n");
  EXPECT_EQ(r.out, "\nok\n\n");
  EXPECT_TRUE(act("sig", "char = unsigned", &op));
  EXPECT_TRUE(target_sizes().plain_char_unsigned);
  EXPECT_TRUE(act("signof", "(char)=signed"));
  EXPECT_FALSE(target_sizes().plain_char_unsigned);
  EXPECT_TRUE(act("signof", "(uint8) = unsigned", &op));
  EXPECT_FALSE(op.basic);
  EXPECT_EQ(op.sign, 1);
  EXPECT_FALSE(act("signof", "char = maybe"));
}

TEST_F(Pp, PragmaKeywordAbbreviations) {
  // Each keyword's shortest form selects it and nothing shorter does: the
  // word stands for the first keyword of the table it abbreviates.
  const char *const keywords[] = {"incl_std", "stop_analyse", "start_analyse", "sizeof", "signof", "pragma",
                                  "type_modifier", "crc_justify", "crc_justify_all", "crc_justify_everywhere",
                                  "stop_analyze", "start_analyze", "insert", "prefix_call", "type_boolean",
                                  "ex_call", "exit_instr", "accept", "reduce", "fctreduce", "nothingbefore",
                                  "nointerpret", "directive", "stop_instr", "start_instr", "ato_stub",
                                  "testing_tool_call_place"};
  for (const char *spelling : keywords) {
    const PragmaKeyword *k = pp_pragma_keyword(spelling);
    ASSERT_NE(k, nullptr) << spelling;
    EXPECT_STREQ(k->spelling, spelling);
    std::string word = spelling;
    std::string shortest = word.substr(0, k->shortest);
    EXPECT_EQ(pp_pragma_keyword(shortest), k) << shortest;
    EXPECT_NE(pp_pragma_keyword(word.substr(0, k->shortest - 1)), k) << spelling;
    for (std::size_t n = k->shortest; n <= word.size(); ++n) EXPECT_EQ(pp_pragma_keyword(word.substr(0, n)), k);
  }
  EXPECT_EQ(pp_pragma_keyword(""), nullptr);
  EXPECT_EQ(pp_pragma_keyword("sizeofx"), nullptr);
  EXPECT_STREQ(pp_pragma_keyword("s")->spelling, "stop_analyse");
  // The analyser's pragmas pass through, whatever their abbreviation; the
  // others do not.
  Result r = run("#pragma ortek size int=64\n#pragma ortek sig(char)=signed\n#pragma ortek crc\n"
                 "#pragma  ortek  sizeof(long)=64\n");
  EXPECT_EQ(r.out, "#pragma ortek size int=64\n#pragma ortek sig(char)=signed\n\n#pragma  ortek  sizeof(long)=64\n");
  std::string_view operand;
  ASSERT_NE(pp_ortek_pragma(" ortek  size (int)= 8", &operand), nullptr);
  EXPECT_EQ(operand, " (int)= 8");
  EXPECT_EQ(pp_ortek_pragma(" once"), nullptr);
}

// ------------------------------------------------------------ macros

TEST_F(Pp, MacroExpansionTable) {
  struct Case {
    const char *defs;
    const char *use;
    const char *expected;
  } cases[] = {
      {"#define A[x] (x*2)", "A[3] A(3)", "(3*2) (3*2)"},
      {"#define F(x) <x>", "F[3]", "F[3]"},
      {"#define M[a,b] a|b", "M[f(a,b)]", "f(a|b)"},
      {"#define S(x) #x", "S( a  \"b\\n\" )", "\"a \\\"b\\\\n\\\"\""},
      {"#define C(x) #@x", "C(z)", "'z'"},
      {"#define P(a,b) a##b", "P(x, 1)", "x1"},
      {"#define P(a,b) a ## b", "P( x , y )", " xy "},  // trimmed on the pasting side only
      {"#define V(f, ...) g(f, __VA_ARGS__)", "V(1,2,3)", "g(1, 2,3)"},
      {"#define W(f, rest...) g(f, rest)", "W(1,2,3)", "g(1, 2,3)"},
      // The GNU comma elision: the comma goes only when no variadic argument is given.
      {"#define L(f, ...) g(f, ## __VA_ARGS__)", "L(1) L(1,) L(1, 2, 3)", "g(1) g(1,) g(1,2,3)"},
      {"#define N(f, rest...) g(f, ## rest)", "N(1) N(1, 2)", "g(1) g(1,2)"},
      {"#define Z(...) z(0, ## __VA_ARGS__)", "Z() Z(1)", "z(0) z(0,1)"},
      {"#define L(f, ...) g(f,##__VA_ARGS__) #f", "L(x)", "g(x) \"x\""},
      // __VA_OPT__ keeps its group when the variadic arguments hold tokens.
      {"#define O(f, ...) g(f __VA_OPT__(,) __VA_ARGS__)", "O(1) O(1, ) O(1, 2)", "g(1  ) g(1   ) g(1 ,  2)"},
      {"#define O(...) [__VA_OPT__(a, (b), c)]", "O() O(x)", "[] [a, (b), c]"},
      {"#define O(x, ...) [__VA_OPT__(x ## x #x)]", "O(1) O(1, 2)", "[] [11 \"1\"]"},
      {"#define O(x) __VA_OPT__(x)", "O(1)", "__VA_OPT__(1)"},  // only in variadic macros
      {"#define O(...) [__VA_OPT__(a]", "O(1) O()", "[a] ["},  // an unclosed group ends with the body
      {"#define R R", "R", "R"},
      {"#define A B\n#define B A", "A B", "A B"},
      {"", "__STDC__", "0"},
      {"#define H(x) \\#x x", "H(1)", "#1 1"},
      {"#define T(x) x\n#define U T(T(1))", "U", "1"},
      {"#define E()  e", "E() E( ) E", " e  e E"},  // a leading blank of the body stays white space
      {"#define F(x) [x]\n#define G F", "G(1) G", "[1] F"},
      {"#define F(x) [x]", "F /* c */ (2)", "[2]"},
      {"#define F(x) [x]\n#define G(y) F(y) y", "G(G(1))", "[[1] 1] [1] 1"},
      {"#define D(x) x x\n#define Q 1", "D(Q)", "1 1"},
      {"#define NEG -1\n#define P +\n#define F(x) x", "-NEG P+1 -F(-2)", "- -1 + +1 - -2"},  // no new operators
      {"#define E3(a,b,c) [a|b|c]\n#define M(x) -x\n#define J(a,b) a##b", "E3(,,) M(-1) J(+,=)", "[| |] - -1 +="},
      {"#define X(a) #a\n", "X(\"\\\"\" '\\\\')", "\"\\\"\\\\\\\"\\\" '\\\\\\\\'\""},
      // Joined variadic arguments, stringified and pasted.
      {"#define S(f, ...) #__VA_ARGS__ f##__VA_ARGS__", "S(x, a , \"b\" ,c) S(y)", "\"a , \\\"b\\\" ,c\" xa ,\"b\" ,c \"\" y"},
  };
  for (const Case &c : cases) {
    pp_release(*table_, 0);
    Result r = run(std::string(c.defs) + "\n" + c.use + "\n");
    std::string got = r.out.substr(r.out.find_last_of('\n', r.out.size() - 2) + 1);
    EXPECT_EQ(got, std::string(c.expected) + "\n") << c.defs << " / " << c.use << "\n" << r.err;
  }
}

// Arguments are read a run of plain characters at a time, and an argument
// is rescanned only when it may change: these are the cases where the
// characters that interrupt a run, or a name that is a macro only in part
// of the text, decide the result.
TEST_F(Pp, ArgumentsAcrossCommentsLiteralsNumbersAndContinuations) {
  Result r = run_file("args.c",
                      "#define G(a,b) [a|b]\n"
                      "G(x /* , */ y, \"),(\" 'c')\n"
                      "G((1,2), [3])\n"
                      "#define e5 no\n"
                      "#define F(x) [x]\n"
                      "F(1e5) F(e5) F(0x1f.e5) F(e5.x)\n"
                      "F(a\\\nb) F( // c\n z)\n"
                      "#define R(x) x R(x)\n"
                      "R(R(1))\n"
                      "#define H(x) F(x) #x\n"
                      "H(e5) H( a  b )\n");
  EXPECT_EQ(text_only(r.out),
            "\n[x   y| \"),(\" 'c']\n[(1,2)| [3]]\n\n\n[1e5] [no] [0x1f.e5] [no.x]\n[ab] [    z]\n\n\n\n"
            "1 R(1) R(1 R(1))\n\n[no] \"e5\" [ a  b ] \"a b\"\n");
  EXPECT_EQ(r.err, "");
}

// An argument taken from an expansion carries the markers the expansion
// left: white space kept between operators, names not to be expanded
// again. Read back without a rescan when no name in it is a macro, it must
// give what the rescan gives, through further calls, stringification and
// pasting alike.
TEST_F(Pp, ArgumentsCarryingMarkersReadAsRescanned) {
  Result r = run_file("marks.c",
                      "#define NEG(x) -x\n"
                      "#define ID(x) x\n"
                      "#define CALL(x) ID(x)\n"
                      "#define TWICE(x) CALL(CALL(x))\n"
                      "#define STR(x) #x\n"
                      "#define XSTR(x) STR(x)\n"
                      "#define CAT(a,b) a##b\n"
                      "#define XCAT(a,b) CAT(a,b)\n"
                      "#define SELF SELF\n"
                      "#define E()  e\n"
                      "CALL(NEG(-1)) TWICE(NEG(-1)) XSTR(NEG(-1)) XCAT(NEG(-1),2)\n"
                      "CALL(SELF) TWICE(SELF + SELF) XSTR(SELF) XCAT(SELF,x)\n"
                      "CALL(E()) TWICE(-E()-) XSTR(E() E()) XCAT(E(),E())\n"
                      "CALL(CALL(NEG(-1)) NEG) TWICE(ID(-)-)\n");
  EXPECT_EQ(text_only(r.out),
            "\n\n\n\n\n\n\n\n\n\n- -1 - -1 \"- -1\" - -12\nSELF SELF + SELF \"SELF\" SELFx\n"
            " e - e- \"e e\"  ee\n- -1 NEG - -\n");
  EXPECT_EQ(r.err, "");
}

// The arguments of a call that reads as written where it stands are taken
// in place; every other call is read by copying its arguments. Both
// readings must give the same text and the same reports, on calls of every
// shape: nested brackets, literals holding commas and brackets, empty and
// variadic arguments, # and ##, calls over several lines or across the end
// of an expansion, names not followed by a bracket, recursion.
TEST_F(Pp, ArgumentsTakenInPlaceReadAsCopied) {
  const std::string text =
      "#define G(a,b) [a|b]\n"
      "#define F(x) [x]\n"
      "#define S(x) #x\n"
      "#define P(a,b) a##b\n"
      "#define V(f, ...) f(__VA_ARGS__) #__VA_ARGS__\n"
      "#define L(f, ...) g(f, ## __VA_ARGS__)\n"
      "#define O(f, ...) h(f __VA_OPT__(,) __VA_ARGS__)\n"
      "#define E()  e\n"
      "#define ID(x) x\n"
      "#define CALL(m, x) m(x)\n"
      "#define R(x) x R(x)\n"
      "#define A[x] {x}\n"
      "#define HALF G(1,\n"
      "#define NAME F\n"
      "#define NEG -1\n"
      "G((1,(2,3)), [4,5]) G((,),(()))\n"
      "G(\"a,b)\", ',') G('(', \")\") G(\"\\\",(\", '\\'')\n"
      "G(,) F() F( ) G( , ) V(F) V(F,) V(F, ) V(F, 1, (2, 3), \"x,y\")\n"
      "L(1) L(1,) L(1, 2) L(1,,) O(1) O(1, ) O(1, 2)\n"
      "S( a  \"b\\n\" ) S(',') S( (a , b) ) P(x, 1) P( x , y ) P(,) P(a,)\n"
      "G(x /* , */ y, 1) F(a // c\n"
      " b) F(a\\\n"
      "b) G(1,\n"
      "2) F(\"s\\\n"
      "t\")\n"
      "F F (1) F\n"
      "(2) NAME(3) NAME (4) HALF 2) HALF (5))\n"
      "CALL(F, 1) CALL(G, (1,2)) ID(ID(F)(3)) ID(F)(ID((4,5))) CALL(ID, F)(6)\n"
      "R(R(1)) E() E( ) E ID(E)() ID(E ( ) )\n"
      "A[1] A[(2,3)] A[[1],2] F[1] A(1)\n"
      "ID(-1) ID(-NEG) ID(-ID(-1)) S(ID(-1)) CALL(S, -ID(-1)) CALL(ID, -NEG)\n"
      "F(1, 2) G(1) E(1)\n"
      "#if ID(1) && CALL(ID, (2,3)) && G(1,2)\n"
      "yes\n"
      "#endif\n"
      "F(1, 2\n";
  write("calls.c", text);
  const std::string include = "#include \"" + path("calls.c") + "\"\n";
  Result in_place = run(include);
  // A fresh state, so that the file is read again and reports again.
  testing::internal::CaptureStderr();
  pp_release(*table_, true);
  testing::internal::GetCapturedStderr();
  delete table_;
  table_ = new MacroTable;
  pp_reset_for_tests();
  reset_reporter();
  initialised_ = false;
  pp_state.arguments_in_place = false;
  Result copied = run(include);
  pp_state.arguments_in_place = true;
  EXPECT_EQ(in_place.out, copied.out);
  EXPECT_EQ(in_place.err, copied.err);
  EXPECT_NE(text_only(in_place.out).find("[(1,(2,3))| [4] [(,)|(())]\n"), std::string::npos) << in_place.out;
  EXPECT_NE(in_place.err.find("unterminated macro call"), std::string::npos) << in_place.err;
}

TEST_F(Pp, DefinitionDiagnostics) {
  struct Case {
    const char *text;
    const char *report;
    const char *use;
    const char *expected;
  } cases[] = {
      {"#define F(a,b) a + b\n#define F(a,b)   a  +\tb ", nullptr, "F(1,2)", "  1  +\t2"},
      {"#define F(a,b) a+b\n#define F(a,b) a-b", "IDENREDEF", "F(1,2)", "1-2"},
      {"#define __LINE__ 77", "IDENREDEF", "__LINE__", "77"},
      {"#define __STDC__ 1", nullptr, "__STDC__", "1"},
      {"#define defined 1", "INVDEFINE", "x", "x"},
      {"#define 9x 1", "INVAMACRO", "x", "x"},
      {"#define F(a", "UNTPARDEF", "F(1)", "F(1)"},
      {"#define F(a 1", "BADPARDEF", "F(1)", "F(1)"},
      {"#define F(a,...,b) 1", "BADPARDEF", "F(1)", "F(1)"},
      {"#define F(a;b) 1", "BADPARDEF", "F(1)", "F(1)"},
      {"#define F(a..) a", "BADPARDEF", "F(1)", "1"},
      {"#define F(1a) 1", "PARASTART", "x", "x"},
      {"#define F(x) # y", "OPERMACRO", "F(1)", " y"},
      {"#define F(x) x\n#define F(x", "UNTPARDEF", "F(5)", "5"},
  };
  for (const Case &c : cases) {
    pp_release(*table_, 0);
    Result r = run(std::string(c.text) + "\n" + c.use + "\n");
    std::string got = r.out.substr(r.out.find_last_of('\n', r.out.size() - 2) + 1);
    EXPECT_EQ(got, std::string(c.expected) + "\n") << c.text << "\n" << r.err;
    if (c.report)
      EXPECT_NE(r.err.find(std::string("ProbaX-W-") + c.report), std::string::npos) << c.text << "\n" << r.err;
    else
      EXPECT_EQ(r.err, "") << c.text;
  }
}

TEST_F(Pp, ArgumentCountDiagnostics) {
  struct Case {
    const char *use;
    const char *report;
    const char *expected;
  } cases[] = {
      {"Z(1)", "ARGTOMACR", "z"},    {"ONE(1,2)", "TOMANYARG", "[1]"},
      {"TWO()", "NOARTOMAC", "[,]"}, {"TWO(1)", "NBARGMACR", "[1,]"},
      {"TWO(1,2)", nullptr, "[1,2]"}, {"VA(1)", nullptr, "[1;]"},  {"VO()", nullptr, "<>"},
      {"VA(1,2,3,4)", nullptr, "[1;2,3,4]"},
  };
  for (const Case &c : cases) {
    Result r = run(std::string("#define Z() z\n#define ONE(a) [a]\n#define TWO(a,b) [a,b]\n"
                               "#define VA(a,...) [a;__VA_ARGS__]\n#define VO(...) <__VA_ARGS__>\n") +
                   c.use + "\n");
    std::string got = r.out.substr(r.out.find_last_of('\n', r.out.size() - 2) + 1);
    EXPECT_EQ(got, std::string(c.expected) + "\n") << c.use;
    if (c.report)
      EXPECT_NE(r.err.find(std::string("ProbaX-W-") + c.report + ",   " + c.use[0]), std::string::npos)
          << c.use << r.err;
    else
      EXPECT_EQ(r.err, "") << c.use;
  }
  Result r = run_file("open.c", "#define F(x) x\nF(1, 2\n");
  EXPECT_NE(r.err.find("ERRINLINE,  [" + path("open.c") + ":3]  unterminated macro call"), std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("\nF(1, 2 "), std::string::npos) << r.out;  // left as written
  // An open call whose text calls the macro around it again does not nest.
  r = run("#define C(m, ...) m(__VA_ARGS__ C(A,1,2) C(B,p,q)\n#define A(a,b) ((a)+(b))\nC(A, 1, 2) C(B, p, q)\n");
  EXPECT_EQ(count(r.err, "ERRINLINE"), 1) << r.err;
  EXPECT_EQ(r.err.find("NBRECURSI"), std::string::npos);
  std::string many;
  for (int i = 0; i < 5000; ++i) many += "arg" + std::to_string(i) + ",";
  r = run("#define VB(...) <__VA_ARGS__>\nVB(" + many + "end)\n");
  EXPECT_EQ(r.out, "\n<" + many + "end>\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(Pp, BuiltinsAndOptions) {
  init({"ONE", "TWO=2", "9BAD", "X+1", "CONT=a\\\nb"});
  initialised_ = true;
  EXPECT_EQ(count(init_err_, "MALFOROPT"), 2) << init_err_;
  EXPECT_NE(init_err_.find("[*Initialization*:0]  -D9BAD"), std::string::npos) << init_err_;
  write("inc.h", "__FILE__ __LINE__ __INCLUDE_LEVEL__ __BASE_FILE__\n");
  Result r = run_file("b.c", "ONE TWO CONT QZL_WIN32 USE_QZU QZL_CPLUSPLUS_LANGUAGE\n__LINE__\n#include \"" +
                                 path("inc.h") + "\"\n");
  std::string t = text_only(r.out);
  EXPECT_NE(t.find("1 2 ab 1 1 1\n2\n"), std::string::npos) << t;
  // __BASE_FILE__ is the file the run started on, not its #include line.
  EXPECT_NE(t.find("\"" + path("inc.h") + "\" 1 1 \"" + path("b.c") + "\""), std::string::npos) << t;
  r = run("__DATE__ __TIME__\n");
  EXPECT_EQ(r.out.size(), 25u) << r.out;  // "Mmm dd yyyy" "hh:mm:ss"
  EXPECT_NE(r.err.find("FICINCONN"), std::string::npos);
}

// Unique names made with __COUNTER__ must be the compiler's, or the script
// names variables that do not exist: one count per table, through headers
// and macro arguments, in #if too, starting again when the table is released.
TEST_F(Pp, CounterCountsPerTableAndStartsAgainAfterRelease) {
  write("c.h", "#define CAT2(a, b) a##b\n#define CAT(a, b) CAT2(a, b)\nint CAT(h, __COUNTER__);\n");
  Result r = run_file("c.c", "#include \"c.h\"\nint CAT(v, __COUNTER__), CAT(v, __COUNTER__);\n"
                             "#if __COUNTER__ == 3 && defined(__COUNTER__)\nyes __COUNTER__\n#endif\n");
  std::string t = text_only(r.out);
  EXPECT_NE(t.find("int h0;"), std::string::npos) << t;
  EXPECT_NE(t.find("int v1, v2;"), std::string::npos) << t;
  EXPECT_NE(t.find("yes 4"), std::string::npos) << t;
  EXPECT_EQ(r.err, "");
  testing::internal::CaptureStderr();
  pp_release(*table_, false);
  testing::internal::GetCapturedStderr();
  init();
  r = run("__COUNTER__ __COUNTER__\n");
  EXPECT_NE(text_only(r.out).find("0 1\n"), std::string::npos) << r.out;
}

TEST_F(Pp, ManyMacrosAcrossTheIndexGrowth) {
  // Enough macros to double the index several times; a name defined again
  // and undefined on the way still finds its newest definition.
  std::string text;
  const int n = 20000;
  for (int i = 0; i < n; ++i) text += "#define M" + std::to_string(i) + " " + std::to_string(i) + "\n";
  text += "#define M7 seven\n#undef M8\nM0 M7 M8 M19999\n";
  Result r = run(text);
  EXPECT_NE(r.out.find("0 seven M8 19999\n"), std::string::npos);
  EXPECT_EQ(count(r.err, "IDENREDEF"), 1);
  for (int i = 0; i < n; i += 2) pp_undefine_name(*table_, ("M" + std::to_string(i)).c_str());
  r = run("M0 M1 M7 M19998 M19999\n");
  EXPECT_EQ(r.out, "M0 1 seven M19998 19999\n");
  // The temporary "defined" of an #if hides a user macro of that name.
  r = run("#define defined 0\n#if defined(M1)\nyes\n#endif\n");
  EXPECT_NE(r.out.find("yes"), std::string::npos);
}

// Names longer than a string keeps in its own room are entered, found,
// named in reports and removed like short ones.
TEST_F(Pp, LongMacroNames) {
  const std::string a = "a_macro_name_well_past_sixteen_characters", b = a + "_b", f = a + "_function";
  Result r = run("#define " + a + " 1\n#define " + b + " 2\n#define " + f + "(x) (x + " + a + ")\n" + a + " " + b +
                 " " + f + "(" + b + ")\n" + f + "(1, 2)\n#undef " + a + "\n" + a + " " + b + "\n");
  EXPECT_EQ(text_only(r.out), "\n\n\n1 2 (2 + 1)\n(1 + 1)\n\n" + a + " 2\n") << r.out;
  EXPECT_NE(r.err.find(f), std::string::npos) << r.err;  // too many arguments, named
  EXPECT_EQ(pp_lookup(a.data(), a.size()), nullptr);
  MacroEntry *e = pp_lookup(b.data(), b.size());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->name, b);
  EXPECT_EQ(e->name.data()[e->name.size()], '\0');
  // A name too long for the pool's cells: its entry is the allocator's.
  const std::string huge(300, 'h');
  r = run("#define " + huge + " 3\n" + huge + "\n#undef " + huge + "\n" + huge + "\n#define " + huge + " 4\n" + huge + "\n");
  EXPECT_EQ(text_only(r.out), "\n3\n\n" + huge + "\n\n4\n");
}

// Entries and definitions are cells of a pool: cells of every size in use
// at once stay apart, a freed cell serves the next request of its size
// class, and a request too large for a cell is the allocator's.
TEST(PpPool, CellsStayApartAndFreedOnesServeAgain) {
  std::vector<std::pair<unsigned char *, std::size_t>> cells;
  for (std::size_t size = 1; size <= 300; ++size)
    for (int k = 0; k < 3; ++k) {
      auto *cell = static_cast<unsigned char *>(pp_pool_allocate(size));
      std::memset(cell, static_cast<int>(size & 0xff), size);
      cells.emplace_back(cell, size);
    }
  for (const auto &c : cells)
    for (std::size_t i = 0; i < c.second; ++i) ASSERT_EQ(c.first[i], c.second & 0xff) << c.second;
  std::set<unsigned char *> freed;
  for (const auto &c : cells) {
    if ((c.second + 15) / 16 == (100 + 15) / 16) freed.insert(c.first);  // 16-byte classes
    pp_pool_free(c.first, c.second);
  }
  for (int k = 0; k < 3; ++k) {
    auto *cell = static_cast<unsigned char *>(pp_pool_allocate(100));
    EXPECT_EQ(freed.count(cell), 1u);
    freed.erase(cell);
  }
  pp_pool_free(nullptr, 8);
}

// An object-like body without '#' or '\\' is taken as it is written; a
// function-like body that does not name its parameter is walked character
// by character, and both give the same text.
// A directive line that holds a comment, a continuation or a literal
// continued over lines is rewritten; the characters between those go over
// a run at a time and must come out as they were, literals, angle
// brackets and lone '/', '\\' and '<' among them.
TEST_F(Pp, RewrittenDirectiveLinesKeepTheirOtherCharacters) {
  Result r = run("#define A 1 /* c */ + 2\n"
                 "#define B x/y /* c */ \"/*\" '<' a<b \\ z\n"
                 "#define C \"s\\\n"
                 "t\" /* c\n"
                 "d */ u // tail\n"
                 "#define D(x) x \\\n"
                 "   + \\\n"
                 "\t1 /**/\n"
                 "#define E a/**/b<c>'\\''/* x */\"q\\\"\" \\\\ w\n"
                 "A B C D(2) E\n");
  EXPECT_STREQ(pp_lookup_macro_text(*table_, "A"), "1   + 2");
  EXPECT_STREQ(pp_lookup_macro_text(*table_, "B"), "x/y   \"/*\" '<' a<b \\ z");
  EXPECT_STREQ(pp_lookup_macro_text(*table_, "C"), "\"st\"   u");
  EXPECT_STREQ(pp_lookup_macro_text(*table_, "D"), "+ 1");
  EXPECT_STREQ(pp_lookup_macro_text(*table_, "E"), "a b<c>'\\'' \"q\\\"\" \\\\ w");
  EXPECT_NE(r.out.find("1   + 2 x/y   \"/*\" '<' a<b \\ z \"st\"   u 2 + 1 a b<c>'\\'' \"q\\\"\" \\\\ w"), std::string::npos)
      << r.out;
}

TEST_F(Pp, PlainBodiesAreTakenAsTheyAreWritten) {
  const std::vector<std::string> bodies = {"",
                                           "x",
                                           "   a  +\tb",
                                           "\"str'ing\" 'c' 1.2e+3 name_1 0x1p-3",
                                           "don't stop",
                                           "\"open",
                                           "(a)(b) ,; <<= ... -> @ $ ` ~",
                                           "__VA_OPT__(x) __VA_ARGS__",
                                           "a/**/b /* c */ d"};
  for (const std::string &body : bodies) {
    run("#define M " + body + "\n#define F(z) " + body + "\n");
    MacroEntry *m = pp_lookup("M", 1);
    MacroEntry *f = pp_lookup("F", 1);
    ASSERT_NE(m, nullptr) << body;
    ASSERT_NE(f, nullptr) << body;
    ASSERT_NE(m->value, nullptr) << body;
    ASSERT_NE(f->value, nullptr) << body;
    EXPECT_EQ(m->value->expansion, f->value->expansion) << body;
    EXPECT_TRUE(m->value->pattern.empty()) << body;
    EXPECT_TRUE(f->value->pattern.empty()) << body;
  }
}

TEST_F(Pp, GlueHelpers) {
  run("#define NAME 5\n#define EMPTY\n#define F(x)  x+1\n");
  ASSERT_NE(pp_lookup_macro_text(*table_, "NAME"), nullptr);
  EXPECT_STREQ(pp_lookup_macro_text(*table_, "NAME"), "5");
  EXPECT_EQ(pp_lookup_macro_text(*table_, "EMPTY"), nullptr);
  EXPECT_EQ(pp_lookup_macro_text(*table_, "__LINE__"), nullptr);
  EXPECT_EQ(pp_lookup_macro_text(*table_, "NAM"), nullptr);
  EXPECT_STREQ(pp_lookup_macro_text(*table_, "F"), "+1");
  pp_define_if_absent(*table_, "NAME 7");
  pp_define_if_absent(*table_, "NAMEX 8");
  EXPECT_STREQ(pp_lookup_macro_text(*table_, "NAME"), "5");
  EXPECT_STREQ(pp_lookup_macro_text(*table_, "NAMEX"), "8");
  std::string long_a(150, 'a'), long_b = std::string(149, 'a') + "b";
  pp_define_if_absent(*table_, (long_a + " 1").c_str());
  pp_define_if_absent(*table_, (long_b + " 2").c_str());  // same first 100 characters, another name
  EXPECT_STREQ(pp_lookup_macro_text(*table_, long_b.c_str()), "2");
  pp_undefine_name(*table_, "NAME");
  EXPECT_EQ(pp_lookup_macro_text(*table_, "NAME"), nullptr);
  IncludeDir *d = pp_append_dir_of_file("some/dir/f.c");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->text, "some/dir");
  EXPECT_EQ(pp_append_dir_of_file("f.c")->text, ".");
  EXPECT_EQ(pp_append_dir_of_file(".\\t.c")->text, ".");
  EXPECT_EQ(pp_append_dir_of_file("/f.c")->text, "/");
  EXPECT_EQ(pp_append_dir_of_file("a\\b/c.h")->text, "a\\b");
  EXPECT_EQ(pp_append_dir_of_file("a/b\\c.h")->text, "a/b");
  EXPECT_EQ(pp_append_dir_of_file("x\\y.h")->text, "x");
  EXPECT_EQ(pp_append_dir_of_file(""), nullptr);
  // A node dropped from the chain's end serves the next directory as a new
  // one would: at the end, with its own text and nothing else kept.
  IncludeDir *last = pp_append_dir_of_file("one/two/three.h");
  last->standard = true;
  pp_release_appended_dir(last);
  EXPECT_NE(pp_state.include_tail, last);
  IncludeDir *again = pp_append_dir_of_file("four/five.h");
  EXPECT_EQ(pp_state.include_tail, again);
  EXPECT_EQ(again->text, "four");
  EXPECT_FALSE(again->bare);
  EXPECT_FALSE(again->standard);
  EXPECT_FALSE(again->builtin);
  EXPECT_EQ(again->next, nullptr);
  // Release: user macros go, built-ins stay.
  pp_release(*table_, false);
  EXPECT_EQ(pp_lookup("NAMEX", 5), nullptr);
  EXPECT_NE(pp_lookup("__LINE__", 8), nullptr);
}

TEST_F(Pp, DeepMacroChainStopsAtTheStackLimit) {
  std::string defs;
  for (int i = 0; i < 2100; ++i) defs += "#define M" + std::to_string(i) + " M" + std::to_string(i + 1) + " x\n";
  EXPECT_EXIT(run_raw(defs + "M0\n"), ::testing::ExitedWithCode(7), "NBRECURSI");
  std::string nest = "#define F(x) x\n";
  std::string use;
  for (int i = 0; i < 2100; ++i) use += "F(";
  use += "1";
  for (int i = 0; i < 2100; ++i) use += ")";
  EXPECT_EXIT(run_raw(nest + use + "\n"), ::testing::ExitedWithCode(7), "NBRECURSI");
}

TEST_F(Pp, MacroChainBelowTheLimitExpands) {
  std::string defs;
  for (int i = 0; i < 900; ++i) defs += "#define M" + std::to_string(i) + " M" + std::to_string(i + 1) + " x\n";
  Result r = run(defs + "M0\n");
  EXPECT_EQ(count(r.out, "x"), 900);
  EXPECT_EQ(r.err, "");
}

}  // namespace

namespace {

// Random texts from the pieces that interact the most: nothing may crash,
// and the output stays one NUL-free text.
TEST_F(Pp, RandomTextsDoNotBreakTheScanner) {
  static const char *const pieces[] = {
      "#define ", "#undef ", "#if ", "#ifdef ", "#else", "#elif ", "#endif", "#line 5 \"f\"", "#", "\n", "\r\n",
      " ", "\t", "\\\n", "\\", "(", ")", "[", "]", ",", "##", "#@", "\"", "'", "/*", "*/", "//", "A", "B",
      "F", "G", "x", "__VA_ARGS__", "...", "F(", "G[", "A(x)", "F(x,y)", "1", "0x1e+", ".", "\xe9", "?" "?=",
      "<:", "%:", "defined", "__LINE__", "__FILE__", "=", "-", "+"};
  const int n = sizeof pieces / sizeof pieces[0];
  unsigned seed = 12345;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7fff;
  };
  for (int round = 0; round < 400; ++round) {
    std::string t;
    int len = 20 + next() % 200;
    for (int i = 0; i < len; ++i) t += pieces[next() % n];
    Result r = run(t);
    EXPECT_EQ(r.out.find('\0'), std::string::npos);
    testing::internal::CaptureStderr();
    pp_release(*table_, 0);
    testing::internal::GetCapturedStderr();
  }
}

}  // namespace

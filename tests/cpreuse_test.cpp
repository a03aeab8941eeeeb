// Reuse of an included file's reading across macro tables. Whether a reading
// was reused shows through a file it includes: that file is changed after
// the first reading, so a reused reading still holds the old text and a
// fresh one the new text.
#include <gtest/gtest.h>

#include <string>

#include "cpinternal.h"
#include "cprepr.h"
#include "merror.h"
#include "pp_fixture.h"
#include "y1_tab.h"

namespace {

int count_of(const std::string &hay, const std::string &needle) {
  int n = 0;
  for (std::size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
  return n;
}

class Reuse : public pp_fixture::PpTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(open_pp("cpreuse_test"));
    table_ = new MacroTable;
    std::vector<const char *> none{nullptr};
    testing::internal::CaptureStderr();
    pp_init(none.data(), none.data(), *table_, true);
    pp_init(none.data(), none.data(), other_, false);
    testing::internal::GetCapturedStderr();
  }
  void TearDown() override {
    pp_set_include_reuse(-1);
    testing::internal::CaptureStderr();
    pp_release(other_, false);
    testing::internal::GetCapturedStderr();
    close_pp();
  }
  // The text run in one table with the includes of the text itself reused.
  std::string run(MacroTable &table, const std::string &text, std::string *err = nullptr) {
    std::string out;
    pp_set_include_reuse(0);
    testing::internal::CaptureStderr();
    pp_process_text(text.c_str(), false, "", 0, out, table);
    const std::string e = testing::internal::GetCapturedStderr();
    pp_set_include_reuse(-1);
    if (err) *err = e;
    return out;
  }
  std::string include(const std::string &name) { return "#include \"" + path(name) + "\"\n"; }
  // h.h holds `header`, read first under the definitions `same`, which show
  // `word`. Under `different` it is read again and `word` is gone; a third
  // table under `same` takes the first reading again.
  void expect_reading_follows_macros(const std::string &header, const std::string &same, const std::string &different,
                                     const std::string &word) {
    headers(header);
    EXPECT_NE(run(*table_, same + include("h.h")).find(word), std::string::npos);
    change_inner();
    const int reused = pp_reused_includes();
    std::string out = run(other_, different + include("h.h"));
    EXPECT_EQ(out.find(word), std::string::npos);
    EXPECT_NE(out.find("second_inner"), std::string::npos);
    EXPECT_EQ(pp_reused_includes(), reused);
    MacroTable third;
    std::vector<const char *> none{nullptr};
    testing::internal::CaptureStderr();
    pp_init(none.data(), none.data(), third, false);
    testing::internal::GetCapturedStderr();
    out = run(third, same + include("h.h"));
    EXPECT_NE(out.find(word), std::string::npos);
    EXPECT_NE(out.find("first_inner"), std::string::npos);
    EXPECT_EQ(pp_reused_includes(), reused + 1);
    testing::internal::CaptureStderr();
    pp_release(third, false);
    testing::internal::GetCapturedStderr();
  }
  // The header h.h includes inner.h, which holds `inner`; inner.h is then
  // given a text of another length, and the file cache is told to look at
  // the files of the run again (it looks at each once per run), so that it
  // reads it again.
  void headers(const std::string &before, const std::string &after = std::string()) {
    write("inner.h", "first_inner\n");
    write("h.h", before + "#include \"" + path("inner.h") + "\"\n" + after);
  }
  void change_inner() { rewrite("inner.h", "second_inner_text\n"); }
  void rewrite(const std::string &name, const std::string &content) {
    write(name, content);
    pp_recheck_files();
  }
  MacroTable other_;
};

TEST_F(Reuse, SameMacrosTakeTheRecordedTextAndMacros) {
  headers("#ifndef H_H\n#define H_H\n#define VALUE 42\n", "#endif\n");
  const std::string text = include("h.h") + "VALUE\n";
  const std::string first = run(*table_, text);
  change_inner();
  const std::string second = run(other_, text);
  EXPECT_EQ(first, second);
  EXPECT_NE(second.find("first_inner"), std::string::npos);
  EXPECT_NE(second.find("42"), std::string::npos);  // the header's macro is defined
  // The guard it defined keeps a second inclusion out, as a reading would.
  const std::string again = run(other_, include("h.h") + "VALUE\n");
  EXPECT_EQ(again.find("first_inner"), std::string::npos);
  EXPECT_EQ(again.find("second_inner"), std::string::npos);
  // The files it read count as read.
  bool listed = false;
  for (const std::string &f : pp_included_files()) listed = listed || f == path("inner.h");
  EXPECT_TRUE(listed);
}

TEST_F(Reuse, AMacroTheHeaderLooksAtThatDiffersMeansAReading) {
  headers("#ifdef FEATURE\nfeature_on\n#endif\n");
  run(*table_, include("h.h"));
  change_inner();
  std::string out = run(other_, "#define FEATURE\n" + include("h.h"));
  EXPECT_NE(out.find("feature_on"), std::string::npos);
  EXPECT_NE(out.find("second_inner"), std::string::npos);
  // The same name with another value differs too.
  MacroTable third;
  std::vector<const char *> none{nullptr};
  testing::internal::CaptureStderr();
  pp_init(none.data(), none.data(), third, false);
  testing::internal::GetCapturedStderr();
  write("v.h", "#if LEVEL > 1\nhigh\n#else\nlow\n#endif\n");
  EXPECT_NE(run(*table_, "#define LEVEL 1\n" + include("v.h")).find("low"), std::string::npos);
  EXPECT_NE(run(third, "#define LEVEL 2\n" + include("v.h")).find("high"), std::string::npos);
  testing::internal::CaptureStderr();
  pp_release(third, false);
  testing::internal::GetCapturedStderr();
}

// A condition read without a rescan (it names no macro but through
// "defined") looks at the same macros as one that is rescanned.
TEST_F(Reuse, ConditionsWithoutMacrosLookAtTheirOperands) {
  expect_reading_follows_macros("#if defined FEATURE && !defined(OTHER) && 2 > 1\nfeature_on\n#endif\n",
                                "#define FEATURE\n", "#define OTHER\n#define FEATURE\n", "feature_on");
}

// Many conditions in one header, read with and without a rescan, note the
// operator's entry once between them: the reading still follows each
// operand, the last one as the first.
TEST_F(Reuse, ManyConditionsFollowEveryOperand) {
  expect_reading_follows_macros(
      "#if defined A\n#endif\n#if defined(B) || 0\n#endif\n#define TWO(x) x\n#if TWO(1) && defined B\n#endif\n"
      "#if defined C && !defined(D)\nlast_on\n#endif\n",
      "#define C\n", "#define C\n#define D\n", "last_on");
}

// A replayed definition is the recorded one itself, shared by the tables
// that took it: undefining or redefining it in one table, or releasing a
// table, leaves the others and the recording as they were.
TEST_F(Reuse, ReplayedDefinitionsAreSharedNotTied) {
  headers("#define F(a, b) [a|b]\n#define G 7\n");
  EXPECT_NE(run(*table_, include("h.h") + "F(1,2) G\n").find("[1|2] 7"), std::string::npos);
  change_inner();
  std::string out = run(other_, include("h.h") + "F(3,4) G\n#undef G\n#undef F\n#define F(a) other a\nF(5) G\n");
  EXPECT_NE(out.find("first_inner"), std::string::npos);
  EXPECT_NE(out.find("[3|4] 7"), std::string::npos) << out;
  EXPECT_NE(out.find("other 5 G"), std::string::npos) << out;
  EXPECT_NE(run(*table_, "F(1,2) G\n").find("[1|2] 7"), std::string::npos);
  testing::internal::CaptureStderr();
  pp_release(*table_, false);
  testing::internal::GetCapturedStderr();
  MacroTable third;
  std::vector<const char *> none{nullptr};
  testing::internal::CaptureStderr();
  pp_init(none.data(), none.data(), third, false);
  testing::internal::GetCapturedStderr();
  out = run(third, include("h.h") + "F(8,9) G\n");
  EXPECT_NE(out.find("first_inner"), std::string::npos);
  EXPECT_NE(out.find("[8|9] 7"), std::string::npos) << out;
  testing::internal::CaptureStderr();
  pp_release(third, false);
  testing::internal::GetCapturedStderr();
}

// A condition whose macro stands for a number, read without a rescan, looks
// at that macro as the rescan does: another number means another reading.
TEST_F(Reuse, ConditionsWithNumberMacrosLookAtThem) {
  expect_reading_follows_macros("#if SIZE == 64 && !defined(OTHER)\nwide_on\n#endif\n", "#define SIZE 64\n",
                                "#define SIZE 32\n", "wide_on");
}

TEST_F(Reuse, MacrosTheHeaderDoesNotLookAtMayDiffer) {
  headers("plain\n");
  run(*table_, include("h.h"));
  change_inner();
  const std::string out = run(other_, "#define UNRELATED 1\n" + include("h.h"));
  EXPECT_NE(out.find("first_inner"), std::string::npos);
}

TEST_F(Reuse, ChangesAreReplayedWithTheirDefinitions) {
  headers("#undef GONE\n#define F(a, ...) [a __VA_ARGS__]\n");
  run(*table_, "#define GONE 1\n" + include("h.h"));
  change_inner();
  const std::string out = run(other_, "#define GONE 1\n" + include("h.h") + "F(x, y, z) GONE\n");
  EXPECT_NE(out.find("first_inner"), std::string::npos);
  EXPECT_NE(out.find("[x"), std::string::npos) << out;
  EXPECT_NE(out.find("y, z] GONE"), std::string::npos) << out;
}

TEST_F(Reuse, WhereTheReadingStandsIsNotReused) {
  headers("level __INCLUDE_LEVEL__\n");
  run(*table_, include("h.h"));
  change_inner();
  EXPECT_NE(run(other_, include("h.h")).find("second_inner"), std::string::npos);
}

TEST_F(Reuse, TargetSizesMustBeTheSame) {
  headers("#if sizeof(int) == 2\nsmall\n#endif\n");
  run(*table_, include("h.h"));
  change_inner();
  target_sizes().int_bits = 16;
  const std::string out = run(other_, include("h.h"));
  reset_target_sizes();
  EXPECT_NE(out.find("small"), std::string::npos);
  EXPECT_NE(out.find("second_inner"), std::string::npos);
}

TEST_F(Reuse, ASizeDeclaredAgainAlikeChangesNothing) {
  // Every analysis context reads the defines file's size pragmas again.
  target_sizes().declared_sizes.emplace_back("longdouble", 12);
  headers("#if sizeof(long double) == 12\nld12\n#endif\n");
  run(*table_, include("h.h"));
  change_inner();
  target_sizes().declared_sizes.emplace_back("longdouble", 12);
  const std::string out = run(other_, include("h.h"));
  EXPECT_NE(out.find("first_inner"), std::string::npos);
  // A newer size of that name is another answer.
  write("d.h", "#include \"" + path("h.h") + "\"\n");
  run(*table_, include("d.h"));
  target_sizes().declared_sizes.emplace_back("longdouble", 16);
  const std::string third = run(other_, include("d.h"));
  reset_target_sizes();
  EXPECT_EQ(third.find("ld12"), std::string::npos);
  EXPECT_NE(third.find("second_inner"), std::string::npos);
}

TEST_F(Reuse, AReadingThatAsksForNoSizeDoesNotDependOnThem) {
  headers("plain\n");
  run(*table_, include("h.h"));
  change_inner();
  target_sizes().int_bits = 16;
  const std::string out = run(other_, include("h.h"));
  reset_target_sizes();
  EXPECT_NE(out.find("first_inner"), std::string::npos);
}

TEST_F(Reuse, AReadingThatIncludesNothingDependsOnNoSearch) {
  write("leaf.h", "#pragma once\nleaf_text\n");
  write("first.h", "#pragma once\nfirst_text\n");
  run(*table_, include("leaf.h"));
  // Another "#pragma once" file read before, another directory in the chain.
  run(other_, include("first.h"));
  pp_add_dir_of_file(path("sub/x.c").c_str());
  const int before = pp_reused_includes();
  EXPECT_NE(run(other_, include("leaf.h")).find("leaf_text"), std::string::npos);
  EXPECT_EQ(pp_reused_includes(), before + 1);
  // Both files stay read once.
  const std::string again = run(other_, include("leaf.h") + include("first.h"));
  EXPECT_EQ(again.find("leaf_text"), std::string::npos);
  EXPECT_EQ(again.find("first_text"), std::string::npos);
}

TEST_F(Reuse, AReadingThatReportsIsNotReused) {
  headers("#warning careful\n");
  std::string err;
  run(*table_, include("h.h"), &err);
  EXPECT_NE(err.find("careful"), std::string::npos);
  change_inner();
  EXPECT_NE(run(other_, include("h.h")).find("second_inner"), std::string::npos);
}

// The defines file every context reads declares the compiler's directories
// and type modifiers: a reuse declares them again, after a release emptied
// the chain and the modifiers.
TEST_F(Reuse, DirectoryAndTypeModifierPragmasAreDeclaredAgain) {
  write("std/sys.h", "std_header\n");
  headers("#pragma ortek incl_std \"" + path("std") + "\"\n#pragma ortek type_modifier = __quiet\n");
  run(*table_, include("h.h"));
  EXPECT_TRUE(pp_is_type_modifier("__quiet", 7));
  change_inner();
  testing::internal::CaptureStderr();
  pp_release(*table_, true);
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(pp_is_type_modifier("__quiet", 7));
  const int before = pp_reused_includes();
  std::string err;
  const std::string out = run(other_, include("h.h") + "#include <sys.h>\n", &err);
  EXPECT_EQ(pp_reused_includes(), before + 1);
  EXPECT_NE(out.find("first_inner"), std::string::npos);
  EXPECT_NE(out.find("std_header"), std::string::npos) << err;
  EXPECT_TRUE(pp_is_type_modifier("__quiet", 7));
}

TEST_F(Reuse, OtherPragmasOrADirectoryPragmaAfterAnIncludeMeanAReading) {
  // After an include the chain may hold the included file's directory.
  headers("", "#pragma ortek incl_std \"" + path("std") + "\"\n");
  run(*table_, include("h.h"));
  change_inner();
  EXPECT_NE(run(other_, include("h.h")).find("second_inner"), std::string::npos);
  write("s.h", "#pragma ortek stop_analyse\n#pragma ortek start_analyse\n" + include("inner.h"));
  run(*table_, include("s.h"));
  rewrite("inner.h", "third_inner_text_longer\n");
  EXPECT_NE(run(other_, include("s.h")).find("third_inner"), std::string::npos);
}

TEST_F(Reuse, OnceFilesMustBeTheSame) {
  write("once.h", "#pragma once\nonce_text\n");
  headers("#include \"" + path("once.h") + "\"\n");
  run(*table_, include("h.h"));
  change_inner();
  // The other table has read once.h already: h.h reads otherwise there.
  run(other_, include("once.h"));
  const std::string out = run(other_, include("h.h"));
  EXPECT_EQ(out.find("once_text"), std::string::npos);
  EXPECT_NE(out.find("second_inner"), std::string::npos);
}

TEST_F(Reuse, OnlyAtTheLevelAsked) {
  headers("plain\n");
  write("outer.h", include("h.h"));
  run(*table_, include("h.h"));
  change_inner();
  // h.h is included by a file here: one named level more than asked.
  EXPECT_NE(run(other_, include("outer.h")).find("second_inner"), std::string::npos);
  // Switched off, nothing is reused.
  std::string out;
  testing::internal::CaptureStderr();
  pp_process_text(include("h.h").c_str(), false, "", 0, out, *table_);
  testing::internal::GetCapturedStderr();
  EXPECT_NE(out.find("second_inner"), std::string::npos);
}

// A reading that passes over a guarded header met again depends on the
// guard as one that read it: a table where the guard stands already reads
// the header again.
TEST_F(Reuse, AGuardedHeaderPassedOverInTheReading) {
  write("inner.h", "first_inner\n");
  write("g.h", "#ifndef G_H\n#define G_H\n#include \"" + path("inner.h") + "\"\n#endif\n");
  write("h.h", include("g.h") + include("g.h") + "#ifdef G_H\nguard_seen\n#endif\n");
  const std::string text = include("h.h") + include("g.h") + "end\n";
  const std::string first = run(*table_, text);
  EXPECT_EQ(count_of(first, "first_inner"), 1);
  change_inner();
  EXPECT_EQ(run(other_, text), first);
  MacroTable third;
  std::vector<const char *> none{nullptr};
  testing::internal::CaptureStderr();
  pp_init(none.data(), none.data(), third, false);
  testing::internal::GetCapturedStderr();
  const std::string out = run(third, "#define G_H\n" + text);
  EXPECT_EQ(out.find("_inner"), std::string::npos) << out;
  EXPECT_NE(out.find("guard_seen"), std::string::npos);
  testing::internal::CaptureStderr();
  pp_release(third, false);
  testing::internal::GetCapturedStderr();
}

}  // namespace

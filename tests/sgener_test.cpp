// The generation driver: keyword triplets, section order and banners.
#include "sgener.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "i18nutil.h"
#include "merror.h"
#include "mstrin.h"
#include "cpptab.h"
#include "cprepr.h"
#include "sancmd.h"
#include "sancpp.h"
#include "sgenincl.h"
#include "siofic.h"
#include "gen_fixture.h"

namespace fs = std::filesystem;

namespace {

using gen_fixture::read_file;

std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(text.substr(start, nl - start));
  EXPECT_EQ(start, text.size()) << "the script ends with a line end";
  return lines;
}

TEST(KeywordTable, FrenchWithAccentsDiffersOnlyByLatin1Accents) {
  int accented_rows = 0;
  for (int r = 0; r < KW_ROLE_COUNT; ++r) {
    const KeywordRole role = static_cast<KeywordRole>(r);
    std::string fr = keyword_in(role, LANG_FR), fa = keyword_in(role, LANG_FA), gb = keyword_in(role, LANG_GB);
    ASSERT_FALSE(fr.empty() || gb.empty()) << r;
    for (char c : fr + gb) EXPECT_GE(static_cast<unsigned char>(c), 32) << r;
    for (char c : fr + gb) EXPECT_LT(static_cast<unsigned char>(c), 128) << r;
    std::string plain = fa;
    for (char &c : plain)
      if (c == '\xE9' || c == '\xE8') c = 'e';
    EXPECT_EQ(plain, fr) << r;
    if (plain != fa) ++accented_rows;
  }
  EXPECT_EQ(accented_rows, 8);
  EXPECT_STREQ(keyword_in(KW_COMMENT_PARAMETERS, LANG_FA), "-- D\xE9" "clarations des param\xE8" "tres du service test\xE9");
  EXPECT_STREQ(keyword_in(KW_BANNER_INSERTED_FILE, LANG_GB), "-- INCLUDED FILE DECLARATIONS (-INCLUDED OPTION)");
  EXPECT_STREQ(keyword_in(KW_EXPECTED_VALUE, LANG_FR), "va");
  EXPECT_EQ(std::string(kRuleLine), std::string(80, '-'));
}

class DriverTest : public gen_fixture::FolderTest {
 protected:
  void SetUp() override {
    gen_fixture::register_messages(false);
    gen_fixture::clear_suffix_variables();
    ASSERT_NO_FATAL_FAILURE(enter_folder("sgener_test"));
    reset_reporter();
    reset_script_writer();
    gen_fixture::reset_options();
    std::ofstream("t.c") << "int g;\nint add(int a, int b) { return a + b; }\n";
  }
  void TearDown() override {
    KeywordLanguage = LANG_GB;
    leave_folder();
  }
};

// The worked example: t.c with int g and add(a, b), no options. The lines
// the analysis of t.c yields (extern declarations, the environment of t.c,
// the service add) come from the emitters and are checked there; here every
// other line must be exactly in place, and analysis lines may only appear in
// their three slots.
TEST_F(DriverTest, WorkedExampleLayoutInEveryLanguage) {
  const std::string rule(80, '-');
  const std::string slot = "<analysis>";
  struct Language {
    int index;
    const char *header, *tested_decl, *globals, *begin, *envs, *tested_env, *services;
  } languages[] = {
      {LANG_GB, "HEADER", "-- TESTED FILE DECLARATIONS ", "-- Declarations of the global variables of the tested file",
       "BEGIN", "-- ENVIRONMENTS DECLARATIONS", "-- TESTED FILE ENVIRONNEMENT", "-- SERVICES DECLARATIONS"},
      {LANG_FR, "ENTETE", "-- DECLARATIONS LIEES AU FICHIER TESTE ",
       "-- Declarations des variables globales du fichier teste", "DEBUT", "-- DECLARATIONS DES ENVIRONNEMENTS",
       "-- ENVIRONNEMENT DU FICHIER TESTE", "-- DECLARATIONS DES SERVICES"},
      {LANG_FA, "ENTETE", "-- DECLARATIONS LIEES AU FICHIER TESTE ",
       "-- D\xE9" "clarations des variables globales du fichier test\xE9", "DEBUT",
       "-- DECLARATIONS DES ENVIRONNEMENTS", "-- ENVIRONNEMENT DU FICHIER TESTE", "-- DECLARATIONS DES SERVICES"},
  };
  for (const Language &l : languages) {
    SCOPED_TRACE(l.header + std::to_string(l.index));
    reset_script_writer();
    KeywordLanguage = l.index;
    generator_options().tested_file = "t.c";
    generation_run("ortekstart \"t.c\" \"t.ptu\"");
    std::vector<std::string> got = lines_of(read_file("t.ptu"));
    ASSERT_GE(got.size(), 11u);
    got[8] = got[8].substr(0, 12);  // the date
    const std::string stars = "--" + std::string(80, '*'), box = "--*" + std::string(78, ' ') + "*";
    const std::vector<std::string> want = {
        stars, "-- tool : C Source Code Parser VERSION 8.2.0.1.070.020", box, "--%c ortekstart \"t.c\" \"t.ptu\"",
        box, "-- File : ./t.ptu", "--%f \"./t.c\" ", box, "--%d DATE : ", box, stars,
        std::string(l.header) + " t, , ", "",
        rule, "--", l.tested_decl, "--", rule, "", l.globals, "", slot,
        rule, "", l.begin, "",
        rule, "--", l.envs, "--", rule, "",
        rule, l.tested_env, rule, slot,
        rule, "--", l.services, "--", rule, slot};
    // Fixed lines match in order; a slot takes lines up to the next fixed one.
    std::size_t g = 0;
    for (std::size_t w = 0; w < want.size(); ++w) {
      if (want[w] == slot) {
        const std::string *next = w + 1 < want.size() ? &want[w + 1] : nullptr;
        while (g < got.size() && (!next || got[g] != *next)) ++g;
        continue;
      }
      ASSERT_LT(g, got.size()) << "missing: " << want[w];
      EXPECT_EQ(got[g], want[w]) << "line " << g + 1;
      ++g;
    }
    EXPECT_EQ(g, got.size());
  }
}

TEST_F(DriverTest, SymbolFileIsEmptyAndNeverAnInput) {
  generator_options().symbtab_file = "out";
  generation_run("x");
  EXPECT_TRUE(fs::exists("out.smb"));
  EXPECT_EQ(fs::file_size("out.smb"), 0u);

  // A symbol file named like the script or the tested file is not created
  // over it.
  for (const char *name : {"t.ptu", "t.c"}) {
    reset_script_writer();
    generator_options().tested_file = "t.c";
    generator_options().symbtab_file = name;
    testing::internal::CaptureStderr();
    generation_run("x");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("ProbaX-W-CMDERREUR,  Bad command: improper -SYMBTAB option ./"), std::string::npos) << err;
    EXPECT_EQ(warning_count(), 1);
    reset_reporter();
    EXPECT_GT(fs::file_size("t.ptu"), 0u);
    EXPECT_NE(read_file("t.c").find("int add"), std::string::npos);
  }
}

TEST_F(DriverTest, OptionalSectionsAppearOnlyWhenAsked) {
  generation_run("x");
  const std::string plain = read_file("t.ptu");
  for (const char *absent : {"-- INCLUDED HEADERS", "-- INCLUDED FILE", "-- TO THE TEST", "-- STUB DECLARATIONS",
                             "-- INTEGRATED FILES", "-- SIMULATED FILES"})
    EXPECT_EQ(plain.find(absent), std::string::npos) << absent;

  // INSERT replaces the tested-file declarations by the inserted file and
  // its environment banner.
  reset_script_writer();
  generator_options().tested_file = "t.c";
  generator_options().insert_requested = 1;
  generation_run("x");
  const std::string inserted = read_file("t.ptu");
  EXPECT_EQ(inserted.find("-- TESTED FILE"), std::string::npos);
  EXPECT_NE(inserted.find("-- INCLUDED FILE DECLARATIONS (-INCLUDED OPTION)\n--\n" + std::string(80, '-') +
                          "\n\n##include \"./t.c\"\n\n" + std::string(80, '-') + "\n\nBEGIN\n"),
            std::string::npos);
  EXPECT_NE(inserted.find("\n-- INCLUDED FILE ENVIRONNEMENT\n"), std::string::npos);
}

TEST_F(DriverTest, AnalysisFillsTheContextsTable) {
  std::ofstream("std.def") << "int from_std;\n";
  std::ofstream("u.h") << "int u;\n";
  GeneratorOptions &o = generator_options();
  o.std_define_file = ".\\std.def";
  strlist_append(intern_string("HDR=\"u.h\""), o.defines);
  auto known = [](const char *name) { return lookup_ordinary(name, *file_context().table, ScopeContext{}) != nullptr; };

  prepare_analysis(file_context(), 0);
  EXPECT_TRUE(known("from_std"));  // the standard defines come first
  analyse_file(".\\t.c", file_context());
  EXPECT_TRUE(known("g"));
  EXPECT_TRUE(known("add"));
  EXPECT_FALSE(known("u"));
  release_file_analysis();
  EXPECT_FALSE(known("g"));

  // A name that is a macro standing for a header name; asking about an
  // ordinary name reports nothing.
  reset_reporter();
  prepare_analysis(file_context(), 0);
  analyse_file("HDR", file_context());
  EXPECT_TRUE(known("u"));
  analyse_file(".\\t.c", file_context());
  release_file_analysis();
  EXPECT_EQ(warning_count() + error_count(), 0);
}

// The include section reads the tested file's headers first; the analysis
// of the tested file takes them from that reading, although every context
// reads the defines file (and its size, directory and modifier pragmas) again.
TEST_F(DriverTest, TheTestedFileAnalysisTakesTheHeadersTheIncludeSectionRead) {
  std::ofstream("std.def") << "#pragma ortek sizeof(long double) = 96\n#pragma ortek incl_std \"/usr/include\"\n"
                              "#pragma ortek type_modifier = __quiet\n#define STD_ONE 1\n";
  std::ofstream("h.h") << "#ifndef H_H\n#define H_H\n#if STD_ONE\ntypedef int h_t;\n#endif\n#endif\n";
  std::ofstream("t.c") << "#include \"h.h\"\nh_t g;\nint add(int a, int b) { return a + b; }\n";
  generator_options().std_define_file = ".\\std.def";
  const int before = pp_reused_includes();
  generation_run("x");
  // The defines file for the tested file's context (the used headers' one is
  // not prepared when no header is used), h.h for the tested file.
  EXPECT_EQ(pp_reused_includes() - before, 2);
  const std::string script = read_file("t.ptu");
  EXPECT_NE(script.find("##include \"h.h\""), std::string::npos);
  EXPECT_NE(script.find("h_t g;"), std::string::npos) << script;
  EXPECT_EQ(warning_count() + error_count(), 0);
}

// The tested file's analysis may start from a copy of the script's table,
// which read its headers already; the script and the diagnostics are those
// of reading the headers again, whatever the file holds: code before or
// between its includes, pragmas that change sizes or declare type modifiers
// after them (which the file's own reading of the headers sees), a header
// whose text depends on the file including it, headers that complete each
// other's types, functions a header declares and the file defines.
TEST_F(DriverTest, TestedFileReadFromTheScriptsTableAsFromItsHeaders) {
  std::ofstream("a.h") << "#ifndef A_H\n#define A_H\ntypedef unsigned short half_t;\nstruct fwd;\n"
                          "typedef struct fwd fwd_t;\nenum color { RED, GREEN = 5, BLUE };\n"
                          "typedef int (*cb_t)(fwd_t *, const char *, ...);\nint area(const fwd_t *f);\n"
                          "static inline int twice(int v) { return 2 * v; }\nunion u { int i; float f; };\n#endif\n";
  std::ofstream("b.h") << "#include \"a.h\"\nstruct fwd { half_t w, h; fwd_t *next; unsigned bits : 3; };\n"
                          "extern cb_t hooks[4];\n";
  std::ofstream("base.h") << "const char *from_file = __BASE_FILE__;\n";
  const std::string own = "fwd_t one;\nenum color c = GREEN;\ncb_t hooks[4];\nunion u uu;\nhalf_t sizes[3];\n"
                          "int area(const fwd_t *f) { return f->w * f->h; }\nint add(int a, int b) { return a + b; }\n";
  const std::vector<std::string> files = {
      "#include \"a.h\"\n#include \"b.h\"\n" + own,
      "/* a comment */\n#define LOCAL 1\n#include \"b.h\"\n" + own,
      "int before;\n#include \"b.h\"\n" + own,
      "#include \"a.h\"\nint between;\n#include \"b.h\"\n" + own,
      "#include \"b.h\"\n#pragma ortek sizeof(half_t) = 8\n" + own,
      "#include \"b.h\"\n#pragma ortek type_modifier = __quiet\n" + own,
      "#include \"base.h\"\n#include \"b.h\"\n" + own,
      own,
      // A group passed over in the file's own text comes back with a line
      // marker of the file's own, which ends no header.
      "#include \"b.h\"\nint before_gap;\nint f1(void) { return 1; }\n#if 0\n" + std::string(12, '\n') +
          "#endif\n" + own,
  };
  for (const std::string &text : files) {
    std::ofstream("t.c") << text;
    std::string scripts[2], errors[2];
    for (int reuse = 0; reuse < 2; ++reuse) {
      set_tested_headers_reuse(reuse != 0);
      std::remove("t.ptu");
      std::remove("t.bck");
      reset_reporter();
      reset_script_writer();
      reset_service_names();
      scan_reset_run();
      testing::internal::CaptureStderr();
      generation_run("x");
      errors[reuse] = testing::internal::GetCapturedStderr();
      scripts[reuse] = read_file("t.ptu");
    }
    set_tested_headers_reuse(true);
    EXPECT_EQ(scripts[0], scripts[1]) << text;
    EXPECT_EQ(errors[0], errors[1]) << text;
    EXPECT_NE(scripts[1].find("SERVICE add"), std::string::npos) << text;
    if (text.find("before_gap") != std::string::npos) {
      EXPECT_NE(scripts[1].find("SERVICE f1"), std::string::npos);
    }
  }
}

// One analysis per file and run: every planned use reads the same table, the
// file is analysed (and its diagnostics told) at the first request only, and
// the table goes after the last planned use.
TEST_F(DriverTest, FileAnalysisIsSharedUntilItsLastPlannedUse) {
  std::ofstream("t.c") << "int g;\nint 3x;\nint add(int a, int b) { return a + b; }\n";
  std::ofstream("i.c") << "int from_i;\n";
  GeneratorOptions &o = generator_options();
  strlist_append(intern_string("i.c"), o.integrated_files);
  plan_file_analyses();

  SymbolTable &first = file_analysis("./t.c");
  EXPECT_EQ(warning_count(), 1);
  for (int use = 0; use < 2; ++use) {
    EXPECT_EQ(&file_analysis("./t.c"), &first);  // declarations, environment, services
    file_analysis_done("./t.c");
  }
  EXPECT_EQ(warning_count(), 1);
  EXPECT_NE(lookup_ordinary("add", first, ScopeContext{}), nullptr);
  file_analysis_done("./t.c");
  EXPECT_EQ(lookup_ordinary("add", first, ScopeContext{}), nullptr) << "freed after the third use";

  // Another file in the meantime has a table of its own.
  SymbolTable &integrated = file_analysis("./i.c");
  SymbolTable &again = file_analysis("./t.c");  // not foreseen any more: analysed anew, used once
  EXPECT_NE(&integrated, &again);
  EXPECT_NE(lookup_ordinary("from_i", integrated, ScopeContext{}), nullptr);
  EXPECT_EQ(lookup_ordinary("from_i", again, ScopeContext{}), nullptr);
  EXPECT_EQ(warning_count(), 1) << "the second analysis tells nothing new";
  file_analysis_done("./t.c");
  EXPECT_EQ(lookup_ordinary("g", again, ScopeContext{}), nullptr);
  release_file_analyses();
  EXPECT_EQ(lookup_ordinary("from_i", integrated, ScopeContext{}), nullptr);
}

}  // namespace

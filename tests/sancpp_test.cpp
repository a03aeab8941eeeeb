// Environment blocks, VAR lines with their placeholders, and services.
#include "sancpp.h"
#include "mstrin.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cpptab.h"
#include "y_cppa.h"
#include "i18nutil.h"
#include "merror.h"
#include "sancmd.h"
#include "sgener.h"
#include "siofic.h"
#include "gen_fixture.h"

namespace {

const std::string T = "\t\t";  // the two tabs of a VAR line
const std::string kRule(80, '-');

class EmitterTest : public gen_fixture::FolderTest {
 protected:
  void SetUp() override {
    gen_fixture::register_messages(true);
    unsetenv("QZW_NOBASENAME");
    ASSERT_NO_FATAL_FAILURE(enter_folder("sancpp_test", false));
    reset_reporter();
    reset_script_writer();
    reset_service_names();
    reset_generator_options();
    KeywordLanguage = LANG_GB;
    table_init(*script_context().table, "");
  }
  void TearDown() override {
    release_table(table_);
    release_table(*script_context().table);
    KeywordLanguage = LANG_GB;
    unsetenv("QZW_NOBASENAME");
    leave_folder();
  }

  // Analyses text as the file `file` (line markers may change it).
  void analyse(const std::string &text, const char *file = "t.c", const char *reference = "") {
    table_init(table_, reference);
    analyse_text(text.c_str(), table_, "", file, 1, 0, 0);
    ASSERT_EQ(analysis_syntax_errors(), 0) << text;
  }

  // The lines that `emit` writes into a fresh script.
  template <typename F> std::vector<std::string> lines(F &&emit) {
    ScriptWriter &w = script_writer();
    w.path = folder_ + "/t.ptu";
    w.stream = std::fopen(w.path.c_str(), "w");
    emit();
    flush_script_lines();
    std::fclose(w.stream);
    w.stream = nullptr;
    std::ifstream in(w.path, std::ios::binary);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }

  std::vector<std::string> environment(const std::string &path, int included = 0) {
    return lines([&] { emit_file_environment(path, table_, included); });
  }
  std::vector<std::string> services(const std::string &tested = ".\\t.c") {
    return lines([&] { emit_services(tested, table_); });
  }

  // The VAR lines of an environment, without the block around them.
  std::vector<std::string> var_lines(const std::string &text) {
    analyse(text);
    std::vector<std::string> block = environment(".\\t.c");
    if (block.size() < 6) return block;
    return std::vector<std::string>(block.begin() + 3, block.end() - 3);
  }

  SymbolTable table_;
};

std::vector<std::string> service_names_of(const std::vector<std::string> &script) {
  std::vector<std::string> names;
  for (const std::string &l : script)
    if (l.rfind("SERVICE ", 0) == 0) names.push_back(l.substr(8));
  return names;
}

// The lines of one service, from its empty first line to its closing one.
std::vector<std::string> service_block(const std::vector<std::string> &script, const std::string &name) {
  for (std::size_t i = 0; i < script.size(); ++i) {
    if (script[i] != "SERVICE " + name) continue;
    std::size_t start = i >= 4 ? i - 4 : 0;
    for (std::size_t j = i; j < script.size(); ++j)
      if (script[j] == "END SERVICE -- " + name)
        return std::vector<std::string>(script.begin() + start, script.begin() + std::min(j + 2, script.size()));
  }
  return {};
}

TEST(SameUnit, ComparesFileNamesWithoutSuffixIgnoringCase) {
  unsetenv("QZW_NOBASENAME");
  struct Case {
    const char *a, *b;
    bool same;
  } cases[] = {
      {"t.c", ".\\t.c", true},          {"src/Unit.c", "UNIT.h", true},   {"a\\b\\x.c", "c/d/x.cc", true},
      {"my.unit.c", "my.unit.h", true}, {"my.unit.c", "my.c", false},     {"x.c", "xy.c", false},
      {"xy.c", "x.c", false},           {"noext", "dir/noext", true},     {"noext", "noext.c", true},
      {"", "t.c", false},               {"dir.d/t", "t.c", true},         {"\xC9t\xE9.c", "\xE9t\xE9.c", false},
      {"t.c", nullptr, false},          {nullptr, nullptr, false},
  };
  for (const Case &c : cases) EXPECT_EQ(same_unit(c.a, c.b), c.same) << (c.a ? c.a : "null") << " / " << (c.b ? c.b : "null");
  setenv("QZW_NOBASENAME", "", 1);
  EXPECT_TRUE(same_unit("x.c", "y.c"));
  EXPECT_TRUE(same_unit(nullptr, nullptr));
  unsetenv("QZW_NOBASENAME");
}

// A walk over a whole table takes the list a finished walk left; a walk
// started from inside another makes its own, and both see every entry.
TEST_F(EmitterTest, NestedWalksSeeEveryEntry) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "int v" + std::to_string(i) + ";\n";
  analyse(text);
  std::vector<std::string> outer, inner;
  for (int round = 0; round < 2; ++round) {
    outer.clear();
    inner.clear();
    for_each_symbol_ahead(table_, table_.ordinary, [&](Symbol *s) {
      outer.push_back(s->decl->name);
      if (outer.size() == 7)
        for_each_symbol_ahead(table_, table_.ordinary, [&](Symbol *t) { inner.push_back(t->decl->name); });
    });
    EXPECT_EQ(outer.size(), 300u);
    EXPECT_EQ(inner, outer);
  }
}

// The worked example: t.c holding int g and a function.
TEST_F(EmitterTest, WorkedExampleEnvironment) {
  analyse("int g;\nint add(int a, int b) { return a + b; }\n");
  EXPECT_EQ(environment(".\\t.c"), (std::vector<std::string>{
                                       "",
                                       "-- Environment of the file .\\t.c",
                                       "ENVIRONMENT ENV_t_c",
                                       "  VAR g," + T + "init = 0," + T + "ev = init",
                                       "END ENVIRONMENT -- ENV_t_c",
                                       "USE ENV_t_c",
                                       "",
                                   }));
}

TEST_F(EmitterTest, PlaceholdersByType) {
  struct Case {
    const char *declaration;
    std::string line;
  } cases[] = {
      {"char *s;", "VAR s," + T + "init = \"\""},
      {"int *p;", "VAR p," + T + "init = NIL"},
      {"double d;", "VAR d," + T + "init = 0.0"},
      {"long double ld;", "VAR ld," + T + "init = 0.0"},
      {"unsigned char u;", "VAR u," + T + "init = 0"},
      {"int a[4];", "ARRAY a," + T + "init = { others => 0 }"},
      {"int m[2][3];", "ARRAY m," + T + "init = { others => { others => 0 } }"},
      {"char buf[10];", "VAR buf," + T + "init = \"\""},
      {"char *names[3];", "ARRAY names," + T + "init = { others => \"\" }"},
      {"int (*fp)(int);", "VAR fp," + T + "init = NIL"},
      {"struct P { int x; int y; } pt;", "STRUCTURE pt," + T + "init = { x => 0, y => 0 }"},
      {"struct Q { int v[2]; double w; } q;", "STRUCTURE q," + T + "init = { v => { others => 0 }, w => 0.0 }"},
      {"struct R { int x; }; struct R r;", "STRUCTURE r," + T + "init = { x => 0 }"},
      {"struct O { struct I { int k; } in; char *n; } o;",
       "STRUCTURE o," + T + "init = { in => { k => 0 }, n => \"\" }"},
      {"struct L { struct L *next; int v; } l;", "STRUCTURE l," + T + "init = { next => NIL, v => 0 }"},
      {"struct E { } e;", "STRUCTURE e," + T + "init = {  }"},
      {"union U { int x; double y; } u;", "VAR u," + T + "init = { x => 0 }"},
      {"enum C { RED, GREEN } c;", "VAR c," + T + "init = RED"},
      {"enum { A0 = 3 } anon;", "VAR anon," + T + "init = A0"},
      {"typedef double real; real r2;", "VAR r2," + T + "init = 0.0"},
      {"typedef struct { int a; } S; S s2;", "STRUCTURE s2," + T + "init = { a => 0 }"},
      {"struct K { const int c; int d; } k;", "STRUCTURE k," + T + "init = { d => 0 }"},
      {"struct B { int b; }; struct D : B { int d; } dd;", "STRUCTURE dd," + T + "init = { d => 0, b => 0 }"},
      {"class H { int hidden; public: int open; } h;", "STRUCTURE h," + T + "init = { open => 0 }"},
      {"struct F { friend class G; typedef int T; enum K { K0 } k; int f(); } fr;",
       "STRUCTURE fr," + T + "init = { k => F::K0 }"},
      {"struct S3 { int x; } s3, *ps3;", "STRUCTURE s3," + T + "init = { x => 0 }|VAR ps3," + T + "init = NIL"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.declaration);
    std::vector<std::string> got = var_lines(c.declaration);
    std::string joined;
    for (const std::string &l : got) joined += (joined.empty() ? "" : "|") + l;
    std::string want;
    std::stringstream parts(c.line);
    for (std::string part; std::getline(parts, part, '|');)
      want += (want.empty() ? "" : "|") + ("  " + part + "," + T + "ev = init");
    EXPECT_EQ(joined, want);
  }
}

// Each level holds two of the level below: the placeholder would double
// with every level.
TEST_F(EmitterTest, PlaceholderKeywordStaysForATypeWithoutOne) {
  // A class template has no placeholder: the keyword given is kept, and
  // every other type sets its own.
  std::string init, keyword = "KEPT";
  TypeDesc *templ = type_new(TK_TEMPLATE);
  placeholder(templ, init, keyword, VM_PARAMETER);
  EXPECT_EQ(keyword, "KEPT");
  EXPECT_EQ(init, "");
  placeholder(nullptr, init, keyword, VM_PARAMETER);
  EXPECT_EQ(keyword, "VAR");
  EXPECT_EQ(init, "0");
  keyword = "KEPT";
  init.clear();
  placeholder(array_of(basic_type("int")), init, keyword, VM_PARAMETER);
  EXPECT_EQ(keyword, "ARRAY");
  EXPECT_EQ(init, "{ others => 0 }");
}

TEST_F(EmitterTest, PlaceholderOfDeepAggregatesStaysBounded) {
  std::string text = "struct S0 { int x; };\n";
  for (int i = 1; i <= 40; ++i)
    text += "struct S" + std::to_string(i) + " { struct S" + std::to_string(i - 1) + " a, b; };\n";
  text += "struct S40 big;\n";
  std::vector<std::string> got = var_lines(text);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_LT(got[0].size(), 3u << 20);
  const std::string start = "  STRUCTURE big," + T + "init = { a => { a => { a => ";
  EXPECT_EQ(got[0].substr(0, start.size()), start);
}

TEST_F(EmitterTest, ClassBefriendingTheReferenceNameShowsItsPrivateMembers) {
  const char *text = "class H { friend class Ref; int hidden; public: int open; } h;\n";
  for (const char *reference : {"Ref", "Other"}) {
    analyse(text, "t.cc", reference);
    std::vector<std::string> got = environment("t.cc");
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(got[3], std::string("  STRUCTURE h,") + T + "init = { " +
                          (std::string(reference) == "Ref" ? "hidden => 0, " : "") + "open => 0 }," + T + "ev = init");
  }
}

TEST_F(EmitterTest, PlaceholdersInFrenchUseTheirKeywords) {
  KeywordLanguage = LANG_FR;
  analyse("int a[2];\nint i;\n");
  std::vector<std::string> got = environment("dir/t.c");
  ASSERT_EQ(got.size(), 8u);
  EXPECT_EQ(got[1], "-- Environnement du fichier dir/t.c");
  EXPECT_EQ(got[2], "ENVIRONNEMENT ENV_t_c");
  // Bucket order, not source order: i falls in bucket 51, a in 71.
  EXPECT_EQ(got[3], "  VAR i," + T + "init = 0," + T + "va = init");
  EXPECT_EQ(got[4], "  TAB a," + T + "init = { autres => 0 }," + T + "va = init");
  EXPECT_EQ(got[5], "FIN ENVIRONNEMENT -- ENV_t_c");
  EXPECT_EQ(got[6], "UTILISE ENV_t_c");
}

TEST_F(EmitterTest, WhichFilesGetABlockAndWhatItLists) {
  // Only const globals: the block without VAR lines.
  analyse("const int k = 1;\nconst char *const name = \"x\";\n");
  EXPECT_EQ(environment("t.c"), (std::vector<std::string>{"", "-- Environment of the file t.c", "ENVIRONMENT ENV_t_c",
                                                           "END ENVIRONMENT -- ENV_t_c", "USE ENV_t_c", ""}));
  // Functions, prototypes, types and typedef names only: no block at all.
  analyse("int f(int x) { return x; }\nvoid g(void);\nstruct S { int a; };\nenum E { A };\n"
          "typedef int T;\ntypedef struct S S;\ntypedef struct S Alias;\n");
  EXPECT_TRUE(environment("t.c").empty());
  // A typedef name beside a variable: no VAR line for the type.
  EXPECT_EQ(var_lines("typedef int count_t;\ncount_t n;\n"),
            (std::vector<std::string>{"  VAR n," + T + "init = 0," + T + "ev = init"}));
  // Static variables only in the inserted file's environment; members never.
  analyse("static int hidden;\nint shown;\nstruct W { int member; static int counter; };\n", "t.cc");
  std::vector<std::string> plain = environment("t.cc"), inserted = environment("t.cc", 1);
  ASSERT_EQ(plain.size(), 7u);
  EXPECT_EQ(plain[3], "  VAR shown," + T + "init = 0," + T + "ev = init");
  ASSERT_EQ(inserted.size(), 8u);
  EXPECT_NE(inserted[3].find("hidden"), std::string::npos);
  EXPECT_NE(inserted[4].find("shown"), std::string::npos);
  // Const objects through tags and typedef names, and names declared
  // through a function typedef, are nothing a test sets.
  EXPECT_EQ(var_lines("typedef struct R { int a; } R;\ntypedef struct C C;\nstruct C { int b; };\n"
                      "typedef const struct C CC;\ntypedef int H(int);\nconst R r1[2];\nR const r2;\n"
                      "const C c1;\nconst struct C c2;\nCC c3;\nconst enum E { E0 } e1;\nH on_a, on_b;\n"
                      "const C *settable;\n"),
            (std::vector<std::string>{"  VAR settable," + T + "init = NIL," + T + "ev = init"}));
  // Only a static variable: no block for the ordinary environment.
  analyse("static int alone;\n");
  EXPECT_TRUE(environment("t.c").empty());
  EXPECT_EQ(environment("t.c", 1).size(), 7u);
}

TEST_F(EmitterTest, EnvironmentNamesFromFileNames) {
  struct Case {
    const char *path, *name;
  } cases[] = {{"unit-a.c", "ENV_unit_a_c"},
               {"my.unit.c", "ENV_my_unit_c"},
               {".\\dir.x\\a,b.cc", "ENV_a_b_cc"},
               {"src/x-y.z-w", "ENV_x_y_z_w"},  // the suffix too holds only identifier characters
               {"sp ace.c", "ENV_sp_ace_c"},
               {"it's (copy).c", "ENV_it_s__copy__c"},
               {"caf\xc3\xa9+1.c", "ENV_caf___1_c"}};
  for (const Case &c : cases) {
    analyse("int v;\n", c.path);
    std::vector<std::string> got = environment(c.path);
    ASSERT_EQ(got.size(), 7u) << c.path;
    EXPECT_EQ(got[1], std::string("-- Environment of the file ") + c.path);
    EXPECT_EQ(got[2], std::string("ENVIRONMENT ") + c.name);
    EXPECT_EQ(got[4], std::string("END ENVIRONMENT -- ") + c.name);
    EXPECT_EQ(got[5], std::string("USE ") + c.name);
  }
}

TEST_F(EmitterTest, VarLineModes) {
  analyse("struct S { int a; };\n"
          "int f(char *s, int *p, struct S *ps, int (*cb)(int), int (*pa)[3], int &r, void *v, struct S &rs);\n",
          "t.cc");
  Symbol *f = lookup_ordinary("f", table_, ScopeContext{});
  ASSERT_NE(f, nullptr);
  std::vector<std::string> got = lines([&] {
    for (DeclNode *p = f->decl->type->function()->info->first_param; p; p = p->next)
      emit_var_line(p->decl, "    ", "", VM_PARAMETER);
    emit_var_line(f->decl, "    ", "svc", VM_RESULT);
    emit_var_line(f->decl, "    ", "svc", VM_GLOBAL);  // a function is no variable
  });
  const std::string ev = "," + T + "ev = init";
  EXPECT_EQ(got, (std::vector<std::string>{
                     "    VAR s," + T + "init = \"\"" + ev,
                     "    VAR p," + T + "init = 0" + ev,
                     "    STRUCTURE ps," + T + "init = { a => 0 }" + ev,
                     "    VAR cb," + T + "init = NIL" + ev,
                     "    VAR pa," + T + "init = NIL" + ev,
                     "    VAR r," + T + "init = 0" + ev,
                     "    VAR v," + T + "init = 0" + ev,
                     "    STRUCTURE rs," + T + "init = { a => 0 }" + ev,
                     "    VAR ret_svc," + T + "init = 0" + ev,
                 }));
}

TEST_F(EmitterTest, UniqueServiceNames) {
  EXPECT_EQ(unique_service_name("f"), "f");
  EXPECT_EQ(unique_service_name("f"), "f_2");
  EXPECT_EQ(unique_service_name("f"), "f_3");
  EXPECT_EQ(unique_service_name("f_2"), "f_2_2");
  EXPECT_EQ(unique_service_name("f_4"), "f_4");
  EXPECT_EQ(unique_service_name("f"), "f_5");  // f_4 is taken by then
  EXPECT_EQ(unique_service_name("g"), "g");
  // A large overload group (its cost is measured by the generation
  // benchmark: each new member does not probe the earlier names again).
  std::string last;
  for (int i = 0; i < 20000; ++i) last = unique_service_name("big");
  EXPECT_EQ(last, "big_20000");
  EXPECT_EQ(unique_service_name("big_20000"), "big_20000_2");
}

// A service named after its declaration's pooled name claims the same name
// as one claimed from a plain string: the two ways share the suffixes.
TEST_F(EmitterTest, ServiceNamesClaimedFromPooledNames) {
  std::string first = "h";
  svc_begin(first, intern_string("h"));
  EXPECT_EQ(first, "h");
  EXPECT_EQ(unique_service_name("h"), "h_2");
  std::string again = "h";
  svc_begin(again, intern_string("h"));
  EXPECT_EQ(again, "h_3");
  // A qualified service name is not its declaration's name.
  std::string member = "C_k";
  svc_begin(member, intern_string("k"));
  EXPECT_EQ(member, "C_k");
  EXPECT_EQ(unique_service_name("k"), "k");
  EXPECT_EQ(unique_service_name("C_k"), "C_k_2");
}


// The worked example's service line by line is an end-to-end case; here:
// what it declares reaches the script's own table, without complaint.
TEST_F(EmitterTest, ServiceDeclarationsLeaveTheScriptTableOnceWritten) {
  // They are parsed into the script table in the service's own scope, which
  // no later service shares: once the service is written they are gone.
  analyse("int g;\nint add(int a, int b) { return a + b; }\n");
  std::vector<std::string> got = services();
  ASSERT_EQ(got.size(), 31u);
  EXPECT_EQ(got[24], "        #ret_add = add(a, b);");
  EXPECT_EQ(warning_count() + error_count(), 0);
  for (const char *name : {"a", "b", "ret_add"})
    EXPECT_EQ(lookup_at_level(name, *script_context().table, AREA_ORDINARY,
                              function_scope(*script_context().table, "add"), -1),
              nullptr)
        << name;
}

TEST_F(EmitterTest, ServiceDeclarationsThatClashAreStillAnalysed) {
  // Plain declarations of new names are not analysed (nothing would come of
  // it); a name met twice, or one the script declares already, has every
  // declaration of its service analysed in order, and the clash is told.
  analyse("int f(int a, int a) { return a; }\nint g(int ret_g) { return ret_g; }\n"
          "int h(int x, int y) { return x; }\n");
  analyse_text("int ret_g;", *script_context().table, "", "t.ptu", 1, 0, 0);
  std::vector<std::string> got = services();
  EXPECT_EQ(warning_count(), 2);
  EXPECT_EQ(error_count(), 0);
  for (const char *name : {"a", "ret_g", "x", "y", "ret_h"})
    for (const char *service : {"f", "g", "h"})
      EXPECT_EQ(lookup_at_level(name, *script_context().table, AREA_ORDINARY,
                                function_scope(*script_context().table, service), -1),
                nullptr)
          << name << " in " << service;
}

TEST_F(EmitterTest, WaitingDeclarationsBelongToTheirServiceOnly) {
  // The names a service's waiting declarations take are its own: the next
  // service declares them again without a clash, long or short, and a clash
  // late in a service has all its waiting texts analysed first, in order.
  analyse("struct a_structure_with_a_long_tag { int k; };\n"
          "int p1(int a, char *a_rather_long_parameter_name, struct a_structure_with_a_long_tag *s) { return a; }\n"
          "int p2(int a, double a_rather_long_parameter_name, int s) { return a; }\n"
          "int p3(int first_of_three, int b, int c, double first_of_three) { return b; }\n"
          "int p4(int first_of_three, int b) { return b; }\n");
  std::vector<std::string> got = services();
  EXPECT_EQ(service_names_of(got), (std::vector<std::string>{"p1", "p2", "p3", "p4"}));
  EXPECT_EQ(warning_count(), 1);
  EXPECT_EQ(error_count(), 0);
  std::vector<std::string> p2 = service_block(got, "p2");
  ASSERT_GE(p2.size(), 11u);
  EXPECT_EQ(p2[8], "    #int a;");
  EXPECT_EQ(p2[9], "    #double a_rather_long_parameter_name;");
  EXPECT_EQ(p2[10], "    #int s;");
  for (const char *name : {"a", "a_rather_long_parameter_name", "s", "first_of_three", "b", "c"})
    for (const char *service : {"p1", "p2", "p3", "p4"})
      EXPECT_EQ(lookup_at_level(name, *script_context().table, AREA_ORDINARY,
                                function_scope(*script_context().table, service), -1),
                nullptr)
          << name << " in " << service;
}

TEST_F(EmitterTest, WhichFunctionsAreServed) {
  // Prototypes, static functions and functions of other files get none;
  // overloads get numbered names in bucket order.
  analyse("int proto(int);\nstatic int hidden(int x) { return x; }\nint f(int x) { return x; }\n"
          "int f(double d) { return 0; }\nint f(char *s, int n) { return n; }\n"
          "#line 1 \"other.c\"\nint elsewhere(void) { return 0; }\n",
          "t.cc");
  std::vector<std::string> got = services();
  EXPECT_EQ(service_names_of(got), (std::vector<std::string>{"f", "f_2", "f_3"}));
  // f(char *s, int n): the string parameter is a buffer, the call passes it.
  std::vector<std::string> f3 = service_block(got, "f_3");
  ASSERT_GE(f3.size(), 25u);
  EXPECT_EQ(f3[8], "    #char s[200];");
  EXPECT_EQ(f3[9], "    #int n;");
  EXPECT_EQ(f3[14], "    VAR s," + T + "init = \"\"," + T + "ev = init");
  EXPECT_EQ(f3[24], "        #ret_f_3 = f(s, n);");

  // With INSERT the static function is served too; the names stay unique
  // across the whole run.
  generator_options().insert_requested = 1;
  analyse("static int hidden(int x) { return x; }\nint f(int x) { return x; }\n", "t.cc");
  EXPECT_EQ(service_names_of(services()), (std::vector<std::string>{"hidden", "f_4"}));
}

TEST_F(EmitterTest, PointerParametersAreTheirObjects) {
  analyse("struct P { int x; };\nint use(struct P *p, int *n, void *raw) { return 0; }\n", "t.c");
  std::vector<std::string> got = service_block(services(), "use");
  ASSERT_GE(got.size(), 27u);
  EXPECT_EQ(got[8], "    #struct P p;");
  EXPECT_EQ(got[9], "    #int n;");
  EXPECT_EQ(got[10], "    #void *raw;");
  EXPECT_EQ(got[15], "    STRUCTURE p," + T + "init = { x => 0 }," + T + "ev = init");
  EXPECT_EQ(got[16], "    VAR n," + T + "init = 0," + T + "ev = init");
  EXPECT_EQ(got[26], "        #ret_use = use(&p, &n, raw);");
}

const char kStack[] =
    "class Tester;\n"
    "class Stack {\n"
    "  friend class Tester;\n"
    "public:\n"
    "  Stack(int size);\n"
    "  ~Stack();\n"
    "  void push(int v);\n"
    "  int operator[](int i) const;\n"
    "  static int count;\n"
    "  int top;\n"
    "  int data[10];\n"
    "private:\n"
    "  int check(int n);\n"
    "};\n"
    "Stack::Stack(int size) { top = 0; }\n"
    "Stack::~Stack() { }\n"
    "void Stack::push(int v) { data[top++] = v; }\n"
    "int Stack::operator[](int i) const { return data[i]; }\n"
    "int Stack::count = 0;\n"
    "int Stack::check(int n) { return n; }\n";

// What the declarations section writes before the services: the class.
void declare_stack_in_script() {
  table_init(*script_context().table, "");
  analyse_text(kStack, *script_context().table, "", "t.ptu", 1, 0, 0);
}

// The whole script of the class is an end-to-end case; here: which members
// are served, and the lines that set a method's service apart.
TEST_F(EmitterTest, ClassStackServices) {
  declare_stack_in_script();
  analyse(kStack, "stack.cc", "Tester");
  std::vector<std::string> got = services(".\\stack.cc");
  EXPECT_EQ(service_names_of(got), (std::vector<std::string>{"Stack_Stack", "Stack_destructor_Stack", "Stack_push",
                                                             "Stack_operator_subscript", "Stack_check"}));
  EXPECT_EQ(warning_count() + error_count(), 0);
  const std::string object = "{ count => 0, top => 0, data => { others => 0 } }";
  std::vector<std::string> ctor = service_block(got, "Stack_Stack");
  ASSERT_EQ(ctor.size(), 28u);
  EXPECT_EQ(ctor[10], "    #Stack *pt_Stack;");
  EXPECT_EQ(ctor[11], "    ENVIRONMENT ENV_Stack_Stack");
  EXPECT_EQ(ctor[13], "    STRUCTURE *pt_Stack," + T + "init == ," + T + "ev = " + object);
  EXPECT_EQ(ctor[21], "        #pt_Stack = new Stack(size);");
  std::vector<std::string> dtor = service_block(got, "Stack_destructor_Stack");
  ASSERT_EQ(dtor.size(), 25u);
  EXPECT_EQ(dtor[8], "    #Stack *pt_destructor_Stack;");
  EXPECT_EQ(dtor[18], "        #delete pt_destructor_Stack;");
  std::vector<std::string> push = service_block(got, "Stack_push");
  ASSERT_EQ(push.size(), 29u);
  EXPECT_EQ(push[9], "    -- class instance declarations");
  EXPECT_EQ(push[10], "    #Stack Stack_instance;");
  EXPECT_EQ(push[11], "");
  EXPECT_EQ(push[14], "    STRUCTURE Stack_instance," + T + "init = " + object + "," + T + "ev = init");
  EXPECT_EQ(push[22], "        #Stack_instance.push(v);");
  std::vector<std::string> op = service_block(got, "Stack_operator_subscript");
  ASSERT_EQ(op.size(), 32u);
  EXPECT_EQ(op[25], "        #ret_Stack_operator_subscript = Stack_instance.operator [](i);");

  // Without the reference name as friend, the private method gets no
  // service; a method whose qualified name was taken gets a numbered one.
  reset_service_names();
  declare_stack_in_script();
  analyse(std::string(kStack) + "int Stack_push(int x) { return x; }\n", "stack.cc", "Other");
  got = services(".\\stack.cc");
  EXPECT_EQ(service_names_of(got), (std::vector<std::string>{"Stack_push", "Stack_Stack", "Stack_destructor_Stack",
                                                             "Stack_push_2", "Stack_operator_subscript"}));
}

TEST_F(EmitterTest, NamespacesAndNestedClasses) {
  analyse("namespace N { int h(int x) { return x; } }\n"
          "class Outer { public: class Inner { public: int f(); }; int z; int g(); };\n"
          "int Outer::Inner::f() { return 1; }\nint Outer::g() { return 2; }\n"
          "struct V { virtual int pure() = 0; int done(); };\n",
          "t.cc");
  std::vector<std::string> got = services(".\\t.cc");
  // Nested classes where they stand in the member list; pure virtual and
  // undefined members get none.
  EXPECT_EQ(service_names_of(got), (std::vector<std::string>{"Outer_Inner_f", "Outer_g", "N_h"}));
  std::vector<std::string> h = service_block(got, "N_h");
  ASSERT_GE(h.size(), 22u);
  EXPECT_EQ(h[10], "    #int ret_N_h;");
  EXPECT_EQ(h[11], "    ENVIRONMENT ENV_N_h");  // no instance in a namespace
  EXPECT_EQ(h[20], "        ELEMENT");
  EXPECT_EQ(h[21], "        #using namespace N;");
  EXPECT_EQ(h[22], "        #ret_N_h = h(x);");
  std::vector<std::string> f = service_block(got, "Outer_Inner_f");
  ASSERT_GE(f.size(), 12u);
  EXPECT_EQ(f[10], "    #Outer::Inner Outer_Inner_instance;");
}

TEST_F(EmitterTest, TemplateInstanceOfTheTestedFile) {
  analyse_text("template <class T> class List { public: T item; };\nList<int> numbers;\n", *script_context().table, "",
               "t.ptu", 1, 0, 0);
  analyse("template <class T> class List {\npublic:\n  List();\n  T get(int i) const;\n  void put(T v) { }\n"
          "  T item;\n};\n"
          "template <class T> List<T>::List() { }\n"
          "template <class T> T List<T>::get(int i) const { return item; }\n"
          "List<int> numbers;\n",
          "t.cc");
  std::vector<std::string> got = services(".\\t.cc");
  // Members defined outside the template and inside its body alike.
  EXPECT_EQ(service_names_of(got), (std::vector<std::string>{"List_int__List", "List_int__get", "List_int__put"}));
  std::vector<std::string> get = service_block(got, "List_int__get");
  ASSERT_GE(get.size(), 14u);
  EXPECT_EQ(get[12], "    #List<int> List_int__instance;");
  // A template instance of another file is not served.
  reset_service_names();
  analyse("#line 1 \"list.h\"\ntemplate <class T> class L { public: void put(T v) { } };\n#line 3 \"t.cc\"\nL<int> x;\n",
          "t.cc");
  EXPECT_TRUE(service_names_of(services(".\\t.cc")).empty());
}

}  // namespace

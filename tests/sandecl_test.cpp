// Declaration sections of the tested and integrated files, and the needed
// set they are built on.
#include "sandecl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "cpptab.h"
#include "y_cppa.h"
#include "merror.h"
#include "mstrin.h"
#include "sliste.h"
#include "sancmd.h"
#include "sgener.h"
#include "sgenincl.h"
#include "siofic.h"
#include "gen_fixture.h"

namespace {

TEST(NeededSet, FirstInsertionWinsInAscendingOrder) {
  Symbol a, b, c;
  NeededSet set;
  set.insert(&a, 7, true);
  set.insert(&b, 3, false);
  set.insert(&c, 7, false);  // same number: not inserted again
  set.insert(&c, 0, false);  // 0 adds nothing
  ASSERT_EQ(set.size(), 2u);
  auto it = set.begin();
  EXPECT_EQ(it->second.entry, &b);
  ++it;
  EXPECT_EQ(it->second.entry, &a);
  EXPECT_TRUE(it->second.forward_only);
  EXPECT_TRUE(set.contains(7));
  EXPECT_FALSE(set.contains(5));

  // Ascending numbers, as a table delivers them, stay cheap.
  NeededSet big;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 1; i <= 300000; ++i) big.insert(&a, i, false);
  EXPECT_EQ(big.size(), 300000u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

class DeclSectionTest : public gen_fixture::FolderTest {
 protected:
  void SetUp() override {
    gen_fixture::register_messages(true);
    gen_fixture::clear_suffix_variables();
    ASSERT_NO_FATAL_FAILURE(enter_folder("sandecl_test"));
    reset_reporter();
  }
  void TearDown() override { leave_folder(); }
  // The script's lines from the tested-file declarations banner to BEGIN.
  // `tested` names the tested file: C++ sources are read as C++ only
  // under a C++ name.
  std::string declarations(const std::string &source, const char *integrated = nullptr,
                           const char *tested = "t.c") {
    std::ofstream(tested) << source;
    reset_script_writer();
    scan_reset_run();
    gen_fixture::reset_options();
    generator_options().tested_file = tested;
    if (integrated) strlist_append(intern_string(integrated), generator_options().integrated_files);
    generation_run("x");
    return gen_fixture::text_between(gen_fixture::read_file("t.ptu"),
                                     "-- TESTED FILE DECLARATIONS \n--\n" + std::string(80, '-') + "\n",
                                     std::string(80, '-') + "\n\nBEGIN\n");
  }
  const std::string globals_ = "\n-- Declarations of the global variables of the tested file\n\n";
};

TEST_F(DeclSectionTest, GlobalsAndTheTypesTheyNeed) {
  EXPECT_EQ(declarations("int g;\nint add(int a, int b) { return a + b; }\n"),
            globals_ + "    #extern int g;\n    #extern int add(int a, int b);\n");
  // Static globals never yield extern lines; the structure a global points
  // at is declared before it (the table knows its head before its body, so
  // a forward declaration comes first).
  EXPECT_EQ(declarations("static int hidden;\nstruct point { int x; };\nstruct point *origin;\n"),
            globals_ + "    #struct point;\n    #struct point {\n    #\tint x;\n    #};\n    #extern struct point *origin;\n");
  // A typedef is declared once, before what uses it, and never as extern.
  EXPECT_EQ(declarations("typedef unsigned long ulong_t;\nstruct h { ulong_t v; };\nstruct h one;\n"),
            globals_ + "    #typedef unsigned long ulong_t;\n    #struct h;\n    #struct h {\n    #\tulong_t v;\n    #};\n"
                       "    #extern struct h one;\n");
  // A structure known only by name is declared forward; two structures
  // pointing at each other come in source order, each once.
  EXPECT_EQ(declarations("struct opaque;\nstruct opaque *handle;\n"),
            globals_ + "    #struct opaque;\n    #extern struct opaque *handle;\n");
  const std::string pair = declarations("struct a { struct b *pb; };\nstruct b { struct a *pa; };\nstruct a x;\n");
  const std::size_t fa = pair.find("    #struct a;\n"), fb = pair.find("    #struct b;\n");
  const std::size_t da = pair.find("    #struct a {\n"), db = pair.find("    #struct b {\n");
  ASSERT_TRUE(fa != std::string::npos && fb != std::string::npos && da != std::string::npos &&
              db != std::string::npos)
      << pair;
  EXPECT_LT(fa, da);
  EXPECT_LT(fb, db);
  EXPECT_LT(da, db);
  EXPECT_EQ(pair.find("    #struct b {\n", db + 1), std::string::npos);
  EXPECT_NE(pair.find("    #extern struct a x;\n"), std::string::npos);
  EXPECT_EQ(error_count() + warning_count(), 0);
}

TEST_F(DeclSectionTest, ClassesWithMethodsAndIntegratedFiles) {
  // Data members only: no types comment.
  EXPECT_EQ(declarations("class D { public: int x; };\n", nullptr, "t.cpp").find("-- Declarations of the types"), std::string::npos);
  const std::string methods =
      declarations("class A { public: int f(); };\nclass B { public: void g(); };\n", nullptr, "t.cpp");
  const std::size_t first = methods.find("-- Declarations of the types whose parameters are tested");
  ASSERT_EQ(first, 1u) << methods;
  EXPECT_EQ(methods.find("-- Declarations of the types", first + 1), std::string::npos);
  EXPECT_NE(methods.find("    #class A {\n"), std::string::npos) << methods;
  EXPECT_NE(methods.find("    #class B {\n"), std::string::npos) << methods;

  // The same global in an integrated file and in the tested file: one extern
  // line, the first.
  std::ofstream("integ.c") << "int shared;\nint own;\n";
  const std::string both = declarations("int shared;\n", "integ.c");
  EXPECT_EQ(both.find("    #extern int shared;\n"), both.rfind("    #extern int shared;\n"));
  EXPECT_NE(both.find("-- Integrated file declarations integ\n\n    #extern int own;\n"), std::string::npos)
      << both;
}

TEST_F(DeclSectionTest, ModernMembersAndExplicitSpecialisations) {
  const std::string text = declarations(
      "template <class T> struct Box { T v; T get() const; };\n"
      "template <> struct Box<char> { char c; int get() const; };\n"
      "int Box<char>::get() const { return c; }\n"
      "class Outer {\n"
      "public:\n"
      "  enum class Kind : short;\n"
      "  template <class T> using Ptr = T *;\n"
      "  template <class... Args> static int count(Args &&...args);\n"
      "  Kind kind() const;\n"
      "};\n"
      "enum class Outer::Kind : short { Leaf, Branch };\n"
      "Outer::Kind Outer::kind() const { return Kind::Leaf; }\n",
      nullptr, "t.cpp");
  EXPECT_EQ(error_count() + warning_count(), 0);
  // The specialisation needs its template before it, even one of file scope.
  const std::size_t primary = text.find("    #template <class T> struct Box { T v; T get() const; };\n");
  const std::size_t special = text.find("    #template <> struct Box<char> {\n");
  ASSERT_NE(primary, std::string::npos) << text;
  ASSERT_NE(special, std::string::npos) << text;
  EXPECT_LT(primary, special);
  EXPECT_EQ(text.find("    #template <class T> struct Box", primary + 1), std::string::npos) << text;
  // The enumeration declared in the class is defined outside it; an alias
  // template keeps its type, a function parameter pack its "...".
  EXPECT_NE(text.find("    #\tenum class Kind : short {\n    #\t\tLeaf,\n    #\t\tBranch\n    #\t};\n"),
            std::string::npos) << text;
  EXPECT_NE(text.find("    #\ttemplate <class T> using Ptr = T *;\n"), std::string::npos) << text;
  EXPECT_NE(text.find("    #\ttemplate <class... Args> static int count(Args &&...args);\n"), std::string::npos)
      << text;
}

// The script's table as the declarations section leaves it: plain texts are
// told apart from those whose analysis could do more than enter new names.
class PlainDeclarationTest : public gen_fixture::FolderTest {
 protected:
  void SetUp() override {
    gen_fixture::register_messages(true);
    ASSERT_NO_FATAL_FAILURE(enter_folder("sandecl_plain", false));
    reset_reporter();
    reset_script_writer();
    reset_script_backlog();
  }
  void TearDown() override {
    reset_script_backlog();
    release_table(file_);
    release_table(*script_context().table);
    leave_folder();
  }
  void script(const char *text, SourceLanguage language = SRC_C) {
    table_init(*script_context().table, "", language);
    analyse_text(text, *script_context().table, "", "t.ptu", 1, 0, 0);
    ASSERT_EQ(analysis_syntax_errors(), 0) << text;
  }
  bool plain(const std::string &text, bool external = false) {
    std::vector<std::string_view> declared;
    const bool is = plain_script_declaration(text, external, declared);
    declared_.assign(declared.begin(), declared.end());
    return is;
  }
  // The extern lines of the file's globals, written as the section writes them.
  std::string globals(const char *source) {
    table_init(file_, "", SRC_C);
    analyse_text(source, file_, "", "t.c", 1, 0, 0);
    ScriptWriter &w = script_writer();
    w.path = folder_ + "/t.ptu";
    w.stream = std::fopen(w.path.c_str(), "w");
    declare_file_globals("t.c", file_);
    flush_script_lines();
    std::fclose(w.stream);
    w.stream = nullptr;
    return gen_fixture::read_file(w.path);
  }
  Symbol *in_script(const char *name) { return lookup_ordinary(name, *script_context().table, ScopeContext()); }

  SymbolTable file_;
  std::vector<std::string> declared_;
};

TEST_F(PlainDeclarationTest, BasicTypesKnownNamesAndNewNames) {
  script("typedef int count_t; struct node { int k; }; union u { int i; }; enum mode { M1 };\n"
         "int taken; typedef struct node node;\n");
  for (const char *text : {"int a;", "count_t n;", "const count_t *const p;", "struct node *p;", "char s[100];",
                           "unsigned long int w[2][3];", "union u v;", "enum mode m;", "double d ;"})
    EXPECT_TRUE(plain(text)) << text;
  EXPECT_TRUE(plain("extern int f(int a, count_t *b, ...);", true));
  EXPECT_EQ(declared_, std::vector<std::string>{"f"});
  EXPECT_TRUE(plain("extern char name[];", true));
  EXPECT_TRUE(plain("extern void h(void);", true));
  EXPECT_TRUE(plain("extern int k(int, struct node *);", true));

  for (const char *text : {
           "int taken;",            // a name the script declares already
           "int count_t;",          // a typedef name declared again
           "other_t x;",            // a type the script does not know
           "struct other *p;",      // a tag the script does not know
           "struct mode *p;",       // a tag of another kind
           "node n;",               // a typedef name that is also a tag
           "int a = 3;",            // an initialiser
           "int (*fp)(int);",       // a pointer to a function
           "int a[N];",             // a bound to compute
           "int a[0x10];",
           "static int s;",         // storage words
           "int a; int b;",         // two declarations
           "int a",                 // no end
           "_Bool b;",              // a word read apart from the names
           "int f(int a);",         // a function where only objects are declared
       })
    EXPECT_FALSE(plain(text)) << text;
  EXPECT_FALSE(plain("extern int f(int a, int a);", true));  // a parameter named twice
  EXPECT_FALSE(plain("extern int f(...);", true));
  EXPECT_FALSE(plain("int x;", true));  // "extern" missing
  EXPECT_FALSE(plain("extern int x[2](int);", true));
  EXPECT_EQ(error_count() + warning_count(), 0);
}

TEST_F(PlainDeclarationTest, CharactersOutsideWordsAndNumbersAreNotPlain) {
  // The reader's classes are those of the "C" locale: bytes above 127, "$",
  // "@" and the like are no word characters, a number must end before a
  // letter, a "_" or a ".", and only the listed punctuation stands alone.
  script("typedef int count_t;\n");
  for (const char *text : {"int a_1;", "int _;", "int Z9z[10];", "count_t x[007];", "int\ta\t;"})
    EXPECT_TRUE(plain(text)) << text;
  for (const char *text : {"int \xe9t\xe9;", "int a\xe9;", "int $a;", "int a$;", "int @;", "int a[1u];",
                           "int a[1_];", "int a[1.5];", "int a[1e3];", "int a[9Z];", "int a{};", "int a:3;",
                           "int a = 1;", "int a;\n", "int a[]:", "int a[-1];", "int a[+1];", "int a`;",
                           "int a[\x80];", "int \x7f;"})
    EXPECT_FALSE(plain(text)) << text;
  // Each parameter list is told apart on its own, list after list.
  EXPECT_TRUE(plain("extern int f(int a, int b);", true));
  EXPECT_TRUE(plain("extern int g(int b, int a);", true));
  EXPECT_FALSE(plain("extern int f(int a, int b, count_t a);", true));
  EXPECT_TRUE(plain("extern int h(int a);", true));
  EXPECT_EQ(declared_, std::vector<std::string>{"h"});
  EXPECT_EQ(error_count() + warning_count(), 0);
}

TEST_F(PlainDeclarationTest, LanguageWords) {
  // C++ keywords are names in C and the other way round; a C++ service may
  // not name a class key (the class itself would be entered).
  script("struct node { int k; };\n", SRC_C);
  EXPECT_TRUE(plain("int class;"));
  EXPECT_TRUE(plain("struct node *n;"));
  script("struct node { int k; };\n", SRC_CPP);
  EXPECT_FALSE(plain("int class;"));
  EXPECT_TRUE(plain("bool b;"));
  EXPECT_FALSE(plain("struct node *n;"));
  EXPECT_TRUE(plain("extern struct node *n;", true));
}

TEST_F(PlainDeclarationTest, GlobalsAreWrittenAfterTheirWords) {
  // "extern" is written once, before the global's text, whether the global
  // waits or is analysed at once, on one line or not.
  script("struct node { int k; };\n");
  const std::string written = globals(
      "int (*hook)(int);\nint shared;\nstruct node *last;\nint sum(int a, int b) { return a + b; }\n"
      "int table[3];\nstruct { int a; } unnamed;\n");
  EXPECT_EQ(written,
            "    #extern int (*hook)(int);\n    #extern int shared;\n    #extern struct node *last;\n"
            "    #extern int sum(int a, int b);\n    #extern int table[3];\n"
            "    #extern struct {\n    #\tint a;\n    #} unnamed;\n");
  EXPECT_NE(in_script("hook"), nullptr);
  EXPECT_NE(in_script("unnamed"), nullptr);
  EXPECT_NE(in_script("shared"), nullptr);  // the analysis of the unnamed one took it first
  EXPECT_EQ(error_count() + warning_count(), 0);
}

TEST_F(PlainDeclarationTest, PlainGlobalsWaitUntilTheirNameIsLookedUp) {
  script("struct node { int k; };\n");
  const std::string written =
      globals("int (*hook)(int);\nint count;\nint add(int a, struct node *p) { return a; }\n");
  EXPECT_EQ(written,
            "    #extern int (*hook)(int);\n    #extern int count;\n    #extern int add(int a, struct node *p);\n");
  // The pointer to a function is analysed at once; the others wait (an
  // analysis would take them first).
  EXPECT_NE(in_script("hook"), nullptr);
  EXPECT_EQ(in_script("count"), nullptr);
  EXPECT_TRUE(script_name_pending("count"));
  EXPECT_TRUE(script_name_pending("add"));
  EXPECT_FALSE(script_name_pending("hook"));
  EXPECT_FALSE(script_name_pending("a"));  // a parameter enters no entry
  // Looking one up analyses every waiting one, in order.
  Symbol *count = lookup_ordinary("count", script_table_for("count"), ScopeContext());
  ASSERT_NE(count, nullptr);
  EXPECT_NE(count->decl->storage & SF_EXTERN, 0u);
  EXPECT_FALSE(script_name_pending("add"));
  ASSERT_NE(in_script("add"), nullptr);
  EXPECT_LT(count->sequence, in_script("add")->sequence);
  EXPECT_EQ(in_script("add")->decl->type->kind, TK_FUNCTION);
  EXPECT_EQ(error_count() + warning_count(), 0);

  // An analysis into the script's table takes them first too.
  reset_script_backlog();
  script("struct node { int k; };\n");
  globals("int later;\n");
  EXPECT_EQ(in_script("later"), nullptr);
  parse_into_script("int later;");
  Symbol *later = in_script("later");
  ASSERT_NE(later, nullptr);
  EXPECT_EQ(later->decl->storage & SF_EXTERN, 0u);  // the definition completed the extern declaration
  EXPECT_EQ(error_count() + warning_count(), 0);

  // Many waiting at once: each is known as waiting through every growth of
  // the set, and names that only look like them are not.
  reset_script_backlog();
  script("struct node { int k; };\n");
  std::string many;
  for (int i = 0; i < 5000; ++i) many += "int w" + std::to_string(i) + ";\n";
  globals(many.c_str());
  for (int i = 0; i < 5000; ++i) {
    ASSERT_TRUE(script_name_pending(("w" + std::to_string(i)).c_str())) << i;
    ASSERT_FALSE(script_name_pending(("w" + std::to_string(i) + "_").c_str())) << i;
    ASSERT_FALSE(script_name_pending(("v" + std::to_string(i)).c_str())) << i;
  }
  EXPECT_FALSE(script_name_pending("w"));
  EXPECT_EQ(error_count() + warning_count(), 0);
}

TEST_F(DeclSectionTest, LongChainsOfStructuresNeedNoDeepRecursion) {
  std::string source;
  const int n = 3000;
  for (int i = n; i > 0; --i)
    source += "struct s" + std::to_string(i) + " { struct s" + std::to_string(i + 1) + " *next; };\n";
  source += "struct s1 head;\n";
  const std::string got = declarations(source);
  EXPECT_NE(got.find("    #extern struct s1 head;\n"), std::string::npos);
  EXPECT_NE(got.find("    #struct s" + std::to_string(n) + " {\n"), std::string::npos);
}

}  // namespace

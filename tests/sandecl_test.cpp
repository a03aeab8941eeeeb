// Declaration sections of the tested and integrated files, and the needed
// set they are built on.
#include "sandecl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "cpptab.h"
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

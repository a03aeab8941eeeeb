// Qualified names and operator words, parameter-name reconciliation, types
// read from text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cppname.h"
#include "cpptab.h"
#include "y_cppa.h"
#include "ana_fixture.h"

namespace {

class Names : public ana_fixture::TableTest {
 protected:
  void SetUp() override { open_table("", false); }
  void TearDown() override { close_table(); }
  void analyse(const char *text) { analyse_text(text, table, "", "t.cpp", 1, 0, 0); }
  TypeDesc *tag(const char *name, TypeDesc *scope = nullptr) {
    Symbol *s = scope ? lookup_in_scope(name, table, AREA_TAG, scope)
                      : lookup_tag(name, table, -1, ScopeContext());
    return s && s->decl ? s->decl->type : nullptr;
  }
  static std::string name(const char *n, TypeDesc *scope, bool verbatim) {
    std::string out;
    ScopeContext ctx;
    ctx.kind = scope ? 1 : 0;
    ctx.current = scope;
    write_qualified_name(out, n, ctx, verbatim ? "::" : "_", verbatim);
    return out;
  }
};

TEST_F(Names, MembersOfClassesInNamespaces) {
  analyse("namespace M { class Vec { public: Vec &operator+=(const Vec &); ~Vec(); }; }");
  TypeDesc *m = tag("M");
  ASSERT_NE(m, nullptr);
  TypeDesc *vec = tag("Vec", m);
  ASSERT_NE(vec, nullptr);
  EXPECT_EQ(name("operator +=", vec, false), "M_Vec_operator_add_assign");
  EXPECT_EQ(name("operator +=", vec, true), "M::Vec::operator +=");
  EXPECT_EQ(name("~Vec", vec, false), "M_Vec_destructor_Vec");
  EXPECT_EQ(name("~Vec", vec, true), "M::Vec::~Vec");
  // Only the scope is wanted: no trailing separator.
  EXPECT_EQ(name(nullptr, vec, false), "M_Vec");
  EXPECT_EQ(name("", vec, true), "M::Vec");
  EXPECT_EQ(name("f", nullptr, false), "f");
}

TEST_F(Names, OperatorWordsAndIdentifierForm) {
  const struct {
    const char *stored;
    const char *identifier;
  } cases[] = {
      {"operator ->*", "operator_arrow_star"},   {"operator ->", "operator_ptr"},
      {"operator ()", "operator_function_call"}, {"operator []", "operator_subscript"},
      {"operator <<=", "operator_left_shift_assign"}, {"operator <", "operator_less"},
      {"operator ==", "operator_equal"},         {"operator !", "operator_not"},
      {"operator new[]", "operator_newsubscript"}, {"operator delete", "operator_delete"},
      {"operator char *", "operator_char_mul"},  {"operator A::B", "operator_A__B"},
      {"operator ~", "operator_invbit"},         {"operator ,", "operator__"},
      {"List<int>", "List_int_"},                {"a$b", "a_b"},
      {"$x", "_x"},                              {"operators", "operators"},
      {"~List<int>", "destructor_List_int_"},
  };
  for (const auto &c : cases) EXPECT_EQ(name(c.stored, nullptr, false), c.identifier) << c.stored;
  EXPECT_EQ(operator_identifier("+="), "add_assign");
}

TEST_F(Names, UnnamedNamespaceAndNestedClasses) {
  analyse("namespace { struct In { struct Deep { int x; }; }; }");
  TypeDesc *in = nullptr;
  for_each_symbol(table.tags, [&](Symbol *s) {
    if (s->decl && s->decl->name && std::string(s->decl->name) == "Deep") in = s->decl->type;
  });
  ASSERT_NE(in, nullptr);
  // The unnamed namespace has no name to write, in either form.
  EXPECT_EQ(name("f", in, false), "In_Deep_f");
  EXPECT_EQ(name("f", in, true), "In::Deep::f");
  analyse("namespace Outer { namespace { struct Hid { int y; }; } }");
  TypeDesc *hid = nullptr;
  for_each_symbol(table.tags, [&](Symbol *s) {
    if (s->decl && s->decl->name && std::string(s->decl->name) == "Hid") hid = s->decl->type;
  });
  ASSERT_NE(hid, nullptr);
  EXPECT_EQ(name("g", hid, true), "Outer::Hid::g");
}

TEST_F(Names, ParameterNamesFromTheDefinition) {
  TypeDesc *decl = function_returning(basic_type("int"));
  TypeDesc *def = function_returning(basic_type("int"));
  function_add_param(decl, decl_new(nullptr, basic_type("int")));
  function_add_param(decl, decl_new("old", basic_type("char")));
  function_add_param(def, decl_new("a", basic_type("int")));
  function_add_param(def, decl_new("b", basic_type("char")));
  EXPECT_EQ(CPP_modify_param_name(decl, def, "t.c", 1), 1);
  EXPECT_STREQ(decl->function()->info->first_param->decl->name, "a");
  EXPECT_STREQ(decl->function()->info->first_param->next->decl->name, "b");

  // f() against f(void), both ways.
  TypeDesc *empty = function_returning(basic_type("int"));
  TypeDesc *lone_void = function_returning(basic_type("int"));
  function_add_param(lone_void, decl_new(nullptr, basic_type("void")));
  EXPECT_EQ(CPP_modify_param_name(empty, lone_void, "t.c", 1), 1);
  EXPECT_EQ(CPP_modify_param_name(lone_void, empty, "t.c", 1), 1);

  // Lenient matching of "int f();" with "int f(int a)": no internal error,
  // the declaration keeps its names.
  TypeDesc *one = function_returning(basic_type("int"));
  function_add_param(one, decl_new("a", basic_type("int")));
  EXPECT_EQ(CPP_modify_param_name(empty, one, "t.c", 1), 0);
  EXPECT_EQ(CPP_modify_param_name(decl, one, "t.c", 1), 0);
  EXPECT_STREQ(decl->function()->info->first_param->decl->name, "a");
  EXPECT_TRUE(ana_fixture::reports().empty());

  EXPECT_EQ(CPP_modify_param_name(basic_type("int"), def, "t.c", 1), 0);
  EXPECT_EQ(CPP_modify_param_name(nullptr, def, "t.c", 1), 0);
}

TEST_F(Names, TypesFromText) {
  analyse("struct S { int a; }; typedef unsigned long ul;");
  TypeDesc *t = type_from_text("unsigned long", table, "t.c", 1);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->kind, TK_INTEGER);
  t = type_from_text("struct S *", table, "t.c", 1);
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(t->kind, TK_POINTER);
  t = type_from_text("ul", table, "t.c", 1);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->kind, TK_NAMED);
  t = type_from_text("int (*)(char)", table, "t.c", 1);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->kind, TK_POINTER);
  // Not a type: nothing, and no report escapes, whichever part of the
  // analysis makes it (grammar, scanner, type composition, redeclaration).
  EXPECT_EQ(type_from_text("3 + +", table, "t.c", 1), nullptr);
  EXPECT_EQ(type_from_text("long float", table, "t.c", 1), nullptr);
  EXPECT_EQ(type_from_text("int a; float a", table, "t.c", 1), nullptr);
  EXPECT_EQ(type_from_text("'", table, "t.c", 1), nullptr);
  EXPECT_TRUE(ana_fixture::reports().empty());
  // The process's report callback stays as it was, and hears the next report.
  EXPECT_EQ(analyser_report_callback(), &ana_fixture::capture);
  analyse("long float lf;");
  EXPECT_FALSE(ana_fixture::reports().empty());
  ana_fixture::reports().clear();
  // The temporary entry never stays behind.
  EXPECT_EQ(lookup_ordinary("__ortek_var", table, ScopeContext()), nullptr);
  // Nothing of the temporary declaration is recorded for the script.
  analysis_settings().recording = 1;
  const size_t recorded = table.recorded.size();
  EXPECT_NE(type_from_text("long", table, "t.c", 1), nullptr);
  EXPECT_EQ(table.recorded.size(), recorded);
  EXPECT_EQ(analysis_settings().recording, 1);
  analysis_settings().recording = 0;
  // Local to a function scope.
  EXPECT_NE(type_from_text("double", table, "t.c", 1, "fn"), nullptr);
  ScopeContext local{1, function_scope(table, "fn")};
  EXPECT_EQ(lookup_ordinary("__ortek_var", table, local), nullptr);
}

}  // namespace

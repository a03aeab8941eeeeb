// Rendering of types and declarations: the forms of every mode, bodies with
// indentation, the self-reference guard, bounds, storage words and limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cpprend.h"
#include "cpptab.h"
#include "y_cppa.h"
#include "ana_fixture.h"

namespace {

std::vector<ana_fixture::Report> &g_reports = ana_fixture::reports();

class Render : public ana_fixture::TableTest {
 protected:
  void SetUp() override { open_table("", false); }
  void TearDown() override { close_table(); }
  void analyse(const char *text, const char *file = "t.c") {
    analyse_text(text, table, "", file, 1, 0, 0);
    ASSERT_TRUE(g_reports.empty()) << text << ": " << g_reports[0].code;
  }
  const Declaration *ord(const char *name) {
    Symbol *s = lookup_ordinary(name, table, ScopeContext());
    return s ? s->decl : nullptr;
  }
  const Declaration *tag(const char *name) {
    Symbol *s = lookup_tag(name, table, -1, ScopeContext());
    return s ? s->decl : nullptr;
  }
  const Declaration *param(const char *function, int index) {
    const DeclNode *n = ord(function)->type->function()->info->first_param;
    while (index-- > 0) n = n->next;
    return n->decl;
  }
  static std::string decl(const Declaration *d, int mode = RM_ORDINARY, int body = 0,
                          const char *fn = "", const char *prefix = "") {
    std::string out;
    render_declaration(d, out, fn, mode, body, "", prefix);
    return out;
  }
};

TEST_F(Render, DeclaratorsInsideOut) {
  analyse(
      "int (*fp)(int); int *(*fa[3])(void); int (*pa)[4]; char const *const s; "
      "int (*(*ff)(void))(char); volatile int * const vp; long double ld[2][3]; "
      "int f(int a, char *b, ...);");
  EXPECT_EQ(decl(ord("fp")), "int (*fp)(int);");
  EXPECT_EQ(decl(ord("fa")), "int *(*fa[3])(void);");
  EXPECT_EQ(decl(ord("pa")), "int (*pa)[4];");
  EXPECT_EQ(decl(ord("s")), "char const *const s;");
  EXPECT_EQ(decl(ord("ff")), "int (*(*ff)(void))(char);");
  EXPECT_EQ(decl(ord("vp")), "int volatile *const vp;");
  EXPECT_EQ(decl(ord("ld")), "long double ld[2][3];");
  EXPECT_EQ(decl(ord("f"), RM_EXTERN), "int f(int a, char *b, ...);");
  // Functions write nothing in the ordinary form.
  EXPECT_EQ(decl(ord("f")), "");
}

TEST_F(Render, ObjectAndReturnForms) {
  analyse(
      "struct S { int x; }; typedef int constant_t; "
      "int g(char *s, struct S *p, int (*cb)(int), void *v, int a[], const char *c, "
      "int **pp, const constant_t k); "
      "void v0(void); int f(void); const constant_t h(void); const int *cp(void);");
  EXPECT_EQ(decl(param("g", 0), RM_OBJECT), "char s[200];");
  EXPECT_EQ(decl(param("g", 1), RM_OBJECT), "struct S p;");
  EXPECT_EQ(decl(param("g", 2), RM_OBJECT), "int (*cb)(int);");
  EXPECT_EQ(decl(param("g", 3), RM_OBJECT), "void *v;");
  EXPECT_EQ(decl(param("g", 4), RM_OBJECT), "int a[100];");
  EXPECT_EQ(decl(param("g", 5), RM_OBJECT), "char c[200];");
  EXPECT_EQ(decl(param("g", 6), RM_OBJECT), "int *pp;");
  // Only the whole word const goes: constant_t stays.
  EXPECT_EQ(decl(param("g", 7), RM_OBJECT), "constant_t k;");
  EXPECT_EQ(decl(ord("v0"), RM_RETURN, 0, "v0"), "");
  EXPECT_EQ(decl(ord("f"), RM_RETURN, 0, "f"), "int ret_f;");
  EXPECT_EQ(decl(ord("h"), RM_RETURN, 0, "svc"), "constant_t ret_svc;");
  // What a returned pointer points to keeps its const (the value must be
  // assignable to the variable).
  EXPECT_EQ(decl(ord("cp"), RM_RETURN, 0, "cp"), "int const *ret_cp;");
}

TEST_F(Render, CallsStubsAndObjects) {
  analyse(
      "struct S { int x; }; int add(int a, int b); void put(struct S *s, char *t, void *v, "
      "int (*cb)(void), int); int f(int x, char *s); int va(int n, ...);"
      "inline int il(int a) { return a; }"
      "class Stack { public: Stack(int n); ~Stack(); int push(int v); };");
  EXPECT_EQ(decl(ord("add"), RM_CALL, 0, "add"), "ret_add = add(a, b);");
  EXPECT_EQ(decl(ord("put"), RM_CALL, 0, "put"), "put(&s, t, v, cb);");
  EXPECT_EQ(decl(ord("va"), RM_CALL, 0, "va"), "ret_va = va(n);");
  EXPECT_EQ(decl(ord("f"), RM_STUB, 1), "int f(int  _in x, char  _inout s[200]);");
  EXPECT_EQ(decl(ord("f"), RM_STUB, 1, "", "    #"), "    #int f(int  _in x, char  _inout s[200]);");
  EXPECT_EQ(decl(ord("il"), RM_EXTERN), "");
  const Declaration *stack = tag("Stack");
  ASSERT_NE(stack, nullptr);
  const Declaration *ctor = nullptr, *dtor = nullptr, *push = nullptr;
  for (const MemberNode *m = stack->type->record()->first; m; m = m->next) {
    const std::string n = m->decl->name ? m->decl->name : "";
    if (n == "Stack") ctor = m->decl;
    if (n == "~Stack") dtor = m->decl;
    if (n == "push") push = m->decl;
  }
  ASSERT_TRUE(ctor && dtor && push);
  EXPECT_EQ(decl(ctor, RM_CONSTRUCT), "pt_Stack = new Stack(n);");
  EXPECT_EQ(decl(dtor, RM_DESTRUCT), "delete pt_destructor_Stack;");
  EXPECT_EQ(decl(ctor, RM_OBJECT_DECL), "Stack *pt_Stack;");
  EXPECT_EQ(decl(dtor, RM_OBJECT_DECL), "Stack *pt_destructor_Stack;");
  EXPECT_EQ(decl(push, RM_CALL, 0, "Stack_push"), "ret_Stack_push = Stack_instance.push(v);");
  EXPECT_EQ(decl(push, RM_STUB), "int Stack::push(int  _in v);");
}

TEST_F(Render, DefaultsExceptionsOldStyleAndTypedefs) {
  analyse(
      "struct S { int a; }; typedef struct S S; typedef struct S T; typedef int F(int); "
      "void f(int a = 3, char c = 0x41) throw (int, char); void g() throw (); "
      "int k(a, b) int a; char *b; { return 0; } enum { A, B };");
  EXPECT_EQ(decl(ord("f"), RM_EXTERN), "void f(int a = 3, char c = 0x41) throw (int, char);");
  EXPECT_EQ(decl(ord("g"), RM_EXTERN), "void g() throw ();");
  EXPECT_EQ(decl(ord("k"), RM_EXTERN), "int k(int a, char *b);");
  EXPECT_EQ(decl(ord("S")), "typedef struct S S;");
  EXPECT_EQ(decl(ord("T")), "typedef struct S T;");
  EXPECT_EQ(decl(ord("F")), "typedef int F(int);");
  std::string unnamed;
  for_each_symbol(table.tags, [&](Symbol *sym) {
    if (sym->decl && !sym->decl->name) unnamed = decl(sym->decl, RM_ORDINARY, 1);
  });
  EXPECT_EQ(unnamed, "enum {\n\tA,\n\tB\n};");
}

TEST_F(Render, ParameterFormReportsUnnamedParameters) {
  analyse("int f(int, char *); int one(int);");
  EXPECT_EQ(decl(ord("f"), RM_OBJECT), "f(int, char[200]);");
  ASSERT_EQ(g_reports.size(), 2u);
  EXPECT_EQ(g_reports[0].code, "NOMPARINC");
  g_reports.clear();
  decl(ord("one"), RM_OBJECT);
  EXPECT_TRUE(g_reports.empty());
}

TEST_F(Render, BodiesWithIndentationAndAccess) {
  analyse(
      "struct point { int x; struct point *next; unsigned flag : 3; "
      "union { int u; float f; } w; struct { char c; }; }; "
      "enum color { RED, GREEN = 4, BLUE }; "
      "class K { int hidden; public: int shown; virtual int f() const = 0; "
      "struct In { int a; }; In in; protected: static int n; };");
  EXPECT_EQ(decl(tag("point"), RM_ORDINARY, 1, "", "    #"),
            "    #struct point {\n"
            "    #\tint x;\n"
            "    #\tstruct point *next;\n"
            "    #\tunsigned flag : 3;\n"
            "    #\tunion {\n"
            "    #\t\tint u;\n"
            "    #\t\tfloat f;\n"
            "    #\t} w;\n"
            "    #\tstruct {\n"
            "    #\t\tchar c;\n"
            "    #\t};\n"
            "    #};");
  EXPECT_EQ(decl(tag("color"), RM_ORDINARY, 1), "enum color {\n\tRED,\n\tGREEN = 4,\n\tBLUE\n};");
  EXPECT_EQ(decl(tag("K"), RM_ORDINARY, 1),
            "class K {\n"
            "\tint hidden;\n"
            "\tpublic:\n"
            "\tint shown;\n"
            "\tvirtual int f() const = 0;\n"
            "\tstruct In {\n"
            "\t\tint a;\n"
            "\t};\n"
            "\tstruct In in;\n"
            "\tprotected:\n"
            "\tstatic int n;\n"
            "};");
  // Without the body flag: the name; forward form with its key.
  EXPECT_EQ(decl(tag("point")), "struct point;");
  EXPECT_EQ(decl(tag("K"), RM_CLASS_KEY), "class K;");
  // A variable of a named type refers to it, even with the body flag.
  analyse("struct point pt;");
  EXPECT_EQ(decl(ord("pt"), RM_ORDINARY, 1), "struct point pt;");
}

TEST_F(Render, UnnamedBitFieldsKeepTheLayout) {
  analyse("struct reg { unsigned on : 1; unsigned : 3; unsigned mode : 2; unsigned : 0; int : 4; "
          "unsigned last : 1; };");
  EXPECT_EQ(decl(tag("reg"), RM_ORDINARY, 1, "", "#"),
            "#struct reg {\n#\tunsigned on : 1;\n#\tunsigned : 3;\n#\tunsigned mode : 2;\n#\tunsigned : 0;\n"
            "#\tint : 4;\n#\tunsigned last : 1;\n#};");
  EXPECT_TRUE(g_reports.empty());
}

TEST_F(Render, QualifiedNamesOfNestedTypes) {
  analyse(
      "namespace M { struct Vec { int x; }; } class A { public: struct B { int x; }; "
      "enum E { E1 }; }; M::Vec v; A::B ab; A::E ae; int A::*pm; int (A::*pmf)(int) const; "
      "int &r; int (&ra)[3]; template <class T> struct Box { T v; }; Box<int> bi;");
  EXPECT_EQ(decl(ord("v")), "M::Vec v;");
  EXPECT_EQ(decl(ord("ab")), "A::B ab;");
  EXPECT_EQ(decl(ord("ae")), "A::E ae;");
  EXPECT_EQ(decl(ord("pm")), "int A:: *pm;");
  EXPECT_EQ(decl(ord("pmf")), "int (A:: *pmf)(int) const;");
  EXPECT_EQ(decl(ord("r")), "int &r;");
  EXPECT_EQ(decl(ord("ra")), "int (&ra)[3];");
  EXPECT_EQ(decl(ord("r"), RM_OBJECT), "int r;");
  EXPECT_EQ(decl(ord("bi")), "Box<int> bi;");
  EXPECT_EQ(decl(tag("Box"), RM_ORDINARY, 1), "template <class T> struct Box { T v; };");
}

TEST_F(Render, SelfReferencingTypesAreWrittenOnce) {
  // A structure holding itself (only a hand-built graph can): the inner
  // reference is the name, and rendering ends.
  TypeDesc *s = type_new(TK_CLASS);
  s->record()->name = "Loop";
  s->record()->has_body = 1;
  class_add_member(s, member_node_new(decl_new("self", s), ACC_PUBLIC));
  Declaration *d = decl_new("Loop", s);
  EXPECT_EQ(decl(d, RM_ORDINARY, 1), "struct Loop {\n\tstruct Loop self;\n};");
  EXPECT_EQ(s->rendering_guard, 0);
}

TEST_F(Render, BoundsFromExpressions) {
  analyse("enum { N = 3 }; int x; struct S { int a; int b; };");
  TypeDesc *a = array_of(basic_type("int"));
  a->array()->bound_expression = "N*2+1";
  Declaration *d = decl_new("a", a);
  EXPECT_EQ(decl(d), "int a[7];");
  a->array()->bound_expression = "sizeof(struct S) * 2";
  EXPECT_EQ(decl(d), "int a[16];");
  a->array()->bound_expression = "x + 1";  // not constant
  EXPECT_EQ(decl(d), "int a[1];");
  EXPECT_EQ(decl(d, RM_OBJECT), "int a[100];");
  a->array()->bound_expression = "4 / (N - 3)";
  g_reports.clear();
  EXPECT_EQ(decl(d), "int a[1];");
  EXPECT_EQ(g_reports.size(), 1u);
  EXPECT_EQ(g_reports[0].code, "DIVISZERO");
  a->array()->bound_expression.clear();
  EXPECT_EQ(decl(d), "int a[];");
  EXPECT_EQ(decl(d, RM_OBJECT), "int a[100];");
  a->array()->has_bound_text = true;
  a->array()->bound_text = " \t\n";
  EXPECT_EQ(decl(d), "int a[100];");
  a->array()->bound_text = "N * 2";
  EXPECT_EQ(decl(d), "int a[N * 2];");
}

TEST_F(Render, StorageWords) {
  std::string out;
  storage_text(SF_TYPEDEF | SF_STATIC | SF_INLINE | SF_EXTERN, out);
  EXPECT_EQ(out, "typedef extern static inline ");
  out.clear();
  storage_text(SF_STATIC | SF_INLINE | SF_VIRTUAL, out);
  EXPECT_EQ(out, "virtual ");
  out.clear();
  storage_text(SF_VIRTUAL | SF_EXPLICIT, out);
  EXPECT_EQ(out, "explicit ");
  out.clear();
  storage_text(SF_STATIC | SF_THREAD_LOCAL, out);
  EXPECT_EQ(out, "static thread_local ");
  analyse("static int s; extern int e; int plain;");
  out.clear();
  storage_prefix(ord("s"), out, "", RM_ORDINARY, 0, 1, "", "    #");
  EXPECT_EQ(out, "    #static int s;");
  out.clear();
  storage_prefix(ord("e"), out, "", RM_ORDINARY, 0, 0, "", "    #");
  EXPECT_EQ(out, "    #int e;");
  Declaration both = *ord("e");
  both.storage = SF_EXTERN | SF_STATIC | SF_MUTABLE;
  out.clear();
  storage_prefix(&both, out, "", RM_ORDINARY, 0, 1, "", "");
  EXPECT_EQ(out, "mutable int e;");
}

TEST_F(Render, OddKindsAndLimits) {
  std::string l, m, r;
  EXPECT_EQ(render_type(nullptr, l, m, r, 0, "", 0, RM_ORDINARY, nullptr, 1), 1);
  EXPECT_EQ(l, "int");
  TypeDesc *odd = type_new(TK_RESERVED);
  l.clear();
  EXPECT_EQ(render_type(odd, l, m, r, 0, "", 0, RM_ORDINARY, nullptr, 1), 1);
  EXPECT_EQ(l + m + r, "");
  odd->kind = static_cast<TypeKind>(42);
  EXPECT_EQ(render_type(odd, l, m, r, 0, "", 0, RM_ORDINARY, nullptr, 1), 1);
  EXPECT_EQ(l + m + r, "");
  // A pointer chain far deeper than any grammar makes: reported, nothing
  // written, no crash.
  TypeDesc *t = basic_type("int");
  for (int i = 0; i < 100000; ++i) t = pointer_to(t);
  Declaration *deep = decl_new("deep", t);
  std::string out;
  g_reports.clear();
  EXPECT_EQ(render_declaration(deep, out, "", RM_ORDINARY, 0, "", ""), 0);
  EXPECT_EQ(out, "");
  ASSERT_EQ(g_reports.size(), 1u);
  // Long texts grow past the old work buffers unchanged.
  TypeDesc *f = function_returning(basic_type("int"));
  for (int i = 0; i < 3000; ++i)
    function_add_param(f, decl_new(("parameter_" + std::to_string(i)).c_str(), basic_type("int")));
  out.clear();
  EXPECT_EQ(render_declaration(decl_new("wide", f), out, "", RM_EXTERN, 0, "", ""), 1);
  EXPECT_GT(out.size(), 40000u);
  EXPECT_EQ(out.substr(out.size() - 20), "int parameter_2999);");
  EXPECT_EQ(out.compare(0, 24, "int wide(int parameter_0"), 0);
}

TEST_F(Render, TrailingResultsThatNameTheParameters) {
  analyse(
      "auto tail(int a) -> decltype(a + 1);\n"
      "auto both(int a, long b) -> decltype(a + b) *;\n"
      "auto plain(int a) -> long;\n"
      "decltype(sizeof 0) size_of(int n);\n", "t.cpp");
  // Before the parameters, a and b are unknown: the result stays after them.
  EXPECT_EQ(decl(ord("tail"), RM_EXTERN), "auto tail(int a) -> decltype(a+1);");
  EXPECT_EQ(decl(ord("both"), RM_EXTERN), "auto both(int a, long b) -> decltype(a+b) *;");
  EXPECT_EQ(decl(ord("tail"), RM_STUB), "auto tail(int  _in a) -> decltype(a+1);");
  // Results that name no parameter are written first, as they always were.
  EXPECT_EQ(decl(ord("plain"), RM_EXTERN), "long plain(int a);");
  EXPECT_EQ(decl(ord("size_of"), RM_EXTERN), "decltype(sizeof 0) size_of(int n);");
}

}  // namespace

// Later C++ forms keep their meaning when written back.
TEST_F(Render, RvalueReferencesEnumerationsAndMemberPointers) {
  analyse(
      "struct C { int m; }; int take(int &&r, int &l); int get(C &c, int C::*p);\n"
      "enum Small : unsigned char { S1, S2 }; enum class Color : short { Red }; enum class Plain { P };\n"
      "Small s; Color c;\n", "t.cpp");
  EXPECT_EQ(decl(ord("take"), RM_EXTERN), "int take(int &&r, int &l);");
  // The script's variable is an lvalue: cast to bind it to "&&".
  EXPECT_EQ(decl(ord("take"), RM_CALL), "ret_ = take(static_cast<int&&>(r), l);");
  // A pointer to member is no object pointer: kept, and passed as it is.
  EXPECT_EQ(decl(param("get", 1), RM_OBJECT), "int C:: *p;");
  EXPECT_EQ(decl(ord("get"), RM_CALL), "ret_ = get(c, p);");
  EXPECT_EQ(decl(tag("Small"), RM_ORDINARY, 1), "enum Small : unsigned char {\n\tS1,\n\tS2\n};");
  EXPECT_EQ(decl(tag("Color"), RM_ORDINARY, 1), "enum class Color : short {\n\tRed\n};");
  EXPECT_EQ(decl(tag("Plain"), RM_CLASS_KEY), "enum class Plain;");
  // A use names the enumeration alone.
  EXPECT_EQ(decl(ord("c"), RM_EXTERN), "enum Color c;");
  // The rvalue reference is a type of its own: the two overloads stay apart.
  analyse("void f(int &a); void f(int &&a);\n", "t.cpp");
}

TEST_F(Render, DefaultedDeletedFunctionsAndAlignmentsAsDeclared) {
  // Without "= default" the script's class would declare a constructor no
  // one defines; without its alignment a class would have another layout.
  analyse(
      "struct alignas(16) V { float v[3]; V() = default; V(const V &) = delete; virtual ~V() = default;\n"
      "  virtual int f() = 0; int g(); };\n"
      "union alignas(8) U { char c; };\n"
      "template <class T> struct alignas(alignof(T)) Box { T t; };\n"
      "struct P { P(); };\n"
      "P::P() = default;\n"
      "void only(double) = delete;\n", "t.cpp");
  EXPECT_EQ(decl(tag("V"), RM_ORDINARY, 1),
            "struct alignas(16) V {\n\tfloat v[3];\n\tV() = default;\n\tV(struct V const &) = delete;\n"
            "\tvirtual ~V() = default;\n\tvirtual int f() = 0;\n\tint g();\n};");
  EXPECT_EQ(decl(tag("V"), RM_CLASS_KEY), "struct V;");
  EXPECT_EQ(decl(tag("U"), RM_ORDINARY, 1), "union alignas(8) U {\n\tchar c;\n};");
  EXPECT_EQ(decl(tag("Box"), RM_ORDINARY, 1), "template <class T> struct alignas(alignof(T)) Box { T t; };");
  // Defaulted outside its class, the constructor is one the file defines.
  EXPECT_EQ(decl(tag("P"), RM_ORDINARY, 1), "struct P {\n\tP();\n};");
  EXPECT_EQ(decl(ord("only"), RM_EXTERN), "void only(double) = delete;");
}

namespace {

// The declarator joined as a text of its own, blank by blank: what
// append_declarator must add after any text already there.
std::string joined_by_steps(std::string left, const std::string &middle, const std::string &name,
                            const std::string &right) {
  while (!left.empty() && (left.back() == ' ' || left.back() == '\t')) left.pop_back();
  std::string out = left;
  if ((!middle.empty() || !name.empty()) && !out.empty() && out.back() != '(') out += ' ';
  out += middle + name + right;
  while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
  return out;
}

}  // namespace

TEST(AppendDeclarator, AddsTheJoinedTextAndTrimsOnlyItsOwnEnd) {
  const std::vector<std::string> lefts = {"", " ", "\t \t", "int", "int ", "int\t", "int (", "int ( ", "x("};
  const std::vector<std::string> middles = {"", " ", "*", "* ", "&&"};
  const std::vector<std::string> names = {"", " ", "a", "a \t"};
  const std::vector<std::string> rights = {"", " ", "\t", "[2]", ")(int) ", "  "};
  const std::vector<std::string> befores = {"", "x", "x ", "(", "\t", ", "};
  for (const std::string &l : lefts)
    for (const std::string &m : middles)
      for (const std::string &n : names)
        for (const std::string &r : rights) {
          const std::string expected = joined_by_steps(l, m, n, r);
          EXPECT_EQ(join_declarator(l, m, n, r), expected) << l << "|" << m << "|" << n << "|" << r;
          for (const std::string &before : befores) {
            std::string out = before;
            append_declarator(out, l, m, "", n, r);
            EXPECT_EQ(out, before + expected) << before << "|" << l << "|" << m << "|" << n << "|" << r;
            // The name in two parts is the name they make.
            for (std::size_t cut = 0; cut <= n.size(); ++cut) {
              std::string split = before;
              append_declarator(split, l, m, n.substr(0, cut), n.substr(cut), r);
              EXPECT_EQ(split, out);
            }
          }
        }
  std::string pack = "(";
  append_declarator(pack, "int", "", "...", "", "");
  EXPECT_EQ(pack, "(int ...");
  // Texts around the size a declarator is put together in, trailing
  // blanks and all, and far beyond it.
  for (std::size_t length = 100; length < 160; ++length)
    for (const std::string &end : {std::string(), std::string(" "), std::string("\t \t"), std::string(40, ' ')})
      for (const std::string &middle : {std::string(), std::string("*")}) {
        const std::string left = "struct " + std::string(length / 2, 'L') + " ";
        const std::string right = "[" + std::string(length - length / 2, 'R') + "]" + end;
        const std::string expected = joined_by_steps(left, middle, "name", right);
        std::string out = "x \t";
        append_declarator(out, left, middle, "", "name", right);
        EXPECT_EQ(out, "x \t" + expected) << length;
        out = "y ";
        append_declarator(out, std::string(length, ' '), "", "", "", end);
        EXPECT_EQ(out, "y ");
        out.clear();
        append_declarator(out, left + std::string(length, '\t'), middle, "..", "n", end);
        EXPECT_EQ(out, joined_by_steps(left, middle, "..n", end)) << length;
      }
}

TEST_F(Render, DeclarationsAreAppendedAfterTheTextAlreadyThere) {
  analyse("void v(void); int f(int a, char *p); static int s; struct S { int m; };");
  // Each form added after other text is the form written alone.
  const struct {
    const Declaration *d;
    int mode;
  } cases[] = {{ord("f"), RM_EXTERN}, {ord("f"), RM_RETURN}, {ord("f"), RM_CALL}, {ord("f"), RM_OBJECT},
               {ord("f"), RM_STUB},   {ord("v"), RM_RETURN}, {ord("v"), RM_CALL}, {ord("s"), RM_ORDINARY},
               {tag("S"), RM_ORDINARY}, {ord("v"), RM_TEMPLATE_ARG}};
  for (const auto &c : cases) {
    for (const char *prefix : {"", "    #"}) {
      std::string alone;
      ASSERT_EQ(render_declaration(c.d, alone, "svc", c.mode, 1, "", prefix), 1);
      std::string after = "before \t";
      ASSERT_EQ(render_declaration(c.d, after, "svc", c.mode, 1, "", prefix), 1);
      EXPECT_EQ(after, "before \t" + alone) << c.mode << prefix;
      std::string stored_alone, stored_after = "x ";
      ASSERT_EQ(storage_prefix(c.d, stored_alone, "svc", c.mode, 1, 1, "", prefix), 1);
      ASSERT_EQ(storage_prefix(c.d, stored_after, "svc", c.mode, 1, 1, "", prefix), 1);
      EXPECT_EQ(stored_after, "x " + stored_alone) << c.mode << prefix;
    }
  }
  // A form that writes nothing leaves no prefix behind.
  std::string out = "kept";
  ASSERT_EQ(render_declaration(ord("v"), out, "svc", RM_RETURN, 0, "", "    #"), 1);
  EXPECT_EQ(out, "kept");
  ASSERT_EQ(storage_prefix(ord("v"), out, "svc", RM_RETURN, 0, 1, "", "    #"), 1);
  EXPECT_EQ(out, "kept");
  // A failed rendering leaves the text as it was, prefix and storage word included.
  TypeDesc *t = basic_type("int");
  for (int i = 0; i < 100000; ++i) t = pointer_to(t);
  Declaration *deep = decl_new("deep", t);
  deep->storage = SF_STATIC;
  g_reports.clear();
  EXPECT_EQ(render_declaration(deep, out, "", RM_ORDINARY, 0, "", "    #"), 0);
  EXPECT_EQ(out, "kept");
  EXPECT_EQ(storage_prefix(deep, out, "", RM_ORDINARY, 0, 1, "", "    #"), 0);
  EXPECT_EQ(out, "kept");
  g_reports.clear();
}

TEST_F(Render, TextRenderedAgainWithAPrefixIsTheRenderingWithIt) {
  analyse(
      "enum { N = 3 };\n"
      "struct point { int x; struct point *next; unsigned flag : 3; union { int u; float f; } w; };\n"
      "enum color { RED, GREEN = 4, BLUE };\n"
      "class K { int hidden; public: int shown; virtual int f() const = 0; struct In { int a; }; In in; };\n"
      "template <class T> struct Box { T v;\n  T get() const { return v; }\n};\n"
      "typedef struct { int a[N]; } anon_t;\n"
      "typedef int (*fn_t)(int, struct point *);\n"
      "int plain; int f(int a, struct point *p);\n", "t.cpp");
  struct Case {
    const Declaration *d;
    int mode, body;
    bool told;  // whether the text tells the rendering with the prefix
  };
  std::vector<Case> cases = {
      {tag("point"), RM_ORDINARY, 1, true}, {tag("point"), RM_CLASS_KEY, 0, true},
      {tag("color"), RM_ORDINARY, 1, true}, {tag("K"), RM_ORDINARY, 1, true},
      {tag("Box"), RM_ORDINARY, 1, true},   {ord("anon_t"), RM_ORDINARY, 1, true},
      {ord("fn_t"), RM_ORDINARY, 0, true},  {ord("plain"), RM_ORDINARY, 0, true},
      {ord("f"), RM_EXTERN, 0, true},       {ord("f"), RM_STUB, 1, true}};
  // A bound evaluated against the table, and a source text holding a line
  // break of its own: the rendering must be made again.
  TypeDesc *bounded = array_of(basic_type("int"));
  bounded->array()->bound_expression = "N*2";
  cases.push_back({decl_new("bounded", bounded), RM_ORDINARY, 0, false});
  TypeDesc *g = function_returning(basic_type("int"));
  Declaration *with_default = decl_new("x", basic_type("int"));
  with_default->text = "1 +\n2";
  function_add_param(g, with_default);
  cases.push_back({decl_new("g", g), RM_EXTERN, 0, false});
  TypeDesc *raw = array_of(basic_type("char"));
  raw->array()->has_bound_text = true;
  raw->array()->bound_text = "N\n+ 1";
  cases.push_back({decl_new("raw", raw), RM_ORDINARY, 0, false});
  for (const Case &c : cases) {
    std::string text;
    const RenderTrace before = render_trace();
    ASSERT_EQ(storage_prefix(c.d, text, "", c.mode, c.body, 0, "", ""), 1);
    const RenderTrace after = render_trace();
    ASSERT_FALSE(text.empty());
    std::string again = "kept";
    const bool told = rendered_again_with_prefix(text, before, after, "    #", again);
    EXPECT_EQ(told, c.told) << text;
    std::string rendered;
    ASSERT_EQ(storage_prefix(c.d, rendered, "", c.mode, c.body, 0, "    #", "    #"), 1);
    if (told)
      EXPECT_EQ(again, "kept" + rendered) << text;
    else
      EXPECT_EQ(again, "kept");
  }
  // The template's captured body has line breaks of its own, each prefixed.
  std::string text;
  const RenderTrace before = render_trace();
  storage_prefix(tag("Box"), text, "", RM_ORDINARY, 1, 0, "", "");
  std::string again;
  ASSERT_TRUE(rendered_again_with_prefix(text, before, render_trace(), "#", again));
  ASSERT_NE(text.find('\n'), std::string::npos);
  std::string rendered;
  storage_prefix(tag("Box"), rendered, "", RM_ORDINARY, 1, 0, "#", "#");
  EXPECT_EQ(again, rendered);
  g_reports.clear();
}

TEST_F(Render, BasicParametersAndVariablesAsTheirTypesRender) {
  // A basic type without qualifiers is written as its word without its
  // parts being rendered: the texts are those the parts make.
  analyse("typedef unsigned long ul; int f(int a, unsigned long b, double c, void *v, const int k, char, ul u);\n"
          "void g(void); long double h(short s); unsigned u8; const long cl; float fl; typedef int word;");
  auto joined = [](const TypeDesc *t, int mode, const char *name) {
    std::string l, m, r;
    render_type(t, l, m, r, 0, "", 0, mode, nullptr, 1);
    return join_declarator(l, m, name, r);
  };
  for (int mode : {RM_ORDINARY, RM_EXTERN, RM_OBJECT, RM_RETURN, RM_STUB}) {
    for (const char *v : {"u8", "cl", "fl", "word"}) {
      const Declaration *d = ord(v);
      const std::string expected =
          (d->storage & SF_TYPEDEF ? std::string("typedef ") : std::string()) + joined(d->type, mode, v) + ";";
      EXPECT_EQ(decl(d, mode), expected) << v << " " << mode;
    }
  }
  std::string params;
  for (const DeclNode *n = ord("f")->type->function()->info->first_param; n; n = n->next)
    params += (params.empty() ? "" : ", ") + joined(n->decl->type, RM_ORDINARY, n->decl->name ? n->decl->name : "");
  EXPECT_EQ(decl(ord("f"), RM_EXTERN), "int f(" + params + ");");
  EXPECT_EQ(decl(ord("g"), RM_EXTERN), "void g(void);");
  EXPECT_EQ(decl(ord("g"), RM_RETURN, 0, "svc"), "");
  EXPECT_EQ(decl(ord("g"), RM_CALL, 0, "svc"), "g();");
  EXPECT_EQ(decl(ord("h"), RM_RETURN, 0, "svc"), "long double ret_svc;");
  EXPECT_EQ(decl(ord("h"), RM_CALL, 0, "svc"), "ret_svc = h(s);");
  EXPECT_EQ(decl(ord("f"), RM_CALL, 0, "svc"), "ret_svc = f(a, b, c, v, k, u);");
  EXPECT_EQ(decl(ord("h"), RM_EXTERN), "long double h(short s);");
  analyse("const int cf(void); volatile double *vf(float x);");
  for (const char *fn : {"cf", "vf"}) {
    std::string l, m, r;
    render_type(ord(fn)->type, l, m, r, 0, "", 0, RM_ORDINARY, nullptr, 1);
    EXPECT_EQ(decl(ord(fn), RM_EXTERN), join_declarator(l, m, fn, r) + ";");
  }
  EXPECT_EQ(decl(ord("cf"), RM_RETURN, 0, "svc"), "int ret_svc;");
  // At the depth limit a basic parameter fails as any type does; one level
  // above it, it is written. (No result: the parameter is the first part
  // rendered below the function.)
  for (int pointers : {3998, 3999}) for (bool with_result : {false, true}) {
    TypeDesc *fn = function_returning(with_result ? basic_type("int") : nullptr);
    function_add_param(fn, decl_new("x", basic_type("int")));
    TypeDesc *t = fn;
    for (int i = 0; i < pointers; ++i) t = pointer_to(t);
    std::string out;
    g_reports.clear();
    const int ok = render_declaration(decl_new("deep", t), out, "", RM_ORDINARY, 0, "", "");
    if (pointers == 3998) {
      EXPECT_EQ(ok, 1);
      EXPECT_NE(out.find("(int x);"), std::string::npos);
      EXPECT_TRUE(g_reports.empty());
    } else {
      EXPECT_EQ(ok, 0);
      EXPECT_EQ(out, "");
      EXPECT_EQ(g_reports.size(), 1u);
    }
  }
  g_reports.clear();
}

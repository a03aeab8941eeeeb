// Class templates and their specialisations as the standard library writes
// them: declarations, definitions, specialisations and the forms read over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ana_fixture.h"
#include "cpprend.h"
#include "cpptab.h"
#include "ctylex.h"
#include "merror.h"
#include "y_cppa.h"

namespace {

using ana_fixture::reports;

class Templates : public ana_fixture::TableTest {
 protected:
  void SetUp() override {
    reset_reporter();
    lex_set_escaped_line_names(false);
    open_table("TESTER", true);
  }
  void TearDown() override { close_table(); }
  void analyse(const std::string &text, const char *file = "t.cpp") {
    analyse_text(text.c_str(), table, "", file, 1, 0, 0);
  }
  // Every report that is not an information, as "CODE arg@line".
  std::vector<std::string> problems() const {
    std::vector<std::string> out;
    for (const ana_fixture::Report &r : reports())
      if (r.severity != SEV_INFO) out.push_back(r.code + " " + r.arg + "@" + std::to_string(r.line));
    return out;
  }
  Declaration *ordinary(const char *name, TypeDesc *scope = nullptr) {
    Symbol *s = lookup_in_scope(name, table, AREA_ORDINARY, scope);
    return s ? s->decl : nullptr;
  }
  TypeDesc *tag(const char *name, TypeDesc *scope = nullptr) {
    Symbol *s = lookup_in_scope(name, table, AREA_TAG, scope);
    return s && s->decl ? s->decl->type : nullptr;
  }
  // The text the script writes for a template with its body.
  std::string rendered(TypeDesc *t) {
    Symbol *s = lookup_in_scope(type_name(t), table, AREA_TAG, nullptr);
    std::string text;
    storage_prefix(s->decl, text, "", RM_ORDINARY, 1, 0, "", "");
    return text;
  }
};

using Problems = std::vector<std::string>;

TEST_F(Templates, DeclaredThenDefinedIsOneTemplate) {
  analyse(
      "template<typename> struct is_v;\n"
      "template<typename T> struct is_v { T value; };\n"
      "template<> struct is_v<void> { };\n"
      "template<typename T> struct is_v<T*> { };\n"
      "template<typename T> struct is_v;\n"  // again after the definition
      "template<typename T> struct al { T *p; };\n"
      "template<typename T, typename A = al<T> > struct vec;\n"
      "template<typename U, typename B> struct vec { B a; U u; };\n"
      "is_v<int> g_i;\n"
      "vec<char> g_v;\n");
  EXPECT_EQ(problems(), Problems());
  // The instance is made from the definition, its default from the declaration.
  TypeDesc *i = tag("is_v<int>");
  ASSERT_TRUE(i);
  EXPECT_TRUE(ordinary("value", i));
  TypeDesc *v = tag("vec<char>");
  ASSERT_TRUE(v);
  ASSERT_TRUE(ordinary("a", v));
  EXPECT_STREQ(type_name(ordinary("a", v)->type), "al<char>");
  // The definition is written without the defaults its declaration gave.
  EXPECT_EQ(rendered(tag("vec")), "template <typename U, typename B> struct vec { B a; U u; };");
}

TEST_F(Templates, LibraryHeadsAndParameters) {
  analyse(
      "template<typename... T> struct pack { };\n"
      "__extension__ template<typename T> using same = pack<T, T>;\n"
      "template<typename T> struct [[__deprecated__]] old { T v; };\n"
      "template<typename D, template<typename...> class Op, typename... Args>\n"
      "  struct detector { using type = D; };\n"
      "template<typename D, template<typename...> class Op, typename... Args>\n"
      "  struct detector<D, pack<Op<Args...>>, Args...> { using type = Op<Args...>; };\n"
      "template<template<typename, template<class> class> class TT, class T = int> struct holder { T v; };\n"
      "struct probe {\n"
      "  template<typename T> static void helper(const T &);\n"
      "  template<typename T> static int test(const T &, decltype(helper<const T &>({})) * = 0);\n"
      "};\n"
      "int plain(decltype(sizeof 0) n, __typeof__(n) m);\n"
      "old<int> g_old;\n");
  EXPECT_EQ(problems(), Problems());
  TypeDesc *o = tag("old<int>");
  ASSERT_TRUE(o);
  EXPECT_TRUE(ordinary("v", o));
  TypeDesc *probe = tag("probe");
  ASSERT_TRUE(probe);
  EXPECT_TRUE(ordinary("test", probe));
  ASSERT_TRUE(ordinary("plain"));
  // Packs and template template parameters are written as declared.
  EXPECT_EQ(rendered(tag("pack")), "template <typename... T> struct pack { };");
  // Union templates and their partial specialisations.
  reports().clear();
  analyse("template<class... T> union vu { };\ntemplate<class F, class... R> union vu<F, R...> { F first; vu<R...> rest; };\n"
          "template<class T> union one { T v; char c; };\none<int> g_one;\n");
  EXPECT_EQ(problems(), Problems());
  ASSERT_TRUE(tag("one<int>"));
  EXPECT_EQ(tag("one<int>")->kind, TK_UNION);
  EXPECT_EQ(rendered(tag("one")), "template <class T> union one { T v; char c; };");
  // A pack needs no argument.
  reports().clear();
  analyse("template<unsigned long... I> struct idx { };\nidx<> g_none;\nidx<1, 2> g_two;\n");
  EXPECT_EQ(problems(), Problems());
  EXPECT_TRUE(tag("idx<>"));
  EXPECT_TRUE(tag("idx<1,2>"));
  EXPECT_EQ(rendered(tag("holder")),
            "template <template <typename,template<class>class> class TT, class T = int> struct holder { T v; };");
  // What follows is read again.
  reports().clear();
  analyse("template<template<typename> int> struct bad { };\nint after;\n");
  EXPECT_EQ(problems().size(), 1u);
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Templates, TypesNestedInInstancesAreNamedAsWritten) {
  analyse(
      "namespace n { template<class T> struct tr { typedef T type; }; }\n"
      "template<class T> struct own { typedef T type; static int make(); own(); };\n"
      "n::tr<int>::type g_a;\n"
      "own<char>::type *g_b;\n"
      "int use(n::tr<long>::type v, const own<int>::type &r);\n"
      "template<> int own<long>::make() { return 1; }\n"
      "template<> own<long>::own() { }\n");
  EXPECT_EQ(problems(), Problems());
  ASSERT_TRUE(ordinary("g_a"));
  EXPECT_STREQ(type_name(ordinary("g_a")->type), "n::tr<int>::type");
  ASSERT_TRUE(ordinary("g_b"));
  EXPECT_EQ(ordinary("g_b")->type->kind, TK_POINTER);
  ASSERT_TRUE(ordinary("use"));
}

TEST_F(Templates, TheTemplatesOwnNameInAnInstanceIsThatInstance) {
  // Matrix in Matrix<3> is Matrix<3>: the script declares the parameters
  // and results of the instance's members with it, never with the template.
  analyse(
      "template <int N> struct Matrix { int c[N]; static Matrix identity(); Matrix operator*(const Matrix &o) const;\n"
      "  Matrix *self; };\n"
      "Matrix<3> current;\n");
  EXPECT_EQ(problems(), Problems());
  ASSERT_TRUE(ordinary("current"));
  TypeDesc *inst = ordinary("current")->type;
  ASSERT_TRUE(inst && inst->record());
  int checked = 0;
  for (MemberNode *m = inst->record()->first; m; m = m->next) {
    if (!m->decl || !m->decl->name || !m->decl->type) continue;
    const std::string name = m->decl->name;
    const TypeDesc *t = m->decl->type;
    if (name == "identity") {
      EXPECT_EQ(t->function()->result, inst);
      ++checked;
    } else if (name == "self") {
      ASSERT_EQ(t->kind, TK_POINTER);
      EXPECT_EQ(t->pointer()->target, inst);
      ++checked;
    } else if (name.compare(0, 8, "operator") == 0) {
      std::string text;
      render_declaration(t->function()->info->first_param->decl, text, "", RM_ORDINARY, 0, "", "");
      EXPECT_EQ(text, "Matrix<3> const &o;");
      ++checked;
    }
  }
  EXPECT_EQ(checked, 3);
}

TEST_F(Templates, TypesNestedInInstancesKeepTheirTemplateAndItsNamespaces) {
  // The script names such a type from the global scope and must declare
  // its template: written inside the namespace or after a using-directive,
  // the name gets the template's namespaces (not an unnamed one's name).
  analyse(
      "namespace n { template<class T> struct tr { typedef T type; };\n"
      "  typedef tr<int>::type inner; namespace { template<class T> struct hid { typedef T t; }; }\n"
      "  hid<int>::t hidden; }\n"
      "using namespace n;\n"
      "tr<char>::type g_c;\n"
      "n::tr<long>::type g_l;\n"
      "template<class T> struct top { typedef T t; };\n"
      "top<int>::t g_t;\n");
  EXPECT_EQ(problems(), Problems());
  TypeDesc *ns = tag("n");
  ASSERT_TRUE(ns);
  TypeDesc *tr = tag("tr", ns);
  ASSERT_TRUE(tr);
  struct Case {
    Declaration *d;
    const char *name;
    bool of_tr;
  } cases[] = {{ordinary("inner", ns), "n::tr<int>::type", true},
               {ordinary("g_c"), "n::tr<char>::type", true},
               {ordinary("g_l"), "n::tr<long>::type", true},
               {ordinary("hidden", ns), "n::hid<int>::t", false},
               {ordinary("g_t"), "top<int>::t", false}};
  for (const Case &c : cases) {
    ASSERT_TRUE(c.d) << c.name;
    ASSERT_TRUE(c.d->type) << c.name;
    EXPECT_STREQ(type_name(c.d->type), c.name);
    ASSERT_TRUE(c.d->type->template_word) << c.name;
    EXPECT_EQ(c.d->type->template_word->kind, TK_TEMPLATE) << c.name;
    if (c.of_tr) {
      EXPECT_EQ(c.d->type->template_word, tr) << c.name;
    }
  }
}

TEST_F(Templates, ComparisonsAndOperatorNamesInTemplateDeclarations) {
  analyse(
      "template<class T> T declval();\n"
      "template<class... T> using void_t = void;\n"
      "template<class T, class U, class = void> struct over { };\n"
      "template<class T, class U> struct over<T, U, void_t<decltype(declval<T>().operator>(declval<U>()))>> { };\n"
      "template<class T, class U> struct cmp<T, U, void_t<decltype(operator<(declval<T>(), declval<U>()))>>;\n"
      "struct less_v {\n"
      "  template<class T, class U> auto operator()(T &&t, U &&u) const\n"
      "    noexcept(noexcept(declval<T>(t) < declval<U>(u))) -> decltype(declval<T>(t) > (u)) { return t < u; }\n"
      "};\n"
      "template<class T> constexpr over<T, T> over_v{};\n"
      "int after;\n");
  EXPECT_EQ(problems(), Problems({"TEMPLADEC @5"}));  // cmp names no template
  EXPECT_TRUE(ordinary("after"));
  ASSERT_TRUE(tag("less_v"));
}

TEST_F(Templates, ConstrainedMembersOfInstances) {
  analyse(
      "namespace n {\n"
      "template<bool C, class T = void> struct enable_if { };\n"
      "template<class T> struct enable_if<true, T> { typedef T type; };\n"
      "template<bool C, class T = void> using enable_if_t = typename enable_if<C, T>::type;\n"
      "template<class T> struct box {\n"
      "  template<class... C> using requires_t = enable_if_t<sizeof...(C) == 0, bool>;\n"
      "  template<class U = T, requires_t<U> = true> box(U &&u);\n"
      "  template<class U = T, typename enable_if<sizeof(U) == 1, bool>::type = false> void put(U);\n"
      "  template<unsigned long... I> void at();\n"
      "  T v;\n"
      "};\n"
      "}\n"
      "n::box<int> g_box;\n"
      "n::enable_if_t<true, int> g_e;\n");
  EXPECT_EQ(problems(), Problems());
  TypeDesc *b = tag("box<int>", tag("n"));
  ASSERT_TRUE(b);
  EXPECT_TRUE(ordinary("v", b));
  EXPECT_TRUE(ordinary("put", b));
  ASSERT_TRUE(ordinary("g_e"));
  EXPECT_EQ(ordinary("g_e")->type->kind, TK_NAMED);
}

TEST_F(Templates, ComparisonsInTemplateArguments) {
  // A '<' after a value compares: a non-type parameter, an enumerator, a
  // literal or a closing bracket, a member of a class not known here.
  analyse(
      "template<class T> struct tr { static const int value = 1; };\n"
      "template<bool B, class T = void> struct enable_if { };\n"
      "enum { Limit = 4 };\n"
      "template<int N, class T, class = enable_if<(tr<T>::value < 3)>> struct a1 { };\n"
      "template<int N, class T, class = enable_if<(sizeof(T) < 3)>> struct a2 { };\n"
      "template<int N, class T, class = enable_if<(Limit < N)>> struct a3 { };\n"
      "template<int N, class T, class = enable_if<N < 3>> struct a4 { };\n"
      "template<int N, class T> struct a5 { enable_if<(N < Limit), T> e; };\n"
      "template<unsigned long N, class = enable_if<(N < 2)>> using small = int;\n"
      "a5<1, int> g_a5;\n"
      "enable_if<(sizeof(int) < 8)> g_size;\n"
      "enable_if<(Limit < 8)> g_limit;\n"
      // A template name still opens its arguments there.
      "template<class T, class = enable_if<(tr<T>::value > 0)>> struct a6 { };\n"
      "enable_if<(tr<int>::value < 3)> g_member;\n"
      "int after;\n");
  EXPECT_EQ(problems(), Problems());
  EXPECT_TRUE(tag("a4"));
  ASSERT_TRUE(tag("a5<1,int>"));
  ASSERT_TRUE(ordinary("e", tag("a5<1,int>")));
  EXPECT_STREQ(type_name(ordinary("e", tag("a5<1,int>"))->type), "enable_if<(1<Limit),int>");
  EXPECT_TRUE(ordinary("g_size"));
  EXPECT_TRUE(ordinary("g_limit"));
  EXPECT_TRUE(ordinary("g_member"));
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Templates, SizeOfAPackInAnInstance) {
  // The instance's text has the pack's size, not its arguments
  // ("sizeof...(int,double)" is not C++).
  analyse(
      "template<class... Ts> struct v { char buf[sizeof...(Ts)]; char none[sizeof...( Ts ) + 1]; };\n"
      "v<int, double> g_two;\n"
      "v<> g_none;\n");
  EXPECT_EQ(problems(), Problems());
  TypeDesc *two = tag("v<int,double>");
  ASSERT_TRUE(two);
  ASSERT_TRUE(ordinary("buf", two));
  std::string text;
  render_declaration(ordinary("buf", two), text, "", RM_ORDINARY, 0, "", "");
  EXPECT_EQ(text, "char buf[2];");
  TypeDesc *none = tag("v<>");
  ASSERT_TRUE(none);
  ASSERT_TRUE(ordinary("none", none));
  text.clear();
  render_declaration(ordinary("none", none), text, "", RM_ORDINARY, 0, "", "");
  EXPECT_EQ(text, "char none[0+1];");
  // Only a pack of the template is counted.
  TypeDesc *templ = tag("v");
  ASSERT_TRUE(templ);
  EXPECT_EQ(bind_template_text(templ, {"int", "char", "long"}, "sizeof...(Ts) sizeof...(Us) sizeof(Ts)"),
            "3 sizeof...(Us) sizeof(int,char,long)");
}

TEST_F(Templates, EnumerationsDefinedOutsideTheirClass) {
  analyse(
      "struct outer { enum class kind : short; enum level : int; struct in { enum class deep : char; }; kind k; };\n"
      "enum class outer::kind : short { leaf, branch };\n"
      "enum outer::level : int { low = 1 };\n"
      "enum class outer::in::deep : char { bottom };\n"
      "outer::kind g_kind = outer::kind::branch;\n");
  EXPECT_EQ(problems(), Problems());
  TypeDesc *o = tag("outer");
  ASSERT_TRUE(o);
  TypeDesc *k = tag("kind", o);
  ASSERT_TRUE(k);
  ASSERT_EQ(k->kind, TK_ENUM);
  EXPECT_EQ(k->enumeration()->count, 2);
  EXPECT_EQ(k->enumeration()->scoped, 1);
  ASSERT_TRUE(tag("level", o));
  EXPECT_EQ(tag("level", o)->enumeration()->count, 1);
  EXPECT_FALSE(tag("kind"));  // nothing entered at file scope
  ASSERT_TRUE(tag("in", o));
  ASSERT_TRUE(tag("deep", tag("in", o)));
  EXPECT_EQ(tag("deep", tag("in", o))->enumeration()->count, 1);
  // The opaque declaration is a member of its class.
  bool member = false;
  for (MemberNode *m = o->record()->first; m; m = m->next) member = member || (m->decl && m->decl->type == k);
  EXPECT_TRUE(member);
  // A scope nobody declared: one syntax error, the next declaration is read.
  reports().clear();
  analyse("enum class nowhere::kind : int { a };\nint after;\n");
  EXPECT_EQ(problems().size(), 1u);
  EXPECT_TRUE(ordinary("after"));
}

// Template arguments are read where the template is used and spelled from
// the global scope: the instance's body, read where the template stands,
// then names what the use named.
TEST_F(Templates, ArgumentsAreNamedFromWhereTheTemplateIsUsed) {
  analyse(
      "namespace lib {\n"
      "template<class T> struct traits { typedef T value_type; typedef T *pointer; };\n"
      "template<class T> struct rev { typename traits<T>::pointer p; T cur; };\n"
      "template<class A> struct info : traits<A> { typedef A value_type; };\n"
      "inline namespace v1 { struct clock { int t; }; }\n"
      "template<class C> struct stamp { C c; };\n"
      "template<class F> struct fn;\n"
      "}\n"
      "namespace other {\n"
      "template<class I> struct wrap { I it; };\n"
      "}\n"
      "namespace app {\n"
      "struct Line { int q; };\n"
      "using Row = lib::rev<Line>;\n"
      "struct Sheet {\n"
      "  typedef Line *iterator;\n"
      "  lib::rev<iterator> backwards;\n"  // a member typedef of the class
      "  other::wrap<Sheet> self;\n"        // the class itself
      "  using Handler = lib::fn<void(Line)>;\n"
      "};\n"
      "lib::info<Line> g_info;\n"           // a name of the use's namespace
      "}\n"
      "other::wrap<app::Row> g_rows;\n"      // an alias, qualified
      "lib::stamp<lib::clock> g_stamp;\n");
  EXPECT_EQ(problems(), Problems());
  TypeDesc *lib = tag("lib"), *other = tag("other"), *app = tag("app");
  ASSERT_TRUE(lib && other && app);
  TypeDesc *sheet = tag("Sheet", app);
  ASSERT_TRUE(sheet);
  // Each instance is named by what its arguments stand for, seen from anywhere.
  TypeDesc *back = tag("rev<app::Sheet::iterator>", lib);
  ASSERT_TRUE(back);
  ASSERT_TRUE(ordinary("cur", back));
  EXPECT_STREQ(type_name(ordinary("backwards", sheet)->type), "rev<app::Sheet::iterator>");
  EXPECT_TRUE(tag("wrap<app::Sheet>", other));
  TypeDesc *info = tag("info<app::Line>", lib);
  ASSERT_TRUE(info);
  // A member type redeclared over an inherited one keeps its own name.
  ASSERT_TRUE(ordinary("value_type", info));
  EXPECT_FALSE(ordinary("Line", info));
  TypeDesc *rows = tag("wrap<lib::rev<app::Line>>", other);
  ASSERT_TRUE(rows);
  EXPECT_STREQ(type_name(ordinary("it", rows)->type), "rev<app::Line>");
  // An inline namespace adds nothing to a name.
  EXPECT_TRUE(tag("stamp<lib::clock>", lib));
  // A template that makes no instance is named from the global scope too.
  Declaration *h = ordinary("Handler", sheet);
  ASSERT_TRUE(h);
  EXPECT_STREQ(type_name(h->type), "lib::fn<void(app::Line)>");
}

// Inside a template, a use whose arguments name what only the template
// knows (a member of the class template whose member is defined outside
// it) is no instance: it is named, nothing is read.
TEST_F(Templates, ArgumentsUnknownOutsideTheirTemplateMakeNoInstance) {
  analyse(
      "template<class A, class B> struct pr { typedef A first_type; A a; B b; };\n"
      "template<class K> struct table {\n"
      "  typedef K *iterator;\n"
      "  pr<iterator, iterator> range(const K &k);\n"
      "};\n"
      "template<class K> auto table<K>::range(const K &k) -> pr<iterator, iterator> { return {}; }\n"
      "table<int> g_t;\n"
      "int after;\n");
  EXPECT_EQ(problems(), Problems());
  EXPECT_FALSE(tag("pr<iterator,iterator>"));
  EXPECT_TRUE(tag("pr<table<int>::iterator,table<int>::iterator>"));
  EXPECT_TRUE(ordinary("after"));
}

// A brace-initialised value is an argument like any other: its braces do
// not end the argument list, through an alias template too.
TEST_F(Templates, BraceInitialisedValueArguments) {
  analyse(
      "namespace s {\n"
      "template<class... B> struct all { constexpr operator bool() const { return true; } };\n"
      "template<class T> struct is_c { };\n"
      "template<bool B, class T> struct enable { T t; };\n"
      "template<class T> using when = enable<all<is_c<T>, is_c<T>>{}, T>;\n"
      "}\n"
      "s::when<int> g_when;\n"
      "s::enable<s::all<s::is_c<char>>{}, char> g_direct;\n"
      "int after;\n");
  EXPECT_EQ(problems(), Problems());
  TypeDesc *s = tag("s");
  ASSERT_TRUE(s);
  TypeDesc *w = tag("enable<s::all<s::is_c<int>,s::is_c<int> >{},int>", s);
  ASSERT_TRUE(w);
  EXPECT_TRUE(ordinary("t", w));
  EXPECT_TRUE(tag("enable<s::all<s::is_c<char> >{},char>", s));
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Templates, BracedTemporariesInTemplateArguments) {
  // X<T{}>: the braces close nothing of the argument list.
  analyse(
      "template<bool B, class T> struct pick { T v; };\n"
      "template<class T> struct yes { constexpr operator bool() const { return true; } };\n"
      "template<class T> using picked = pick<yes<T>{}, T>;\n"
      "pick<yes<int>{}, int> g_direct;\n"
      "picked<long> g_alias;\n"
      "pick<bool{(1 > 0)}, char> g_compare;\n"
      "struct holder { picked<short> member; };\n"
      "int after;\n");
  EXPECT_EQ(problems(), Problems());
  EXPECT_TRUE(ordinary("g_direct"));
  ASSERT_TRUE(ordinary("g_alias"));
  EXPECT_STREQ(type_name(ordinary("g_alias")->type), "pick<yes<long>{},long>");
  EXPECT_TRUE(ordinary("g_compare"));
  EXPECT_TRUE(ordinary("after"));
}

}  // namespace

TEST_F(Templates, InstancesOfPartialSpecialisations) {
  // An instance whose arguments fit a partial specialisation's pattern is
  // that specialisation's class (node<V, V, A> of a set's node handle, whose
  // primary names V::second_type); where the reading cannot tell which one
  // fits, the primary stays.
  analyse(
      "template<class K, class V, class A> struct node { typedef typename V::second_type mapped; K key; };\n"
      "template<class V, class A> struct node<V, V, A> { V value; A alloc; };\n"
      "template<class T> struct box { T one; };\n"
      "template<class T> struct box<T*> { T *ptr; };\n"
      "template<class T, class U> struct two { T a; };\n"
      "template<class T> struct two<T, char> { T b; };\n"
      "template<class T> struct two<T, T> { T c; };\n"
      "node<int, int, long> same;\n"
      "box<int*> pointed;\n"
      "two<int, short> plain;\n"
      "two<char, char> both;\n");
  EXPECT_EQ(problems(), Problems());
  TypeDesc *n = tag("node<int,int,long>");
  ASSERT_TRUE(n);
  EXPECT_TRUE(ordinary("value", n));
  EXPECT_TRUE(ordinary("alloc", n));
  EXPECT_FALSE(ordinary("key", n));
  // T* is not read as a pattern: the primary, as before.
  TypeDesc *b = tag("box<int*>");
  ASSERT_TRUE(b);
  EXPECT_TRUE(ordinary("one", b));
  TypeDesc *p = tag("two<int,short>");
  ASSERT_TRUE(p);
  EXPECT_TRUE(ordinary("a", p));
  // Two patterns fit <char, char> (neither is more specialised: compilers
  // reject the use); no guess is made.
  TypeDesc *c = tag("two<char,char>");
  ASSERT_TRUE(c);
  EXPECT_TRUE(ordinary("a", c));
}

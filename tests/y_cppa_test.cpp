// Declaration grammar: what analysed texts enter into the table, the
// warnings of faulty constructs, recovery, and sound ends on hostile input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "cppname.h"
#include "cpprend.h"
#include "cpptab.h"
#include "ctylex.h"
#include "y_cppa.h"
#include "y_cppint.h"
#include "merror.h"
#include "mstrin.h"

namespace {

struct Report {
  std::string code, arg;
  int line;
};
std::vector<Report> g_reports;

void collect(MessageCode code, std::string_view arg, std::string_view, int line) {
  g_reports.push_back({message_name(code), std::string(arg), line});
}

class Grammar : public ::testing::Test {
 protected:
  SymbolTable table;
  void SetUp() override {
    reset_reporter();
    reset_analysis_settings();
    lex_set_escaped_line_names(false);
    set_analyser_report(collect);
    g_reports.clear();
    table_init(table, "TESTER");
  }
  void TearDown() override {
    set_analyser_report(nullptr);
    release_table(table);
  }
  void analyse(const std::string &text, const char *file = "t.c") {
    analyse_text(text.c_str(), table, "", file, 1, 0, 0);
  }
  // Each named declaration's type as written back.
  void expect_types(std::initializer_list<std::pair<const char *, const char *>> typed) {
    for (const auto &t : typed) {
      Declaration *d = ordinary(t.first);
      ASSERT_TRUE(d) << t.first;
      std::string l, m, r;
      render_type(d->type, l, m, r, 0, "", 0, RM_ORDINARY, nullptr, 1);
      EXPECT_EQ(l + m + r, t.second) << t.first;
    }
  }
  int count(const char *code) const {
    int n = 0;
    for (const Report &r : g_reports) n += r.code == code;
    return n;
  }
  const Report *first(const char *code) const {
    for (const Report &r : g_reports)
      if (r.code == code) return &r;
    return nullptr;
  }
  Declaration *ordinary(const char *name, TypeDesc *scope = nullptr) {
    Symbol *s = lookup_in_scope(name, table, AREA_ORDINARY, scope);
    return s ? s->decl : nullptr;
  }
  TypeDesc *tag(const char *name, TypeDesc *scope = nullptr) {
    Symbol *s = lookup_in_scope(name, table, AREA_TAG, scope);
    return s && s->decl ? s->decl->type : nullptr;
  }
  static int params(const TypeDesc *f) {
    int n = 0;
    for (DeclNode *p = f->function()->info->first_param; p; p = p->next) ++n;
    return n;
  }
  static const char *param_name(const TypeDesc *f, int i) {
    DeclNode *p = f->function()->info->first_param;
    while (p && i--) p = p->next;
    return p && p->decl ? p->decl->name : nullptr;
  }
};

// The grammar's token, filled in place from one token to the next, is the
// token the scanner's code and value describe: a short token after a long
// one, a keyword after a name, a class name spelt by its class, a variable
// of a class type, C's two spellings of its boolean type.
// A token moved keeps its text, held or not; one that holds none and
// meets one that holds none exchanges nothing, and a token that held a text
// gives it up for the one it is given.
TEST(AddressSetRule, EachAddressOnceThroughGrowth) {
  AddressSet set;
  std::vector<int> objects(5000);
  for (int &o : objects) EXPECT_TRUE(set.insert(&o));
  for (int &o : objects) EXPECT_FALSE(set.insert(&o));
  EXPECT_TRUE(set.insert(nullptr));
  EXPECT_FALSE(set.insert(nullptr));
  EXPECT_EQ(set.size(), objects.size() + 1);
  // Neighbouring addresses a word apart and a page apart.
  AddressSet spaced;
  std::vector<char> block(1 << 20);
  for (std::size_t i = 0; i < block.size(); i += 4096) EXPECT_TRUE(spaced.insert(&block[i]));
  for (std::size_t i = 0; i < block.size(); i += 4096) EXPECT_FALSE(spaced.insert(&block[i]));
  for (std::size_t i = 8; i < block.size(); i += 4096) EXPECT_TRUE(spaced.insert(&block[i]));
  EXPECT_EQ(spaced.size(), 2 * block.size() / 4096);
}

TEST(TokenMoves, HeldAndPlainTextsFollowTheToken) {
  using grammar::Tok;
  Tok plain;
  plain.text = "name";
  Tok held;
  held.hold(std::string(40, 'b'));
  Tok a(std::move(plain));
  EXPECT_EQ(a.text, "name");
  Tok b(std::move(held));
  EXPECT_EQ(b.text, std::string(40, 'b'));
  EXPECT_TRUE(held.text.empty());
  Tok c;
  c.hold("short");
  c = std::move(a);  // c held a text, a holds none
  EXPECT_EQ(c.text, "name");
  Tok d;
  d = std::move(b);
  EXPECT_EQ(d.text, std::string(40, 'b'));
  Tok e;
  e.text = "other";
  Tok f;
  f.text = "kept";
  f = std::move(e);  // neither holds a text
  EXPECT_EQ(f.text, "other");
  Tok g(d);  // a copy holds its own text
  EXPECT_EQ(g.text, std::string(40, 'b'));
  EXPECT_NE(g.text.data(), d.text.data());
}

TEST_F(Grammar, TokensFilledInPlaceAreTheScannersTokens) {
  using grammar::Tok;
  auto expected = [](TokenScanner &sc, int code) {
    Tok t;
    t.code = code;
    t.line = lex_current_line(sc);
    const char *vt = sc.value.text;
    const std::string scanned(sc.token_text);
    switch (code) {
      case T_END: t.cls = grammar::G_EOF; return t;
      case T_IDENTIFIER: t.cls = grammar::G_IDENT; break;
      case T_CLASS_NAME: t.cls = grammar::G_CLASSNAME; break;
      case T_TEMPLATE_NAME: case T_DEFINED_TEMPLATE_NAME: t.cls = grammar::G_TEMPLNAME; break;
      case T_DECLARED_NAME: t.cls = grammar::G_DECLNAME; break;
      case T_TYPE_MODIFIER: t.cls = grammar::G_TYPEMOD; break;
      case T_INTEGER: t.cls = grammar::G_NUMBER; break;
      case T_FLOATING: t.cls = grammar::G_FLOATNUM; break;
      case T_CHARACTER: t.cls = grammar::G_CHARLIT; break;
      case T_STRING: t.cls = grammar::G_STRING; break;
      case T_TEMPLATE_OPEN: t.cls = grammar::G_TOPEN; t.hold("<"); return t;
      case T_TEMPLATE_CLOSE: t.cls = grammar::G_TCLOSE; t.hold(">"); return t;
      case T_BODY_TEXT: t.cls = grammar::G_BODYTEXT; t.hold(sc.value.captured); return t;
      case T_BASE_AND_BODY: t.cls = grammar::G_BASEBODY; t.hold(sc.value.captured); return t;
      case T_INIT_TEXT: t.cls = grammar::G_INITTEXT; t.hold(sc.value.captured); return t;
      default:
        if (is_keyword_code(code)) {
          t.cls = grammar::G_KEYWORD;
          t.hold(vt ? vt : token_spelling(code));
          if (code == K_BOOL) t.word = contextual_word(vt);
        } else {
          t.cls = grammar::G_PUNCT;
          t.hold(token_spelling(code));
        }
        return t;
    }
    t.hold(vt ? std::string(vt) : scanned);
    t.name = t.cls <= grammar::G_TYPEMOD ? (vt ? vt : intern_string(std::string(t.text).c_str())) : nullptr;
    if (t.cls == grammar::G_IDENT) t.word = contextual_word(t.name);
    t.sym = sc.value.symbol;
    t.type = sc.value.type;
    if (t.cls == grammar::G_CLASSNAME && t.sym && t.sym->area == AREA_ORDINARY && t.sym->decl &&
        t.sym->decl->name && !(t.sym->decl->storage & SF_TYPEDEF)) {
      t.cls = grammar::G_DECLNAME;
      t.name = t.sym->decl->name;
      t.hold(t.name);
      t.type = nullptr;
    }
    return t;
  };
  const std::string long_name(300, 'n');
  struct Case {
    SourceLanguage language;
    std::string declarations, text;
  } cases[] = {
      {SRC_CPP, "struct S { int m; }; S object; typedef S T; enum E { RED }; template <class X> struct Box {};",
       long_name + " ; S object T RED E Box<int> Box<Box<int>> final override x 12u 1.5f 'c' \"s\" :: -> ... "
                   "int " + long_name + " a >>= b, c <<= d; ( ) [ ] { } ~ ? @ + - * / % & | ^ ! = < > ; "
                   "Box<(1 > 2), S{}> y; bool _Bool template <class Y> struct Q { int q; };"},
      {SRC_C, "struct S { int m; }; int bool_count;",
       "_Bool b; bool c; int class, new; struct S s; " + long_name + " x;"},
  };
  for (const Case &c : cases) {
    table_init(table, "TESTER", c.language);
    analyse(c.declarations);
    TokenScanner a, b;
    lex_begin(a, &table, "t.cpp", 1, false, false);
    lex_begin(b, &table, "t.cpp", 1, false, false);
    lex_set_text(a, c.text.c_str());
    lex_set_text(b, c.text.c_str());
    Tok reused;
    for (int guard = 0; guard < 1000; ++guard) {
      const Tok want = expected(a, lex_next(a));
      grammar::lex_token_into(b, reused);
      EXPECT_EQ(reused.cls, want.cls) << want.text;
      EXPECT_EQ(reused.code, want.code) << want.text;
      EXPECT_EQ(reused.text, want.text);
      EXPECT_EQ(reused.name, want.name) << want.text;
      EXPECT_EQ(reused.word, want.word) << want.text;
      EXPECT_EQ(reused.sym, want.sym) << want.text;
      EXPECT_EQ(reused.type, want.type) << want.text;
      EXPECT_EQ(reused.line, want.line) << want.text;
      // A punctuator's text is its fixed spelling, not a copy.
      if (want.cls == grammar::G_PUNCT) {
        EXPECT_EQ(reused.text.data(), token_spelling_view(reused.code).data());
      }
      if (want.cls == grammar::G_EOF) break;
    }
    lex_end(a);
    lex_end(b);
  }
}

// A token's text is a view: of interned or fixed text, or of a copy the
// token holds (a captured body). It stays the token's spelling after the
// scanner has gone on, and through copies and moves of the token.
TEST_F(Grammar, TokenTextsOutliveTheScanAndFollowCopies) {
  using grammar::Tok;
  table_init(table, "TESTER", SRC_CPP);
  analyse("struct S { int m; };");
  const std::string text =
      "S s; int " + std::string(200, 'v') + " = 12u; template <class Y> struct Q { int q; }; "
      "template <class Z> struct R : S { }; template <class W> int w = 3; x >>= 'c' \"str\";";
  TokenScanner sc;
  lex_begin(sc, &table, "t.cpp", 1, false, false);
  lex_set_text(sc, text.c_str());
  std::vector<Tok> tokens;
  std::vector<std::string> spellings;
  int held = 0;
  for (int guard = 0; guard < 1000; ++guard) {
    Tok t;
    grammar::lex_token_into(sc, t);
    if (t.cls == grammar::G_BODYTEXT || t.cls == grammar::G_BASEBODY || t.cls == grammar::G_INITTEXT) ++held;
    spellings.emplace_back(t.text);
    tokens.push_back(t);  // a copy, moved again as the vector grows
    if (t.cls == grammar::G_EOF) break;
  }
  lex_end(sc);
  EXPECT_EQ(held, 3);
  ASSERT_EQ(tokens.size(), spellings.size());
  for (std::size_t i = 0; i < tokens.size(); ++i) EXPECT_EQ(tokens[i].text, spellings[i]) << i;
  std::size_t body = 0;
  while (body < tokens.size() && tokens[body].cls != grammar::G_BODYTEXT) ++body;
  ASSERT_LT(body, tokens.size());
  EXPECT_EQ(tokens[body].text, "{ int q; }");
  // Copies and moves, between tokens that hold their text and tokens that do not.
  Tok copy = tokens[body];
  EXPECT_EQ(copy.text, "{ int q; }");
  EXPECT_NE(copy.text.data(), tokens[body].text.data());
  Tok moved = std::move(copy);
  EXPECT_EQ(moved.text, "{ int q; }");
  Tok plain = tokens[0];
  plain = moved;
  EXPECT_EQ(plain.text, "{ int q; }");
  plain = tokens[0];
  EXPECT_EQ(plain.text, "S");
  moved = std::move(plain);
  EXPECT_EQ(moved.text, "S");
  Tok self = tokens[body];
  const Tok &alias = self;
  self = alias;
  EXPECT_EQ(self.text, "{ int q; }");
  Tok empty;
  empty.hold("");
  EXPECT_TRUE(empty.text.empty());
  Tok copy_of_empty = empty;
  EXPECT_TRUE(copy_of_empty.text.empty());
}

// A declarator's steps are kept in the order they apply to the base type,
// whether it has pointers, suffixes, both, or a declarator inside
// parentheses; a list of pointers or of suffixes alone is taken as read.
TEST_F(Grammar, DeclaratorStepsInEveryShape) {
  analyse(
      "int *p1; int **p2; int *const p3; int a1[2]; int a2[2][3]; int f1(int);\n"
      "int *pa[4]; int (*ap)[4]; int *(*apa)[5][6]; int (*fp)(int, char); int *(*fpp[2])(void);\n"
      "int (*(*nest)(int))[7]; char (*mix(int))[3]; int many(int, int, int, int, int, int, int, int, int, int);\n"
      "int f2(int)[2]; int (a3)[8]; int (p4);\n");
  expect_types({{"p1", "int*"}, {"p2", "int**"}, {"p3", "int*const "}, {"a1", "int[2]"}, {"a2", "int[2][3]"},
                {"f1", "int(int)"}, {"pa", "int*[4]"}, {"ap", "int (*)[4]"}, {"apa", "int *(*)[5][6]"},
                {"fp", "int (*)(int, char)"}, {"fpp", "int *(*[2])(void)"}, {"nest", "int (*(*)(int))[7]"},
                {"mix", "char (*(int))[3]"}, {"a3", "int[8]"}, {"p4", "int"}});
  Declaration *many = ordinary("many");
  ASSERT_TRUE(many);
  ASSERT_EQ(many->type->kind, TK_FUNCTION);
  EXPECT_EQ(params(many->type), 10);
}

TEST_F(Grammar, CppDeclaratorStepsInEveryShape) {
  // Steps of references and member pointers, an object with an initialiser
  // in parentheses (no step), and a function whose parameters have steps.
  analyse(
      "struct C { int m; int g(int); };\n"
      "int &r1 = *(int *)0; int &&r2 = 1; int C::*pm; int (C::*pmf)(int) const;\n"
      "C c(1); int i(2); int (*fr(int &x, int (&a)[3], int C::*q))[4];\n"
      "int *C::*ppm; const char **C::*pps; int *const C::*pcm;\n",
      "s.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  // A member pointer's own type keeps its steps before the class name: after
  // it they would point to a member pointer instead.
  expect_types({{"ppm", "int * C::*"}, {"pps", "char const ** C::*"}, {"pcm", "int *const C::*"}});
  expect_types({{"r1", "int&"}, {"r2", "int&&"}, {"pm", "int C::*"}, {"pmf", "int (C::*)(int) const"},
                {"c", "struct C"}, {"i", "int"}, {"fr", "int (*(int &x, int (&a)[3], int C:: *q))[4]"}});
  EXPECT_EQ(ordinary("c")->text, "1");
  EXPECT_EQ(ordinary("i")->text, "2");
}

TEST_F(Grammar, NamesAskedWhetherTheyAreTypesReadAsTheTypesTheyName) {
  // Parameters named by typedef names (of a basic type, of an unnamed and
  // of a named structure), an old-style list whose names are no types, and
  // a qualified name through a typedef of a class: each asked first whether
  // it names a type, then read as that type.
  analyse(
      "typedef unsigned long size_t; typedef struct { int x; } anon_t; struct tag { int y; };\n"
      "typedef struct tag tag_t;\n"
      "int f(size_t n, anon_t a, tag_t *t, const size_t c);\n"
      "int g(a, b) int a; char b; { return a + b; }\n",
      "n.c");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  expect_types({{"f", "int(size_t n, anon_t a, tag_t *t, size_t const c)"}, {"g", "int(int a, char b)"}});
  analyse(
      "struct Outer { struct In { int v; }; typedef int count_t; };\n"
      "typedef Outer alias_t;\n"
      "alias_t::In object; alias_t::count_t number;\n"
      "template <class T> int h(T x, size_t n);\n",
      "n.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  ASSERT_TRUE(ordinary("number"));
  expect_types({{"object", "Outer::In"}});
}

TEST_F(Grammar, CDeclarationsAndDefinitions) {
  analyse(
      "int g;\n"
      "static int s = 3 + 4, *p;\n"
      "extern char *names[N + 1];\n"
      "typedef unsigned long size_t;\n"
      "size_t len(const char *s);\n"
      "int add(int a, int b) { return a + b; }\n"
      "int (*fp)(int, char);\n"
      "int table2[2][3] = { {1, 2}, {3} };\n"
      "int old(a, b) char *b; int a; { return 0; }\n"
      "void var(int n, ...);\n"
      "main() { }\n");
  EXPECT_TRUE(g_reports.empty()) << g_reports[0].code << " " << g_reports[0].arg;
  Declaration *s = ordinary("s");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->storage, SF_STATIC);
  EXPECT_EQ(s->text, "3+4");
  ASSERT_TRUE(ordinary("p"));
  EXPECT_EQ(ordinary("p")->type->kind, TK_POINTER);
  Declaration *names = ordinary("names");
  ASSERT_TRUE(names);
  ASSERT_EQ(names->type->kind, TK_ARRAY);
  EXPECT_EQ(names->type->array()->bound_text, "N+1");
  EXPECT_EQ(names->type->array()->element->kind, TK_POINTER);
  EXPECT_EQ(ordinary("size_t")->storage, SF_TYPEDEF);
  Declaration *len = ordinary("len");
  ASSERT_EQ(len->type->kind, TK_FUNCTION);
  EXPECT_EQ(len->type->function()->info->defined, 0);
  EXPECT_EQ(len->type->function()->result->kind, TK_NAMED);
  Declaration *add = ordinary("add");
  EXPECT_EQ(add->type->function()->info->defined, 1);
  EXPECT_EQ(add->type->function()->info->has_body, 0);  // bodies outside classes are dropped
  EXPECT_STREQ(param_name(add->type, 1), "b");
  Declaration *fp = ordinary("fp");
  ASSERT_EQ(fp->type->kind, TK_POINTER);
  ASSERT_EQ(fp->type->pointer()->target->kind, TK_FUNCTION);
  EXPECT_EQ(params(fp->type->pointer()->target), 2);
  Declaration *t2 = ordinary("table2");
  ASSERT_EQ(t2->type->kind, TK_ARRAY);
  EXPECT_EQ(t2->type->array()->bound_text, "2");
  EXPECT_EQ(t2->type->array()->element->array()->bound_text, "3");
  EXPECT_EQ(t2->text, "{ {1, 2}, {3} }");
  // Old-style parameters take the types declared for their names.
  Declaration *old = ordinary("old");
  ASSERT_EQ(params(old->type), 2);
  DeclNode *a = old->type->function()->info->first_param;
  ASSERT_TRUE(a->decl->type);
  EXPECT_EQ(a->decl->type->kind, TK_INTEGER);
  ASSERT_TRUE(a->next->decl->type);
  EXPECT_EQ(a->next->decl->type->kind, TK_POINTER);
  EXPECT_EQ(old->type->function()->info->defined, 1);
  Declaration *var = ordinary("var");
  ASSERT_EQ(params(var->type), 2);
  EXPECT_EQ(var->type->function()->info->last_param->decl->type->kind, TK_ELLIPSIS);
  ASSERT_TRUE(ordinary("main"));
  EXPECT_EQ(ordinary("main")->type->function()->info->defined, 1);
  // A declaration for no parameter of an old-style definition.
  analyse("int kr(a) int a; int extra; { }\n");
  ASSERT_EQ(count("FUNCT_DEF"), 1);
  EXPECT_EQ(first("FUNCT_DEF")->arg, "kr");
  EXPECT_EQ(first("FUNCT_DEF")->line, 0);
  EXPECT_EQ(ordinary("kr")->type->function()->info->defined, 1);
}

TEST_F(Grammar, StructuresEnumerationsAndBitFields) {
  analyse(
      "struct S;\n"
      "struct S { int a; unsigned f : 3; unsigned : 2; struct S *next; } s1;\n"
      "union U { int i; float f; };\n"
      "enum E { A, B = 5, C = B + 1 } e;\n"
      "enum { X, Y };\n"
      "const struct S cs;\n"
      "typedef struct S S;\n"
      "int bad : 3;\n"
      "int after;\n");
  EXPECT_EQ(count("SYNTAXERR"), 1);  // the file-level bit-field only
  TypeDesc *S = tag("S");
  ASSERT_TRUE(S);
  ASSERT_EQ(S->kind, TK_CLASS);
  // a, f, the unnamed bit-field (it pads the layout), next.
  EXPECT_EQ(S->record()->member_count, 4);
  const MemberNode *pad = S->record()->first->next->next;
  ASSERT_TRUE(pad && pad->decl);
  EXPECT_EQ(pad->decl->name, nullptr);
  EXPECT_EQ(pad->decl->bit_width(), 2);
  EXPECT_TRUE(pad->decl->storage & SF_BITFIELD);
  Symbol *sym = lookup_in_scope("S", table, AREA_TAG, nullptr);
  EXPECT_GT(sym->def_order, sym->first_order);
  Declaration *f = ordinary("f", S);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->bit_width(), 3);
  Declaration *next = ordinary("next", S);
  ASSERT_TRUE(next);
  // "struct S" without a body names the class through an elaborated node.
  TypeDesc *target = next->type->pointer()->target;
  ASSERT_EQ(target->kind, TK_ELABORATED);
  EXPECT_EQ(target->elaborated()->named->record(), S->record());
  EXPECT_EQ(tag("U")->kind, TK_UNION);
  TypeDesc *E = tag("E");
  ASSERT_TRUE(E);
  EXPECT_EQ(E->enumeration()->count, 3);
  EXPECT_EQ(E->enumeration()->first->next->next->value_text, "B+1");
  EXPECT_TRUE(lookup_ordinary("Y", table, ScopeContext()));
  // The qualifier of one use does not leak into the shared structure.
  EXPECT_EQ(S->next, nullptr);
  EXPECT_TRUE(type_is_const(ordinary("cs")->type) || ordinary("cs")->type->next);
  EXPECT_TRUE(ordinary("after"));
  Declaration *td = ordinary("S");
  ASSERT_TRUE(td);
  EXPECT_EQ(td->storage, SF_TYPEDEF);
  ASSERT_EQ(td->type->kind, TK_ELABORATED);
  EXPECT_STREQ(type_name(td->type), "S");
}

TEST_F(Grammar, ClassesAccessInheritanceAndMembersDefinedOutside) {
  analyse(
      "namespace M {\n"
      "  class Vec {\n"
      "  public:\n"
      "    Vec();\n"
      "    explicit Vec(int n);\n"
      "    ~Vec();\n"
      "    Vec &operator+=(const Vec &o);\n"
      "    int size() const { return n_; }\n"
      "    friend class TESTER;\n"
      "    static int count;\n"
      "    void risky() throw (int, Vec *);\n"
      "    void any() const throw (...);\n"
      "  private:\n"
      "    int n_;\n"
      "  };\n"
      "}\n"
      "M::Vec::Vec() : n_(0) {}\n"
      "M::Vec::Vec(int size) : n_(size) { }\n"
      "M::Vec::~Vec() {}\n"
      "M::Vec &M::Vec::operator+=(const M::Vec &o) { return *this; }\n"
      "int M::Vec::count = 7;\n"
      "void M::Vec::missing(int)\n{\n}\n"
      "class Base { public: int pub; protected: int prot; };\n"
      "class Der : public Base { public: Base::prot; Base::nope; };\n",
      "v.cpp");
  ASSERT_EQ(count("FUNCT_DEF"), 1);
  EXPECT_EQ(first("FUNCT_DEF")->arg, "M::Vec::missing");
  EXPECT_EQ(first("FUNCT_DEF")->line, 22);  // the line of the declarator
  ASSERT_EQ(count("MODACCINC"), 1);
  EXPECT_EQ(first("MODACCINC")->arg, "nope");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  TypeDesc *M = tag("M");
  ASSERT_TRUE(M);
  EXPECT_EQ(M->record()->key, KEY_NAMESPACE);
  TypeDesc *Vec = tag("Vec", M);
  ASSERT_TRUE(Vec);
  EXPECT_EQ(Vec->record()->friend_of_reference, 1);
  int defined = 0, functions = 0;
  bool private_n = false;
  for (MemberNode *m = Vec->record()->first; m; m = m->next) {
    if (m->decl->type && m->decl->type->kind == TK_FUNCTION) {
      ++functions;
      defined += m->decl->type->function()->info->defined;
    }
    if (m->decl->name && std::strcmp(m->decl->name, "n_") == 0) private_n = (m->access & ACC_MASK) == ACC_PRIVATE;
  }
  EXPECT_EQ(functions, 7);
  EXPECT_EQ(defined, 5);  // both constructors, destructor, operator, size
  EXPECT_TRUE(private_n);
  Declaration *size = ordinary("size", Vec);
  ASSERT_TRUE(size);
  EXPECT_NE(size->type->function()->info->body.find("return n_;"), std::string::npos);
  EXPECT_EQ(ordinary("count", Vec)->text, "7");
  Declaration *risky = ordinary("risky", Vec);
  ASSERT_TRUE(risky);
  EXPECT_EQ(risky->type->function()->info->has_exception_spec, 1);
  ASSERT_TRUE(risky->type->function()->info->first_except);
  EXPECT_EQ(risky->type->function()->info->first_except->next->type->kind, TK_POINTER);
  Declaration *any = ordinary("any", Vec);
  ASSERT_TRUE(any);
  ASSERT_TRUE(any->type->function()->info->qualifiers);
  EXPECT_STREQ(type_name(any->type->function()->info->qualifiers), "const");
  Declaration *op = ordinary("operator +=", Vec);
  ASSERT_TRUE(op);
  EXPECT_EQ(op->type->function()->info->defined, 1);
  // The definition's parameter name replaces the declaration's.
  bool renamed = false;
  for (MemberNode *m = Vec->record()->first; m; m = m->next)
    if (m->decl->type && m->decl->type->kind == TK_FUNCTION && params(m->decl->type) == 1 && m->decl->name &&
        std::strcmp(m->decl->name, "Vec") == 0)
      renamed = param_name(m->decl->type, 0) && std::strcmp(param_name(m->decl->type, 0), "size") == 0;
  EXPECT_TRUE(renamed);
  TypeDesc *Der = tag("Der");
  ASSERT_TRUE(Der);
  ASSERT_TRUE(Der->record()->first_base);
  EXPECT_EQ(Der->record()->first_base->access, ACC_PUBLIC);
  int inherited = 0;
  for (MemberNode *m = Der->record()->first_inherited; m; m = m->next) {
    ++inherited;
    EXPECT_TRUE(m->access & ACC_INHERITED);
    if (std::strcmp(m->decl->name, "prot") == 0) {
      EXPECT_EQ(m->access & ACC_MASK, ACC_PUBLIC);  // made public
    }
  }
  EXPECT_EQ(inherited, 2);
}

// Names of namespaces used are found in the first ones through lists read
// once for every area, and past them through a look-up per kind: either way
// every kind of name, the same name in two of them the same way.
TEST_F(Grammar, NamesOfManyUsedNamespaces) {
  std::string text;
  for (int i = 1; i <= 11; ++i) {
    const std::string n = std::to_string(i);
    text += "namespace N" + n + " { struct S" + n + " { int m; }; typedef long T" + n + "; enum E" + n +
            " { V" + n + " }; union U" + n + " { int u; }; }\n";
  }
  text += "namespace N2 { struct Twice { char c; }; }\nnamespace N10 { struct Twice { long l; }; }\n";
  for (int i = 1; i <= 11; ++i) text += "using namespace N" + std::to_string(i) + ";\n";
  for (int i : {1, 8, 9, 11}) {
    const std::string n = std::to_string(i);
    text += "S" + n + " s" + n + "; T" + n + " t" + n + "; E" + n + " e" + n + " = V" + n + "; U" + n + " u" + n + ";\n";
  }
  text += "Twice twice;\n";
  // A namespace used in one scope only: a look-up at file scope after one
  // there does not see it.
  text += "namespace P { struct OnlyP { int p; }; }\nnamespace Q { using namespace P; OnlyP q1; }\nint OnlyP;\n";
  analyse(text, "t.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0) << (first("SYNTAXERR") ? first("SYNTAXERR")->arg : "");
  for (int i : {1, 8, 9, 11}) {
    const std::string n = std::to_string(i);
    for (const char *prefix : {"s", "t", "e", "u"}) {
      Declaration *d = ordinary(intern_string((prefix + n).c_str()));
      ASSERT_TRUE(d) << prefix << n;
      ASSERT_TRUE(d->type) << prefix << n;
      std::string l, m, r;
      render_type(d->type, l, m, r, 0, "", 0, RM_ORDINARY, nullptr, 1);
      const std::string expected = std::string(*prefix == 's' ? "S" : *prefix == 't' ? "T" : *prefix == 'e' ? "E" : "U") + n;
      EXPECT_NE((l + m + r).find(expected), std::string::npos) << prefix << n << ": " << l + m + r;
    }
  }
  Declaration *only = ordinary("OnlyP");
  ASSERT_TRUE(only);
  ASSERT_TRUE(only->type);
  EXPECT_EQ(only->type->kind, TK_INTEGER);
  Declaration *twice = ordinary("twice");
  ASSERT_TRUE(twice);
  ASSERT_TRUE(twice->type);
  EXPECT_EQ(twice->type->kind, TK_CLASS);
}

TEST_F(Grammar, TemplatesNamespacesUsingAndLinkage) {
  analyse(
      "extern \"C\" { }\n"
      "extern \"C\" int cfunc(int);\n"
      "template <class T, class U = int> struct Pair { T first; U second; };\n"
      "Pair<char> pc;\n"
      "Pair<char> pc2;\n"
      "template <class T> struct Node { Node<T> *next; T value; };\n"
      "Node<long> list;\n"
      "template <class T> T biggest(T a, T b) { return a; }\n"
      "template <class T> union Bad { T t; };\n"
      "template <class T> class Box { public: void put(T); };\n"
      "template <class T> void Box<T>::put(T v) { }\n"
      "namespace { int hidden; }\n"
      "namespace N { int n; }\n"
      "namespace Alias = N;\n"
      "using namespace N;\n"
      "using N::n;\n",
      "t.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0) << (first("SYNTAXERR") ? first("SYNTAXERR")->arg : "");
  EXPECT_EQ(count("TEMPLADEC"), 0);  // a union template is a template too
  TypeDesc *pair = tag("Pair<char>");
  ASSERT_TRUE(pair);
  EXPECT_EQ(pair->record()->instance_mark, 1);
  EXPECT_EQ(pair->record()->template_arguments, "char");
  // Instantiated once; the second use finds the class of the composed name.
  TypeDesc *templ = tag("Pair");
  ASSERT_TRUE(templ);
  int instances = 0;
  for (Instantiation *i = templ->templ()->first_instance; i; i = i->next) ++instances;
  EXPECT_EQ(instances, 1);
  EXPECT_EQ(ordinary("pc")->type->record(), ordinary("pc2")->type->record());
  // The default argument stands for the missing one.
  Declaration *second = ordinary("second", pair);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->type->kind, TK_INTEGER);
  // A template naming itself is instantiated once.
  TypeDesc *node = tag("Node<long>");
  ASSERT_TRUE(node);
  Declaration *next = ordinary("next", node);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->type->pointer()->target, node);
  Declaration *big = ordinary("biggest");
  ASSERT_TRUE(big);
  EXPECT_TRUE(big->type->template_word);
  TypeDesc *box = tag("Box");
  ASSERT_EQ(box->templ()->member_definitions.size(), 1u);
  EXPECT_EQ(box->templ()->member_definitions[0], "Box<T>::put");
  // Unnamed namespace.
  Symbol *hidden = nullptr;
  for_each_symbol(table.ordinary, [&](Symbol *s) {
    if (s->decl->name && std::strcmp(s->decl->name, "hidden") == 0) hidden = s;
  });
  ASSERT_TRUE(hidden);
  ASSERT_TRUE(hidden->decl->scope);
  EXPECT_EQ(std::strncmp(hidden->decl->scope->record()->name, "ortek_unnamed_namespace", 23), 0);
  // The unnamed namespace is used implicitly, N by its directive.
  ASSERT_EQ(table.using_namespaces.size(), 2u);
  EXPECT_EQ(table.using_namespaces[0], hidden->decl->scope);
  EXPECT_EQ(table.using_namespaces[1], tag("N"));
  EXPECT_EQ(table.using_declarations.size(), 2u);
  EXPECT_EQ(table.using_declarations[1].text, "using N :: n");
  EXPECT_TRUE(ordinary("cfunc"));
}

TEST_F(Grammar, ExpressionsAreKeptAsNormalisedText) {
  analyse(
      "int a = static_cast<int>(2.5) + sizeof(struct Q *);\n"
      "int b = x - -y, c = p ? q : r;\n"
      "char *d = ::new char[3];\n"
      "const char *e = \"one\" \"two\";\n"
      "int f = (unsigned char) 'c' << 2;\n",
      "e.cpp");
  EXPECT_TRUE(g_reports.empty());
  EXPECT_EQ(ordinary("a")->text, "static_cast <int>(2.5)+sizeof(struct Q*)");
  EXPECT_EQ(ordinary("b")->text, "x- -y");
  EXPECT_EQ(ordinary("c")->text, "p?q:r");
  EXPECT_EQ(ordinary("d")->text, "::new char[3]");
  EXPECT_EQ(ordinary("e")->text, "\"one\" \"two\"");
  EXPECT_EQ(ordinary("f")->text, "(unsigned char)'c'<<2");
  g_reports.clear();
  analyse("int g = 1 2; int h = ; int i = (1; int ok = 3;\n");
  EXPECT_EQ(count("SYNTAXERR"), 3);
  EXPECT_EQ(ordinary("ok")->text, "3");
}

TEST_F(Grammar, FilesOfOneConstruct) {
  analyse("extern \"C\" { }\n", "l.cpp");
  EXPECT_TRUE(g_reports.empty());
  analyse("namespace { int a; void f(); }\n", "u.cpp");
  EXPECT_TRUE(g_reports.empty());
  int members = 0;
  for_each_symbol(table.ordinary, [&](Symbol *s) {
    Declaration *d = s->decl;
    ASSERT_TRUE(d->scope && d->scope->record() && d->scope->record()->name);
    EXPECT_EQ(std::string(d->scope->record()->name).rfind("ortek_unnamed_namespace", 0), 0u);
    ++members;
  });
  EXPECT_EQ(members, 2);
}

TEST_F(Grammar, NestingLimitStandsAboveOrdinaryDepth) {
  auto parens = [](int n) { return "int " + std::string(n, '(') + "*p" + std::string(n, ')') + ";"; };
  analyse(parens(100));
  EXPECT_TRUE(g_reports.empty());
  ASSERT_TRUE(ordinary("p"));
  analyse(parens(200) + " int later;");
  EXPECT_EQ(count("SYNTAXERR"), 1);
  EXPECT_FALSE(ordinary("later"));  // the analysis of the text ended there
}

TEST_F(Grammar, TemplatesInScopesWithValuesAndBases) {
  analyse(
      "namespace N { template <class T> struct X { T v; }; }\n"
      "N::X<int> xi;\n"
      "N::X<int> xj;\n"
      "template <int S> struct Buf { char b[S]; };\n"
      "Buf<10> b10;\n"
      "template <class T> struct B { T base_v; };\n"
      "template <class T> struct D : public B<T> { T own; };\n"
      "D<short> ds;\n"
      "template <class T, class C = B<T> > struct W { C c; };\n"
      "W<long> wl;\n",
      "s.cpp");
  EXPECT_TRUE(g_reports.empty());
  TypeDesc *N = tag("N");
  ASSERT_TRUE(N);
  TypeDesc *xi = tag("X<int>", N);  // the instance lives beside its template
  ASSERT_TRUE(xi);
  EXPECT_EQ(ordinary("xi")->type, ordinary("xj")->type);
  TypeDesc *buf = tag("Buf<10>");
  ASSERT_TRUE(buf);
  EXPECT_EQ(ordinary("b", buf)->type->array()->bound_text, "10");
  TypeDesc *ds = tag("D<short>");
  ASSERT_TRUE(ds);
  ASSERT_TRUE(ds->record()->first_inherited);
  EXPECT_STREQ(ds->record()->first_inherited->decl->name, "base_v");
  // A default naming an earlier parameter is bound with it.
  TypeDesc *wl = tag("W<long>");
  ASSERT_TRUE(wl);
  EXPECT_EQ(ordinary("c", wl)->type, tag("B<long>"));
}

TEST_F(Grammar, TemplateWithoutArgumentForParameterReportsInstantiation) {
  analyse("template <class T> struct Need { T t; };\nNeed<> x;\n", "t.cpp");
  ASSERT_EQ(count("TEMINSINC"), 1);
  // The report names the instance and where it is used.
  for (const auto &r : g_reports)
    if (r.code == "TEMINSINC") {
      EXPECT_EQ(r.arg, "Need<>");
      EXPECT_EQ(r.line, 2);
    }
}

TEST_F(Grammar, ExplicitSpecialisationsKeepTheNextDeclaration) {
  analyse(
      "template <class T> T id(T x) { return x; }\n"
      "template <> int id<int>(int x) { return x + 1; }\n"
      "int a1(int x) { return x; }\n"
      "template <class T> struct Box { T v; void set(T); };\n"
      "template <> void Box<int>::set(int) {}\n"
      "int a2;\n"
      "template <> struct Box<double>;\n"
      "int a3;\n",
      "t.cpp");
  EXPECT_TRUE(g_reports.empty());
  EXPECT_TRUE(ordinary("a1"));
  EXPECT_TRUE(ordinary("a2"));
  EXPECT_TRUE(ordinary("a3"));
  // What cannot be read is reported, and the declaration after it survives
  // even when the faulty one ends with a body the scanner took whole.
  g_reports.clear();
  analyse("template <> int f<int>(int x) ) { return x; }\nint b1(int x) { return x; }\nint b2;\n", "u.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 1);
  EXPECT_TRUE(ordinary("b1"));
  EXPECT_TRUE(ordinary("b2"));
}

TEST_F(Grammar, RecoveryKeepsCompletedDeclarations) {
  analyse(
      "int before;\n"
      "int x y;\n"
      "int after;\n"
      "struct S { int a b; int c; };\n"
      "int last;\n");
  EXPECT_EQ(count("SYNTAXERR"), 2);
  EXPECT_TRUE(ordinary("before"));
  EXPECT_TRUE(ordinary("after"));
  EXPECT_TRUE(ordinary("last"));
  TypeDesc *S = tag("S");
  ASSERT_TRUE(S);
  EXPECT_TRUE(ordinary("c", S));
  // Errors within three tokens of the last one are not reported again.
  g_reports.clear();
  release_table(table);
  table_init(table, "");
  analyse("int a b c d; int ok;\n");
  EXPECT_EQ(count("SYNTAXERR"), 1);
  EXPECT_TRUE(ordinary("ok"));
  // Two faulty declarations in a row: the ';' ending the first and two
  // tokens of the second are shifted before the second error, so both count.
  g_reports.clear();
  analyse("int e f; int g h; int ok2;\n");
  EXPECT_EQ(count("SYNTAXERR"), 2);
  EXPECT_TRUE(ordinary("ok2"));
  // A member without its ';' before the closing brace ends the analysis.
  g_reports.clear();
  analyse("struct T { int m n }; int never;\n");
  EXPECT_EQ(count("SYNTAXERR"), 1);
  EXPECT_FALSE(ordinary("never"));
  // Not accepted: asm, function-try-blocks, two strings after extern.
  g_reports.clear();
  analyse("asm(\"nop\"); int k1; void f() try { } catch (...) { } int k2; extern \"C\" \"C\" int k3; int k4;\n");
  EXPECT_EQ(count("SYNTAXERR"), 3);
  EXPECT_TRUE(ordinary("k1"));
  EXPECT_TRUE(ordinary("k4"));
  EXPECT_FALSE(ordinary("k3"));
}

TEST_F(Grammar, TextEndingEarly) {
  analyse("int a; using namespace std");
  ASSERT_EQ(count("SYNTAXERR"), 1);
  EXPECT_EQ(first("SYNTAXERR")->arg, "'using' without ';'");
  EXPECT_TRUE(ordinary("a"));
  g_reports.clear();
  analyse("int b; int f(void) { if (x) { return 1; ");
  EXPECT_EQ(count("UNEXP_EOF"), 1);
  EXPECT_TRUE(ordinary("b"));
  g_reports.clear();
  analyse("int complete; int incomplete");
  EXPECT_EQ(count("UNEXP_EOF"), 1);
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_TRUE(ordinary("complete"));
  g_reports.clear();
  analyse("struct Open { int m;");
  EXPECT_EQ(count("UNEXP_EOF"), 1);
  g_reports.clear();
  analyse("template <class T> struct Never { int a; ", "n.cpp");
  EXPECT_EQ(count("UNEXP_EOF"), 1);
  g_reports.clear();
  analyse("class C { void f() { ", "n.cpp");
  EXPECT_EQ(count("UNEXP_EOF"), 1);
  g_reports.clear();
  analyse("");  // nothing at all
  EXPECT_TRUE(g_reports.empty());
}

TEST_F(Grammar, HostileInputEndsSoundly) {
  // Deeply nested declarators.
  std::string nested = "int " + std::string(10000, '(') + "x" + std::string(10000, ')') + "; int z;";
  analyse(nested);
  EXPECT_EQ(count("SYNTAXERR"), 1);
  EXPECT_TRUE(g_reports.size() <= 2);
  // Nested parentheses in an initialiser.
  g_reports.clear();
  analyse("int v = " + std::string(10000, '(') + "1" + std::string(10000, ')') + ";");
  EXPECT_EQ(count("SYNTAXERR"), 1);
  // Braces nested 100,000 deep in an initialiser and in a body are skipped.
  g_reports.clear();
  analyse("int deep[] = " + std::string(100000, '{') + "1" + std::string(100000, '}') + "; void body(void) " +
          std::string(100000, '{') + std::string(100000, '}') + " int tail2;");
  EXPECT_TRUE(g_reports.empty());
  EXPECT_TRUE(ordinary("tail2"));
  // A class nested 1000 deep.
  g_reports.clear();
  std::string deep;
  for (int i = 0; i < 1000; ++i) deep += "struct S" + std::to_string(i) + " { ";
  for (int i = 0; i < 1000; ++i) deep += "} m" + std::to_string(i) + "; ";
  analyse(deep);
  EXPECT_EQ(count("SYNTAXERR"), 1);
  // Each text of templates is read on its own: it gives `reports` reports
  // of an instance not made, and the declaration after it is still read.
  auto instances_end = [this](const std::string &text, const char *file, int reports, const char *after) {
    g_reports.clear();
    analyse(text, file);
    EXPECT_EQ(count("TEMINSINC"), reports) << file;
    EXPECT_TRUE(ordinary(after)) << file;
  };
  // A template naming itself with growing arguments: inside an instance
  // another instance of its own template is named, not made.
  instances_end("template <class T> struct R { R<R<T> > *p; };\nR<int> r;\nint after;\n", "r.cpp", 0, "after");
  // Two templates instantiating each other with growing arguments.
  instances_end("template <class T> struct RB { RA<RB<T> > *p; };\n"
                "template <class T> struct RA { RB<RA<T> > *q; };\nRA<int> r;\nint after1;\n",
                "r1.cpp", 1, "after1");
  // Each instance nests deeply before naming the next: the nesting of all
  // the analyses together is bounded too.
  g_reports.clear();
  std::string nest;
  for (int i = 0; i < 33; ++i) nest += "struct A" + std::to_string(i) + " { ";
  std::string other = nest;
  nest += "Q2<R2<T> > *p; ";
  other += "R2<Q2<T> > *q; ";
  for (int i = 0; i < 33; ++i) nest += "}; ";
  for (int i = 0; i < 33; ++i) other += "}; ";
  analyse("template <class T> struct R2 { " + nest + "};\ntemplate <class T> struct Q2 { " + other +
              "};\nR2<int> r;\n",
          "r2.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 1);
  // Members that name two new instances each: a bounded number of them.
  instances_end("template <class T> struct Q { P<Q<T> > *a; P<T*> *b; };\n"
                "template <class T> struct P { Q<P<T> > *a; Q<T*> *b; };\nP<int> x;\nint after2;\n",
                "p.cpp", 1, "after2");
  // A base naming an instance whose argument doubles at every level: the
  // nesting limit alone lets the names reach 2^64 characters.
  instances_end("template <class A, class B> struct PP { A a; B b; };\n"
                "template <class T> struct DD : DD<PP<T, T> > { T value; };\nDD<int> d;\nint after3;\n",
                "d.cpp", 1, "after3");
  EXPECT_TRUE(tag("DD<int>"));
  // Two templates basing each other on two new instances, with bodies of
  // many members: the names stay short, but thousands of instances would
  // read hundreds of megabytes of text.
  std::string members;
  for (int i = 0; i < 40; ++i) members += "T m" + std::to_string(i) + "; T *p" + std::to_string(i) + "; ";
  instances_end("template <class T> struct WQ : WP<WQ<T> >, WP<T*> { " + members + "};\n" +
                    "template <class T> struct WP : WQ<WP<T> >, WQ<T*> { " + members + "};\nWP<int> w;\nint after4;\n",
                "w.cpp", 1, "after4");
  // One declaration of a megabyte.
  g_reports.clear();
  std::string big = "int big[] = { ";
  while (big.size() < (1u << 20)) big += "1, 2, 3, 4, 5, 6, 7, 8, ";
  big += "0 }; enum Many { ";
  for (int i = 0; i < 20000; ++i) big += "e" + std::to_string(i) + " = " + std::to_string(i) + " + 1, ";
  big += "elast }; int tail;";
  analyse(big);
  EXPECT_TRUE(g_reports.empty());
  EXPECT_TRUE(ordinary("tail"));
  EXPECT_EQ(tag("Many")->enumeration()->count, 20001);
  // Token soup and unbalanced brackets: reports, never a crash or a hang.
  const char *soups[] = {
      "} } ) ] int ; ; { ( [ ",
      "struct { { { ",
      "int f( ( ( ;",
      ":: :: ~ ~ operator operator ( ) < > template < class",
      "class A : public { } ; template <> struct ; namespace = ; using",
      "enum { = , } ; extern \"C\" { int x ; ",
      "int (*(*(*p)[3])(int))[4]; typedef int T; T T; struct T2 *q;",
      "operator int; A::B::C::~D(); x::*y; int a[; int b[]] ;",
  };
  for (const char *soup : soups) {
    g_reports.clear();
    release_table(table);
    table_init(table, "");
    analyse(soup);
  }
  SUCCEED();
}

// Random token soups drawn from the grammar's own vocabulary: every text ends
// with reports, never with a crash, a hang or unbounded recursion.
TEST_F(Grammar, RandomTokenSoupEndsSoundly) {
  static const char *const words[] = {
      "int", "char", "struct", "class", "union", "enum", "typedef", "extern", "\"C\"", "static",
      "const", "template", "<", ">", "typename", "namespace", "using", "operator", "::", "~",
      "(", ")", "[", "]", "{", "}", ";", ",", "=", ":", "*", "&", "...", "public", "private",
      "virtual", "friend", "A", "B", "T", "x", "y", "f", "0", "1", "\"s\"", "'c'", "throw",
      "inline", "asm", "try", "+", "-", "sizeof", "new", "delete", "unsigned", "long", "void"};
  const int n = sizeof words / sizeof words[0];
  unsigned seed = 12345;
  auto next = [&]() {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7fff;
  };
  for (int round = 0; round < 1500; ++round) {
    std::string text = "struct A { int a; }; template <class T> struct B { T t; }; typedef int T;\n";
    int len = 1 + next() % 120;
    for (int i = 0; i < len; ++i) {
      text += words[next() % n];
      text += ' ';
    }
    release_table(table);
    table_init(table, "");
    g_reports.clear();
    analyse(text, "soup.cpp");
  }
  SUCCEED();
}

TEST_F(Grammar, LineMarkersGiveThePositionOfReports) {
  analyse("#line 40 \"inc/h.h\"\nint x y;\n#line 7 \"main.c\"\nint z;\n");
  ASSERT_EQ(count("SYNTAXERR"), 1);
  EXPECT_EQ(first("SYNTAXERR")->line, 40);
  Declaration *z = ordinary("z");
  ASSERT_TRUE(z);
  EXPECT_STREQ(z->file, "main.c");
}

TEST_F(Grammar, FunctionScopeAndKeptBodies) {
  analyse_text("int local;", table, "svc", "s.ptu", 1, 0, 0);
  TypeDesc *scope = function_scope(table, "svc");
  EXPECT_TRUE(ordinary("local", scope));
  EXPECT_FALSE(ordinary("local"));
  analysis_settings().recording = 1;
  analyse_text("int kept(int a) { return a * 2; }", table, "", "k.c", 1, 1, 0);
  EXPECT_EQ(table.recorded.size(), 1u);  // each entry once
  Declaration *k = ordinary("kept");
  ASSERT_TRUE(k);
  EXPECT_EQ(k->type->function()->info->has_body, 1);
  EXPECT_NE(k->type->function()->info->body.find("a * 2"), std::string::npos);
}

// A body not kept is passed over as one kept is read: braces in literals,
// nested braces and line markers inside it, the position after it, a body
// that never ends.
TEST_F(Grammar, BodiesPassedOverKeepTheirPositions) {
  const std::string text =
      "int f(void) {\n  char *s = \"}\";\n  if (s) { { s++; } }\n#line 40 \"other.h\"\n  return '}';\n}\n"
      "int g;\nstruct S { int m(void) { return '{'; } int n; };\nint h(void) { {\n";
  for (int keep : {0, 1}) {
    table_init(table, "TESTER");
    g_reports.clear();
    analyse_text(text.c_str(), table, "", "t.c", 1, keep, 0);
    Declaration *g = ordinary("g");
    ASSERT_TRUE(g) << keep;
    EXPECT_EQ(g->line, 42) << keep;
    EXPECT_STREQ(g->file, "other.h");
    Declaration *f = ordinary("f");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->type->function()->info->has_body, keep);
    EXPECT_EQ(f->type->function()->info->body.empty(), keep == 0);
    TypeDesc *st = tag("S");
    ASSERT_TRUE(st);
    EXPECT_TRUE(ordinary("n", st));
    EXPECT_EQ(count("UNEXP_EOF"), 1) << keep;
    EXPECT_EQ(first("UNEXP_EOF")->line, 45) << keep;
  }
}

}  // namespace

// Faults reported from the script emitters and the host target.
TEST_F(Grammar, TypedefNamesOfUnnamedClassesAndGlobalQualification) {
  analyse(
      "typedef struct { int quot; int rem; } div_t;\n"
      "div_t last;\n"
      "typedef struct tag { int x; } T;\n"
      "T w;\n"
      "void take(const div_t *p);\n",
      "t.c");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  Declaration *last = ordinary("last");
  ASSERT_TRUE(last && last->type);
  ASSERT_EQ(last->type->kind, TK_NAMED);
  EXPECT_STREQ(last->type->named()->name, "div_t");
  ASSERT_TRUE(last->type->named()->aliased);
  EXPECT_EQ(last->type->named()->aliased->kind, TK_CLASS);  // still the structure behind the name
  Declaration *p = ordinary("take")->type->function()->info->first_param->decl;
  ASSERT_EQ(p->type->kind, TK_POINTER);
  EXPECT_EQ(p->type->pointer()->target->kind, TK_NAMED);
  // A typedef of a named structure keeps its earlier resolution.
  EXPECT_EQ(ordinary("w")->type->kind, TK_CLASS);

  analyse(
      "class B {};\n"
      "void g(const ::B &b);\n"
      "namespace n { template<class T> class A { T v; }; }\n"
      "::n::A<int> x;\n"
      "namespace dbg { template<typename I> class SI; }\n"
      "void nb(const ::dbg::SI<int>& x2);\n"
      "int after;\n",
      "g.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  ASSERT_TRUE(ordinary("g"));
  TypeDesc *gp = ordinary("g")->type->function()->info->first_param->decl->type;
  ASSERT_EQ(gp->kind, TK_REFERENCE);
  EXPECT_EQ(gp->reference()->target->kind, TK_CLASS);
  ASSERT_TRUE(ordinary("x"));
  EXPECT_TRUE(ordinary("nb"));
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, MemberPointersTagsInBodiesOverloadsAndInitialisers) {
  analyse(
      "class C {\n"
      "public:\n"
      "  int g(int);\n"
      "  int (C::*pm)(int);\n"
      "  void set(int (C::*)(int), C c);\n"
      "};\n"
      "struct a { int x; struct b *pb; struct a *self; };\n"
      "struct b { int y; };\n"
      "struct own { struct inner; struct inner *pi; };\n"
      "namespace N { struct h { struct later *pl; }; }\n"
      "int f(int);\n"
      "int f(long);\n"
      "int f(signed int i) { return i; }\n"
      "int f(long int l) { return 0; }\n"
      "class A { public: A(int); };\n"
      "int v;\n"
      "A aa(v);\n"
      "A ab(3), ac(v + 1);\n"
      "int k(x, y) int x; int y; { return 0; }\n"
      "int after;\n",
      "m.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_EQ(count("REDEFSYMB"), 0);
  TypeDesc *C = tag("C");
  ASSERT_TRUE(C);
  Declaration *pm = ordinary("pm", C);
  ASSERT_TRUE(pm && pm->type);
  ASSERT_EQ(pm->type->kind, TK_POINTER);
  EXPECT_EQ(pm->type->pointer()->member_class, C);
  EXPECT_EQ(pm->type->pointer()->target->kind, TK_FUNCTION);
  Declaration *set = ordinary("set", C);
  ASSERT_TRUE(set);
  ASSERT_EQ(params(set->type), 2);
  TypeDesc *p0 = set->type->function()->info->first_param->decl->type;
  ASSERT_EQ(p0->kind, TK_POINTER);
  EXPECT_EQ(p0->pointer()->member_class, C);
  // The tag named in a member declaration belongs to the enclosing scope
  // and is completed by its later definition.
  TypeDesc *a = tag("a");
  ASSERT_TRUE(a);
  EXPECT_FALSE(tag("b", a));
  TypeDesc *b = tag("b");
  ASSERT_TRUE(b);
  EXPECT_TRUE(b->record()->has_body);
  TypeDesc *pb = ordinary("pb", a)->type->pointer()->target;
  EXPECT_EQ(pb->kind == TK_ELABORATED ? pb->elaborated()->named : pb, b);
  // "struct inner;" alone declares a member.
  TypeDesc *own = tag("own");
  ASSERT_TRUE(own);
  EXPECT_TRUE(tag("inner", own));
  EXPECT_FALSE(tag("inner"));
  TypeDesc *N = tag("N");
  ASSERT_TRUE(N);
  EXPECT_TRUE(tag("later", N));
  EXPECT_FALSE(tag("later", tag("h", N)));
  // int and long are distinct overloads even of one size; spellings of one
  // type are one function.
  int fs = 0, defined = 0;
  for_each_symbol(table.ordinary, [&](Symbol *s) {
    if (s->decl && s->decl->name && std::strcmp(s->decl->name, "f") == 0) {
      ++fs;
      defined += s->decl->type->function()->info->defined;
    }
  });
  EXPECT_EQ(fs, 2);
  EXPECT_EQ(defined, 2);
  // A parenthesis holding a value is an initialiser.
  for (const char *n : {"aa", "ab", "ac"}) {
    Declaration *d = ordinary(n);
    ASSERT_TRUE(d) << n;
    EXPECT_EQ(d->type->kind, TK_CLASS) << n;
  }
  EXPECT_EQ(ordinary("aa")->text, "v");
  EXPECT_EQ(ordinary("ab")->text, "3");
  EXPECT_EQ(ordinary("ac")->text, "v+1");
  // Old-style definitions still read their identifier lists.
  Declaration *k = ordinary("k");
  ASSERT_TRUE(k);
  ASSERT_EQ(k->type->kind, TK_FUNCTION);
  EXPECT_EQ(params(k->type), 2);
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, RecordingListsEachEntryOnce) {
  analysis_settings().recording = 1;
  analyse(
      "int a;\n"
      "struct S { int m; };\n"
      "void f(int);\n"
      "void f(int x) {}\n"
      "enum E { E1 };\n"
      "namespace Q { int q; }\n"
      "typedef struct { int z; } Z;\n",
      "r.cpp");
  analysis_settings().recording = 0;
  EXPECT_FALSE(table.recorded.empty());
  // An entry stands once for being made and once more for being completed
  // (S at its closing brace, f by its definition), never more.
  auto times = [&](const char *name) {
    int n = 0;
    for (Symbol *s : table.recorded) n += s->decl && s->decl->name && std::strcmp(s->decl->name, name) == 0;
    return n;
  };
  EXPECT_EQ(times("a"), 1);
  EXPECT_EQ(times("q"), 1);
  EXPECT_EQ(times("Z"), 1);
  EXPECT_EQ(times("E"), 1);
  EXPECT_EQ(times("S"), 2);
  EXPECT_EQ(times("f"), 2);
}

TEST_F(Grammar, TypedefUsesKeepTheirScopeAndWidthsAreEvaluated) {
  analyse(
      "namespace N { typedef int Count; struct S { typedef long L; }; }\n"
      "N::Count c;\n"
      "N::S::L l;\n"
      "enum { W = 3 };\n"
      "struct bf { unsigned a : W + 1; unsigned b : sizeof(short) * 2; int c : 2; unsigned d : UNKNOWN; };\n",
      "q.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  TypeDesc *N = tag("N");
  ASSERT_TRUE(N);
  Declaration *c = ordinary("c");
  ASSERT_TRUE(c && c->type && c->type->kind == TK_NAMED);
  EXPECT_EQ(c->type->scope, N);
  EXPECT_EQ(c->type->scope_kind, 1);
  Declaration *l = ordinary("l");
  ASSERT_TRUE(l && l->type && l->type->kind == TK_NAMED);
  EXPECT_EQ(l->type->scope, tag("S", N));
  TypeDesc *bf = tag("bf");
  ASSERT_TRUE(bf);
  EXPECT_EQ(ordinary("a", bf)->bit_width(), 4);
  EXPECT_EQ(ordinary("b", bf)->bit_width(), 4);
  EXPECT_EQ(ordinary("c", bf)->bit_width(), 2);
  EXPECT_EQ(ordinary("d", bf)->bit_width(), 0);  // not a constant: no width known
  EXPECT_TRUE(g_reports.empty());  // the evaluation is quiet
}

// Unqualified basic types are one record per table; qualifying a use, a
// typedef and the size pragmas never reach the other uses.
TEST_F(Grammar, BasicTypesAreSharedAndNeverChangedThroughOneUse) {
  analyse(
      "int a; int f(int p, unsigned int q); unsigned int u; const int k = 1; int const k2 = 2;\n"
      "typedef int T32; typedef int I, *PI; long double ld; long double ld2; volatile unsigned int vu;\n"
      "#pragma ortek sizeof(T32)=16\n"
      "#pragma ortek sizeof(I)=8\n"
      "int b; T32 t;\n",
      "s.c");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  TypeDesc *a = ordinary("a")->type, *b = ordinary("b")->type;
  EXPECT_EQ(a, b);
  EXPECT_TRUE(a->shared);
  EXPECT_EQ(a->next, nullptr);
  EXPECT_EQ(a->integer()->size, -32);
  const TypeDesc *f = ordinary("f")->type;
  EXPECT_EQ(f->function()->result, a);
  EXPECT_EQ(f->function()->info->first_param->decl->type, a);
  EXPECT_EQ(f->function()->info->first_param->next->decl->type, ordinary("u")->type);
  EXPECT_EQ(ordinary("ld")->type, ordinary("ld2")->type);
  for (const char *name : {"k", "k2", "vu"}) {
    const TypeDesc *q = ordinary(name)->type;
    EXPECT_FALSE(q->shared) << name;
    EXPECT_TRUE(q->next != nullptr) << name;
  }
  EXPECT_TRUE(type_is_const(ordinary("k")->type));
  EXPECT_FALSE(type_is_const(a));
  // The typedefs own their integer: sized by the pragma, the others not.
  EXPECT_EQ(strip_typedefs(ordinary("T32")->type)->integer()->size, -16);
  EXPECT_EQ(strip_typedefs(ordinary("t")->type)->integer()->size, -16);
  EXPECT_EQ(ordinary("I")->type->integer()->size, -8);
  EXPECT_EQ(ordinary("PI")->type->pointer()->target, ordinary("I")->type);  // one specifier, as written
  EXPECT_FALSE(ordinary("T32")->type->shared);
}

TEST_F(Grammar, LaterCppWordsWhereNoNameCanStand) {
  analyse(
      "struct B { virtual int f() const; virtual ~B() = default; };\n"
      "struct D : B { int f() const override; void g() final; D(const D &) = delete; D() : v{1} {} int v; };\n"
      "struct E final : B { int h() const & noexcept(true); };\n"
      "enum class Color : unsigned char { Red, Green = 3, Blue };\n"
      "Color paint = Color::Red;\n"
      "constexpr int square(int x) { return x * x; }\n"
      "int twice(int x) noexcept { return 2 * x; }\n"
      "using Index = unsigned long;\n"
      "Index next_index(Index i) { return i + 1; }\n"
      "inline namespace v1 { int ver() { return 1; } }\n"
      "static_assert(sizeof(int) == 4, \"int\");\n"
      "template<class T> using Ptr = T *;\n"
      "template<typename... Ts> void pack(Ts... args);\n"
      "extern template class Later<char>;\n"
      "template class Later<int>;\n"
      "auto tr(int a) -> long;\n"
      "decltype(twice(1)) dt;\n"
      "alignas(16) char buf[16];\n"
      "[[nodiscard]] int attr(void);\n"
      "int brace{3};\n"
      "struct BF { enum Color c : 4; };\n"
      "int after;\n",
      "n.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_EQ(count("TEMPLADEC"), 0);
  TypeDesc *D = tag("D");
  ASSERT_TRUE(D);
  Declaration *f = ordinary("f", D);
  ASSERT_TRUE(f);
  ASSERT_TRUE(f->type->function()->info->qualifiers);
  // Defaulted and deleted functions carry no text (no pure virtual).
  EXPECT_TRUE(ordinary("~B", tag("B"))->text.empty());
  EXPECT_TRUE(tag("E"));
  TypeDesc *color = tag("Color");
  ASSERT_TRUE(color);
  EXPECT_EQ(color->kind, TK_ENUM);
  EXPECT_EQ(color->enumeration()->count, 3);
  for (const char *n : {"square", "twice", "next_index"}) {
    Declaration *d = ordinary(n);
    ASSERT_TRUE(d) << n;
    EXPECT_EQ(d->type->function()->info->defined, 1) << n;
    EXPECT_EQ(d->storage, std::strcmp(n, "square") == 0 ? SF_INLINE : 0u) << n;  // constexpr: inline
  }
  Declaration *index = ordinary("Index");
  ASSERT_TRUE(index);
  EXPECT_EQ(index->storage, SF_TYPEDEF);
  EXPECT_EQ(index->type->kind, TK_INTEGER);
  TypeDesc *v1 = tag("v1");
  ASSERT_TRUE(v1);
  EXPECT_TRUE(ordinary("ver", v1));
  EXPECT_FALSE(ordinary("static_assert"));
  EXPECT_FALSE(ordinary("Ptr"));
  EXPECT_TRUE(ordinary("pack"));
  Declaration *tr = ordinary("tr");
  ASSERT_TRUE(tr);
  EXPECT_EQ(tr->storage, 0u);  // "auto" only announced the trailing result
  EXPECT_STREQ(type_name(tr->type->function()->result), "long");
  EXPECT_STREQ(type_name(ordinary("dt")->type), "decltype(twice(1))");
  EXPECT_EQ(ordinary("buf")->type->kind, TK_ARRAY);
  EXPECT_TRUE(ordinary("attr"));
  EXPECT_EQ(ordinary("brace")->text, "{3}");
  EXPECT_EQ(ordinary("c", tag("BF"))->bit_width(), 4);
  EXPECT_TRUE(ordinary("after"));
  // The same words stay names where a name stands (C code may use them).
  analyse("int final, override = 2; int noexcept(int constexpr); int decltype[3]; int after2;\n", "w.c");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_TRUE(ordinary("final"));
  EXPECT_EQ(ordinary("override")->text, "2");
  EXPECT_TRUE(ordinary("noexcept"));
  EXPECT_EQ(ordinary("decltype")->type->kind, TK_ARRAY);
  EXPECT_TRUE(ordinary("after2"));
}

TEST_F(Grammar, ConstOverloadsAndUndeclaredOldStyleParameters) {
  analyse(
      "class Buf {\n"
      "public:\n"
      "  int &at(int i);\n"
      "  const int &at(int i) const;\n"
      "  int size() const;\n"
      "};\n"
      "int &Buf::at(int i) { return 0; }\n"
      "const int &Buf::at(int i) const { return 0; }\n"
      "int Buf::size() const { return 4; }\n"
      "int kr_default(n)\n{\n  return n * 2;\n}\n"
      "int kr2(a, b) char b; { return a; }\n",
      "k.cpp");
  EXPECT_EQ(count("FUNCT_DEF"), 0);
  TypeDesc *buf = tag("Buf");
  ASSERT_TRUE(buf);
  int ats = 0, defined = 0, members = 0;
  for (MemberNode *m = buf->record()->first; m; m = m->next) {
    ++members;
    if (m->decl->name && std::strcmp(m->decl->name, "at") == 0) {
      ++ats;
      defined += m->decl->type->function()->info->defined;
    }
  }
  EXPECT_EQ(ats, 2);
  EXPECT_EQ(defined, 2);
  EXPECT_EQ(members, 3);
  EXPECT_EQ(ordinary("size", buf)->type->function()->info->defined, 1);
  for (const char *f : {"kr_default", "kr2"}) {
    Declaration *d = ordinary(f);
    ASSERT_TRUE(d) << f;
    Declaration *p0 = d->type->function()->info->first_param->decl;
    ASSERT_TRUE(p0->type) << f;
    EXPECT_STREQ(type_name(p0->type), "int") << f;
  }
  EXPECT_STREQ(type_name(ordinary("kr2")->type->function()->info->first_param->next->decl->type), "char");
}

TEST_F(Grammar, LibraryTemplateForms) {
  analyse(
      "template<typename S> class fpos { S m; public: fpos() {} fpos &operator+=(long o) { return *this; } };\n"
      "typedef fpos<int> streampos;\n"
      "streampos sp;\n"
      "template<typename C> struct ct { typedef C char_type; static int compare(const char_type *a, long n); };\n"
      "template<typename C> int ct<C>::compare(const char_type *a, long n) { return 0; }\n"
      "template<typename T> class V { typedef long size_type; struct R { void d(); }; };\n"
      "template<typename T> void V<T>::R::d() { }\n"
      "template<typename T> template<typename I> void V<T>::assign(I a) { }\n"
      "template<class R, class T> R call(R (T::*f)(), T *t);\n"
      "template<class T> int operator>>(int a, T b);\n"
      "template<class T> bool operator>=(T a, T b);\n"
      "extern \"C\" __typeof(sp) other;\n"
      "struct Base { typedef int diff; };\n"
      "struct It : Base { It &operator+=(diff i); };\n"
      "int after;\n",
      "l.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_EQ(count("FUNCT_DEF"), 0);
  // Inside its instance the template's name is the instance.
  TypeDesc *inst = tag("fpos<int>");
  ASSERT_TRUE(inst);
  Declaration *pe = ordinary("operator +=", inst);
  ASSERT_TRUE(pe);
  ASSERT_EQ(pe->type->function()->result->kind, TK_REFERENCE);
  EXPECT_EQ(pe->type->function()->result->reference()->target, inst);
  Declaration *call = ordinary("call");
  ASSERT_TRUE(call);
  EXPECT_EQ(params(call->type), 2);
  EXPECT_TRUE(ordinary("operator >>"));
  EXPECT_TRUE(ordinary("operator >="));
  EXPECT_STREQ(type_name(ordinary("other")->type), "__typeof(sp)");  // the object, not its class
  Declaration *pl = ordinary("operator +=", tag("It"));
  ASSERT_TRUE(pl);
  EXPECT_STREQ(type_name(pl->type->function()->info->first_param->decl->type), "diff");
  EXPECT_TRUE(ordinary("after"));
  // Outside templates and derived classes an unknown name in a parameter
  // list is still an error.
  g_reports.clear();
  analyse("void f(size_t n);\nint after2;\n", "c.c");
  EXPECT_EQ(count("SYNTAXERR"), 1);
  EXPECT_TRUE(ordinary("after2"));
  // An object of a class type is named by its own name, not its class.
  analyse("class K { public: K(); }; K k1; K k2(k1); int s = sizeof(k1);\n", "k.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 1);
  Declaration *k2 = ordinary("k2");
  ASSERT_TRUE(k2);
  EXPECT_EQ(k2->type->kind, TK_CLASS);
  EXPECT_EQ(k2->text, "k1");
  EXPECT_EQ(ordinary("s")->text, "sizeof(k1)");
}

// Forms of the stream, locale, time and thread headers.

TEST_F(Grammar, DefaultArgumentsOfFunctionTemplatesEndAtTheirParameter) {
  analyse(
      "template<typename T> struct tr { typedef long diff; };\n"
      "namespace a {\n"
      "template<typename I> I next(I x, typename tr<I>::diff n = 1) { return x; }\n"
      "template<typename I> I two(I x, int m = (1, 2), int n = 2);\n"
      "template<typename I> I three(I x, int m = 1) { return x; }\n"
      "}\n"
      "int after;\n",
      "d.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_EQ(count("UNEXP_EOF"), 0);
  TypeDesc *ns = tag("a");
  ASSERT_TRUE(ns);
  ASSERT_TRUE(ordinary("two", ns));
  EXPECT_EQ(params(ordinary("two", ns)->type), 3);
  EXPECT_TRUE(ordinary("three", ns));
  // The namespace ended where its brace stands: "after" is a global.
  EXPECT_TRUE(ordinary("after"));
  EXPECT_FALSE(ordinary("after", ns));
}

TEST_F(Grammar, MemberTypesOfBasesAreNamesOfTheDerivedClass) {
  analyse(
      "struct cbase { typedef const int *to_type; typedef unsigned short mask; };\n"
      "struct mid : cbase { };\n"
      "namespace loc { class facet { public: int refs; }; }\n"
      "class D : public loc::facet, public mid { to_type x; const mask *m; public: mask get(mask w) const; };\n"
      "mid::mask D::get(mask w) const { return w; }\n"
      "template<typename C> class ct { public: C c; };\n"
      "template<> class ct<char> : public cbase { public: bool is(mask m, char c) const; };\n"
      "bool ct<char>::is(mask m, char c) const { return m != 0; }\n"
      "int after;\n",
      "b.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_EQ(count("FUNCT_DEF"), 0);
  TypeDesc *d = tag("D");
  ASSERT_TRUE(d);
  Declaration *x = ordinary("x", d);
  ASSERT_TRUE(x);
  EXPECT_STREQ(type_name(x->type), "to_type");
  Declaration *get = ordinary("get", d);
  ASSERT_TRUE(get);
  EXPECT_TRUE(get->type->function()->info->defined);
  // The member defined outside the explicit specialisation is that class's.
  TypeDesc *ct_char = tag("ct<char>");
  ASSERT_TRUE(ct_char);
  Declaration *is = ordinary("is", ct_char);
  ASSERT_TRUE(is);
  EXPECT_TRUE(is->type->function()->info->defined);
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, ComparisonsAndShiftsInParenthesesOfTemplateArguments) {
  analyse(
      "template<typename T> T declv();\n"
      "template<typename I, typename T, typename = decltype(declv<I&>() >> declv<T>())> using ext_t = I&&;\n"
      "template<int N, typename = char[(N > 0) ? 1 : 2]> struct pos { int v; };\n"
      "template<typename I> ext_t<I, int> extract(I &&in);\n"
      "pos<3> g_pos;\n"
      "int after;\n",
      "s.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_TRUE(tag("ext_t"));
  EXPECT_TRUE(ordinary("extract"));
  ASSERT_TRUE(ordinary("g_pos"));
  EXPECT_TRUE(tag("pos<3>"));
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, MembersOfSpecialisedAndMemberTemplatesDeclaredOutside) {
  analyse(
      "template<typename C> struct trt { typedef C char_type; };\n"
      "template<typename C, typename T = trt<C> > class bis {\n"
      "public: typedef C char_type; typedef long sz; bis &getline(char_type *s, sz n); };\n"
      "template<> bis<char>& bis<char>::getline(char_type* s, sz n);\n"
      "template<typename C> class bstr { public: C *p; };\n"
      "class loc { public:\n"
      "  template<typename Ch> bool operator()(const bstr<Ch>& a, const bstr<Ch>& b) const; };\n"
      "template<typename ChT> bool loc::operator()(const bstr<ChT>& a, const bstr<ChT>& b) const { return false; }\n"
      "template<typename ChT> bool loc::wrong(const bstr<ChT>& a) { return false; }\n"
      "int after;\n",
      "m.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  // Only the member the class does not declare is reported.
  EXPECT_EQ(count("FUNCT_DEF"), 1);
  ASSERT_TRUE(first("FUNCT_DEF"));
  EXPECT_EQ(first("FUNCT_DEF")->arg, "loc::wrong");
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, InstancesNameOtherInstancesOfTheirTemplate) {
  analyse(
      "template<typename T> struct ct { typedef T type; };\n"
      "template<typename R, typename P = int> struct dur {\n"
      "  R r;\n"
      "  template<typename R2, typename P2> dur(const dur<R2, P2>& d);\n"
      "  dur<typename ct<R>::type, P> operator+() const;\n"
      "  dur(R x);\n"
      "  dur<R, long> widen() const;\n"
      "  dur<R> *self;\n"
      "};\n"
      "dur<long> g_d;\n"
      // A base's constructors do not hide the base's template in the derived class.
      "template<typename I, typename E> class cab { public: cab(long r = 0) { } typedef I intern_type; };\n"
      "template<> class cab<char, int> { public: cab(long r); };\n"
      "template<typename I, typename E> class cvt : public cab<I, E> { };\n"
      "template<> class cvt<char16_t, char> : public cab<char16_t, char> {\n"
      "public: explicit cvt(long r = 0) : cab<char16_t, char>(r) { } intern_type x; };\n"
      "int after;\n",
      "i.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  // Each instance is made once, not one per member naming a further one.
  EXPECT_EQ(count("TEMINSINC"), 0);
  TypeDesc *inst = tag("dur<long>");
  ASSERT_TRUE(inst);
  Declaration *widen = ordinary("widen", inst);
  ASSERT_TRUE(widen);
  EXPECT_STREQ(type_name(widen->type->function()->result), "dur<long,long>");
  Declaration *self = ordinary("self", inst);
  ASSERT_TRUE(self);
  EXPECT_EQ(self->type->pointer()->target, inst);
  EXPECT_FALSE(tag("dur<long,long>"));
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, LiteralOperators) {
  analyse(
      "namespace lit {\n"
      "constexpr long double operator\"\"h(long double v) { return v * 3600; }\n"
      "template <char... D> constexpr long operator\"\"min() { return 60; }\n"
      "long operator\"\" _km(unsigned long long v);\n"
      // A suffix that is a keyword's word: the imaginary literals.
      "constexpr double operator\"\"if(long double v) { return v; }\n"
      "}\n"
      "int after;\n",
      "u.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  TypeDesc *ns = tag("lit");
  ASSERT_TRUE(ns);
  EXPECT_TRUE(ordinary("operator \"\"h", ns));
  EXPECT_TRUE(ordinary("operator \"\"_km", ns));
  EXPECT_TRUE(ordinary("operator \"\"if", ns));
  EXPECT_TRUE(ordinary("after"));
}

// Explicit specialisations that name each other, as the number types of a
// standard library do: each reads its own body, and the template's name
// with arguments inside one is another instance of the template, also
// after a constructor has entered the name in the class.
TEST_F(Grammar, ExplicitSpecialisationsNamingEachOther) {
  analyse(
      "namespace nn {\n"
      "template<typename T> struct cx;\n"
      "template<> struct cx<float>;\n"
      "template<> struct cx<double>;\n"
      "template<typename T> struct cx { T re; cx(T r) : re(r) { } };\n"
      "template<> struct cx<float> {\n"
      "  cx(float r) : re(r) { }\n"
      "  explicit cx(const cx<double>&);\n"
      "  template<typename U> cx& operator=(const cx<U>& o) { return *this; }\n"
      "  float re;\n"
      "};\n"
      "template<> struct cx<double> {\n"
      "  cx(double r) : re(r) { }\n"
      "  cx(const cx<float>& f) : re(f.re) { }\n"
      "  void widen(const cx<long double>& w);\n"
      "  double re;\n"
      "};\n"
      "}\n"
      "int after;\n",
      "s.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_EQ(count("TEMPLADEC"), 0);
  TypeDesc *ns = tag("nn");
  ASSERT_TRUE(ns);
  TypeDesc *f = tag("cx<float>", ns);
  TypeDesc *d = tag("cx<double>", ns);
  ASSERT_TRUE(f && d);
  // The second specialisation has its own body, not one made from the
  // template while the first was read.
  EXPECT_TRUE(ordinary("widen", d));
  ASSERT_TRUE(ordinary("re", d));
  EXPECT_EQ(ordinary("re", d)->type->kind, TK_FLOATING);
  // Constructors keep the class's name as written, without arguments.
  int constructors = 0;
  for (const MemberNode *m = f->record()->first; m; m = m->next)
    if (m->decl && m->decl->type && m->decl->type->kind == TK_FUNCTION && m->decl->name) {
      EXPECT_STRNE(m->decl->name, "cx<float>");
      constructors += std::strcmp(m->decl->name, "cx") == 0;
    }
  EXPECT_EQ(constructors, 2);
  // Named from a specialisation, an instance is written with its namespace.
  const Declaration *w = ordinary("widen", d);
  std::string rendered;
  render_declaration(w->type->function()->info->first_param->decl, rendered, "", RM_ORDINARY, 0, "", "");
  EXPECT_NE(rendered.find("nn::cx<long double>"), std::string::npos) << rendered;
  EXPECT_TRUE(ordinary("after"));
}

// The class an elaborated type stands for.
static const TypeDesc *see_through_elaborated(const TypeDesc *t) {
  while (t && t->kind == TK_ELABORATED && t->elaborated()) t = t->elaborated()->named;
  return t;
}

// A class template's specialisation and a member class template's
// definition written with a qualified name, as the standard library's
// thread and hash headers and their users write them.
TEST_F(Grammar, QualifiedSpecialisationsAndMemberTemplates) {
  analyse(
      "namespace lib {\n"
      "template<typename T> struct hasher;\n"
      "struct outer {\n"
      "  struct base { int tag; };\n"
      "  template<typename R> struct res : base { R v; };\n"
      "  template<typename T> struct holder;\n"
      "};\n"
      "template<typename R> struct outer::res<R&> : outer::base { R *p; };\n"
      "template<> struct outer::res<void> : outer::base { int done; };\n"
      "template<typename T> struct outer::holder final : outer::base { T value; };\n"
      "}\n"
      "struct key { int a; };\n"
      "template<> struct lib::hasher<key> { unsigned long operator()(const key &k) const; };\n"
      "lib::outer::holder<int> held;\n"
      // An instance named with its scope after a class key.
      "namespace lib { template<typename T> struct box { T v; }; }\n"
      "class sealed { int s; friend struct lib::box<sealed>; };\n"
      "struct lib::box<long> *boxed;\n"
      "int after;\n",
      "q.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_EQ(count("TEMPLADEC"), 0);
  TypeDesc *lib = tag("lib");
  ASSERT_TRUE(lib);
  TypeDesc *outer = tag("outer", lib);
  ASSERT_TRUE(outer);
  // The partial specialisation is kept with its template, the explicit one
  // is a class of the template's scope.
  Symbol *res = lookup_in_scope("res", table, AREA_TAG, outer);
  if (!res) res = lookup_in_scope("res", table, AREA_ORDINARY, outer);
  ASSERT_TRUE(res && res->decl && res->decl->type && res->decl->type->templ());
  EXPECT_EQ(res->decl->type->templ()->partials.size(), 1u);
  TypeDesc *done = tag("res<void>", outer);
  ASSERT_TRUE(done);
  EXPECT_TRUE(ordinary("done", done));
  // The member template defined outside its class makes instances with its body.
  ASSERT_TRUE(ordinary("held"));
  const TypeDesc *held = ordinary("held")->type;
  while (held && held->kind == TK_ELABORATED && held->elaborated()) held = held->elaborated()->named;
  ASSERT_TRUE(held && held->record());
  EXPECT_TRUE(ordinary("value", const_cast<TypeDesc *>(held)));
  // A specialisation named with its namespace belongs to the namespace.
  TypeDesc *h = tag("hasher<key>", lib);
  ASSERT_TRUE(h);
  EXPECT_TRUE(ordinary("operator ()", h));
  TypeDesc *sealed = tag("sealed");
  ASSERT_TRUE(sealed);
  const MemberNode *friend_member = nullptr;
  for (const MemberNode *m = sealed->record()->first; m; m = m->next)
    if (m->decl && (m->decl->storage & SF_FRIEND)) friend_member = m;
  ASSERT_TRUE(friend_member);
  EXPECT_EQ(see_through_elaborated(friend_member->decl->type), tag("box<sealed>", lib));
  ASSERT_TRUE(ordinary("boxed"));
  const TypeDesc *boxed = ordinary("boxed")->type;
  ASSERT_EQ(boxed->kind, TK_POINTER);
  EXPECT_EQ(see_through_elaborated(boxed->pointer()->target), tag("box<long>", lib));
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, InstancesOfClockLikeTemplates) {
  analyse(
      "namespace chrono {\n"
      "template<long N, long D = 1> struct ratio { };\n"
      "template<typename R, typename P = ratio<1> > struct duration { typedef R rep; R r; };\n"
      "template<typename C, typename D = typename C::duration> struct time_point {\n"
      "  typedef C clock; typedef D duration;\n"
      "  template<typename D2> time_point(const time_point<clock, D2>& t);\n"
      "  D d; };\n"
      // Members of an inline namespace are members of the enclosing one.
      "inline namespace v2 {\n"
      "struct sysc { typedef duration<long, ratio<1, 1000> > duration;\n"
      "  typedef time_point<sysc, duration> time_point; static time_point now(); };\n"
      "}\n"
      "typedef time_point<sysc> sys_time;\n"
      "}\n"
      // An argument names a class visible where the template is used only.
      "namespace fs { struct fclock { typedef long duration; typedef chrono::time_point<fclock> time_point; }; }\n"
      "template<typename C> class sb;\n"
      "template<typename C> long copy_eof(sb<C>* a, sb<C>* b, bool& e);\n"
      "template<typename C> class sb { friend long copy_eof<>(sb*, sb*, bool&); public: int x; };\n"
      "sb<char> *g_p;\n"
      "int after;\n",
      "c.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_EQ(count("TEMINSINC"), 0);
  TypeDesc *chrono = tag("chrono");
  ASSERT_TRUE(chrono);
  EXPECT_TRUE(ordinary("sys_time", chrono));
  // The instance whose argument ends in a template's own '>' is made once,
  // with its members; its arguments are named from the global scope, an
  // inline namespace adding nothing.
  TypeDesc *inst = tag("time_point<chrono::sysc,chrono::duration<long,chrono::ratio<1,1000>>>", chrono);
  ASSERT_TRUE(inst);
  Declaration *d = ordinary("d", inst);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->type->kind, TK_CLASS);
  TypeDesc *fs = tag("fs");
  ASSERT_TRUE(fs);
  TypeDesc *fc = tag("fclock", fs);
  ASSERT_TRUE(fc);
  EXPECT_TRUE(ordinary("time_point", fc));
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, MemberNamesInArgumentsAreNotTheUseSitesMembers) {
  // A class deriving privately from a vector-like template of a wrapper of
  // its parameter, whose argument names a member of a class that is only
  // declared when its typedef is made: the vector's own instances read that
  // argument's text inside theirs, where "const_iterator" after "::" is the
  // string's member, not the vector's typedef of the same name.
  analyse(
      "namespace n {\n"
      "template<class C> class bstr;\n"
      "typedef bstr<char> str;\n"
      "template<class T> struct it { T *p; };\n"
      "template<class I> struct rev { I cur; };\n"
      "template<class T> struct vec {\n"
      "  typedef it<T> const_iterator; typedef rev<const_iterator> const_reverse_iterator;\n"
      "  const_reverse_iterator r; };\n"
      "template<class B> struct wrap { int first; };\n"
      "template<class B> struct results : private vec<wrap<B> > {\n"
      "  typedef typename vec<wrap<B> >::const_iterator const_iterator; };\n"
      "template<class C> class bstr { public: typedef const C *const_iterator; };\n"
      "typedef results<str::const_iterator> sresults;\n"
      "}\n"
      "n::sresults r;\n"
      "int after;\n",
      "m.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_EQ(count("TEMINSINC"), 0);
  TypeDesc *ns = tag("n");
  ASSERT_TRUE(ns);
  EXPECT_TRUE(tag("results<n::str::const_iterator>", ns));
  EXPECT_TRUE(tag("vec<n::wrap<n::str::const_iterator>>", ns));
  EXPECT_TRUE(tag("it<n::wrap<n::str::const_iterator>>", ns));
  EXPECT_TRUE(tag("rev<n::it<n::wrap<n::str::const_iterator>>>", ns));
  // One instance of each template: none of a wrapper of the vector's iterator.
  for (const char *name : {"wrap", "it", "rev", "vec", "results"}) {
    TypeDesc *templ = tag(name, ns);
    ASSERT_TRUE(templ && templ->templ()) << name;
    int instances = 0;
    for (Instantiation *i = templ->templ()->first_instance; i; i = i->next) ++instances;
    EXPECT_EQ(instances, 1) << name;
  }
  EXPECT_FALSE(tag("wrap<n::it<n::wrap<n::str::const_iterator> >>", ns));
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, UnknownTemplateNamesWithArgumentsAreTypesInTemplates) {
  analyse(
      "template<typename C> class bstr {\n"
      "  template<typename T, typename R> using if_sv = R;\n"
      "public:\n"
      "  template<typename T> if_sv<T, bstr&> operator=(const T& s) { return *this; }\n"
      "  template<typename T> if_sv<T, bstr&> append(const T& s);\n"
      "  C *p;\n"
      "};\n"
      "bstr<char> g_s;\n"
      "int after;\n",
      "a.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  TypeDesc *inst = tag("bstr<char>");
  ASSERT_TRUE(inst);
  EXPECT_TRUE(ordinary("p", inst));
  // Outside templates an unknown name stays an error.
  g_reports.clear();
  analyse("nothing<int> x;\nint after2;\n", "b.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 1);
  EXPECT_TRUE(ordinary("after2"));
}

TEST_F(Grammar, ParametersOfMembersDefinedOutsideAreReadInTheClassScope) {
  analyse(
      "class Sensor {\n"
      "public:\n"
      "  enum Mode { IDLE, ACTIVE };\n"
      "  struct Reading { double v; };\n"
      "  Reading read(Mode m, const Reading *prev);\n"
      "};\n"
      "Sensor::Reading Sensor::read(Mode m, const Reading *prev) { return *prev; }\n"
      "Mode outside;\n"
      "int after;\n",
      "s.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 1);  // Mode is not visible at file scope
  EXPECT_EQ(count("FUNCT_DEF"), 0);
  TypeDesc *sensor = tag("Sensor");
  ASSERT_TRUE(sensor);
  Declaration *read = ordinary("read", sensor);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->type->function()->info->defined, 1);
  int entries = 0;
  for (MemberNode *m = sensor->record()->first; m; m = m->next)
    entries += m->decl->name && std::strcmp(m->decl->name, "read") == 0;
  EXPECT_EQ(entries, 1);
  EXPECT_EQ(read->type->function()->info->first_param->decl->type->kind, TK_ENUM);
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, ExplicitSpecialisationsAreTheClassesOfTheirArguments) {
  analyse(
      "namespace s {\n"
      "template<class T> struct tr { typedef T type; int generic; };\n"
      "template<> struct tr<char> { typedef char type; int special; };\n"
      "template<class T> struct tr<T*> { int partial; };\n"
      "template<> struct tr<long>;\n"
      "}\n"
      "s::tr<char> a;\n"
      "s::tr<int> b;\n"
      "template<class T> union U { T v; };\n"
      "int after;\n",
      "p.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_EQ(count("TEMPLADEC"), 0);
  TypeDesc *ns = tag("s");
  ASSERT_TRUE(ns);
  TypeDesc *special = tag("tr<char>", ns);
  ASSERT_TRUE(special);
  EXPECT_TRUE(ordinary("special", special));
  EXPECT_FALSE(ordinary("generic", special));
  EXPECT_EQ(special->record()->instance_mark, 2);
  EXPECT_EQ(ordinary("a")->type, special);
  TypeDesc *generic = tag("tr<int>", ns);
  ASSERT_TRUE(generic);
  EXPECT_TRUE(ordinary("generic", generic));
  EXPECT_EQ(generic->record()->instance_mark, 1);
  EXPECT_FALSE(tag("tr<long>", ns));
  EXPECT_TRUE(ordinary("after"));
  // Type arguments of partial specialisations, later character types,
  // __extension__ before a declaration.
  g_reports.clear();
  analyse(
      "template<typename> struct mp { };\n"
      "template<typename T, typename C> struct mp<T C::*> { };\n"
      "template<typename T> struct mp<const volatile T> { };\n"
      "char16_t c16; char32_t c32;\n"
      // As parameters outside any template: no old-style parameter names.
      "unsigned long to32(char32_t *out, const char16_t *in, char32_t c, char16_t);\n"
      "__extension__ typedef long long ll_t;\n"
      "int after3;\n",
      "q.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_EQ(count("TEMPLADEC"), 0);
  ASSERT_TRUE(ordinary("c16"));
  EXPECT_EQ(ordinary("c16")->type->integer()->size, 16);
  EXPECT_EQ(ordinary("c32")->type->integer()->size, 32);
  ASSERT_TRUE(ordinary("to32"));
  const DeclNode *out = ordinary("to32")->type->function()->info->first_param;
  ASSERT_TRUE(out && out->next && out->next->next && out->next->next->next);
  EXPECT_EQ(out->decl->type->kind, TK_POINTER);
  EXPECT_EQ(out->decl->type->pointer()->target->integer()->size, 32);
  EXPECT_STREQ(out->next->next->decl->name, "c");
  EXPECT_EQ(out->next->next->decl->type->integer()->size, 32);
  EXPECT_EQ(out->next->next->next->decl->type->integer()->size, 16);
  EXPECT_TRUE(ordinary("ll_t"));
  EXPECT_TRUE(ordinary("after3"));
  // In C a typedef char16_t stays a typedef name.
  analyse("typedef unsigned short char16_t; char16_t w16; int char32_t;\n", "u.c");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_EQ(ordinary("w16")->type->kind, TK_NAMED);
  EXPECT_TRUE(ordinary("char32_t"));
}

TEST_F(Grammar, FriendWithoutClassKeyBefriendsTheReference) {
  analyse(
      "struct TESTER;\n"
      "class B { friend TESTER; int b_; };\n"
      "class C { friend class ::TESTER; int c_; };\n"
      "class O { friend class Other; int o_; };\n"
      "int after;\n",
      "f.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  ASSERT_TRUE(tag("B") && tag("C") && tag("O"));
  EXPECT_EQ(tag("B")->record()->friend_of_reference, 1);
  EXPECT_EQ(tag("C")->record()->friend_of_reference, 1);
  EXPECT_EQ(tag("O")->record()->friend_of_reference, 0);
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, UnnamedNamespaceMembersAreFoundFromTheEnclosingScope) {
  analyse(
      "namespace {\n"
      "struct Hidden { int h; };\n"
      "int helper(int v) { return v; }\n"
      "}\n"
      "Hidden *exposed;\n"
      "namespace outer { namespace { typedef int In; } In x; }\n"
      "namespace { int more; }\n"
      "int after;\n",
      "u.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  Declaration *exposed = ordinary("exposed");
  ASSERT_TRUE(exposed);
  ASSERT_EQ(exposed->type->kind, TK_POINTER);
  const TypeDesc *target = exposed->type->pointer()->target;
  ASSERT_TRUE(target);
  EXPECT_STREQ(type_name(target), "Hidden");
  TypeDesc *outer = tag("outer");
  ASSERT_TRUE(outer);
  Declaration *x = ordinary("x", outer);
  ASSERT_TRUE(x && x->type);
  EXPECT_EQ(x->type->kind, TK_NAMED);
  // Each unnamed namespace has its own generated name; the file uses both.
  EXPECT_EQ(table.using_namespaces.size(), 2u);
  EXPECT_TRUE(ordinary("more", table.using_namespaces[1]));
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, LambdasAndDeducedVariables) {
  analyse(
      "auto lam = [](int x) { int y = x; return y; };\n"
      "auto n = 3, *pn = &n;\n"
      "auto int kept = 1;\n"
      "int *np = nullptr;\n"
      "int (*fp)(int) = [](int v) { return v; };\n"
      "int after;\n",
      "l.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  // A deduced variable whose initialiser does not show its type: nothing
  // the script could declare, and a warning naming it.
  EXPECT_FALSE(ordinary("lam"));
  ASSERT_TRUE(ordinary("n"));  // a literal shows it
  EXPECT_EQ(ordinary("n")->storage, 0u);
  EXPECT_FALSE(ordinary("pn"));
  EXPECT_EQ(count("AUTOTYPIN"), 2);
  ASSERT_TRUE(ordinary("kept"));
  EXPECT_EQ(ordinary("kept")->storage, SF_AUTO);
  EXPECT_EQ(ordinary("np")->text, "nullptr");
  ASSERT_TRUE(ordinary("fp"));
  EXPECT_NE(ordinary("fp")->text.find("return v;"), std::string::npos);
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, ConstexprObjectsAreConst) {
  analyse(
      "constexpr int kWide = 3, kHigh = 4;\n"
      "int deep[kWide];\n"
      "constexpr const char *name = \"x\";\n"
      "constexpr double tab[2] = {1, 2};\n"
      "constexpr int twice(int v) { return 2 * v; }\n",
      "c.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 0);
  EXPECT_TRUE(type_is_const(ordinary("kWide")->type));
  EXPECT_TRUE(type_is_const(ordinary("kHigh")->type));
  EXPECT_FALSE(type_is_const(ordinary("deep")->type));
  Declaration *name = ordinary("name");
  ASSERT_EQ(name->type->kind, TK_POINTER);
  EXPECT_TRUE(type_is_const(name->type));                   // the pointer itself
  EXPECT_TRUE(type_is_const(name->type->pointer()->target));  // and what it points to, as written
  EXPECT_TRUE(type_is_const(ordinary("tab")->type));
  EXPECT_FALSE(type_is_const(ordinary("twice")->type->function()->result));
}

TEST_F(Grammar, DeducedGlobalsTakeTheTypeTheirInitialiserShows) {
  analyse(
      "struct P { P(int); int x; };\nint twice(int);\n"
      "auto i = 3; auto u = 7u; auto l = 3000000000; auto d = -2.5; auto f = 1.5f; auto c = 'a';\n"
      "auto s = \"ab\" \"c\"; auto b = true; auto w = static_cast<long>(4); auto k = (short)5;\n"
      "auto p = P(1); const auto ci = 2;\n"
      "auto sum = 1 + 2;\nauto call = twice(4);\nauto fn = twice;\nauto cast_sum = (long)1 + 2.0;\n"
      // Names that only begin like a keyword call a function.
      "template <class T> T static_casting(int);\nbool true_ish;\n"
      "auto named = static_casting<long>(4);\nauto copied = true_ish;\n",
      "d.cpp");
  const std::pair<const char *, const char *> typed[] = {
      {"i", "int"}, {"u", "unsigned int"}, {"l", "long long"},  // long has 32 bits here
      {"d", "double"}, {"f", "float"}, {"c", "char"},
      {"s", "char const *"}, {"b", "bool"}, {"w", "long"}, {"k", "short"}, {"p", "struct P"}, {"ci", "int const"}};
  for (const auto &t : typed) {
    Declaration *d = ordinary(t.first);
    ASSERT_TRUE(d) << t.first;
    std::string l, m, r;
    render_type(d->type, l, m, r, 0, "", 0, RM_ORDINARY, nullptr, 1);
    std::string text = l + m + r;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    EXPECT_EQ(text, t.second) << t.first;
  }
  // What the initialiser does not show is named in a warning and left out.
  EXPECT_EQ(count("AUTOTYPIN"), 6);
  for (const char *n : {"sum", "call", "fn", "cast_sum", "named", "copied"}) EXPECT_FALSE(ordinary(n)) << n;
}

TEST_F(Grammar, NestedClassDefinedOutsideItsClass) {
  analyse(
      "class locale { public: class facet; int id; };\n"
      "class locale::facet { public: int refs; int count() const; };\n"
      "int locale::facet::count() const { return refs; }\nint after;\n",
      "n.cpp");
  EXPECT_TRUE(g_reports.empty());
  TypeDesc *loc = tag("locale");
  ASSERT_TRUE(loc);
  TypeDesc *facet = tag("facet", loc);
  ASSERT_TRUE(facet);
  EXPECT_TRUE(facet->record()->has_body);
  EXPECT_TRUE(ordinary("refs", facet));
  EXPECT_TRUE(ordinary("count", facet));
  EXPECT_TRUE(ordinary("after"));
}

// Forms of the container, string and smart-pointer headers.

TEST_F(Grammar, DeductionGuidesDeclareNothing) {
  analyse(
      "template<typename T> struct vec { vec(int n, T v); T v; };\n"
      "template<typename T> vec(T, T) -> vec<T>;\n"
      "template<typename T, typename A = vec<T> >\n"
      "  vec(T *, A, int (*)(int)) -> vec<T>;\n"
      "template<typename T> explicit vec(const T &) -> vec<T>;\n"
      "vec(const char *) -> vec<long>;\n"
      "namespace n { template<typename T> struct box { T v; }; box(int) -> box<int>; }\n"
      "int after;\n",
      "g.cpp");
  EXPECT_TRUE(g_reports.empty());
  ASSERT_TRUE(tag("vec"));
  EXPECT_EQ(tag("vec")->kind, TK_TEMPLATE);
  EXPECT_FALSE(ordinary("vec"));
  EXPECT_TRUE(ordinary("after"));
  // Something else after a template's name and parameters is no guide.
  analyse("template<typename T> struct w { T v; };\nw(int) { }\nint later;\n", "h.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 1);
  EXPECT_TRUE(ordinary("later"));
}

TEST_F(Grammar, LiteralOperatorsAreFunctions) {
  analyse(
      "struct dist { long double km; };\n"
      "dist operator\"\"_km(long double v) { dist d; d.km = v; return d; }\n"
      "dist operator \"\" _mi(long double v);\n"
      "namespace lit { inline int operator\"\"_n(unsigned long long v) { return (int)v; } }\n"
      "int after;\n",
      "o.cpp");
  EXPECT_TRUE(g_reports.empty());
  Declaration *km = ordinary("operator \"\"_km");
  ASSERT_TRUE(km);
  EXPECT_EQ(km->type->kind, TK_FUNCTION);
  EXPECT_TRUE(ordinary("operator \"\"_mi"));
  ASSERT_TRUE(tag("lit"));
  EXPECT_TRUE(ordinary("operator \"\"_n", tag("lit")));
  EXPECT_EQ(operator_identifier("\"\"_km"), "literal_km");
  // Only the empty literal names one.
  analyse("int operator\"x\"_y(int);\nint later;\n", "p.cpp");
  EXPECT_EQ(count("SYNTAXERR"), 1);
  EXPECT_TRUE(ordinary("later"));
}

TEST_F(Grammar, UsingDeclarationsMakeNamesOfOtherNamespacesVisible) {
  analyse(
      "namespace gx { enum policy { single, atomic }; struct S { int a; }; typedef int I;\n"
      "  int twice(int); namespace in { struct deep { int d; }; } }\n"
      "typedef long top_t;\n"
      "namespace gx_alias = gx;\n"
      "namespace st {\n"
      "  using gx::policy; using gx::single; using gx_alias::S; using ::gx::I;\n"
      "  using gx::twice; using gx::in::deep; using ::top_t;\n"
      "  template<policy P> class M { public: int x; };\n"
      "  S s1; I i1; policy lp = single; deep dp; top_t tt;\n"
      "}\n"
      "st::S s2;\n"
      "int after;\n",
      "u.cpp");
  EXPECT_TRUE(g_reports.empty());
  TypeDesc *st = tag("st");
  TypeDesc *gx = tag("gx");
  ASSERT_TRUE(st && gx);
  // The names are found in st, and still stand for gx's entities.
  EXPECT_EQ(tag("policy", st), tag("policy", gx));
  EXPECT_EQ(ordinary("twice", st), ordinary("twice", gx));
  EXPECT_EQ(ordinary("I", st), ordinary("I", gx));
  for (const char *n : {"s1", "i1", "lp", "dp", "tt"}) EXPECT_TRUE(ordinary(n, st)) << n;
  EXPECT_EQ(ordinary("s1", st)->type, tag("S", gx));
  EXPECT_EQ(ordinary("s2")->type, tag("S", gx));
  EXPECT_EQ(tag("M", st)->kind, TK_TEMPLATE);
  EXPECT_TRUE(ordinary("after"));
  // The table's own lists are unchanged: nothing is declared twice.
  int listed = 0;
  for_each_symbol(table.tags, [&](Symbol *s) { listed += s->decl && s->decl->name && !std::strcmp(s->decl->name, "S"); });
  EXPECT_EQ(listed, 1);
}

TEST_F(Grammar, AliasTemplatesAreReadInTheirNamespace) {
  analyse(
      "namespace s {\n"
      "template<typename T> class na { public: typedef T value_type; T *allocate(int); };\n"
      "template<typename T> using ab = na<T>;\n"
      "template<typename T> class al : public ab<T> { public: typedef T vt; };\n"
      "typedef al<char> ac;\n"
      "}\n"
      "namespace u { s::ab<long> *p; }\n"
      "int after;\n",
      "a.cpp");
  EXPECT_TRUE(g_reports.empty());
  TypeDesc *s = tag("s");
  ASSERT_TRUE(s);
  EXPECT_TRUE(tag("na<char>", s));
  EXPECT_TRUE(tag("al<char>", s));
  ASSERT_TRUE(tag("u"));
  EXPECT_TRUE(ordinary("p", tag("u")));
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, ConstructorsOfAnInstanceLeaveTheTemplateNameUsable) {
  analyse(
      "namespace s {\n"
      "template<typename T> class na { public: na() {}\n"
      "  template<typename U> na(const na<U> &) {}\n"
      "  void take(const na<int> &);\n"
      "  template<typename U> friend bool operator==(const na &, const na<U> &) { return true; }\n"
      "  na<T> *self; };\n"
      "}\n"
      "s::na<char> g;\n"
      "int after;\n",
      "c.cpp");
  EXPECT_TRUE(g_reports.empty());
  TypeDesc *inst = tag("na<char>", tag("s"));
  ASSERT_TRUE(inst);
  EXPECT_TRUE(ordinary("take", inst));
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, FinalClassTemplatesAndReopenedNamespaces) {
  analyse(
      "template<int L> class base { public: virtual ~base(); int n; };\n"
      "template<typename P, int L> class cp final : public base<L> { public: P p; };\n"
      "template<typename P> struct fin final { P q; };\n"
      "template<> struct fin<char> final { char c; };\n"
      "cp<int, 2> g1; fin<long> g2; fin<char> g3;\n"
      // The first name of a reopened namespace is one of its types.
      "namespace ns { typedef unsigned long sz; struct rec { int r; }; }\n"
      "namespace ns { sz hash(const void *p, sz n); }\n"
      "namespace ns { rec last; }\n"
      "int after;\n",
      "f.cpp");
  EXPECT_TRUE(g_reports.empty());
  EXPECT_EQ(tag("cp")->kind, TK_TEMPLATE);
  EXPECT_TRUE(tag("cp<int,2>"));
  EXPECT_TRUE(ordinary("q", tag("fin<long>")));
  EXPECT_TRUE(ordinary("c", tag("fin<char>")));
  TypeDesc *ns = tag("ns");
  ASSERT_TRUE(ns);
  ASSERT_TRUE(ordinary("hash", ns));
  EXPECT_EQ(params(ordinary("hash", ns)->type), 2);
  EXPECT_TRUE(ordinary("last", ns));
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, CharacterTypesOfCppAndMemberTemplatesNamedAfterTemplate) {
  analyse(
      "template<typename T> struct ab { using value_type = T; typedef T it; it load() const; };\n"
      "ab<char16_t> g1; ab<char32_t> g2;\n"
      "using u16 = char16_t;\n"
      "int width(char32_t);\n"
      "namespace g { template<typename A> struct tr { template<typename U> struct rb { typedef U other; }; }; }\n"
      "template<typename C> struct bs { typedef typename g::tr<C>::template rb<char>::other al; al a; };\n"
      "bs<int> gb;\n"
      "template<typename C> typename g::tr<C>::template rb<C>::other first(C c) { return c; }\n"
      "int after;\n",
      "c.cpp");
  EXPECT_TRUE(g_reports.empty());
  EXPECT_TRUE(ordinary("load", tag("ab<char16_t>")));
  EXPECT_TRUE(ordinary("u16"));
  ASSERT_TRUE(ordinary("width"));
  EXPECT_EQ(params(ordinary("width")->type), 1);
  EXPECT_TRUE(ordinary("a", tag("bs<int>")));
  EXPECT_TRUE(ordinary("first"));
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, InlineNamespaceMembersAreFoundFromTheEnclosingNamespace) {
  analyse(
      "namespace s {\n"
      "inline namespace v2 { class cat { public: virtual ~cat(); int id; }; cat &system_cat(); }\n"
      "class code { public: code(int v, const cat &c); private: int val; const cat *pc; };\n"
      "}\n"
      "s::cat *g_cat;\n"
      "int after;\n",
      "i.cpp");
  EXPECT_TRUE(g_reports.empty());
  TypeDesc *s = tag("s");
  ASSERT_TRUE(s);
  TypeDesc *v2 = tag("v2", s);
  ASSERT_TRUE(v2);
  EXPECT_TRUE(tag("cat", v2));
  EXPECT_FALSE(tag("cat", s));  // declared once, in the inline namespace
  EXPECT_TRUE(ordinary("pc", tag("code", s)));
  ASSERT_TRUE(ordinary("g_cat"));
  EXPECT_EQ(ordinary("g_cat")->type->kind, TK_POINTER);
  EXPECT_TRUE(ordinary("after"));
}

TEST_F(Grammar, TrailingResultsOfTemplateMembersDefinedOutside) {
  analyse(
      "template<typename K> struct table { typedef K *node_ptr; node_ptr begin(int b) const; node_ptr at(int);\n"
      "  template<typename... A> node_ptr make(A &&...a); };\n"
      "template<typename K> auto table<K>::begin(int b) const -> node_ptr { return nullptr; }\n"
      "template<typename K> template<typename... A> auto table<K>::make(A &&...a) -> node_ptr { return nullptr; }\n"
      "template<typename K> auto table<K>::at(int i) -> typename table<K>::node_ptr { return nullptr; }\n"
      "table<int> g;\n"
      "int after;\n",
      "t.cpp");
  EXPECT_TRUE(g_reports.empty());
  EXPECT_TRUE(ordinary("begin", tag("table<int>")));
  EXPECT_TRUE(ordinary("after"));
}

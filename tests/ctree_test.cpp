#include "ctree.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cpptab.h"
#include "mstrin.h"
#include "ana_fixture.h"

namespace {

std::vector<ana_fixture::Report> &reports = ana_fixture::reports();

// Every record below belongs to the fixture's table and goes with it.
class Types : public ana_fixture::TableTest {
 protected:
  void SetUp() override { open_table(nullptr, true); }
  void TearDown() override { close_table(); }
};

TEST_F(Types, ComposeSpecifiers) {
  auto compose = [&](std::initializer_list<const char *> words) {
    TypeDesc *t = nullptr;
    for (const char *w : words) t = CPP_compose_type(t, basic_type(w), "f.c", 3);
    return t;
  };
  struct Case {
    std::initializer_list<const char *> words;
    const char *name;
    int size;
    int ch;
  } cases[] = {
      {{"unsigned", "int"}, "unsigned int", 32, 0},
      {{"unsigned", "long", "int"}, "unsigned long int", 32, 0},
      {{"long", "long", "int"}, "long long int", -64, 0},
      {{"long", "unsigned"}, "long unsigned", 32, 0},
      {{"signed", "char"}, "signed char", -8, 1},
      {{"unsigned", "char"}, "unsigned char", 8, 1},
      {{"short", "int"}, "short int", -16, 0},
      {{"unsigned", "short"}, "unsigned short", 16, 0},
      {{"long", "long"}, "long long", -64, 0},
      {{"int", "unsigned"}, "int unsigned", 32, 0},
  };
  for (const Case &c : cases) {
    TypeDesc *t = compose(c.words);
    ASSERT_NE(t, nullptr) << c.name;
    ASSERT_EQ(t->kind, TK_INTEGER) << c.name;
    EXPECT_STREQ(t->integer()->name, c.name);
    EXPECT_EQ(t->integer()->size, c.size) << c.name;
    EXPECT_EQ(t->integer()->char_type, c.ch) << c.name;
  }
  TypeDesc *ld = compose({"long", "double"});
  ASSERT_NE(ld, nullptr);
  EXPECT_EQ(ld->kind, TK_FLOATING);
  EXPECT_STREQ(ld->floating()->name, "long double");
  EXPECT_TRUE(reports.empty());

  EXPECT_EQ(compose({"unsigned", "signed"}), nullptr);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].code, "CONSTRUCT");
  EXPECT_EQ(reports[0].arg, "unsigned signed");
  EXPECT_EQ(compose({"long", "short"}), nullptr);
  EXPECT_EQ(reports.back().arg, "long short");
  EXPECT_EQ(compose({"long", "long", "long"}), nullptr);
  EXPECT_EQ(CPP_compose_type(basic_type("int"), type_new(TK_VOID), "f.c", 1), nullptr);
  EXPECT_EQ(reports.back().arg, "");

  // Qualifiers travel along; a pointer takes the specifier into its target;
  // a typedef name stands.
  TypeDesc *u = private_copy(basic_type("unsigned"));
  append_qualifier(u, qualifier_type("const"));
  TypeDesc *ci = CPP_compose_type(u, basic_type("int"), "f.c", 1);
  ASSERT_NE(ci, nullptr);
  EXPECT_TRUE(type_is_const(ci));
  TypeDesc *p = pointer_to(basic_type("int"));
  TypeDesc *up = CPP_compose_type(basic_type("unsigned"), p, "f.c", 1);
  EXPECT_EQ(up, p);
  EXPECT_STREQ(p->pointer()->target->integer()->name, "unsigned int");
  TypeDesc *td = named_type("T", basic_type("int"));
  EXPECT_EQ(CPP_compose_type(basic_type("int"), td, "f.c", 1), td);
  TypeDesc *cq = CPP_compose_type(basic_type("char"), qualifier_type("volatile"), "f.c", 1);
  ASSERT_NE(cq, nullptr);
  ASSERT_NE(cq->next, nullptr);
  EXPECT_STREQ(cq->next->named()->name, "volatile");

  // Target sizes and plain char follow the settings.
  analysis_settings().sizes->long_bits = 64;
  analysis_settings().sizes->plain_char_unsigned = 1;
  EXPECT_EQ(compose({"unsigned", "long"})->integer()->size, 64);
  EXPECT_EQ(basic_type("char")->integer()->size, 8);

  TypeDesc *bad = type_new(TK_INTEGER);
  bad->kind = static_cast<TypeKind>(16);
  reports.clear();
  EXPECT_EQ(CPP_compose_type(bad, basic_type("int"), "f.c", 1), nullptr);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].code, "ERRINTERN");
  EXPECT_EQ(reports[0].arg, "CPP_compose_type");
}

// A table's basic types are found where they were found last without a
// search: each is the one record of its table's list that the search
// finds, whichever table asked before, and after a scratch section undone
// with the records it made.
TEST_F(Types, BasicTypesAreTheirTablesOwnRecords) {
  const char *words[] = {"int", "unsigned", "long", "char", "signed char", "double", "float", "void", "_Bool",
                         "wchar_t", "unsigned long long", "short"};
  auto in_list = [](SymbolTable *t, TypeDesc *r) {
    for (void *s : table_shared(t))
      if (s == r) return true;
    return false;
  };
  auto search = [](SymbolTable *t, TypeDesc *r) {
    int n = 0;
    for (void *s : table_shared(t)) {
      const TypeDesc *x = static_cast<const TypeDesc *>(s);
      if (x->kind != r->kind) continue;
      if (r->kind == TK_INTEGER && !(x->integer()->name == r->integer()->name &&
                                     x->integer()->size == r->integer()->size &&
                                     x->integer()->char_type == r->integer()->char_type))
        continue;
      if (r->kind == TK_FLOATING && x->floating()->name != r->floating()->name) continue;
      ++n;
    }
    return n;
  };
  SymbolTable a, b;
  table_init(a, nullptr);
  table_init(b, nullptr);
  std::vector<TypeDesc *> first_a, first_b;
  for (const char *w : words) {
    first_a.push_back(basic_type(w, &a));
    first_b.push_back(basic_type(w, &b));
  }
  for (int round = 0; round < 3; ++round)
    for (std::size_t i = 0; i < std::size(words); ++i) {
      TypeDesc *x = basic_type(words[i], round % 2 ? &b : &a);
      TypeDesc *y = basic_type(words[i], round % 2 ? &a : &b);
      ASSERT_NE(x, nullptr) << words[i];
      EXPECT_EQ(x, round % 2 ? first_b[i] : first_a[i]) << words[i];
      EXPECT_EQ(y, round % 2 ? first_a[i] : first_b[i]) << words[i];
      EXPECT_NE(first_a[i], first_b[i]) << words[i];
      EXPECT_TRUE(in_list(&a, first_a[i])) << words[i];
      EXPECT_EQ(search(&a, first_a[i]), 1) << words[i];
    }
  // A record made in a scratch section goes when the section is undone;
  // the type asked again is a record of the list, made anew.
  table_begin_scratch(a, "f");
  TypeDesc *scratch = basic_type("unsigned short", &a);
  ASSERT_NE(scratch, nullptr);
  EXPECT_EQ(basic_type("unsigned short", &a), scratch);
  EXPECT_TRUE(table_end_scratch(a));
  TypeDesc *again = basic_type("unsigned short", &a);
  EXPECT_TRUE(in_list(&a, again));
  EXPECT_EQ(search(&a, again), 1);
  EXPECT_EQ(basic_type("unsigned short", &a), again);
  EXPECT_EQ(basic_type("int", &a), first_a[0]);
  release_table(a);
  release_table(b);
}

// The words of an integer type read in any order and spacing; a word twice
// too many, a word of no integer type or a clash gives no type.
TEST_F(Types, BasicTypeWords) {
  EXPECT_EQ(basic_type("void")->kind, TK_VOID);
  EXPECT_EQ(basic_type("double")->kind, TK_FLOATING);
  EXPECT_EQ(basic_type("_Bool")->kind, TK_INTEGER);
  EXPECT_EQ(basic_type("long unsigned int"), basic_type("long unsigned int"));
  TypeDesc *ul = basic_type("long  unsigned  int");
  ASSERT_NE(ul, nullptr);
  EXPECT_GT(ul->integer()->size, 0);
  TypeDesc *ll = basic_type(" long long ");
  ASSERT_NE(ll, nullptr);
  EXPECT_LT(ll->integer()->size, 0);
  EXPECT_EQ(basic_type("signed char")->integer()->char_type, 1);
  for (const char *bad : {"long short", "int int", "long long long", "unsigned signed", "char int", "voidx",
                          "unsigned float", "longx", "in"})
    EXPECT_EQ(basic_type(bad), nullptr) << bad;
  EXPECT_EQ(basic_type(nullptr), nullptr);
  // A word is known by its text, whatever buffer holds it.
  char word[] = "int";
  EXPECT_EQ(basic_type(word), basic_type("int"));
  std::strcpy(word, "lon");
  EXPECT_EQ(basic_type(word), nullptr);
  char longer[] = "wchar_t";
  EXPECT_EQ(basic_type(longer), basic_type("wchar_t"));
  EXPECT_STREQ(basic_type("_Bool")->integer()->name, "_Bool");
  EXPECT_STREQ(basic_type("unsigned")->integer()->name, "unsigned");
}

// A single word is told by its length and one comparison: it gives the type
// the word-by-word reading gives (a leading blank takes that way), and a
// word of the same length and first letter is no type.
TEST_F(Types, SingleBasicWordsAgreeWithTheWordReading) {
  for (const char *word : {"char", "short", "int", "long", "signed", "unsigned", "float", "double", "bool",
                           "_Bool", "wchar_t", "void"}) {
    TypeDesc *fast = basic_type(word);
    TypeDesc *slow = basic_type((std::string(" ") + word).c_str());
    ASSERT_NE(fast, nullptr) << word;
    EXPECT_EQ(fast, basic_type(word)) << word;
    if (fast->kind == TK_VOID || fast->kind == TK_FLOATING) continue;  // no word reading for these
    ASSERT_EQ(fast->kind, TK_INTEGER) << word;
    if (std::strcmp(word, "bool") == 0 || std::strcmp(word, "_Bool") == 0 || std::strcmp(word, "wchar_t") == 0) {
      EXPECT_EQ(slow, nullptr) << word;
      continue;
    }
    ASSERT_NE(slow, nullptr) << word;
    EXPECT_STREQ(fast->integer()->name, word);
    EXPECT_EQ(fast->integer()->name, intern_string(word)) << word;  // the pool's copy, as a name read would be
    EXPECT_EQ(fast->integer()->size, slow->integer()->size) << word;
    EXPECT_EQ(fast->integer()->char_type, slow->integer()->char_type) << word;
  }
  for (const char *alike : {"inx", "chat", "lone", "boot", "voie", "shirt", "flat", "_Boot", "signal", "doubly",
                            "wchar_x", "unsigner", "Int", "c", "cha", "longer"})
    EXPECT_EQ(basic_type(alike), nullptr) << alike;
}

TEST_F(Types, EveryKindHasItsDetailAndCopies) {
  for (int k = 0; k <= 15; ++k) {
    TypeDesc *t = type_new(static_cast<TypeKind>(k));
    const bool has = t->integer() || t->floating() || t->pointer() || t->array() || t->enumeration() || t->record() ||
                     t->elaborated() || t->function() || t->named() || t->reference() || t->ellipsis() || t->templ();
    EXPECT_EQ(has, k != TK_NONE && k != TK_VOID && k != TK_RESERVED) << k;
    TypeDesc *d = duplicate_type(t);
    EXPECT_EQ(d->kind, t->kind);
    EXPECT_NE(d, t);
  }
  // Deep copy: strings copied, members and enumerators re-created, named
  // aggregates below the top shared.
  TypeDesc *s = record("P", KEY_STRUCT, true);
  class_add_member(s, member_node_new(decl_new("x", basic_type("int")), ACC_PUBLIC));
  TypeDesc *arr = array_of(pointer_to(s));
  arr->array()->has_bound_text = true;
  arr->array()->bound_text = "10";
  append_qualifier(arr->array()->element, qualifier_type("const"));
  TypeDesc *c = duplicate_type(arr);
  EXPECT_EQ(c->array()->bound_text, "10");
  EXPECT_NE(c->array()->element, arr->array()->element);
  EXPECT_EQ(c->array()->element->pointer()->target, s);
  EXPECT_TRUE(type_is_const(c->array()->element));
  TypeDesc *sc = duplicate_type(s);
  EXPECT_NE(sc->record()->first, s->record()->first);
  EXPECT_EQ(sc->record()->first->decl, s->record()->first->decl);
  EXPECT_TRUE(same_scope(sc, s));
  TypeDesc *e = type_new(TK_ENUM);
  enum_add_enumerator(e, enumerator_new("R"));
  TypeDesc *ec = duplicate_type(e);
  EXPECT_NE(ec->enumeration()->first, e->enumeration()->first);
  EXPECT_EQ(ec->enumeration()->first->enumeration, ec);
  EXPECT_EQ(ec->enumeration()->count, 1);
  TypeDesc *f = function_returning(basic_type("int"));
  Declaration *p = decl_new("a", basic_type("int"));
  p->text = "4";
  function_add_param(f, p);
  f->template_word = s;
  TypeDesc *fc = duplicate_type(f);
  EXPECT_NE(fc->function()->info->first_param->decl, p);
  EXPECT_EQ(fc->function()->info->first_param->decl->text, "4");
  EXPECT_EQ(fc->template_word, s);
  EXPECT_TRUE(same_type(f, fc));
  // A long pointer chain copies without trouble.
  TypeDesc *deep = basic_type("int");
  for (int i = 0; i < 5000; ++i) deep = pointer_to(deep);
  EXPECT_TRUE(same_type(duplicate_type(deep), deep));
}

// A bit-field's width shares the block of the declaration's text: whatever
// happens to the text, the width stays, and copies carry both.
TEST_F(Types, BitFieldWidthOutlivesItsDeclarationsText) {
  Declaration *d = decl_new("flags", basic_type("unsigned"));
  EXPECT_EQ(d->bit_width(), 0);
  EXPECT_TRUE(d->text.empty());
  d->text.set_bit_width(70000);  // beyond any type's bits: kept as written
  EXPECT_EQ(d->bit_width(), 70000);
  EXPECT_TRUE(d->text.empty());
  EXPECT_EQ(d->text, "");
  d->text = "{ 3 }";
  EXPECT_EQ(d->text, "{ 3 }");
  EXPECT_EQ(d->bit_width(), 70000);
  Declaration copy = *d;
  EXPECT_EQ(copy.text, "{ 3 }");
  EXPECT_EQ(copy.bit_width(), 70000);
  d->text.clear();
  EXPECT_TRUE(d->text.empty());
  EXPECT_EQ(d->bit_width(), 70000);
  // Another declaration's text is taken without its width.
  Declaration *plain = decl_new("plain", basic_type("int"));
  plain->text = copy.text.view();
  EXPECT_EQ(plain->text, "{ 3 }");
  EXPECT_EQ(plain->bit_width(), 0);
  d->text.set_bit_width(0);
  EXPECT_TRUE(d->text.empty());
  EXPECT_EQ(d->bit_width(), 0);
}

TEST_F(Types, TypePredicates) {
  TypeDesc *cchar = private_copy(basic_type("char"));
  append_qualifier(cchar, qualifier_type("const"));
  EXPECT_TRUE(type_is_const(cchar));
  EXPECT_FALSE(type_is_const(pointer_to(cchar)));  // the pointer itself is not const
  TypeDesc *cp = pointer_to(basic_type("int"));
  append_qualifier(cp, qualifier_type("const"));
  EXPECT_TRUE(type_is_const(cp));
  EXPECT_TRUE(type_is_const(array_of(cchar)));
  EXPECT_TRUE(type_is_const(function_returning(cchar)));
  EXPECT_TRUE(type_is_const(reference_to(cchar)));
  EXPECT_TRUE(type_is_const(named_type("T", cchar)));
  EXPECT_TRUE(type_is_const(qualifier_type("const")));
  EXPECT_FALSE(type_is_const(type_new(TK_ENUM)));

  EXPECT_TRUE(type_is_char_string(pointer_to(basic_type("char"))));
  EXPECT_TRUE(type_is_char_string(array_of(named_type("C", basic_type("char")))));
  EXPECT_TRUE(type_is_char_string(reference_to(named_type("S", pointer_to(basic_type("char"))))));
  EXPECT_FALSE(type_is_char_string(pointer_to(integer_type("unsigned char", 8, 1))));
  EXPECT_FALSE(type_is_char_string(pointer_to(basic_type("int"))));
  EXPECT_FALSE(type_is_char_string(basic_type("char")));

  const char *markers[] = {"_in", "_IN", "_out", "_OUT", "_inout", "_INOUT", "_no", "_NO"};
  for (int i = 0; i < 8; ++i) {
    TypeDesc *t = pointer_to(named_type(markers[i], basic_type("int")));
    EXPECT_EQ(param_mode(t, false), i);
  }
  TypeDesc *marked = private_copy(basic_type("int"));
  TypeDesc *marker = named_type("_out", nullptr);
  append_qualifier(marked, marker);
  EXPECT_EQ(param_mode(reference_to(marked), true), PM_OUT);
  EXPECT_EQ(marker->named()->name, nullptr);
  EXPECT_EQ(param_mode(reference_to(marked), false), PM_NONE);
  EXPECT_EQ(param_mode(basic_type("int"), false), PM_NONE);
}

TEST_F(Types, MemberSelection) {
  TypeDesc *outer = record("O", KEY_CLASS, true);
  auto member = [&](const char *name, TypeDesc *type, int access) {
    Declaration *d = decl_new(name, type);
    d->scope_kind = 1;
    d->scope = outer;
    return member_node_new(d, access);
  };
  EXPECT_TRUE(member_is_selectable(member("a", basic_type("int"), ACC_PUBLIC), 0, 0));
  EXPECT_FALSE(member_is_selectable(member(nullptr, basic_type("int"), ACC_PUBLIC), 0, 0));
  EXPECT_FALSE(member_is_selectable(member("b", basic_type("int"), ACC_PRIVATE), 0, 0));
  EXPECT_TRUE(member_is_selectable(member("b", basic_type("int"), ACC_PRIVATE), 0, 1));
  EXPECT_FALSE(member_is_selectable(member("b", basic_type("int"), ACC_PRIVATE | ACC_INHERITED), 0, 1));
  EXPECT_TRUE(member_is_selectable(member("b", basic_type("int"), ACC_PROTECTED | ACC_INHERITED | ACC_PATH_B), 0, 0));
  TypeDesc *f = function_returning(basic_type("void"));
  EXPECT_TRUE(member_is_selectable(member("f", f, ACC_PUBLIC), 0, 0));
  EXPECT_FALSE(member_is_selectable(member("f", f, ACC_PUBLIC), 1, 0));
  EXPECT_TRUE(member_is_selectable(member(nullptr, type_new(TK_UNION), ACC_PUBLIC), 0, 0));
  TypeDesc *el = type_new(TK_ELABORATED);
  el->elaborated()->named = record("X", KEY_STRUCT, false);
  EXPECT_FALSE(member_is_selectable(member("X", el, ACC_PUBLIC), 0, 0));
  EXPECT_TRUE(member_is_selectable(member("y", el, ACC_PUBLIC), 0, 0));
  EXPECT_FALSE(member_is_selectable(member("self", named_type("OT", outer), ACC_PUBLIC), 0, 0));
  EXPECT_TRUE(member_is_selectable(member("ptr", pointer_to(outer), ACC_PUBLIC), 0, 0));
}

}  // namespace

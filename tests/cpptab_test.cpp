#include "cpptab.h"
#include "cpprend.h"
#include "y_cppa.h"
#include "mstrin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "ana_fixture.h"

namespace {

using ana_fixture::count_code;
std::vector<ana_fixture::Report> &reports = ana_fixture::reports();

class Table : public ana_fixture::TableTest {
 protected:
  void SetUp() override { open_table("TESTREF", true); }
  void TearDown() override { close_table(); }
  Declaration *var(const char *name, TypeDesc *type, unsigned storage = 0, const char *file = "a.c") {
    Declaration *d = decl_new(name, type);
    d->storage = storage;
    d->file = file;
    return d;
  }
  Symbol *enter(Declaration *d, ScopeContext ctx = ScopeContext()) { return enter_declaration(d, table, ctx, 1); }
  int bucket_size(const Bucket &b) {
    int n = 0;
    for (Symbol *s = b.first; s; s = s->next) ++n;
    return n;
  }
};

TEST(BucketRule, SumOfCodesAndLength) {
  EXPECT_EQ(name_bucket(nullptr), 0);
  EXPECT_EQ(name_bucket(""), 0);
  EXPECT_EQ(name_bucket("x"), 10 * (120 % 10) + 1);       // 1
  EXPECT_EQ(name_bucket("ab"), 10 * (195 % 10) + 2);      // 52
  EXPECT_EQ(name_bucket("abcdefghij"), 10 * ((97 * 10 + 45) % 10) + 0);
  EXPECT_EQ(name_bucket("\xe9"), 10 * (233 % 10) + 1);     // bytes count as unsigned codes
  EXPECT_EQ(function_scope_bucket("main"), (109 + 97 + 105 + 110) % 100);
}

TEST_F(Table, BucketsKeepEntryOrderAndOrderNumbers) {
  // "ab" and "ba" share a bucket; list order is entry order.
  Symbol *a = enter(var("ab", basic_type("int")));
  Symbol *b = enter(var("ba", basic_type("int")));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->bucket, 52);
  EXPECT_EQ(table.ordinary[52].first, a);
  EXPECT_EQ(table.ordinary[52].last, b);
  EXPECT_EQ(a->next, b);
  EXPECT_EQ(b->prev, a);
  EXPECT_LT(a->first_order, b->first_order);
  std::vector<const char *> seen;
  for_each_symbol(table.ordinary, [&](Symbol *s) { seen.push_back(s->decl->name); });
  ASSERT_EQ(seen.size(), 2u);
  remove_symbol(table, a);
  EXPECT_EQ(table.ordinary[52].first, b);
  EXPECT_EQ(lookup_ordinary("ab", table, ScopeContext()), nullptr);
  EXPECT_EQ(lookup_ordinary("ba", table, ScopeContext()), b);
}

TEST_F(Table, WholeAreaWalkKeepsBucketAndListOrder) {
  // Lists of very different lengths, entries removed from their heads,
  // middles and ends, and a list emptied: the side-by-side walk gives the
  // order of the plain one.
  std::vector<Symbol *> entered;
  for (int i = 0; i < 3000; ++i) {
    const std::string name = std::string(1 + i % 7, 'v') + std::to_string(i * 37 % 1009);
    if (Symbol *s = enter(var(intern_string(name.c_str()), basic_type("int")))) entered.push_back(s);
  }
  for (std::size_t i = 0; i < entered.size(); i += 3) remove_symbol(table, entered[i]);
  Bucket &emptied = table.ordinary[entered[1]->bucket];
  while (emptied.first) remove_symbol(table, emptied.first);
  std::vector<Symbol *> plain, side_by_side{nullptr};
  for_each_symbol(table.ordinary, [&](Symbol *s) { plain.push_back(s); });
  collect_area_entries(table.ordinary, side_by_side);
  ASSERT_EQ(side_by_side.front(), nullptr);  // appended after what the list held
  side_by_side.erase(side_by_side.begin());
  EXPECT_EQ(side_by_side, plain);
  EXPECT_EQ(emptied.count, 0u);
  std::vector<Symbol *> tags;
  collect_area_entries(table.tags, tags);
  EXPECT_TRUE(tags.empty());
}

TEST_F(Table, RoomMadeAheadKeepsEveryNameFound) {
  // Room made on an empty index, then on one holding names (which are
  // placed again), then asked for less than it has.
  table_reserve(table, 100);
  std::vector<std::string> names;
  for (int i = 0; i < 400; ++i) {
    names.push_back("n" + std::to_string(i));
    ASSERT_NE(enter(var(intern_string(names.back().c_str()), basic_type("int"))), nullptr);
    if (i == 150) table_reserve(table, 5000);
    if (i == 300) table_reserve(table, 10);
  }
  EXPECT_EQ(table_index_size(table), 400u);
  for (const std::string &n : names) EXPECT_NE(lookup_ordinary(n.c_str(), table, ScopeContext()), nullptr) << n;
  EXPECT_EQ(lookup_ordinary("n400", table, ScopeContext()), nullptr);
}

TEST_F(Table, IndexGrowingInLargeAndSmallStepsKeepsEveryNameFound) {
  // A small index grows several steps at once and a large one a step at a
  // time: names entered across both, each found again, none invented.
  std::vector<std::string> names;
  for (int i = 0; i < 8000; ++i) {
    names.push_back("g" + std::to_string(i));
    ASSERT_NE(enter(var(intern_string(names.back().c_str()), basic_type("int"))), nullptr);
  }
  EXPECT_EQ(table_index_size(table), 8000u);
  for (const std::string &n : names) EXPECT_NE(lookup_ordinary(n.c_str(), table, ScopeContext()), nullptr) << n;
  EXPECT_EQ(lookup_ordinary("g8000", table, ScopeContext()), nullptr);
}

TEST_F(Table, OrdinaryRedefinitionRules) {
  // Two definitions: one report, one entry.
  Symbol *x1 = enter(var("x", basic_type("int")));
  Symbol *x2 = enter(var("x", basic_type("int")));
  EXPECT_EQ(x1, x2);
  EXPECT_EQ(count_code("REDEFSYMB"), 1);
  EXPECT_EQ(reports[0].arg, "x");
  EXPECT_EQ(bucket_size(table.ordinary[x1->bucket]), 1);

  // extern then definition: one entry, storage cleared, definition order set.
  Symbol *e = enter(var("y", basic_type("int"), SF_EXTERN));
  std::uint32_t first = e->first_order;
  Declaration *def = var("y", basic_type("int"), 0, "b.c");
  def->text = "3";
  EXPECT_EQ(enter(def), e);
  EXPECT_EQ(e->decl->storage, 0u);
  EXPECT_STREQ(e->decl->file, "b.c");
  EXPECT_GT(e->def_order, first);
  // A later extern only refreshes the file.
  EXPECT_EQ(enter(var("y", basic_type("int"), SF_EXTERN, "c.c")), e);
  EXPECT_STREQ(e->decl->file, "c.c");
  EXPECT_EQ(count_code("REDEFSYMB"), 1);

  // Statics of two files are two entries; twice in one file is a redefinition.
  Symbol *s1 = enter(var("z", basic_type("int"), SF_STATIC, "one.c"));
  Symbol *s2 = enter(var("z", basic_type("int"), SF_STATIC, "two.c"));
  EXPECT_NE(s1, s2);
  EXPECT_EQ(bucket_size(table.ordinary[s1->bucket]), 2);
  EXPECT_EQ(enter(var("z", basic_type("int"), SF_STATIC, "two.c")), s2);
  EXPECT_EQ(count_code("REDEFSYMB"), 2);

  // typedef struct S S twice with the same type: silent.
  TypeDesc *st = record("S", KEY_STRUCT, true);
  auto elab = [&] {
    TypeDesc *t = type_new(TK_ELABORATED);
    t->elaborated()->named = st;
    return t;
  };
  enter(var("S", elab(), SF_TYPEDEF));
  enter(var("S", elab(), SF_TYPEDEF));
  EXPECT_EQ(count_code("REDEFSYMB"), 2);
}

TEST_F(Table, FunctionsMatchByParameterList) {
  auto fn = [&](const char *param_type, bool defined) {
    TypeDesc *f = function_returning(basic_type("int"));
    if (param_type) function_add_param(f, decl_new("p", basic_type(param_type)));
    f->function()->info->defined = defined;
    return f;
  };
  Symbol *proto = enter(var("f", fn("int", false)));
  ASSERT_NE(proto, nullptr);
  std::uint32_t before = proto->def_order;
  EXPECT_EQ(enter(var("f", fn("int", true))), nullptr);  // merged into the prototype
  EXPECT_EQ(proto->decl->type->function()->info->defined, 1);
  EXPECT_GT(proto->def_order, before);
  // A prototype after the definition keeps the definition's names and body.
  TypeDesc *definition = proto->decl->type;
  TypeDesc *late = fn("int", false);
  late->function()->info->first_param->decl->name = nullptr;
  late->function()->info->first_param->decl->text = "7";
  EXPECT_EQ(enter(var("f", late)), nullptr);
  EXPECT_EQ(proto->decl->type, definition);
  EXPECT_STREQ(definition->function()->info->first_param->decl->name, "p");
  EXPECT_EQ(definition->function()->info->first_param->decl->text, "7");
  Symbol *overload = enter(var("f", fn("double", false)));
  EXPECT_NE(overload, nullptr);
  EXPECT_NE(overload, proto);
  EXPECT_EQ(find_function("f", table, nullptr, fn("double", false)), overload);
  EXPECT_EQ(count_code("REDEFSYMB"), 0);
  // An empty list and (void) are the same list.
  Symbol *g = enter(var("g", fn(nullptr, false)));
  EXPECT_EQ(enter(var("g", fn("void", false))), nullptr);
  EXPECT_NE(g, nullptr);
  // Lenient matching takes a typedef name for what it stands for.
  analysis_settings().lenient_matching = 1;
  TypeDesc *h1 = function_returning(basic_type("void"));
  function_add_param(h1, decl_new("a", basic_type("int")));
  TypeDesc *h2 = function_returning(basic_type("void"));
  function_add_param(h2, decl_new("a", named_type("INT", basic_type("int"))));
  enter(var("h", h1));
  EXPECT_EQ(enter(var("h", h2)), nullptr);
}

TEST_F(Table, TagsEnumsAndTemplates) {
  // Forward declaration then body: one entry with a later definition number.
  Symbol *fwd = enter(var("S", record("S", KEY_STRUCT, false)));
  ASSERT_NE(fwd, nullptr);
  EXPECT_NE(fwd->first_order, 0u);
  EXPECT_EQ(fwd->def_order, 0u);
  TypeDesc *forward_type = fwd->decl->type;
  TypeDesc *body = record("S", KEY_STRUCT, true);
  Declaration *m = decl_new("a", basic_type("int"));
  m->scope_kind = 1;
  m->scope = body;
  class_add_member(body, member_node_new(m, ACC_PUBLIC));
  EXPECT_EQ(enter(var("S", body)), fwd);
  EXPECT_GT(fwd->def_order, fwd->first_order);
  EXPECT_EQ(fwd->decl->type, forward_type);  // completed in place
  EXPECT_EQ(forward_type->record()->member_count, 1);
  EXPECT_TRUE(same_scope(forward_type, body));
  // A forward declaration after the body is dropped.
  EXPECT_EQ(enter(var("S", record("S", KEY_STRUCT, false))), fwd);
  int tags = 0;
  for_each_symbol(table.tags, [&](Symbol *) { ++tags; });
  EXPECT_EQ(tags, 1);

  // Two unnamed enumerations in tag bucket 0, their constants visible.
  for (const char *names : {"A", "B"}) {
    TypeDesc *e = type_new(TK_ENUM);
    EnumeratorRec *r = enumerator_new(names);
    r->has_value = true;
    r->value_text = "1";
    enum_add_enumerator(e, r);
    enter(var(nullptr, e));
  }
  EXPECT_EQ(bucket_size(table.tags[0]), 2);
  Symbol *a = lookup_ordinary("A", table, ScopeContext());
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->area, AREA_ENUMERATOR);
  EXPECT_EQ(a->decl->text, "1");
  EXPECT_NE(lookup_enumerator("B", table, ScopeContext()), nullptr);

  // Named enumeration defined twice: REDEFSTRU; without enumerators: merged.
  auto named_enum = [&](bool with) {
    TypeDesc *e = type_new(TK_ENUM);
    e->enumeration()->name = intern_string("E");
    if (with) enum_add_enumerator(e, enumerator_new("E1"));
    return e;
  };
  Symbol *e1 = enter(var("E", named_enum(true)));
  EXPECT_EQ(enter(var("E", named_enum(false))), e1);
  EXPECT_EQ(count_code("REDEFSTRU"), 0);
  EXPECT_EQ(enter(var("E", named_enum(true))), e1);
  EXPECT_EQ(count_code("REDEFSTRU"), 1);
  EXPECT_EQ(lookup_tag("E", table, TK_ENUM, ScopeContext()), e1);
  EXPECT_EQ(lookup_tag("E", table, TK_CLASS, ScopeContext()), nullptr);

  // Class templates: same parameters drop the new one, others are overloads.
  auto templ = [&](bool body, bool value_param) {
    TypeDesc *t = type_new(TK_TEMPLATE);
    t->templ()->name = intern_string("L");
    t->templ()->has_body = body;
    TemplateParam *p = template_param_new("T");
    p->is_type = value_param ? 0 : 1;
    if (value_param) p->value_type = basic_type("int");
    template_add_param(t, p);
    return t;
  };
  Symbol *t1 = enter(var("L", templ(true, false)));
  EXPECT_EQ(enter(var("L", templ(true, false))), t1);
  Symbol *t2 = enter(var("L", templ(true, true)));
  EXPECT_NE(t2, t1);
  // A declaration after the definition repeats it, silently.
  EXPECT_EQ(enter(var("L", templ(false, false))), t2);
  EXPECT_EQ(count_code("REDEFSYMB"), 0);
  // A definition after a declaration completes the declared template.
  Declaration *m1 = var("M", templ(false, false));
  m1->type->templ()->name = intern_string("M");
  Symbol *mt = enter(m1);
  TypeDesc *declared = mt->decl->type;
  TypeDesc *def = templ(true, false);
  def->templ()->name = intern_string("M");
  def->templ()->body = "{ T v; }";
  EXPECT_EQ(enter(var("M", def)), mt);
  EXPECT_EQ(mt->decl->type, declared);
  EXPECT_EQ(declared->templ()->body, "{ T v; }");
  EXPECT_TRUE(declared->templ()->declared_before);
  EXPECT_EQ(count_code("REDEFSYMB"), 0);

  // Friend of the reference name.
  TypeDesc *c = record("Tested", KEY_CLASS, true);
  Declaration *f = decl_new("TESTREF", record("TESTREF", KEY_CLASS, false));
  f->storage = SF_FRIEND;
  class_add_member(c, member_node_new(f, ACC_PRIVATE));
  enter(var("Tested", c));
  EXPECT_EQ(c->record()->friend_of_reference, 1);
}

TEST_F(Table, VisibilityThroughScopesAndUsingDirectives) {
  TypeDesc *ns = record("N", KEY_NAMESPACE, true);
  enter(var("N", ns));
  ScopeContext in_ns{1, ns};
  Symbol *inner = enter(var("v", basic_type("int")), in_ns);
  Symbol *outer = enter(var("w", basic_type("int")));
  ASSERT_TRUE(inner && outer);
  EXPECT_EQ(inner->decl->scope, ns);
  EXPECT_EQ(lookup_ordinary("v", table, ScopeContext()), nullptr);
  EXPECT_EQ(lookup_ordinary("v", table, in_ns), inner);
  EXPECT_EQ(lookup_ordinary("w", table, in_ns), outer);  // repeated from file level
  EXPECT_FALSE(is_visible(inner, ScopeContext(), table));
  EXPECT_TRUE(is_visible(inner, in_ns, table));

  // A reopened namespace is one scope.
  TypeDesc *again = record("N", KEY_NAMESPACE, true);
  namespace_reopen(ns, again);
  EXPECT_EQ(enter(var("N", again)), lookup_tag("N", table, TK_CLASS, ScopeContext()));
  ScopeContext in_again{1, again};
  EXPECT_EQ(lookup_ordinary("v", table, in_again), inner);
  Symbol *late = enter(var("late", basic_type("int")), in_again);
  EXPECT_EQ(lookup_ordinary("late", table, in_ns), late);

  // using namespace N at file level.
  table.using_namespaces.push_back(again);
  EXPECT_EQ(lookup_ordinary("v", table, ScopeContext()), inner);
  EXPECT_TRUE(is_visible(inner, ScopeContext(), table));

  // Class scope inside the namespace, and the last/first choice.
  TypeDesc *cls = record("C", KEY_CLASS, true);
  cls->scope_kind = 1;
  cls->scope = ns;
  ScopeContext in_cls{1, cls};
  EXPECT_EQ(lookup_ordinary("v", table, in_cls), inner);
  Symbol *s1 = enter(var("dup", basic_type("int"), SF_STATIC, "1.c"));
  Symbol *s2 = enter(var("dup", basic_type("int"), SF_STATIC, "2.c"));
  EXPECT_EQ(lookup_ordinary("dup", table, ScopeContext()), s2);
  analysis_settings().first_match = 1;
  EXPECT_EQ(lookup_ordinary("dup", table, ScopeContext()), s1);

  // Function scopes are found again by name.
  TypeDesc *fs = function_scope(table, "main");
  EXPECT_EQ(fs->kind, TK_FUNCTION);
  EXPECT_EQ(function_scope(table, "main"), fs);
  EXPECT_NE(function_scope(table, "niam"), fs);  // same list, another node
  Symbol *local = enter(var("v", basic_type("int")), ScopeContext{1, fs});
  EXPECT_EQ(lookup_ordinary("v", table, ScopeContext{1, fs}), local);
  EXPECT_STRNE(unnamed_namespace_name(), unnamed_namespace_name());
  std::string un = unnamed_namespace_name();
  EXPECT_EQ(un.rfind("ortek_unnamed_namespace_", 0), 0u);
}

// The look-ups that walk the enclosing scopes hash the name once and ask
// the index's set of names first: each finds what a look-up at every level
// in turn finds, for names in nested scopes and used namespaces, names
// taken out again and names never entered, among many others.
TEST_F(Table, ScopeWalksAgreeWithLookUpsLevelByLevel) {
  TypeDesc *ns = record("NS", KEY_NAMESPACE, true);
  enter(var("NS", ns));
  TypeDesc *used = record("U", KEY_NAMESPACE, true);
  enter(var("U", used));
  TypeDesc *cls = record("K", KEY_CLASS, true);
  cls->scope_kind = 1;
  cls->scope = ns;
  enter(var("K", cls), ScopeContext{1, ns});
  ns->record()->using_namespaces.push_back(used);
  std::vector<Symbol *> removed;
  for (int i = 0; i < 400; ++i) {
    const std::string n = "n" + std::to_string(i);
    TypeDesc *scope = i % 4 == 0 ? nullptr : i % 4 == 1 ? ns : i % 4 == 2 ? cls : used;
    Symbol *e = enter(var(intern_string(n.c_str()), basic_type("int")), ScopeContext{scope ? 1 : 0, scope});
    if (i % 7 == 0) enter(decl_new(intern_string(n.c_str()), record(intern_string(n.c_str()), KEY_STRUCT, true)),
                          ScopeContext{scope ? 1 : 0, scope});
    if (i % 5 == 0 && e) removed.push_back(e);
  }
  for (Symbol *e : removed) remove_symbol(table, e);
  auto walk = [&](const char *name, int area, int kind, TypeDesc *s) -> Symbol * {
    for (int guard = 0; guard < 100; ++guard) {
      Symbol *f = lookup_at_level(name, table, area, s, kind, false);
      if (!f && area == AREA_ORDINARY) f = lookup_at_level(name, table, AREA_ENUMERATOR, s, -1, false);
      if (f || !s) return f;
      s = enclosing_scope(s);
    }
    return nullptr;
  };
  for (int i = 0; i < 500; ++i) {
    const std::string n = "n" + std::to_string(i);
    const char *name = n.c_str();
    for (TypeDesc *scope : {static_cast<TypeDesc *>(nullptr), ns, cls, used}) {
      const ScopeContext ctx{scope ? 1 : 0, scope};
      EXPECT_EQ(lookup_ordinary(name, table, ctx), walk(name, AREA_ORDINARY, -1, scope)) << n;
      EXPECT_EQ(lookup_tag(name, table, TK_CLASS, ctx), walk(name, AREA_TAG, TK_CLASS, scope)) << n;
      EXPECT_EQ(lookup_tag(name, table, -1, ctx), walk(name, AREA_TAG, -1, scope)) << n;
    }
  }
  EXPECT_NE(lookup_ordinary("n1", table, ScopeContext{1, cls}), nullptr);
  EXPECT_EQ(lookup_ordinary("n1", table, ScopeContext()), nullptr);
  EXPECT_EQ(lookup_ordinary("n5", table, ScopeContext{1, cls}), nullptr);
  EXPECT_EQ(lookup_ordinary("", table, ScopeContext()), nullptr);
  EXPECT_EQ(lookup_tag(nullptr, table, -1, ScopeContext()), nullptr);
}

// A declaration's name is hashed once for the look-ups of its own name and
// its entry, and a name no scope holds is known from the index's set of
// names: a repeated declaration still finds the entry of the first, among
// thousands of others, in its scope only, and one taken out is entered anew.
TEST_F(Table, RepeatedDeclarationsFindTheirFirstEntry) {
  TypeDesc *ns = record("RN", KEY_NAMESPACE, true);
  enter(var("RN", ns));
  std::vector<Symbol *> first, tags;
  std::vector<std::string> names;
  for (int i = 0; i < 2000; ++i) names.push_back("r" + std::to_string(i));
  for (const std::string &n : names) {
    first.push_back(enter(var(intern_string(n.c_str()), basic_type("int"), SF_EXTERN)));
    tags.push_back(enter(decl_new(intern_string(n.c_str()), record(intern_string(n.c_str()), KEY_STRUCT, false))));
    ASSERT_NE(first.back(), nullptr) << n;
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string copy = names[i];  // another buffer of the same text
    EXPECT_EQ(enter(var(copy.c_str(), basic_type("int"), SF_EXTERN)), first[i]) << copy;
    EXPECT_EQ(enter(decl_new(copy.c_str(), record(intern_string(copy.c_str()), KEY_STRUCT, false))), tags[i]) << copy;
    // The same name in another scope is another entry.
    Symbol *other = enter(var(copy.c_str(), basic_type("int"), SF_EXTERN), ScopeContext{1, ns});
    EXPECT_NE(other, nullptr);
    EXPECT_NE(other, first[i]) << copy;
  }
  for (std::size_t i = 0; i < names.size(); i += 3) remove_symbol(table, first[i]);
  for (std::size_t i = 0; i < names.size(); ++i) {
    Symbol *again = enter(var(names[i].c_str(), basic_type("int"), SF_EXTERN));
    if (i % 3 == 0) {
      EXPECT_NE(again, first[i]) << names[i];
      EXPECT_EQ(lookup_ordinary(names[i].c_str(), table, ScopeContext()), again) << names[i];
    } else {
      EXPECT_EQ(again, first[i]) << names[i];
    }
  }
}

TEST_F(Table, RecordingAndRelease) {
  analysis_settings().recording = 1;
  Symbol *a = enter(var("a", basic_type("int"), SF_EXTERN));
  enter(var("a", basic_type("int")));
  enter(var("b", basic_type("int")));
  ASSERT_EQ(table.recorded.size(), 3u);
  EXPECT_EQ(table.recorded[0], a);
  EXPECT_EQ(table.recorded[1], a);
  release_table(table);
  EXPECT_EQ(table.counter, 0u);
  EXPECT_TRUE(table.recorded.empty());
  for (int b = 0; b < TABLE_BUCKETS; ++b) EXPECT_EQ(table.ordinary[b].first, nullptr);
  EXPECT_EQ(lookup_ordinary("a", table, ScopeContext()), nullptr);
  table_init(table, nullptr);
  EXPECT_NE(enter(var("a", basic_type("int"))), nullptr);
  EXPECT_EQ(count_code("REDEFSYMB"), 0);
}

// What a lookup by index must agree with: a walk over the buckets that
// compares scopes as they stand now.
Symbol *walk_in_scope(SymbolTable &t, const char *name, TypeDesc *scope) {
  Symbol *found = nullptr;
  for_each_symbol(t.ordinary, [&](Symbol *s) {
    const Declaration *d = s->decl;
    TypeDesc *own = d->scope_kind ? d->scope : nullptr;
    if (d->name && std::string(d->name) == name && (own && scope ? same_scope(own, scope) : own == scope)) found = s;
  });
  return found;
}

TEST_F(Table, IndexedLookupsAgreeWithListWalks) {
  // Function scopes: one node per name, found again from any spelling of it,
  // and the lists keep their own order (newest first).
  const int n = 3000;
  std::vector<TypeDesc *> scopes;
  for (int i = 0; i < n; ++i) scopes.push_back(function_scope(table, ("svc_" + std::to_string(i)).c_str()));
  for (int i = 0; i < n; ++i) {
    std::string name = "svc_" + std::to_string(i);
    ASSERT_EQ(function_scope(table, name.c_str()), scopes[i]) << name;
  }
  int nodes = 0;
  for (int b = 0; b < TABLE_BUCKETS; ++b) {
    int previous = n;
    for (FunctionScopeNode *f = table.function_scopes[b]; f; f = f->next, ++nodes) {
      EXPECT_EQ(function_scope_bucket(f->name), b);
      const int i = std::stoi(std::string(f->name).substr(4));
      EXPECT_LT(i, previous);
      EXPECT_EQ(f->scope, scopes[i]);
      previous = i;
    }
  }
  EXPECT_EQ(nodes, n);
  release_table(table);
  table_init(table, "TESTREF");
  for (int b = 0; b < TABLE_BUCKETS; ++b) EXPECT_EQ(table.function_scopes[b], nullptr);
  TypeDesc *again = function_scope(table, "svc_0");
  EXPECT_EQ(table.function_scopes[function_scope_bucket("svc_0")]->scope, again);

  // A scope completed after its forward declaration: what was entered with
  // the forward type and what comes with the body are found from either.
  TypeDesc *forward = record("S", KEY_STRUCT, false);
  ASSERT_NE(enter(decl_new("S", forward)), nullptr);
  Symbol *early = enter(var("early", basic_type("int")), ScopeContext{1, forward});
  TypeDesc *body = record("S", KEY_STRUCT, true);
  class_add_member(body, member_node_new(decl_new("m", basic_type("int")), ACC_PUBLIC));
  enter(decl_new("S", body));
  Symbol *late = enter(var("late", basic_type("int")), ScopeContext{1, body});
  ASSERT_TRUE(early && late);
  EXPECT_TRUE(same_scope(forward, body));
  for (TypeDesc *scope : {forward, body}) {
    for (const char *name : {"early", "late"}) {
      EXPECT_EQ(lookup_in_scope(name, table, AREA_ORDINARY, scope), walk_in_scope(table, name, scope)) << name;
      EXPECT_NE(lookup_in_scope(name, table, AREA_ORDINARY, scope), nullptr) << name;
    }
    EXPECT_EQ(lookup_ordinary("early", table, ScopeContext{1, scope}), early);
  }
  EXPECT_EQ(lookup_in_scope("early", table, AREA_ORDINARY, nullptr), nullptr);
  // A second body takes the record again: what the forward type stands for
  // moves on, what was entered with the first body stays with it.
  TypeDesc *second = record("S", KEY_STRUCT, true);
  enter(decl_new("S", second));
  Symbol *third = enter(var("third", basic_type("int")), ScopeContext{1, second});
  ASSERT_NE(third, nullptr);
  EXPECT_TRUE(same_scope(forward, second));
  EXPECT_FALSE(same_scope(body, second));
  for (TypeDesc *scope : {forward, body, second})
    for (const char *name : {"early", "late", "third"})
      EXPECT_EQ(lookup_in_scope(name, table, AREA_ORDINARY, scope), walk_in_scope(table, name, scope)) << name;
  EXPECT_EQ(lookup_in_scope("early", table, AREA_ORDINARY, forward), early);
  EXPECT_EQ(lookup_in_scope("late", table, AREA_ORDINARY, body), late);
  // Removing it afterwards takes it out of the index too.
  remove_symbol(table, early);
  for (TypeDesc *scope : {forward, body, second})
    EXPECT_EQ(lookup_in_scope("early", table, AREA_ORDINARY, scope), nullptr);

  // Removing entries: only the recorded ones leave the recorded list, each
  // with every one of its recordings; the others keep their order.
  analysis_settings().recording = 1;
  Symbol *a = enter(var("ra", basic_type("int"), SF_EXTERN));
  Symbol *b = enter(var("rb", basic_type("int")));
  enter(var("ra", basic_type("int")));  // completes a: recorded again
  analysis_settings().recording = 0;
  Symbol *quiet = enter(var("quiet", basic_type("int")));
  ASSERT_EQ(table.recorded.size(), 3u);
  remove_symbol(table, quiet);
  EXPECT_EQ(table.recorded.size(), 3u);
  remove_symbol(table, a);
  ASSERT_EQ(table.recorded.size(), 1u);
  EXPECT_EQ(table.recorded[0], b);
  remove_symbol(table, a);  // twice: nothing more happens
  EXPECT_EQ(table.recorded.size(), 1u);
}

TEST_F(Table, SeveralEntriesOfOneNameComeAndGo) {
  // Statics of one name from three files stand side by side; the newest is
  // found, and removing entries in any order leaves the newest remaining one.
  Symbol *a = enter(var("s", basic_type("int"), SF_STATIC, "a.c"));
  Symbol *b = enter(var("s", basic_type("int"), SF_STATIC, "b.c"));
  Symbol *c = enter(var("s", basic_type("int"), SF_STATIC, "c.c"));
  ASSERT_TRUE(a && b && c);
  ASSERT_TRUE(a != b && b != c);
  EXPECT_EQ(lookup_ordinary("s", table, ScopeContext()), c);
  remove_symbol(table, b);
  EXPECT_EQ(lookup_ordinary("s", table, ScopeContext()), c);
  remove_symbol(table, c);
  EXPECT_EQ(lookup_ordinary("s", table, ScopeContext()), a);
  Symbol *d = enter(var("s", basic_type("int"), SF_STATIC, "d.c"));
  EXPECT_EQ(lookup_ordinary("s", table, ScopeContext()), d);
  analysis_settings().first_match = 1;
  EXPECT_EQ(lookup_ordinary("s", table, ScopeContext()), a);
  analysis_settings().first_match = 0;
  remove_symbol(table, a);
  remove_symbol(table, d);
  EXPECT_EQ(lookup_ordinary("s", table, ScopeContext()), nullptr);
  EXPECT_NE(enter(var("s", basic_type("int"), SF_STATIC, "e.c")), nullptr);
  EXPECT_NE(lookup_ordinary("s", table, ScopeContext()), nullptr);
  EXPECT_EQ(count_code("REDEFSYMB"), 0);
}

// Entries come and go in many scopes at once (services add their own and
// remove them again): after every wave, the index finds exactly what the
// bucket lists hold, across the growth of the index and the removals that
// close the gaps behind them.
TEST_F(Table, IndexAgreesWithTheListsThroughManyRemovals) {
  const int scopes = 40, names = 300;
  std::vector<TypeDesc *> scope;
  for (int i = 0; i < scopes; ++i) scope.push_back(function_scope(table, ("fn" + std::to_string(i)).c_str()));
  std::vector<std::vector<Symbol *>> entry(scopes, std::vector<Symbol *>(names, nullptr));
  std::vector<std::string> name;
  for (int j = 0; j < names; ++j) name.push_back("n" + std::to_string(j));
  unsigned seed = 12345;
  auto random = [&seed](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  for (int wave = 0; wave < 6; ++wave) {
    for (int k = 0; k < scopes * names / 2; ++k) {
      const unsigned i = random(scopes), j = random(names);
      Symbol *&e = entry[i][j];
      if (e) {
        remove_symbol(table, e);
        e = nullptr;
      } else {
        e = enter(var(name[j].c_str(), basic_type("int")), ScopeContext{1, scope[i]});
        ASSERT_NE(e, nullptr);
      }
    }
    for (int i = 0; i < scopes; ++i)
      for (int j = 0; j < names; ++j) {
        Symbol *found = lookup_in_scope(name[j].c_str(), table, AREA_ORDINARY, scope[i]);
        ASSERT_EQ(found, entry[i][j]) << "wave " << wave << " fn" << i << " " << name[j];
        if ((i + j + wave) % 16 == 0) {
          ASSERT_EQ(found, walk_in_scope(table, name[j].c_str(), scope[i]));
        }
      }
    // A name no scope holds, and the file scope, which holds none of them.
    EXPECT_EQ(lookup_in_scope("absent", table, AREA_ORDINARY, scope[0]), nullptr);
    EXPECT_EQ(lookup_in_scope(name[0].c_str(), table, AREA_ORDINARY, nullptr), nullptr);
  }
}

TEST_F(Table, ManyGlobalsStayFast) {
  const int n = 100000;
  auto start = std::chrono::steady_clock::now();
  std::vector<std::string> names;
  names.reserve(n);
  for (int i = 0; i < n; ++i) names.push_back("global_" + std::to_string(i));
  TypeDesc *type = basic_type("int");
  for (int i = 0; i < n; ++i) enter(var(names[i].c_str(), type));
  for (int i = 0; i < n; i += 7) ASSERT_NE(lookup_ordinary(names[i].c_str(), table, ScopeContext()), nullptr);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 20.0);  // quadratic behaviour would take minutes
  int total = 0;
  for (int b = 0; b < TABLE_BUCKETS; ++b) total += bucket_size(table.ordinary[b]);
  EXPECT_EQ(total, n);
  EXPECT_EQ(count_code("REDEFSYMB"), 0);
}

}  // namespace

namespace {

class Scratch : public Table {
 protected:
  void parse(const char *text, const char *function = "") {
    analyse_text(text, table, function, "t.cpp", 1, 0, 0);
  }
  Symbol *in_scope(const char *name, const char *function) {
    return lookup_at_level(name, table, AREA_ORDINARY, function_scope(table, function), -1);
  }
  int ordinary_entries() {
    int n = 0;
    for_each_symbol(table.ordinary, [&](Symbol *) { ++n; });
    return n;
  }
};

// The scanner's one search per area finds what the six searches by kind,
// in their order, find: a class before the typedef of its own tag, an
// ordinary name before an enum or union tag of that name, entries of used
// namespaces weighed against the scope's own, the first or the last entry.
TEST_F(Scratch, NameAtLevelAgreesWithTheSearchesByKind) {
  parse("typedef struct S { int a; } S;\n"
        "enum Col { RED, GREEN };\nint Col;\n"
        "union U { int i; };\nenum Only { ONE };\n"
        "typedef int T;\n"
        "namespace N { struct K { int k; }; int v; enum Col2 { BLUE }; union W { int w; }; }\n"
        "int K;\nusing namespace N;\n"
        "template <class X> struct Box { X x; };\n"
        "namespace M { int v; typedef int T; }\n");
  TypeDesc *n = lookup_tag("N", table, -1, ScopeContext())->decl->type;
  TypeDesc *m = lookup_tag("M", table, -1, ScopeContext())->decl->type;
  auto by_kind = [&](const char *name, TypeDesc *scope) {
    Symbol *e = lookup_at_level(name, table, AREA_TAG, scope, TK_CLASS);
    if (!e) e = lookup_at_level(name, table, AREA_TAG, scope, TK_TEMPLATE);
    if (!e) e = lookup_at_level(name, table, AREA_ORDINARY, scope, -1, true);
    if (!e) e = lookup_at_level(name, table, AREA_ENUMERATOR, scope, -1);
    if (!e) e = lookup_at_level(name, table, AREA_TAG, scope, TK_ENUM);
    if (!e) e = lookup_at_level(name, table, AREA_TAG, scope, TK_UNION);
    return e;
  };
  const char *names[] = {"S", "Col", "RED", "U", "Only", "ONE", "T", "K", "v", "BLUE", "Col2", "W",
                         "Box", "N", "M", "absent"};
  for (int first : {0, 1}) {
    analysis_settings().first_match = first;
    for (TypeDesc *scope : {static_cast<TypeDesc *>(nullptr), n, m})
      for (const char *name : names)
        EXPECT_EQ(lookup_name_at_level(name, table, scope), by_kind(name, scope))
            << name << " first " << first << " in " << (scope ? "a namespace" : "the file");
  }
  analysis_settings().first_match = 0;
  // The lists of one name in the three areas are found in one walk of the
  // index: it still finds each among very many other names and scopes.
  std::string many;
  for (int i = 0; i < 400; ++i) {
    const std::string k = std::to_string(i);
    many += "struct c" + k + " { int c" + k + "; }; int o" + k + "; enum { e" + k + " };\n";
    many += "namespace n" + k + " { union c" + k + " { int u; }; int e" + k + "; }\n";
  }
  parse(many.c_str());
  for (int i = 0; i < 400; i += 7) {
    const std::string k = std::to_string(i);
    TypeDesc *ns = lookup_tag(("n" + k).c_str(), table, -1, ScopeContext())->decl->type;
    for (const std::string &name : {"c" + k, "o" + k, "e" + k, "x" + k})
      for (TypeDesc *scope : {static_cast<TypeDesc *>(nullptr), ns})
        EXPECT_EQ(lookup_name_at_level(name.c_str(), table, scope), by_kind(name.c_str(), scope)) << name;
  }
  Symbol *s = lookup_name_at_level("S", table, nullptr);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->area, AREA_TAG);  // the class, not the typedef of its tag
  Symbol *col = lookup_name_at_level("Col", table, nullptr);
  ASSERT_NE(col, nullptr);
  EXPECT_EQ(col->area, AREA_ORDINARY);  // the variable, not the enum
  Symbol *k = lookup_name_at_level("K", table, nullptr);
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(k->area, AREA_TAG);  // the class of the used namespace, before the variable
  EXPECT_EQ(lookup_name_at_level("absent", table, nullptr), nullptr);
}

// The scanner skips every look-up of a name the table says no scope holds:
// a name that any scope, area or using-declaration holds is never denied.
// The answer for other names may be "maybe", but seldom is, also once
// removed names have made way for very many others.
TEST_F(Table, MayHoldNameFollowsEntriesInEveryScopeAndArea) {
  EXPECT_FALSE(table_may_hold_name(table, table_name("x")));
  EXPECT_FALSE(table_may_hold_name(table, table_name(nullptr)));
  EXPECT_FALSE(table_may_hold_name(table, table_name("")));
  Symbol *x = enter(var("x", basic_type("int")));
  TypeDesc *fs = function_scope(table, "f");
  Symbol *y = enter(var("y", basic_type("int")), ScopeContext{1, fs});
  EXPECT_TRUE(table_may_hold_name(table, table_name("x")));
  EXPECT_TRUE(table_may_hold_name(table, table_name("y")));
  Symbol *x2 = enter(var("x", basic_type("char")), ScopeContext{1, fs});
  remove_symbol(table, x);
  EXPECT_TRUE(table_may_hold_name(table, table_name("x")));  // the one in f stays
  remove_symbol(table, x2);
  remove_symbol(table, y);
  // Entered again after its removal.
  enter(var("y", basic_type("int")));
  EXPECT_TRUE(table_may_hold_name(table, table_name("y")));
  // Very long names, and very many: the set grows with the index.
  const std::string long_name(5000, 'q');
  enter(var(intern_string(long_name.c_str()), basic_type("int")));
  EXPECT_TRUE(table_may_hold_name(table, table_name(long_name.c_str())));
  std::vector<Symbol *> gone;
  for (int i = 0; i < 400; ++i)
    gone.push_back(enter(var(intern_string(("gone" + std::to_string(i)).c_str()), basic_type("int")), ScopeContext{1, fs}));
  for (Symbol *g : gone) remove_symbol(table, g);
  for (int i = 0; i < 6000; i += 2) enter(var(intern_string(("n" + std::to_string(i)).c_str()), basic_type("int")));
  int maybe_absent = 0, maybe_gone = 0;
  for (int i = 0; i < 6000; ++i) {
    const bool maybe = table_may_hold_name(table, table_name(("n" + std::to_string(i)).c_str()));
    if (i % 2 == 0)
      EXPECT_TRUE(maybe) << i;
    else
      maybe_absent += maybe;
  }
  for (int i = 0; i < 400; ++i) maybe_gone += table_may_hold_name(table, table_name(("gone" + std::to_string(i)).c_str()));
  EXPECT_LT(maybe_absent, 3000 / 8);
  EXPECT_LT(maybe_gone, 400 / 8);
  EXPECT_TRUE(table_may_hold_name(table, table_name("y")));
  EXPECT_TRUE(table_may_hold_name(table, table_name(long_name.c_str())));
}

// Records come from the last block of their pool while it has room, from
// a new block when it is full, and again from where a scratch section that
// was undone began: none overlaps a live one.
TEST_F(Table, RecordsAcrossBlocksAndUndoneSections) {
  std::vector<int *> live;
  auto take = [&](int count, std::vector<int *> &into) {
    for (int i = 0; i < count; ++i) {
      int *r = static_cast<int *>(table_allocate(&table, RS_INTEGER, sizeof(int) * 4, nullptr));
      for (int k = 0; k < 4; ++k) r[k] = static_cast<int>(into.size()) * 4 + k;
      into.push_back(r);
    }
  };
  take(100, live);
  table_begin_scratch(table, "svc");
  std::vector<int *> scratch;
  take(50, scratch);
  EXPECT_TRUE(table_end_scratch(table));
  std::vector<int *> after;
  take(5000, after);
  for (std::size_t i = 0; i < live.size(); ++i)
    for (int k = 0; k < 4; ++k) ASSERT_EQ(live[i][k], static_cast<int>(i) * 4 + k);
  std::vector<int *> all = live;
  all.insert(all.end(), after.begin(), after.end());
  std::sort(all.begin(), all.end());
  for (std::size_t i = 1; i < all.size(); ++i)
    EXPECT_GE(reinterpret_cast<std::uintptr_t>(all[i]) - reinterpret_cast<std::uintptr_t>(all[i - 1]), sizeof(int) * 4)
        << i;
  EXPECT_EQ(after.front(), scratch.front());  // the undone records' room is used again
}

TEST_F(Scratch, OwnDeclarationsGoAndEverythingElseStays) {
  parse("typedef struct node { int key; } node_t;\nint g;\n");
  const int before = ordinary_entries();
  table_begin_scratch(table, "svc");
  parse("int a;", "svc");
  parse("node_t *p;\nstruct node *q;\nunsigned long (*cb)(int, char *);", "svc");
  EXPECT_NE(in_scope("a", "svc"), nullptr);
  EXPECT_NE(in_scope("cb", "svc"), nullptr);
  const std::uint32_t during = table.counter;
  EXPECT_TRUE(table_end_scratch(table));
  // Order numbers taken stay taken: later entries number as without it.
  EXPECT_EQ(table.counter, during);
  EXPECT_EQ(ordinary_entries(), before);
  const ScopeContext file;
  EXPECT_NE(lookup_ordinary("g", table, file), nullptr);
  EXPECT_NE(lookup_ordinary("node_t", table, file), nullptr);
  Symbol *node = lookup_tag("node", table, TK_CLASS, file);
  ASSERT_NE(node, nullptr);
  ASSERT_NE(node->decl->type->record()->first, nullptr);
  EXPECT_STREQ(node->decl->type->record()->first->decl->name, "key");
  // The scope comes back empty, and the table takes new entries as before.
  EXPECT_EQ(in_scope("a", "svc"), nullptr);
  EXPECT_EQ(in_scope("p", "svc"), nullptr);
  parse("int h;\nnode_t *later;\n");
  EXPECT_NE(lookup_ordinary("later", table, file), nullptr);
  EXPECT_EQ(ordinary_entries(), before + 2);
  EXPECT_GT(lookup_ordinary("h", table, file)->first_order, during);
  // Again in a new section, with the storage given back before.
  table_begin_scratch(table, "svc_2");
  parse("node_t *p;", "svc_2");
  EXPECT_TRUE(table_end_scratch(table));
  EXPECT_FALSE(table_end_scratch(table));  // none open
}

TEST_F(Scratch, SectionsInARowUndoOnlyTheirOwnEntries) {
  // A kept section, then undone ones with fewer and more entries: each
  // undoes its own entries alone, though they follow one another.
  parse("int g;\n");
  table_begin_scratch(table, "s1");
  parse("int a; int b; int c; int d;", "s1");
  parse("int at_file;");
  EXPECT_FALSE(table_end_scratch(table));
  table_begin_scratch(table, "s2");
  parse("int e;", "s2");
  EXPECT_TRUE(table_end_scratch(table));
  table_begin_scratch(table, "s3");
  parse("int f; int h; int i; int j; int k; int l;", "s3");
  EXPECT_TRUE(table_end_scratch(table));
  for (const char *n : {"a", "b", "c", "d"}) EXPECT_NE(in_scope(n, "s1"), nullptr) << n;
  EXPECT_EQ(in_scope("e", "s2"), nullptr);
  for (const char *n : {"f", "h", "i", "j", "k", "l"}) EXPECT_EQ(in_scope(n, "s3"), nullptr) << n;
  EXPECT_NE(lookup_ordinary("at_file", table, ScopeContext()), nullptr);
  EXPECT_NE(lookup_ordinary("g", table, ScopeContext()), nullptr);
}

TEST_F(Scratch, ReachingBeyondItsScopeKeepsEverything) {
  parse("template <class T> struct Box { T item; };\nint x;\n");
  // An instance is listed with its template.
  table_begin_scratch(table, "svc");
  parse("Box<int> *b;", "svc");
  EXPECT_FALSE(table_end_scratch(table));
  EXPECT_NE(in_scope("b", "svc"), nullptr);
  // An entry at file scope.
  table_begin_scratch(table, "svc_2");
  parse("int y;", "svc_2");
  parse("int other;");
  EXPECT_FALSE(table_end_scratch(table));
  EXPECT_NE(lookup_ordinary("other", table, ScopeContext()), nullptr);
  EXPECT_NE(in_scope("y", "svc_2"), nullptr);
  // A type with a body, even in the section's own scope.
  table_begin_scratch(table, "svc_3");
  parse("struct fresh { int z; } v;\nenum { E1, E2 } e;", "svc_3");
  EXPECT_FALSE(table_end_scratch(table));
  EXPECT_NE(in_scope("v", "svc_3"), nullptr);
  // A scope that held entries before.
  parse("int w;", "svc_4");
  table_begin_scratch(table, "svc_4");
  parse("int u;", "svc_4");
  EXPECT_FALSE(table_end_scratch(table));
  EXPECT_NE(in_scope("w", "svc_4"), nullptr);
  EXPECT_NE(in_scope("u", "svc_4"), nullptr);
  // Another function's scope made in the section.
  table_begin_scratch(table, "svc_5");
  parse("int s;", "svc_5");
  parse("int t;", "elsewhere");
  EXPECT_FALSE(table_end_scratch(table));
  EXPECT_NE(in_scope("t", "elsewhere"), nullptr);
  // Releasing the table ends an open section.
  table_begin_scratch(table, "svc_6");
  parse("int r;", "svc_6");
  table_init(table, "TESTREF");
  EXPECT_FALSE(table_end_scratch(table));
}

}  // namespace

namespace {

// Everything a table tells of its entries, in the emitters' order: order
// numbers, storage, positions, each declaration written out with its body
// (members, enumerator values, bit widths, initialisers) and what the
// functions' records hold.
std::string table_text(const SymbolTable &t) {
  std::string out;
  const Bucket *areas[] = {t.ordinary, t.tags, t.enumerators};
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < TABLE_BUCKETS; ++b)
      for (const Symbol *s = areas[a][b].first; s; s = s->next) {
        const Declaration *d = s->decl;
        out += std::to_string(a) + ":" + std::to_string(b) + " " + std::to_string(s->first_order) + "/" +
               std::to_string(s->def_order) + "/" + std::to_string(s->sequence) + " ";
        if (!d) {
          out += "-\n";
          continue;
        }
        out += std::string(d->name ? d->name : "?") + " " + std::to_string(d->storage) + " " +
               (d->file ? d->file : "") + ":" + std::to_string(d->line) + " [" + d->text.str() + "] ";
        render_declaration(d, out, "", RM_ORDINARY, 1, "", "");
        if (const TypeDesc *seen = strip_typedefs(d->type)) {
          const char *name = type_name(seen);
          out += " as " + std::to_string(seen->kind) + " " + (name ? name : "");
          if (const EnumInfo *e = seen->enumeration())
            for (const EnumeratorRec *r = e->first; r; r = r->next) {
              const char *of = r->enumeration ? type_name(r->enumeration) : nullptr;
              out += std::string(" ") + r->name + "<" + (of ? of : "-");
            }
        }
        if (d->type && d->type->function() && d->type->function()->info) {
          const FunctionInfo &f = *d->type->function()->info;
          out += " defined=" + std::to_string(f.defined) + " body=" + f.body.str();
        }
        out += "\n";
      }
  return out + "counter " + std::to_string(t.counter) + " names " + std::to_string(table_index_size(t));
}

class CopiedTable : public ana_fixture::TableTest {
 protected:
  void SetUp() override { open_table("TESTREF", true); }
  void TearDown() override {
    for (SymbolTable *t : {&copy, &again}) release_table(*t);
    close_table();
  }
  void read(SymbolTable &t, const std::string &text, const char *file) {
    analyse_text(text.c_str(), t, "", file, 1, 1, 0);
  }
  SymbolTable copy, again;
};

// A copy reads as its original, and analysing a text into it does what
// analysing the text into the original would: forward declarations
// completed, functions declared then defined, typedef chains, enumerators,
// arrays of function pointers, bit-fields, unions, anonymous records. The
// original keeps its own records.
TEST_F(CopiedTable, ReadsAndGoesOnAsItsOriginal) {
  const std::string headers =
      "typedef unsigned long size_t;\ntypedef size_t len_t;\ntypedef len_t len2_t;\nstruct fwd;\n"
      "typedef struct fwd fwd_t;\nstruct node { int key; struct node *next; unsigned bits : 3; const char *name; };\n"
      "enum color { RED, GREEN = 5, BLUE = GREEN + 2 };\ntypedef int (*cb_t)(fwd_t *, const char *, ...);\n"
      "extern cb_t hooks[4];\nint area(const struct node *n);\nstatic inline int twice(int v) { return 2 * v; }\n"
      "union u { int i; float f; struct { short lo, hi; } parts; };\nextern const int limit;\n"
      "typedef struct { int anon; } anon_t;\nvoid take(int (*pick)(int), char buf[16]);\n";
  const std::string own =
      "struct fwd { struct node n; len2_t len; fwd_t *up; };\nint area(const struct node *p) { return p->key; }\n"
      "fwd_t one;\nenum color c = GREEN;\ncb_t hooks[4];\nconst int limit = 3;\nanon_t a1;\nunion u uu;\n"
      "int twice(int v);\nstatic struct { int anon; } anon_g;\n";
  table.language = copy.language = again.language = SRC_C;
  table_init(table, "TESTREF", SRC_C);
  read(table, headers, "h.h");
  const std::string original = table_text(table);
  ASSERT_TRUE(table_copy(table, copy));
  EXPECT_EQ(table_text(copy), original);
  read(copy, own, "t.c");
  table_init(again, "TESTREF", SRC_C);
  read(again, headers, "h.h");
  read(again, own, "t.c");
  EXPECT_EQ(table_text(copy), table_text(again));
  EXPECT_NE(table_text(copy), original);
  EXPECT_EQ(table_text(table), original);
  Symbol *mine = lookup_ordinary("area", copy, ScopeContext());
  Symbol *theirs = lookup_ordinary("area", table, ScopeContext());
  ASSERT_NE(mine, nullptr);
  ASSERT_NE(theirs, nullptr);
  EXPECT_NE(mine->decl, theirs->decl);
  EXPECT_EQ(reports.size(), 0u);
}

// Structures that each point at the next one, defined later: copied from a
// work list, however long the chain, and found complete.
TEST_F(CopiedTable, LongChainsOfRecordsCostNoDepth) {
  std::string text;
  const int n = 20000;
  for (int i = 0; i < n; ++i)
    text += "struct s" + std::to_string(i) + " { struct s" + std::to_string(i + 1) + " *next; int v; };\n";
  text += "struct s" + std::to_string(n) + " { int last; };\n";
  table_init(table, "TESTREF", SRC_C);
  read(table, text, "chain.h");
  ASSERT_TRUE(table_copy(table, copy));
  EXPECT_EQ(table_text(copy), table_text(table));
}

// What only C++ makes is not copied: the caller reads its text again.
TEST_F(CopiedTable, CxxRecordsAreNotCopied) {
  for (const char *text : {"template <class T> struct box { T v; };\n", "namespace n { int x; }\n",
                           "struct b {}; struct d : b { int y; };\n", "int &ref(int &);\n",
                           "enum class e { one };\n", "struct s { s() = default; };\n"}) {
    table_init(table, "TESTREF", SRC_CPP);
    read(table, text, "t.cpp");
    EXPECT_FALSE(table_copy(table, copy)) << text;
    release_table(copy);
  }
  table_init(table, "TESTREF", SRC_CPP);
  read(table, "struct plain { int a; };\nint f(int);\n", "t.cpp");
  EXPECT_TRUE(table_copy(table, copy));
}

}  // namespace

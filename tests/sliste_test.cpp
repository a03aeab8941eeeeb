// StrList: order, uniqueness, marks and iteration.
#include "sliste.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "mstrin.h"

namespace {

std::vector<std::string> texts(const StrList &list) {
  std::vector<std::string> out;
  for (const StrNode *n = list.head; n; n = n->next) out.push_back(n->text ? n->text : "<null>");
  return out;
}

using V = std::vector<std::string>;

TEST(StrList, SortedInsertAndMark) {
  StrList list;
  for (const char *t : {"b", "a", "c", "b"}) strlist_insert_sorted(t, list);
  EXPECT_EQ(texts(list), (V{"c", "b", "a"}));
  EXPECT_EQ(list.tail->next, nullptr);
  EXPECT_STREQ(list.tail->text, "a");
  EXPECT_EQ(strlist_mark("b", list), 1);
  EXPECT_EQ(strlist_mark("d", list), 0);
  EXPECT_EQ(strlist_mark("", list), 0);
  for (const StrNode *n = list.head; n; n = n->next) EXPECT_EQ(n->mark, std::strcmp(n->text, "b") == 0 ? 1 : 0);
  // Texts are the pooled copies.
  EXPECT_EQ(list.head->text, intern_string("c"));
  strlist_free(list);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(list.tail, nullptr);
}

TEST(StrList, OrderIsSignedBytesAndPrefixesFollowTheirExtensions) {
  StrList list;
  for (const char *t : {"ab", "a", "abc", "\xe9", "B", "a\xe9", "b"}) strlist_insert_sorted(t, list);
  // Descending compare_strings: a byte above 0x7F is negative, below the end
  // of a shorter text.
  EXPECT_EQ(texts(list), (V{"b", "abc", "ab", "a", "a\xe9", "B", "\xe9"}));
  strlist_free(list);
}

TEST(StrList, EmptyTextsAlwaysGoToTheHead) {
  // Nothing compares greater than or equal to an empty text, so the walk
  // passes no node: every empty text is a new head.
  StrList list;
  strlist_insert_sorted("m", list);
  strlist_insert_sorted("", list);
  strlist_insert_sorted(nullptr, list);
  strlist_insert_sorted("z", list);
  EXPECT_EQ(texts(list), (V{"z", "<null>", "<null>", "m"}));
  strlist_free(list);
}

TEST(StrList, AppendKeepsCommandOrderAndSortedOpsWalkAnUnorderedList) {
  StrList list;
  for (const char *t : {"x", "a", "x", "m"}) strlist_append(t, list);
  EXPECT_EQ(texts(list), (V{"x", "a", "x", "m"}));
  EXPECT_STREQ(list.tail->text, "m");
  // The walk stops at "a" (below "c"), right after the first "x".
  strlist_insert_sorted("c", list);
  EXPECT_EQ(texts(list), (V{"x", "c", "a", "x", "m"}));
  // "m" is only reached past "a" by no walk: not found.
  EXPECT_EQ(strlist_mark("m", list), 0);
  EXPECT_EQ(strlist_mark("x", list), 1);
  EXPECT_EQ(list.head->mark, 1);
  strlist_free(list);

  // Appending in descending order keeps the list usable for sorted inserts.
  for (const char *t : {"q", "k", "c"}) strlist_append(t, list);
  strlist_insert_sorted("e", list);
  strlist_insert_sorted("k", list);
  strlist_append("a", list);
  strlist_insert_sorted("b", list);
  EXPECT_EQ(texts(list), (V{"q", "k", "e", "c", "b", "a"}));
  strlist_free(list);
}

TEST(StrList, HundredThousandEntriesStayOrderedAndUnique) {
  StrList list;
  std::vector<std::string> expected;
  std::uint32_t state = 12345;
  for (int i = 0; i < 100000; ++i) {
    state = state * 1103515245u + 12345u;
    std::string t = "n" + std::to_string(state % 60000u);
    if (i % 7 == 0) t += "\xc3\xa9";
    expected.push_back(t);
    strlist_insert_sorted(t.c_str(), list);
  }
  std::sort(expected.begin(), expected.end(),
            [](const std::string &a, const std::string &b) { return compare_strings(a.c_str(), b.c_str()) > 0; });
  expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
  EXPECT_EQ(texts(list), expected);
  EXPECT_STREQ(list.tail->text, expected.back().c_str());
  for (std::size_t i = 0; i < expected.size(); i += 101) EXPECT_EQ(strlist_mark(expected[i].c_str(), list), 1);
  EXPECT_EQ(strlist_mark("n60001", list), 0);
  strlist_free(list);
}

}  // namespace

#include "sliste.h"

#include <map>

#include "mfmemo.h"
#include "mstrin.h"

namespace {
struct ByCompareStrings {
  bool operator()(const char *a, const char *b) const { return compare_strings(a, b) < 0; }
};
}  // namespace

// Ascending map from text to node beside the descending list, so that the
// node a walk from the head would stop behind is found in logarithmic time.
// It only stands for the walk while the list really is in strictly
// descending order without empty texts; a list that was appended to out of
// order is walked.
struct StrListIndex {
  std::map<const char *, StrNode *, ByCompareStrings> nodes;
  bool ordered = true;
};

static StrNode *new_node(const char *text) {
  StrNode *n = static_cast<StrNode *>(checked_malloc(sizeof(StrNode)));
  n->text = intern_string(text);
  n->mark = 0;
  n->next = nullptr;
  return n;
}

// Keeps the index true after the node n was linked behind prev (null: at
// the head).
static void index_add(StrListIndex &index, StrNode *prev, StrNode *n) {
  if (!index.ordered) return;
  if (!n->text || (prev && compare_strings(prev->text, n->text) <= 0) ||
      (n->next && compare_strings(n->text, n->next->text) <= 0)) {
    index.ordered = false;
    index.nodes.clear();
    return;
  }
  index.nodes.emplace(n->text, n);
}

void strlist_append(const char *text, StrList &list) {
  StrNode *n = new_node(text);
  StrNode *prev = list.tail;
  if (list.tail)
    list.tail->next = n;
  else
    list.head = n;
  list.tail = n;
  if (list.index) index_add(*list.index, prev, n);
}

static StrListIndex &index_of(StrList &list) {
  if (!list.index) {
    list.index = new StrListIndex;
    StrNode *prev = nullptr;
    for (StrNode *n = list.head; n && list.index->ordered; prev = n, n = n->next) index_add(*list.index, prev, n);
  }
  return *list.index;
}

// The last node a walk from the head passes, going by every node whose text
// compares greater than or equal to the given one; null when none is passed.
static StrNode *last_passed(const char *text, StrList &list) {
  // compare_strings of anything with a null (empty) text is -1: no node is
  // ever passed.
  if (!text || !*text) return nullptr;
  StrListIndex &index = index_of(list);
  if (index.ordered) {
    auto it = index.nodes.lower_bound(text);
    return it == index.nodes.end() ? nullptr : it->second;
  }
  StrNode *passed = nullptr;
  for (StrNode *n = list.head; n && compare_strings(n->text, text) >= 0; n = n->next) passed = n;
  return passed;
}

void strlist_insert_sorted(const char *text, StrList &list) {
  StrNode *passed = last_passed(text, list);
  if (passed && compare_strings(passed->text, text) == 0) return;
  StrNode *n = new_node(text);
  if (!passed) {
    n->next = list.head;
    list.head = n;
  } else {
    n->next = passed->next;
    passed->next = n;
  }
  if (!n->next) list.tail = n;
  index_add(index_of(list), passed, n);
}

int strlist_mark(const char *text, StrList &list) {
  StrNode *passed = last_passed(text, list);
  if (passed && compare_strings(passed->text, text) == 0) {
    passed->mark = 1;
    return 1;
  }
  return 0;
}

void strlist_free(StrList &list) {
  for (StrNode *n = list.head; n;) {
    StrNode *next = n->next;
    checked_free(n);
    n = next;
  }
  delete list.index;
  list = StrList{};
}

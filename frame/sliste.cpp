#include "sliste.h"

#include <map>
#include <string>

#include "mfmemo.h"
#include "mstrin.h"

namespace {
struct ByCompareStrings {
  bool operator()(const char *a, const char *b) const { return compare_strings(a, b) < 0; }
};
}  // namespace

// Ascending map from text to node beside the descending list: the node that
// a walk from the head would stop behind is found in logarithmic time.
struct StrListIndex {
  std::map<const char *, StrNode *, ByCompareStrings> nodes;
};

static StrNode *new_node(const char *text) {
  StrNode *n = static_cast<StrNode *>(checked_malloc(sizeof(StrNode)));
  n->text = intern_string(text);
  n->mark = 0;
  n->next = nullptr;
  return n;
}

void strlist_append(const char *text, StrList &list) {
  StrNode *n = new_node(text);
  if (list.tail)
    list.tail->next = n;
  else
    list.head = n;
  list.tail = n;
}

// The last node a walk from the head passes: the smallest text that
// compares greater than or equal to the new one.
static StrNode *last_passed(const char *text, StrList &list) {
  if (!list.index) {
    list.index = new StrListIndex;
    for (StrNode *n = list.head; n; n = n->next) list.index->nodes.emplace(non_null_text(n->text), n);
  }
  auto it = list.index->nodes.lower_bound(non_null_text(text));
  return it == list.index->nodes.end() ? nullptr : it->second;
}

void strlist_insert_sorted(const char *text, StrList &list) {
  StrNode *passed = last_passed(text, list);
  if (passed && compare_strings(non_null_text(passed->text), non_null_text(text)) == 0) return;
  StrNode *n = new_node(text);
  if (!passed) {
    n->next = list.head;
    list.head = n;
  } else {
    n->next = passed->next;
    passed->next = n;
  }
  if (!n->next) list.tail = n;
  list.index->nodes.emplace(non_null_text(n->text), n);
}

int strlist_mark(const char *text, StrList &list) {
  StrNode *passed = last_passed(text, list);
  if (passed && compare_strings(non_null_text(passed->text), non_null_text(text)) == 0) {
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

void strlist_for_each(const StrList &list, void (*action)(char *text)) {
  static std::string *work = new std::string;
  for (StrNode *n = list.head; n; n = n->next) {
    *work = non_null_text(n->text);
    action(&(*work)[0]);
  }
}

// StrList: singly linked list of pooled strings.
#pragma once

struct StrNode {
  const char *text;  // pooled (intern_string); never freed with the list
  int mark;
  StrNode *next;
};

struct StrListIndex;  // private search index for sorted lists

struct StrList {
  StrNode *head = nullptr;
  StrNode *tail = nullptr;
  StrListIndex *index = nullptr;  // built by the sorted operations
  bool empty() const { return head == nullptr; }
};

void strlist_append(const char *text, StrList &list);
// Descending order of compare_strings, no duplicates.
void strlist_insert_sorted(const char *text, StrList &list);
int strlist_mark(const char *text, StrList &list);
void strlist_free(StrList &list);

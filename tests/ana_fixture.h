// Set-up shared by the analyser tests: the analyser's reports captured in
// order, and a fresh table for every test. Header only, so that every test
// executable keeps linking just its own library.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "cpptab.h"
#include "ctree.h"

namespace ana_fixture {

struct Report {
  int severity;
  std::string code, arg, file;
  int line;
};

inline std::vector<Report> &reports() {
  static std::vector<Report> all;
  return all;
}

inline void capture(MessageCode code, std::string_view arg, std::string_view file, int line) {
  reports().push_back({code.severity(), message_name(code), std::string(arg), std::string(file), line});
}

inline int count_code(const char *code) {
  int n = 0;
  for (const Report &r : reports()) n += r.code == code;
  return n;
}

// A table of the test's own with default settings; reports go to reports().
class TableTest : public ::testing::Test {
 protected:
  SymbolTable table;
  // Records the tests build without naming an owner go to the process pool;
  // `own_records` is kept for the callers.
  void open_table(const char *reference_name, bool own_records) {
    (void)own_records;
    reports().clear();
    reset_analysis_settings();
    set_analyser_report(capture);
    table_init(table, reference_name);
  }
  void close_table() {
    release_table(table);
    set_analyser_report(nullptr);
  }
  // A class, structure or union type with an empty record.
  static TypeDesc *record(const char *name, ClassKey key, bool body) {
    TypeDesc *t = type_new(key == KEY_UNION ? TK_UNION : TK_CLASS);
    t->record()->name = name;
    t->record()->key = key;
    t->record()->has_body = body;
    return t;
  }
};

}  // namespace ana_fixture

// Declaration grammar: reads the preprocessed text of one file (or a short
// composed text) and enters what it declares into a SymbolTable. Executable
// code is skipped: function bodies are captured as text, and expressions
// inside declarations are kept as normalised text.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ctree.h"
#include "mfmath.h"

struct SymbolTable;

// A value of an enumerator computed while an expression is analysed.
struct EnumeratorValue {
  bool known = false;
  bool busy = false;  // being computed: an enumerator defined through itself
  BigInt value{};
  int width = 0;
};

// A set of addresses in one array probed from a home slot: asked once for
// every member listed, where a node set would allocate a node each time.
class AddressSet {
 public:
  // True when `p` was not in the set yet.
  bool insert(const void *p) {
    if (!p) {
      const bool added = !holds_null_;
      holds_null_ = true;
      return added;
    }
    if ((count_ + 1) * 2 > slots_.size()) grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = home(p, mask);; i = (i + 1) & mask) {
      if (slots_[i] == p) return false;
      if (!slots_[i]) {
        slots_[i] = p;
        ++count_;
        return true;
      }
    }
  }
  std::size_t size() const { return count_ + (holds_null_ ? 1 : 0); }

 private:
  static std::size_t home(const void *p, std::size_t mask) {
    const std::uint64_t x = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(p)) * 0x9e3779b97f4a7c15ULL;
    return static_cast<std::size_t>(x >> 32) & mask;
  }
  void grow() {
    std::vector<const void *> old(slots_.empty() ? 32 : slots_.size() * 2, nullptr);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const void *p : old) {
      if (!p) continue;
      std::size_t i = home(p, mask);
      while (slots_[i]) i = (i + 1) & mask;
      slots_[i] = p;
    }
  }
  std::vector<const void *> slots_;  // a power of two, at most half full; none: free
  std::size_t count_ = 0;
  bool holds_null_ = false;
};

// What an analysis shares with the analyses nested in it (template
// instances, expression texts, types read from text): the limits that bound
// their sum, and the work in progress they must see.
struct AnalysisBudget {
  // Counted nesting of the grammar over every analysis sharing the budget:
  // each analysis has its own limit, this one bounds their sum and with it
  // the process stack.
  int total_depth = 0;
  int instantiation_depth = 0;
  // Alias templates left unread because a limit was reached, and those read.
  int alias_limit_hits = 0;
  int alias_readings = 0;
  // Bytes of alias text read, nested readings included.
  std::size_t alias_text_read = 0;
  // Instances made: a template whose members name ever new instances
  // (P<P<T>> and P<T*>) would otherwise make exponentially many within the
  // nesting limit.
  int instances_made = 0;
  std::size_t instance_text_read = 0;
  bool limit_reported = false;
  // Instances whose nested analysis is in progress, by composed name: a
  // template that names itself (a list node pointing to the next node)
  // finds its own instance here instead of instantiating it again.
  std::map<std::string, TypeDesc *> pending_instances;
  // Declarations already on a member list: a class completed after its
  // forward declaration, or met again, is listed once without walking the list.
  AddressSet listed_members;
  // Expression analyses in progress, and enumerator walks: the enumerator
  // values below stay while either is, and go when the last one ends (the
  // records may be released with their table afterwards).
  int expressions_active = 0;
  int expression_nesting = 0;  // with the enumeration sizes being computed
  int enumerator_walks = 0;
  std::unordered_map<const EnumeratorRec *, EnumeratorValue> enumerator_values;
  // Constant variables whose initialiser is being evaluated.
  std::vector<const Declaration *> initialisers_in_progress;
};

// One analysis. `function_name` non-empty makes the declarations local to
// that function's scope. Never throws; syntax errors are reported and the
// declarations completed so far stay in the table. `budget` is the one of
// the analysis this one is nested in (none: a budget of its own). Reports
// go to the analyser's process-wide callback. Returns the number of syntax
// errors.
int analyse_text(const char *text, SymbolTable &table, const char *function_name,
                 const char *file_name, int first_line, int keep_bodies, int lenient_matching,
                 AnalysisBudget *budget = nullptr);

// analyse_text with every report of the analysis, and of the nested
// analyses it starts, going to `sink`. `scope` (with no function name): the
// namespace or class the text is read in, its declarations entered there.
int analyse_text_reporting(const char *text, SymbolTable &table, const char *function_name,
                           const char *file_name, int first_line, const ReportSink &sink, int keep_bodies,
                           int lenient_matching, AnalysisBudget *budget = nullptr, TypeDesc *scope = nullptr);

// Number of syntax errors reported by the last analysis.
int analysis_syntax_errors();

// Leaves the process-wide record as an analysis of a text into `table`
// that reported nothing would: a caller that knows what an analysis would
// do and does it itself keeps what comes after reading the same table.
void note_analysis_of(SymbolTable &table);

// `text` with every parameter name of the template replaced by its argument
// (or its default); used for the member definitions captured with a class
// template when its instances are completed.
std::string bind_template_text(const TypeDesc *templ, const std::vector<std::string> &arguments,
                               const std::string &text);

// Limits: parser nesting (the deepest declarator, class or expression
// nesting accepted) and nested template instantiations.
constexpr int GRAMMAR_NESTING_LIMIT = 150;
constexpr int INSTANTIATION_NESTING_LIMIT = 64;
// The longest text an alias template's body may become with its arguments
// bound. A body that names a parameter twice, read through aliases that
// name each other, doubles its text at every level of nesting; the texts of
// real aliases stay far below this.
constexpr std::size_t ALIAS_TEXT_LIMIT = 64 * 1024;
// Alias templates read in one analysis, nested readings included. A body
// that uses its own alias twice reads it twice at every level of nesting;
// a file including a dozen standard headers reads about a hundred.
constexpr int ALIAS_READINGS_PER_ANALYSIS = 5000;
// Bytes of alias text read in one analysis. Within the two limits above,
// bodies near the text limit read at every level of nesting would still
// parse hundreds of megabytes; real files read a few kilobytes in all.
constexpr std::size_t ALIAS_TEXT_PER_ANALYSIS = 1024 * 1024;
// Instances made in one analysis, nested ones included (see
// AnalysisBudget::instances_made).
constexpr int INSTANCES_PER_ANALYSIS = 5000;
// The longest instance name made. A misread member type can make every
// instance name the next one inside its own arguments (an iterator of a
// vector of matches of that iterator), so that names grow by kilobytes at
// every level within the nesting limit and each body is read again at that
// size. Instances of real code stay below a kilobyte.
constexpr std::size_t INSTANCE_NAME_LIMIT = 4 * 1024;
// Bytes of instance text read in one analysis. Expression templates misread
// the same way stay below the name limit but bind kilobyte names into
// bodies of a hundred kilobytes, thousands of times. A file including a
// dozen standard headers reads under a megabyte.
constexpr std::size_t INSTANCE_TEXT_PER_ANALYSIS = 4 * 1024 * 1024;

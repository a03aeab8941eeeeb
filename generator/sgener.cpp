#include "sgener.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "i18nutil.h"
#include "merror.h"
#include "msystm.h"
#include "mstrin.h"
#include "sliste.h"
#include "cpptab.h"
#include "ctylex.h"
#include "y_cppa.h"
#include "cprepr.h"
#include "sancmd.h"
#include "sancpp.h"
#include "sandecl.h"
#include "sanstub.h"
#include "sgenincl.h"
#include "siofic.h"

namespace {

struct KeywordTriplet {
  KeywordRole role;
  const char *text[3];  // FR, FA (Latin-1 accents), GB
};

// One row per keyword or banner. FA differs from FR only where the French
// text carries accents; those are Latin-1 bytes (0xE9 e acute, 0xE8 e grave).
constexpr KeywordTriplet kKeywords[] = {
    {KW_HEADER, {"ENTETE", "ENTETE", "HEADER"}},
    {KW_BANNER_USED_HEADERS,
     {"-- DECLARATIONS DES HEADERS EN INCLUSION (OPTION -UTILISE)",
      "-- DECLARATIONS DES HEADERS EN INCLUSION (OPTION -UTILISE)",
      "-- INCLUDED HEADERS DECLARATIONS (-USE OPTION)"}},
    {KW_BANNER_INSERTED_FILE,
     {"-- DECLARATIONS DU FICHIER EN INCLUSION (OPTION -INSERE)",
      "-- DECLARATIONS DU FICHIER EN INCLUSION (OPTION -INSERE)",
      "-- INCLUDED FILE DECLARATIONS (-INCLUDED OPTION)"}},
    {KW_BANNER_INTEGRATED_FILES,
     {"-- DECLARATIONS NECESSAIRES AU TEST (OPTION -INTEGRE)",
      "-- DECLARATIONS NECESSAIRES AU TEST (OPTION -INTEGRE)",
      "-- TO THE TEST NECESSARY DECLARATIONS (-INTEGRATE OPTION)"}},
    {KW_BEGIN, {"DEBUT", "DEBUT", "BEGIN"}},
    {KW_BANNER_ENVIRONMENTS,
     {"-- DECLARATIONS DES ENVIRONNEMENTS", "-- DECLARATIONS DES ENVIRONNEMENTS", "-- ENVIRONMENTS DECLARATIONS"}},
    {KW_BANNER_SERVICES, {"-- DECLARATIONS DES SERVICES", "-- DECLARATIONS DES SERVICES", "-- SERVICES DECLARATIONS"}},
    {KW_BANNER_INSERTED_ENVIRONMENT,
     {"-- ENVIRONNEMENT DU FICHIER INSERE", "-- ENVIRONNEMENT DU FICHIER INSERE", "-- INCLUDED FILE ENVIRONNEMENT"}},
    {KW_BANNER_INTEGRATED_ENVIRONMENTS,
     {"-- ENVIRONNEMENTS DES FICHIERS INTEGRES", "-- ENVIRONNEMENTS DES FICHIERS INTEGRES",
      "-- INTEGRATED FILES ENVIRONNEMENTS"}},
    {KW_BANNER_SIMULATED_ENVIRONMENTS,
     {"-- ENVIRONNEMENTS DES FICHIERS SIMULES", "-- ENVIRONNEMENTS DES FICHIERS SIMULES",
      "-- SIMULATED FILES ENVIRONNEMENTS"}},
    {KW_BANNER_TESTED_ENVIRONMENT,
     {"-- ENVIRONNEMENT DU FICHIER TESTE", "-- ENVIRONNEMENT DU FICHIER TESTE", "-- TESTED FILE ENVIRONNEMENT"}},
    {KW_BANNER_TESTED_DECLARATIONS,
     {"-- DECLARATIONS LIEES AU FICHIER TESTE ", "-- DECLARATIONS LIEES AU FICHIER TESTE ",
      "-- TESTED FILE DECLARATIONS "}},
    {KW_BANNER_TESTED_INCLUDES,
     {"-- FICHIERS EN INCLUSION DU FICHIER TESTE ", "-- FICHIERS EN INCLUSION DU FICHIER TESTE ",
      "-- TESTED FILE INCLUDE DIRECTIVES "}},
    {KW_BANNER_STUBS,
     {"-- DECLARATIONS DES MUETS DES FICHIERS SIMULES ", "-- DECLARATIONS DES MUETS DES FICHIERS SIMULES ",
      "-- STUB DECLARATIONS OF THE SIMULATED FILES"}},
    {KW_SERVICE_TYPE, {"TYPE_SERVICE", "TYPE_SERVICE", "SERVICE_TYPE"}},
    {KW_SERVICE_TYPE_VALUE, {"externe", "externe", "extern"}},
    {KW_COMMENT_SERVICE,
     {"-- Declaration du service ", "-- D\xE9" "claration du service ", "-- Declaration of the service "}},
    {KW_COMMENT_PARAMETERS,
     {"-- Declarations des parametres du service teste",
      "-- D\xE9" "clarations des param\xE8" "tres du service test\xE9",
      "-- Tested service parameters declarations"}},
    {KW_COMMENT_RETURN_TYPE,
     {"-- Declaration du type retourne par la fonction",
      "-- D\xE9" "claration du type retourn\xE9" " par la fonction",
      "-- By function returned type declaration"}},
    {KW_USE, {"UTILISE", "UTILISE", "USE"}},
    {KW_ENVIRONMENT, {"ENVIRONNEMENT", "ENVIRONNEMENT", "ENVIRONMENT"}},
    {KW_END, {"FIN", "FIN", "END"}},
    {KW_FAMILY, {"FAMILLE", "FAMILLE", "FAMILY"}},
    {KW_DEFINE, {"DEFINIR", "DEFINIR", "DEFINE"}},
    {KW_STUB, {"MUET", "MUET", "STUB"}},
    {KW_OTHERS, {"autres", "autres", "others"}},
    {KW_ARRAY, {"TAB", "TAB", "ARRAY"}},
    {KW_EXPECTED_VALUE, {"va", "va", "ev"}},
    {KW_COMMENT_METHOD_TYPES,
     {"-- Declarations des types dont les methodes sont testees",
      "-- D\xE9" "clarations des types dont les m\xE9" "thodes sont test\xE9" "es",
      "-- Declarations of the types whose parameters are tested"}},
    {KW_COMMENT_GLOBALS,
     {"-- Declarations des variables globales du fichier teste",
      "-- D\xE9" "clarations des variables globales du fichier test\xE9",
      "-- Declarations of the global variables of the tested file"}},
    {KW_COMMENT_INTEGRATED_FILE,
     {"-- Declarations liees au fichier integre ",
      "-- D\xE9" "clarations li\xE9" "es au fichier int\xE9" "gr\xE9" " ",
      "-- Integrated file declarations "}},
    {KW_COMMENT_SIMULATED_FILE,
     {"-- Declarations liees au fichier simule ",
      "-- D\xE9" "clarations li\xE9" "es au fichier simul\xE9" " ",
      "-- Simulated file declarations "}},
    {KW_COMMENT_FILE_ENVIRONMENT,
     {"-- Environnement du fichier ", "-- Environnement du fichier ", "-- Environment of the file "}},
    {KW_COMMENT_CLASS_INSTANCES,
     {"-- Declarations des instances de classes", "-- D\xE9" "clarations des instances de classes",
      "-- class instance declarations"}},
};

constexpr bool table_in_role_order() {
  int i = 0;
  for (const KeywordTriplet &k : kKeywords)
    if (k.role != i++) return false;
  return i == KW_ROLE_COUNT;
}
static_assert(table_in_role_order(), "one row per KeywordRole, in enum order");

// ------------------------------------------------------------- contexts

struct Contexts {
  SymbolTable script_table, use_table, file_table;
  MacroTable script_pp, use_pp, file_pp;
  AnalysisContext script, use, file;
  Contexts() {
    script = {&script_table, &script_pp};
    use = {&use_table, &use_pp};
    file = {&file_table, &file_pp};
  }
};

Contexts &contexts() {
  static Contexts *c = new Contexts;  // process lifetime
  return *c;
}

// Null-terminated copy of a StrList for the preprocessor's arrays.
std::vector<const char *> null_terminated(const StrList &list) {
  std::vector<const char *> out;
  for (const StrNode *n = list.head; n; n = n->next) out.push_back(n->text ? n->text : "");
  out.push_back(nullptr);
  return out;
}

// Every text the generator preprocesses or parses reports through
// report_at_position, so that its diagnostics carry the file and line of the
// construct concerned. PREPRO_ONLY asks for escaped names in the line
// markers; the scanner is told, so that it reads back the names the script
// compares with the analysed files.
void start_macros(AnalysisContext &context, const char *const *definitions, const char *const *include_dirs,
                  int is_tested) {
  pp_init(definitions, include_dirs, *context.macros, is_tested);
}
void preprocess(AnalysisContext &context, const std::string &text, std::string &result) {
  result.clear();
  pp_set_escape_line_names(generator_options().prepro_only != 0);
  pp_process_text(text.c_str(), false, "", 0, result, *context.macros);
}
void parse_into(AnalysisContext &context, const char *text, const std::string &file) {
  lex_set_escaped_line_names(generator_options().prepro_only != 0);
  analyse_text(text, *context.table, "", file.c_str(), 1, 0, 0);
}
bool &ends_process() {
  static bool ends = false;
  return ends;
}
void end_macros(AnalysisContext &context, int free_chain) {
  if (ends_process())
    pp_release_at_exit(*context.macros);
  else
    pp_release(*context.macros, free_chain);
}

// ------------------------------------------------------------- sections

std::string completed(std::string path, int kind) {
  make_file_name(path, kind);
  return path;
}

// The tested file's active include directives.
void tested_include_section(const std::string &tested) { scan_tested_includes(tested); }

// The tested-file declarations and those of one integrated file.
void tested_declarations_section(const std::string &tested) { emit_tested_declarations(tested); }
void integrated_declarations_section(const std::string &file) { emit_integrated_declarations(file); }

// The stub section of a simulated file.
void stub_section(const std::string &file) { emit_file_stubs(file); }

// The services of the tested file's functions, one per defined function.
void services_section(const std::string &tested) {
  const std::string path = completed(tested, KIND_SOURCE);
  emit_services(path, file_analysis(path));
  // Nothing reads the script's table after the services.
  release_script_backlog();
  file_analysis_done(path);
}

// The deprecated template output: the symbol file is left empty. The tested
// file is not analysed for it again, so that its diagnostics are not
// reported twice.
void symbol_file(const std::string &symbtab) {
  std::FILE *f = nullptr;
  io_open_file(symbtab, &f, 1);
  script_close(symbtab, f, 0);
}

void for_each(const StrList &list, void (*action)(const std::string &)) {
  for (const StrNode *n = list.head; n; n = n->next) action(n->text ? n->text : "");
}

// ------------------------------------------------------------- analyses

// One analysed file: its table and the macros its text defined.
struct FileAnalysis {
  SymbolTable table;
  MacroTable macros;
  AnalysisContext context;
  int uses_left = 0;
  FileAnalysis() { context = {&table, &macros}; }
};

struct FileAnalyses {
  std::map<std::string, int> planned;  // completed path -> uses foreseen
  // Files the script's own context has analysed already (the used headers,
  // the inserted tested file): their diagnostics have been told.
  std::set<std::string> told;
  std::map<std::string, std::unique_ptr<FileAnalysis>> held;
  // Released analyses serve the next file: the preprocessor may still name
  // the macro table it served last, so a table is never freed.
  std::vector<std::unique_ptr<FileAnalysis>> spare;
  // Analyses done with in a run that ends the process: kept as they are
  // until the exit, never served again.
  std::vector<std::unique_ptr<FileAnalysis>> left;
};

FileAnalyses &file_analyses() {
  static FileAnalyses *a = new FileAnalyses;  // process lifetime
  return *a;
}

void release_analysis(std::map<std::string, std::unique_ptr<FileAnalysis>>::iterator it) {
  FileAnalyses &all = file_analyses();
  FileAnalysis &a = *it->second;
  // The script's declarations still to be analysed are rendered from the
  // analyses they come from.
  script_table_complete();
  end_macros(a.context, 0);
  if (!ends_process()) release_table(a.table);
  all.planned.erase(it->first);
  (ends_process() ? all.left : all.spare).push_back(std::move(it->second));
  all.held.erase(it);
}

}  // namespace

const char kRuleLine[] = "--------------------------------------------------------------------------------";
static_assert(sizeof(kRuleLine) == 81, "the rule line has 80 characters");

const char *keyword_in(KeywordRole role, int language) {
  if (role < 0 || role >= KW_ROLE_COUNT) report_internal(MSG_ERRINTFCT, "keyword");
  if (language < LANG_FR || language > LANG_GB) language = LANG_GB;
  return kKeywords[role].text[language];
}

const char *keyword(KeywordRole role) { return keyword_in(role, KeywordLanguage); }

void write_rule_line() { write_script_line(kRuleLine); }
std::string_view rule_line() { return std::string_view(kRuleLine, sizeof kRuleLine - 1); }

void write_banner_block(KeywordRole banner) {
  write_rule_line();
  write_script_line("--");
  write_script_line(keyword(banner));
  write_script_line("--");
  write_rule_line();
}

void write_short_banner_block(KeywordRole banner) {
  write_rule_line();
  write_script_line(keyword(banner));
  write_rule_line();
}

std::string base_name(const std::string &path) {
  std::string directory, name, extension, base;
  split_path(path, directory, name);
  split_extension(name, extension, base);
  return base;
}

AnalysisContext &script_context() { return contexts().script; }
AnalysisContext &use_context() { return contexts().use; }
AnalysisContext &file_context() { return contexts().file; }

namespace {

// The header texts of a preprocessed text as one number: each header's
// text, from its first line marker up to the marker that comes back to the
// file that includes it, in order.
struct HeaderDigest {
  std::uint64_t value = 0x9e3779b97f4a7c15ULL;
  void add(const char *text, std::size_t length) {
    value = (value ^ hash_text_bytes(text, length)) * 0xff51afd7ed558ccdULL;
    value ^= value >> 29;
  }
};

// The file name of the line marker at `at` ("#line N \"name\""), or false.
bool marker_name(const std::string &text, std::size_t at, std::string_view &name) {
  if (text.compare(at, 6, "#line ") != 0) return false;
  const std::size_t end = std::min(text.find('\n', at), text.size());
  const std::size_t open = text.find('"', at);
  const std::size_t close = text.rfind('"', end);
  if (open >= end || close <= open) return false;
  name = std::string_view(text).substr(open + 1, close - open - 1);
  return true;
}

// Calls f(at) for every line of a preprocessed text that starts with "#",
// after its first line: few other places of such a text hold one. Stops
// when f returns false.
template <typename F> void for_each_directive(const std::string &text, F &&f) {
  if (text.size() < 2) return;
  const char *const begin = text.data();
  const char *const end = begin + text.size();
  for (const char *p = begin + 1;; ++p) {
    p = static_cast<const char *>(std::memchr(p, '#', static_cast<std::size_t>(end - p)));
    if (!p) return;
    if (p[-1] == '\n' && !f(static_cast<std::size_t>(p - begin))) return;
  }
}

// Where the tested file's own text starts in its preprocessed text: the line
// marker that comes back to it after its last header, the start when it
// includes none. Later markers of its own (after a group passed over) are
// part of that text. npos, with no header text to compare, when the text
// does not start with a marker of its own, holds any other directive (a
// pragma), holds text of its own before a header or ends inside one.
std::size_t own_text_start(const std::string &text, HeaderDigest &headers) {
  std::string_view tested, name;
  if (!marker_name(text, 0, tested)) return std::string::npos;
  std::size_t own = 0;                        // the marker after the last header read
  std::size_t back = 0;                       // the latest marker of the tested file
  std::size_t header = std::string::npos;     // where the header being read began
  bool readable = true;
  for_each_directive(text, [&](std::size_t at) {
    if (!marker_name(text, at, name)) return readable = false;
    if (name != tested) {
      if (header == std::string::npos) {
        // Between the tested file's marker and a header only blank lines
        // (its directives) may stand.
        const std::size_t first = text.find_first_not_of(" \t\r\n", text.find('\n', back));
        if (first < at) return readable = false;
        header = at;
      }
      return true;
    }
    if (header != std::string::npos) {
      headers.add(text.data() + header, at - header);
      header = std::string::npos;
      own = at;
    }
    back = at;
    return true;
  });
  return readable && header == std::string::npos ? own : std::string::npos;
}

struct TestedHeaders {
  bool usable = false;
  HeaderDigest digest;
  int reports = 0;            // diagnostics told before the include section
  std::size_t modifiers = 0;  // type modifiers declared before it
  std::uint32_t counter = 0;  // the script's table when it ended
  std::size_t names = 0;
};

TestedHeaders &tested_headers() {
  static TestedHeaders h;
  return h;
}

bool &tested_headers_reuse() {
  static bool on = true;
  return on;
}

}  // namespace

void set_tested_headers_reuse(bool on) { tested_headers_reuse() = on; }

void tested_headers_begin() {
  TestedHeaders &h = tested_headers();
  h = TestedHeaders();
  h.usable = tested_headers_reuse() && generator_options().used_files.empty() &&
             script_context().table->language == SRC_C;
  h.reports = diagnostics_told();
  h.modifiers = pp_type_modifier_count();
}

void tested_headers_text(const std::string &preprocessed) {
  TestedHeaders &h = tested_headers();
  if (!h.usable) return;
  // A pragma among them is found where the file's own analysis compares the
  // same text (own_text_start).
  h.digest.add(preprocessed.data(), preprocessed.size());
}

void tested_headers_unusable() { tested_headers().usable = false; }

void tested_headers_end() {
  TestedHeaders &h = tested_headers();
  const SymbolTable &script = *script_context().table;
  if (diagnostics_told() != h.reports) h.usable = false;
  h.counter = script.counter;
  h.names = table_index_size(script);
}

SourceLanguage file_language(const std::string &path) {
  // The same rule chooses the tested file's defines file: a tested file whose
  // suffix names no language is C there, so it is C here too.
  const bool tested_cpp = is_cpp_file_name(completed(generator_options().tested_file, KIND_SOURCE));
  switch (suffix_language(path)) {
    case SUFFIX_C: return SRC_C;
    case SUFFIX_CPP: return SRC_CPP;
    case SUFFIX_OTHER: break;
  }
  return tested_cpp ? SRC_CPP : SRC_C;
}

void prepare_analysis(AnalysisContext &context, int is_tested, SourceLanguage language) {
  const GeneratorOptions &o = generator_options();
  table_init(*context.table, o.class_name.c_str(), language);
  std::vector<const char *> include_dirs = null_terminated(o.include_dirs);
  std::vector<const char *> definitions = null_terminated(o.defines);
  // Every context reads the same DEFINE options and standard defines file;
  // what is wrong with them is told once, when the script's context (the
  // run's first) is prepared.
  const bool previous = set_reports_suppressed(false);
  set_reports_suppressed(previous || is_tested != 1);
  start_macros(context, definitions.data(), include_dirs.data(), is_tested);
  if (!o.std_define_file.empty()) {
    std::string result;
    // Every context reads the same file in the same state: the first reading serves.
    pp_set_include_reuse(0);
    preprocess(context, "#include \"" + o.std_define_file + "\"", result);
    pp_set_include_reuse(-1);
    if (!result.empty()) parse_into(context, result.c_str(), "");
  }
  set_reports_suppressed(previous);
}

namespace {

// The preprocessed text of "#include" of path, in the context's macros.
void preprocess_file(const std::string &path, AnalysisContext &context, std::string &result) {
  // A name may be a macro standing for a header name; asking the
  // preprocessor about the name itself must not bother the user with its
  // complaints about an ordinary file name.
  std::string probe;
  const bool previous = set_reports_suppressed(true);
  preprocess(context, path, probe);
  set_reports_suppressed(previous);
  // The text itself starts after the line markers.
  std::size_t start = 0;
  for (;;) {
    start = probe.find_first_not_of(" \t\n", start);
    if (start == std::string::npos || probe[start] != '#') break;
    start = probe.find('\n', start);
  }
  std::string include_line;
  if (start != std::string::npos && (probe[start] == '"' || probe[start] == '<')) {
    std::size_t end = probe.find_last_not_of(" \t\n");
    include_line = "#include " + probe.substr(start, end + 1 - start);
  } else {
    include_line = "#include \"" + path + "\"";
  }
  // The file's own includes: the include section may have read them already.
  pp_set_include_reuse(1);
  preprocess(context, include_line, result);
  pp_set_include_reuse(-1);
}

// A file read into the script's context (a used header, the inserted file)
// is read in its own language; the context keeps the script's.
void parse_file_text(const std::string &path, AnalysisContext &context, const char *text) {
  SymbolTable &table = *context.table;
  const SourceLanguage kept = table.language;
  table.language = file_language(path);
  parse_into(context, text, path);
  table.language = kept;
}

}  // namespace

void analyse_file(const std::string &path, AnalysisContext &context) {
  std::string result;
  preprocess_file(path, context, result);
  parse_file_text(path, context, result.c_str());
}

namespace {

// Whether the tested file's preprocessed text can be read from a copy of
// the script's table: the same header text before its own text as the
// include section read, and no directive but line markers anywhere (the
// preprocessor has carried out the size pragmas of the whole text before
// the analysis reads any of it, headers included). Where its own text
// starts, or npos.
std::size_t tested_own_text(const std::string &path, const std::string &text) {
  const TestedHeaders &h = tested_headers();
  const SymbolTable &script = *script_context().table;
  // A type modifier declared after the first header (by a header or by the
  // file itself) is known to the file's analysis of every header, and was
  // not to the include section's.
  if (!h.usable || file_language(path) != SRC_C || script.counter != h.counter ||
      table_index_size(script) != h.names || pp_type_modifier_count() != h.modifiers)
    return std::string::npos;
  HeaderDigest headers;
  const std::size_t own = own_text_start(text, headers);
  return own != std::string::npos && headers.value == h.digest.value ? own : std::string::npos;
}

}  // namespace

void release_file_analysis() {
  end_macros(file_context(), 0);
  release_table(*file_context().table);
}

// The script is compiled with the tested file: its declarations are read in
// the tested file's language.
static SourceLanguage script_language() { return file_language(completed(generator_options().tested_file, KIND_SOURCE)); }

// The used headers' context is prepared when the first one is read: most
// runs use none, and the preparation reads the standard defines again.
static bool &use_context_prepared() {
  static bool prepared = false;
  return prepared;
}

void prepare_script_contexts() {
  reset_script_backlog();
  prepare_analysis(script_context(), 1, script_language());
  use_context_prepared() = false;
}

void plan_file_analyses() {
  FileAnalyses &all = file_analyses();
  all.planned.clear();
  all.told.clear();
  const GeneratorOptions &o = generator_options();
  auto plan = [&all](const std::string &file, int uses) { all.planned[completed(file, KIND_SOURCE)] += uses; };
  // Declarations (unless INSERT), environment and services.
  plan(o.tested_file, o.insert_requested ? 2 : 3);
  for (const StrNode *n = o.integrated_files.head; n; n = n->next) plan(n->text ? n->text : "", 2);
  for (const StrNode *n = o.simulated_files.head; n; n = n->next) plan(n->text ? n->text : "", 2);
}

SymbolTable &file_analysis(const std::string &completed_path) {
  FileAnalyses &all = file_analyses();
  auto found = all.held.find(completed_path);
  if (found != all.held.end()) return found->second->table;
  std::unique_ptr<FileAnalysis> a;
  if (all.spare.empty()) {
    a.reset(new FileAnalysis);
  } else {
    a = std::move(all.spare.back());
    all.spare.pop_back();
  }
  auto planned = all.planned.find(completed_path);
  a->uses_left = planned != all.planned.end() && planned->second > 1 ? planned->second : 1;
  prepare_analysis(a->context, 0, file_language(completed_path));
  const bool tested = completed_path == completed(generator_options().tested_file, KIND_SOURCE);
  // The tested file reads the headers the script's include section read
  // already: its table holds at least as many names, and gets the room at
  // once instead of growing to it step by step.
  if (tested) table_reserve(a->table, table_index_size(*script_context().table));
  const bool previous = set_reports_suppressed(false);
  set_reports_suppressed(previous || all.told.count(completed_path) != 0);
  std::string text;
  preprocess_file(completed_path, a->context, text);
  const std::size_t own = tested ? tested_own_text(completed_path, text) : std::string::npos;
  SymbolTable copy;
  if (own != std::string::npos && table_copy(*script_context().table, copy)) {
    // The headers' entries are the script's: only the file's own text is read.
    table_swap(a->table, copy);
    parse_file_text(completed_path, a->context, text.c_str() + own);
  } else {
    parse_file_text(completed_path, a->context, text.c_str());
  }
  release_table(copy);
  set_reports_suppressed(previous);
  SymbolTable &table = a->table;
  all.held.emplace(completed_path, std::move(a));
  return table;
}

void file_analysis_done(const std::string &completed_path) {
  FileAnalyses &all = file_analyses();
  auto found = all.held.find(completed_path);
  if (found != all.held.end() && --found->second->uses_left <= 0) release_analysis(found);
}

void release_file_analyses() {
  FileAnalyses &all = file_analyses();
  while (!all.held.empty()) release_analysis(all.held.begin());
  all.planned.clear();
  all.told.clear();
}

// An integrated, simulated or inserted file, or the tested file.
static void analysed_environment(std::string path, int included) {
  make_file_name(path, KIND_SOURCE);
  emit_file_environment(path, file_analysis(path), included);
  file_analysis_done(path);
}

void file_environment(std::string path) { analysed_environment(std::move(path), 0); }

void inserted_environment(std::string path) { analysed_environment(std::move(path), 1); }

// A file the script includes is analysed into the script's context first;
// the other analyses of the same text do not tell its diagnostics again.
void include_used_header(std::string path) {
  make_file_name(path, KIND_HEADER);
  script_table_complete();
  analyse_file(path, script_context());
  file_analyses().told.insert(path);
  if (!use_context_prepared()) {
    prepare_analysis(use_context(), 0, script_language());
    use_context_prepared() = true;
  }
  const bool previous = set_reports_suppressed(true);
  analyse_file(path, use_context());
  set_reports_suppressed(previous);
  write_script_line("##include \"" + path + "\"");
}

void include_inserted_file(std::string path) {
  make_file_name(path, KIND_SOURCE);
  script_table_complete();
  analyse_file(path, script_context());
  file_analyses().told.insert(path);
  write_script_line("##include \"" + path + "\"");
}

void assemble_script() {
  const GeneratorOptions &o = generator_options();
  const std::string &tested = o.tested_file;
  const bool insert = o.insert_requested != 0;
  plan_file_analyses();

  write_script_line(std::string(keyword(KW_HEADER)) + " " + base_name(tested) + ", , ");
  write_script_line("");

  if (!insert) tested_include_section(tested);

  if (!o.used_files.empty()) {
    write_banner_block(KW_BANNER_USED_HEADERS);
    write_script_line("");
    for_each(o.used_files, [](const std::string &f) { include_used_header(f); });
    write_script_line("");
  }

  if (insert) {
    write_banner_block(KW_BANNER_INSERTED_FILE);
    write_script_line("");
    include_inserted_file(tested);
    write_script_line("");
  } else {
    write_banner_block(KW_BANNER_TESTED_DECLARATIONS);
    tested_declarations_section(tested);
  }

  if (!o.integrated_files.empty()) {
    write_banner_block(KW_BANNER_INTEGRATED_FILES);
    write_script_line("");
    for_each(o.integrated_files, integrated_declarations_section);
    write_script_line("");
  }

  write_rule_line();
  write_script_line("");
  write_script_line(keyword(KW_BEGIN));
  write_script_line("");

  if (!o.simulated_files.empty()) {
    write_banner_block(KW_BANNER_STUBS);
    for_each(o.simulated_files, stub_section);
  }

  write_banner_block(KW_BANNER_ENVIRONMENTS);
  write_script_line("");

  if (!o.integrated_files.empty()) {
    write_short_banner_block(KW_BANNER_INTEGRATED_ENVIRONMENTS);
    for_each(o.integrated_files, [](const std::string &f) { file_environment(f); });
  }
  if (!o.simulated_files.empty()) {
    write_short_banner_block(KW_BANNER_SIMULATED_ENVIRONMENTS);
    for_each(o.simulated_files, [](const std::string &f) { file_environment(f); });
  }
  if (insert) {
    write_short_banner_block(KW_BANNER_INSERTED_ENVIRONMENT);
    inserted_environment(tested);
  } else {
    write_short_banner_block(KW_BANNER_TESTED_ENVIRONMENT);
    file_environment(tested);
  }

  write_banner_block(KW_BANNER_SERVICES);
  services_section(tested);
  release_file_analyses();
}

void set_generation_ends_process(bool ends) { ends_process() = ends; }

void generation_run(const std::string &command_text) {
  script_open(command_text);
  assemble_script();
  const GeneratorOptions &o = generator_options();
  if (!o.symbtab_file.empty()) symbol_file(o.symbtab_file);
  end_macros(use_context(), 0);
  end_macros(script_context(), 1);
  ScriptWriter &w = script_writer();
  script_close(w.path, w.stream, 0);
  if (!o.dependency_file.empty()) {
    // The tested file first; then whatever the preprocessor read (integrated,
    // simulated, used and inserted files, the defines file, every header).
    std::vector<std::string> inputs{o.tested_file};
    for (const std::string &f : pp_included_files()) inputs.push_back(f);
    write_dependency_file(o.dependency_file, w.path, inputs);
  }
}

// The generation driver: section order of the script, its keywords and
// banners in the three keyword languages, and the sequence by which every
// file named on the command line is analysed and handed to an emitter.
#pragma once
#include <string>
#include <string_view>

#include "cpptab.h"

// Every script keyword and comment banner; keyword() gives its text in the
// current KeywordLanguage.
enum KeywordRole : int {
  KW_HEADER,
  KW_BANNER_USED_HEADERS,
  KW_BANNER_INSERTED_FILE,
  KW_BANNER_INTEGRATED_FILES,
  KW_BEGIN,
  KW_BANNER_ENVIRONMENTS,
  KW_BANNER_SERVICES,
  KW_BANNER_INSERTED_ENVIRONMENT,
  KW_BANNER_INTEGRATED_ENVIRONMENTS,
  KW_BANNER_SIMULATED_ENVIRONMENTS,
  KW_BANNER_TESTED_ENVIRONMENT,
  KW_BANNER_TESTED_DECLARATIONS,
  KW_BANNER_TESTED_INCLUDES,
  KW_BANNER_STUBS,
  KW_SERVICE_TYPE,
  KW_SERVICE_TYPE_VALUE,
  KW_COMMENT_SERVICE,
  KW_COMMENT_PARAMETERS,
  KW_COMMENT_RETURN_TYPE,
  KW_USE,
  KW_ENVIRONMENT,
  KW_END,
  KW_FAMILY,
  KW_DEFINE,
  KW_STUB,
  KW_OTHERS,
  KW_ARRAY,
  KW_EXPECTED_VALUE,
  KW_COMMENT_METHOD_TYPES,
  KW_COMMENT_GLOBALS,
  KW_COMMENT_INTEGRATED_FILE,
  KW_COMMENT_SIMULATED_FILE,
  KW_COMMENT_FILE_ENVIRONMENT,
  KW_COMMENT_CLASS_INSTANCES,
  KW_ROLE_COUNT
};

const char *keyword(KeywordRole role);
const char *keyword_in(KeywordRole role, int language);  // 0 FR, 1 FA, 2 GB

// 80 "-", the same in every language.
extern const char kRuleLine[];

void write_rule_line();
// The text of that line, for a caller writing it among others in one piece.
std::string_view rule_line();
// Rule, "--", banner, "--", rule.
void write_banner_block(KeywordRole banner);
// Rule, banner, rule.
void write_short_banner_block(KeywordRole banner);

// The whole generation; called once by main after the options are decoded.
void generation_run(const std::string &command_text);
// Whether the process ends with the run (the command line program): the
// analyses and macros of its last uses are then left to the process exit
// instead of being freed one record at a time. A program that runs several
// generations (the tests) keeps the default, false.
void set_generation_ends_process(bool ends);
void assemble_script();

// An analysis context: a symbol table with its own macro table. The
// preprocessor's state is process-wide and serves the macro table that each
// call names.
struct SymbolTable;
struct MacroTable;
struct AnalysisContext {
  SymbolTable *table = nullptr;
  MacroTable *macros = nullptr;
};

// What the script itself declares (every C declaration written into it is
// parsed here too), the used headers, and the one file under analysis.
AnalysisContext &script_context();
AnalysisContext &use_context();
AnalysisContext &file_context();

// The analysis contexts of the tested file (script and used headers),
// prepared once by script_open before anything is written.
void prepare_script_contexts();

// Empties the table and starts its preprocessor with the INCL directories and
// DEFINE macros; the standard defines file is parsed into the table.
// is_tested is 1 only for the script context (the include chain is built
// once per run).
void prepare_analysis(AnalysisContext &context, int is_tested, SourceLanguage language = SRC_CPP);
// Preprocesses "#include" of path and parses the result into the table, in
// the language of the file's name.
void analyse_file(const std::string &path, AnalysisContext &context);

// The language a file is analysed in, with everything it includes, decided
// by its name: ".c" is C, a C++ suffix (see suffix_language) is C++; any
// other suffix (".h", ".inc", none) takes the tested file's language, C when
// the tested file's own suffix names none (a header given beside C++ sources
// is part of them).
SourceLanguage file_language(const std::string &path);
// Ends the per-file context: its macros, then its table.
void release_file_analysis();

// The tested file's headers, as the include section analyses them into the
// script's table: when the tested file holds nothing but directives before
// its last include, and its analysis finds the same header text before its
// own, that analysis starts from a copy of the script's table instead of
// reading the headers again. The include section notes each header's
// preprocessed text, and marks the copy unusable when it analysed anything
// else into the script's table or anything was reported meanwhile.
// Tests compare both ways of analysing the tested file: off, it always
// reads its headers again (the default is on).
void set_tested_headers_reuse(bool on);
void tested_headers_begin();
void tested_headers_text(const std::string &preprocessed);
void tested_headers_unusable();
void tested_headers_end();

// One analysis per analysed file and run. Every emitter that writes
// something of a file (declarations, stubs, environment, services) asks for
// its analysis by the completed path and gives it back when done: the file is
// preprocessed and analysed at the first request only, so that its
// diagnostics are reported once, and its table is freed after the last use
// that plan_file_analyses foresaw (at once when none was foreseen). Emitters
// read the table and keep what they change (functions already served or
// stubbed) in their own state.
void plan_file_analyses();
SymbolTable &file_analysis(const std::string &completed_path);
void file_analysis_done(const std::string &completed_path);
// Frees every analysis still held (after the last section, or a test).
void release_file_analyses();

// The environment block of a file: complete path with the source suffix,
// take its analysis, emit the environment, give the analysis back.
void file_environment(std::string path);
void inserted_environment(std::string path);

// The "##include" lines of the used headers and of the inserted tested file.
void include_used_header(std::string path);
void include_inserted_file(std::string path);

// The base name of a path: directory and suffix removed.
std::string base_name(const std::string &path);

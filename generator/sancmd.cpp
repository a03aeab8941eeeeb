#include "sancmd.h"

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gcmdec.h"
#include "merror.h"
#include "mplatf.h"
#include "mstrin.h"
#include "msystm.h"

namespace {

// Same limit as the bounded copies the header line was built with.
constexpr std::size_t kCommandTextLimit = 61440;
constexpr std::size_t kFileNameLimit = 999;

// Both French columns share one text: it has no accented letters.
const char kUsageFrench[] =
    "\nUsage ortekstart:\n\t<fichier_teste>\n\t<fichier_genere>\n\t[-LANGAGE=<nom_langage>]\n"
    "\t[-INTEGRE=<fichier_integre>[,fichier_integre]]\n\t[-SIMULE=<fichier_simule>[,fichier_simule]]\n"
    "\t[-INSERE]\n\t[-UTILISE=<fichier_utilise>[,fichier_utilise]]\n\t[-INCL=<repertoire>[,repertoire]]\n"
    "\t[-DEFINIR=<identificateur>[,identificateur]]\n\t[-DEFINE_STD=<fichier_define>]\n"
    "\t[-ADALIEN=<fichier_lien_ada>]\n\t[-NOPATH]\n\t[-TABSYMB=<fichier_tabsymb>]\n\t[-PREPRO_SEUL]\n"
    "\t[-RESTRICTION=<NOALLOC|SEPAR|NOSQLSAV|ANSI|KR|NOPOS|NOIMAGE|NOEXCEP>"
    "[=NOALLOC|SEPAR|NOSQLSAV|ANSI|KR|NOPOS|NOIMAGE|NOEXCEP]]\n"
    "\t[-STANDARD=<fichier_standard_ada>]\n\t[-CLASSE=<nom_classe>]\n\t[-SERVICE=<nom_service>]\n"
    "\t[-FICHIER_DEP=<fichier_dependances>]\n\t[-AIDE]\n";

const char *const kUsage[3] = {
    kUsageFrench,
    kUsageFrench,
    QT_TRANSLATE_NOOP("Command-line",
                      "\nUsage ortekstart:\n\t<tested_file>\n\t<generated_file>\n\t[-LANGUAGE=<language_name>]\n"
                      "\t[-INTEGRATE=<integrated_file>[,integrated_file]]\n"
                      "\t[-SIMULATE=<simulated_file>[,simulated_file]]\n\t[-INSERT]\n"
                      "\t[-USE=<used_file>[,used_file]]\n\t[-INCL=<directory>[,directory]]\n"
                      "\t[-DEFINE=<identifier>[,identifier]]\n\t[-STD_DEFINE=<define_file>]\n"
                      "\t[-ADALINK=<ada_link_file>]\n\t[-NOPATH]\n\t[-SYMBTAB=<symbtab_file>]\n"
                      "\t[-PREPRO_ONLY]\n"
                      "\t[-RESTRICTION=<NOALLOC|SEPAR|NOSQLSAV|ANSI|KR|NOPOS|NOIMAGE|NOEXCEP>"
                      "[=NOALLOC|SEPAR|NOSQLSAV|ANSI|KR|NOPOS|NOIMAGE|NOEXCEP]]\n"
                      "\t[-STANDARD=<ada_standard_file>]\n\t[-CLASS=<class_name>]\n\t[-SERVICE=<service_name>]\n"
                      "\t[-DEPFILE=<dependency_file>]\n\t[-HELP]\n"),
};

// One line per option for -HELP, in the order of the usage text; options
// that are accepted without effect are not offered.
struct HelpLine {
  const char *option;
  const char *text;
};
const HelpLine kHelpLines[] = {
    {"-INTEGRATE=a.c,b.c", QT_TRANSLATE_NOOP("Command-line", "files declared before BEGIN, each with an environment")},
    {"-SIMULATE=s.c", QT_TRANSLATE_NOOP("Command-line", "files given stubs and environments")},
    {"-INSERT", QT_TRANSLATE_NOOP("Command-line", "include the tested file itself (static functions and variables)")},
    {"-USE=u.h", QT_TRANSLATE_NOOP("Command-line", "headers whose declarations the script includes")},
    {"-INCL=dir", QT_TRANSLATE_NOOP("Command-line", "include directories, searched in order")},
    {"-DEFINE=NAME[=value]", QT_TRANSLATE_NOOP("Command-line", "macro definitions")},
    {"-STD_DEFINE=file.def", QT_TRANSLATE_NOOP("Command-line", "standard defines file (default: from the target)")},
    {"-SYMBTAB=file", QT_TRANSLATE_NOOP("Command-line", "also create the empty symbol-table file")},
    {"-PREPRO_ONLY", QT_TRANSLATE_NOOP("Command-line", "escape file names in the preprocessor's line markers")},
    {"-RESTRICTION=NOEXCEP|NOIMAGE|...", QT_TRANSLATE_NOOP("Command-line", "restriction flags")},
    {"-CLASS=name", QT_TRANSLATE_NOOP("Command-line", "class name used by the script (default ORTEK)")},
    {"-STUDIO_LOG=file", QT_TRANSLATE_NOOP("Command-line", "append a line naming each script written")},
    {"-DEPFILE=t.d", QT_TRANSLATE_NOOP("Command-line", "write a make-style dependency file after the run")},
    {"-HELP, --help, -h", QT_TRANSLATE_NOOP("Command-line", "print this text and stop")},
};

CmdParam text_param(const char *french, const char *english, char list, int maximum = 255) {
  CmdParam p;
  p.names[CMD_FR] = french;
  p.names[CMD_FA] = french;
  p.names[CMD_GB] = english;
  p.type = 'C';
  p.list = list;
  p.minimum = 1;
  p.maximum = maximum;
  return p;
}

CmdOption flag_option(const char *french, const char *english) {
  CmdOption o;
  o.names[CMD_FR] = french;
  o.names[CMD_FA] = french;
  o.names[CMD_GB] = english;
  return o;
}

CmdOption value_option(const char *french, const char *english, CmdParam value) {
  CmdOption o = flag_option(french, english);
  o.takes_value = 1;
  o.value = value;
  return o;
}

CommandTable make_table() {
  CommandTable t;
  t.prefix = '-';
  t.value_separator = '=';
  t.list_separator = ',';
  t.language = CMD_GB;
  t.params.push_back(text_param("fichier_teste", "tested_file", 'N'));
  t.params.push_back(text_param("fichier_genere", "generated_file", 'N'));

  t.options.push_back(value_option("LANGAGE", "LANGUAGE", text_param("nom_langage", "language_name", 'N')));
  t.options.push_back(value_option("INTEGRE", "INTEGRATE", text_param("fichier_integre", "integrated_file", 'Y')));
  t.options.push_back(value_option("SIMULE", "SIMULATE", text_param("fichier_simule", "simulated_file", 'Y')));
  t.options.push_back(flag_option("INSERE", "INSERT"));
  t.options.push_back(value_option("UTILISE", "USE", text_param("fichier_utilise", "used_file", 'Y')));
  t.options.push_back(value_option("INCL", "INCL", text_param("repertoire", "directory", 'Y')));
  t.options.push_back(value_option("DEFINIR", "DEFINE", text_param("identificateur", "identifier", 'Y')));
  t.options.push_back(value_option("DEFINE_STD", "STD_DEFINE", text_param("fichier_define", "define_file", 'N')));
  t.options.push_back(value_option("ADALIEN", "ADALINK", text_param("fichier_lien_ada", "ada_link_file", 'N')));
  t.options.push_back(flag_option("NOPATH", "NOPATH"));
  t.options.push_back(value_option("TABSYMB", "SYMBTAB", text_param("fichier_tabsymb", "symbtab_file", 'N')));
  t.options.push_back(flag_option("PREPRO_SEUL", "PREPRO_ONLY"));
  CmdOption restriction =
      value_option("RESTRICTION", "RESTRICTION", text_param("restriction", "restriction", 'Y'));
  for (const char *k : {"NOEXCEP", "NOIMAGE", "NOPOS", "KR", "ANSI", "NOSQLSAV", "SEPAR", "NOALLOC"}) {
    CmdKeyword keyword;
    keyword.names[CMD_FR] = keyword.names[CMD_FA] = keyword.names[CMD_GB] = k;
    restriction.keywords.push_back(keyword);
  }
  t.options.push_back(restriction);
  t.options.push_back(
      value_option("STANDARD", "STANDARD", text_param("fichier_standard_ada", "ada_standard_file", 'N')));
  t.options.push_back(value_option("CLASSE", "CLASS", text_param("nom_classe", "class_name", 'N')));
  t.options.push_back(value_option("SERVICE", "SERVICE", text_param("nom_service", "service_name", 'N')));
  t.options.push_back(
      value_option("STUDIO_LOG", "STUDIO_LOG", text_param("fichier_studio_log", "studio_log_file", 'N')));
  CmdParam level = text_param("niveau", "level", 'Y');
  level.type = 'I';
  level.minimum = 0;
  level.maximum = 255;
  t.options.push_back(value_option("XT", "XT", level));
  t.options.push_back(
      value_option("METRIQUES", "METRICS", text_param("repertoire_metriques", "metrics_directory", 'N')));
  t.options.push_back(flag_option("ONE_LEVEL_METRICS", "ONE_LEVEL_METRICS"));
  t.options.push_back(value_option("RESTRICT_DIR_METRICS", "RESTRICT_DIR_METRICS",
                                   text_param("restriction-rep", "restriction-dir", 'Y', 1024)));
  t.options.push_back(
      value_option("FICHIER_DEP", "DEPFILE", text_param("fichier_dependances", "dependency_file", 'N', 999)));
  t.help_option = static_cast<int>(t.options.size());
  t.options.push_back(flag_option("AIDE", "HELP"));
  for (int i = 0; i < 3; ++i) t.usage[i] = kUsage[i];
  return t;
}

CommandTable &generator_table() {
  static CommandTable *table = new CommandTable(make_table());  // filled in place by the decoding
  return *table;
}

std::string local8(const QString &text) { return text.toLocal8Bit().toStdString(); }

void warn_command(const char *english) {
  report_warning(MSG_CMDERREUR,
                 local8(QCoreApplication::translate("CmdLine", english, "First parameter (%1) for CMDERREUR error")));
}

// The command text is meant to be pasted back into a shell: a value is
// written so that the shell and the decoder give it back unchanged. A list
// separator in a value gets its escape again; inside double quotes only the
// characters the shell interprets there are escaped.
std::string decoder_text(const std::string &value) {
  std::string out;
  out.reserve(value.size() + 8);
  for (char c : value) {
    if (c == ',') out += '\\';
    out += c;
  }
  return out;
}

std::string quoted_inner(const std::string &value) {
  const std::string text = decoder_text(value);
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"' || c == '$' || c == '`') {
      out += '\\';
    } else if (c == '\\') {
      const char next = i + 1 < text.size() ? text[i + 1] : '"';
      if (next == '"' || next == '$' || next == '`' || next == '\\') out += '\\';
    }
    out += c;
  }
  return out;
}

// Unquoted values stay as typed unless the shell would change them.
std::string bare_value(const std::string &value) {
  for (char c : value) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       std::strchr("_./-+:@%=^", c) != nullptr;
    if (!plain) return "\"" + quoted_inner(value) + "\"";
  }
  return value;
}

enum ListKind { LIST_PLAIN, LIST_DIRECTORIES, LIST_KEYWORDS };

std::string collect_list(const char *name, StrList &list, ListKind kind) {
  const int position = option_state(name);
  if (position == 0) return {};
  std::string fragment = std::string(" /") + name + "=\"";
  for (int k = 1;; ++k) {
    const CmdValue *v = option_value(position, k);
    if (!v) break;
    const std::string typed = v->text ? v->text : "";
    std::string value = typed;
    if (k == 1 && !value.empty() && value.front() == '(') value.erase(0, 1);
    if (!value.empty() && value.back() == ')') value.pop_back();
    if (kind == LIST_KEYWORDS) upper_case_in_place(value.data());
    if (k > 1) fragment += ',';
    if (value.empty()) {
      // Nothing to add, so it cannot end the definition or directory arrays
      // early; the parenthesis stays in the text so that the text decodes
      // to the same lists again.
      fragment += quoted_inner(typed);
      continue;
    }
    if (kind != LIST_DIRECTORIES || check_directory(value.c_str()) == 0) strlist_append(value.c_str(), list);
    fragment += quoted_inner(value);
  }
  fragment += '"';
  return fragment;
}

std::string first_value(const char *name) {
  const int position = option_state(name);
  if (position == 0) return {};
  const CmdValue *v = option_value(position, 1);
  return v && v->text ? v->text : "";
}

std::string checked_file_name(std::string name, const char *what) {
  if (name.size() <= kFileNameLimit) return name;
  warn_command(what);
  return {};
}

// The usage text, then one line per option, on the standard output; the
// banner already went to the error stream, which is flushed first.
[[noreturn]] void print_help_and_exit() {
  const CommandTable &table = generator_table();
  std::string out = local8(QCoreApplication::translate("Command-line", table.usage[table.language]));
  out += "\n";
  for (const HelpLine &h : kHelpLines) {
    std::string option = h.option;
    if (option.size() < 34) option.resize(34, ' ');
    out += "  " + option + " " + local8(QCoreApplication::translate("Command-line", h.text)) + "\n";
  }
  std::fflush(stderr);
  std::fputs(out.c_str(), stdout);
  // Through the reporter's exit, like every other end of the run, so that
  // an embedding that must not end the process (a fuzz target) keeps control.
  flush_and_exit(0);
}

}  // namespace

SuffixLanguage suffix_language(const std::string &name) {
  std::string directory, base_part, suffix, base;
  split_path(name, directory, base_part);
  split_extension(base_part, suffix, base);
  // ".C" is C++ and ".c" is C; the longer suffixes are C++ in either case.
  if (suffix == "c") return SUFFIX_C;
  if (suffix == "C") return SUFFIX_CPP;
  std::string lower;
  for (char c : suffix) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  for (const char *s : {"cc", "cpp", "cxx", "c++", "hpp", "hh", "hxx"})
    if (lower == s) return SUFFIX_CPP;
  return SUFFIX_OTHER;
}

bool is_cpp_file_name(const std::string &name) { return suffix_language(name) == SUFFIX_CPP; }

std::string target_defines_file(const std::string &target, const std::string &tested_file) {
  // The name as it will be read: a tested file given without a suffix gets
  // the C++ source suffix.
  std::string tested = tested_file;
  make_file_name(tested, KIND_SOURCE);
  return target + (is_cpp_file_name(tested) ? "/ana/qzus_cpp.def" : "/ana/qzus_c.def");
}

GeneratorOptions &generator_options() {
  static GeneratorOptions *options = new GeneratorOptions;  // process lifetime
  return *options;
}

void reset_generator_options() {
  GeneratorOptions &o = generator_options();
  for (StrList *list : {&o.integrated_files, &o.simulated_files, &o.used_files, &o.include_dirs, &o.defines})
    strlist_free(*list);
  o = GeneratorOptions();
}

void decode_generator_command(int argc, char **argv, std::string &command_text) {
  pool_init();
  CommandTable &table = generator_table();
  // The spelling every other tool understands; the decoder's own prefix
  // would read it as an option named "-help".
  static char help_spelling[] = "-HELP";
  for (int i = 1; i < argc; ++i)
    if (argv[i] && std::strcmp(argv[i], "--help") == 0) argv[i] = help_spelling;
  if (expand_arguments(table, argc, argv) != 0) report_fatal(MSG_CMDFATALE, "");
  if (decode_command(table, argc, argv) != 0) report_fatal(MSG_CMDFATALE, "");

  if (option_state("HELP") > 0) print_help_and_exit();
  reset_generator_options();
  GeneratorOptions &o = generator_options();
  const CmdValue *tested = parameter_value(1, 1);
  const CmdValue *generated = parameter_value(2, 1);
  o.tested_file = tested && tested->text ? tested->text : "";
  o.generated_file = generated && generated->text ? generated->text : "";

  const std::string integrated = collect_list("INTEGRATE", o.integrated_files, LIST_PLAIN);
  const std::string simulated = collect_list("SIMULATE", o.simulated_files, LIST_PLAIN);
  const std::string used = collect_list("USE", o.used_files, LIST_PLAIN);
  const std::string include = collect_list("INCL", o.include_dirs, LIST_DIRECTORIES);
  const std::string defines = collect_list("DEFINE", o.defines, LIST_PLAIN);
  StrList restrictions;
  const std::string restriction = collect_list("RESTRICTION", restrictions, LIST_KEYWORDS);

  o.insert_requested = option_state("INSERT") > 0 ? 1 : 0;
  o.prepro_only = option_state("PREPRO_ONLY") > 0 ? 1 : 0;

  // The file the user chose, by the option or by QZLTGT, is echoed in the
  // header; the installation's own default is not, so that a script's
  // header does not change with the folder the tool is installed in.
  bool echo_defines = true;
  if (option_state("STD_DEFINE") > 0) {
    o.std_define_file = first_value("STD_DEFINE");
  } else {
    const std::string target = target_directory();
    const char *chosen = sys_getenv("QZLTGT");
    echo_defines = chosen && *chosen;
    if (!target.empty())
      o.std_define_file = checked_file_name(target_defines_file(target, o.tested_file),
                                            QT_TRANSLATE_NOOP("CmdLine", "QZLTGT value too long"));
  }
  o.symbtab_file = first_value("SYMBTAB");
  o.ada_link_file = first_value("ADALINK");
  o.standard_file = first_value("STANDARD");
  if (option_state("CLASS") > 0) {
    o.class_name = first_value("CLASS");
    o.class_given = 1;
  }
  o.studio_log_file = first_value("STUDIO_LOG");
  o.dependency_file = first_value("DEPFILE");

  if (!first_value("SERVICE").empty()) warn_command(QT_TRANSLATE_NOOP("CmdLine", "improper -SERVICE option"));

  for (const StrNode *n = restrictions.head; n; n = n->next) {
    const std::string k = n->text ? n->text : "";
    if (k == "NOEXCEP") o.no_exceptions = 1;
    if (k == "NOIMAGE") o.no_image = 1;
    if (k == "KR") o.kr_mode = 1;
    if (k == "ANSI") o.ansi_mode = 1;
  }
  strlist_free(restrictions);
  if (o.kr_mode) {
    warn_command(QT_TRANSLATE_NOOP("CmdLine", "improper RESTR=KR option"));
    o.kr_mode = 0;
  }
  if (o.kr_mode == 0) o.ansi_mode = 1;

  std::string text = "ortekstart \"" + quoted_inner(o.tested_file) + "\" \"" + quoted_inner(o.generated_file) + "\"";
  text += integrated;
  text += simulated;
  text += used;
  if (o.insert_requested) text += " /INSERT";
  text += include;
  text += defines;
  if (!o.std_define_file.empty() && echo_defines) text += " /STD_DEFINE=\"" + quoted_inner(o.std_define_file) + "\"";
  if (!o.symbtab_file.empty()) text += " /SYMBTAB=" + bare_value(o.symbtab_file);
  if (!o.ada_link_file.empty()) text += " /ADALINK=" + bare_value(o.ada_link_file);
  if (!o.standard_file.empty()) text += " /STANDARD=" + bare_value(o.standard_file) + " /SERVICE=";
  if (o.prepro_only) text += " /PREPRO_ONLY";
  if (o.class_given) text += " /CLASS=" + bare_value(o.class_name);
  text += restriction;
  if (!o.dependency_file.empty()) text += " /DEPFILE=" + bare_value(o.dependency_file);

  // The text becomes one header line of the script.
  for (char &c : text)
    if (c == '\r' || c == '\n') c = ' ';
  if (text.size() > kCommandTextLimit) {
    warn_command(QT_TRANSLATE_NOOP("CmdLine", "command text too long, truncated in the script header"));
    text.resize(kCommandTextLimit);
  }
  o.command_text = text;
  command_text = text;
}

// Translation set-up from PROBAXDIR and the system locale, and the keyword
// language from ORTEKLAN. Each set-up runs in a child process of its own, as
// the tool does once per run.
#include "i18nutil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>

#include "i18n_anaccpp_msg.h"
#include "i18n_bibli_msg.h"
#include "i18n_modbas_msg.h"
#include "i18n_squelet_msg.h"
#include "merror.h"

namespace {

const std::string kTree = std::string(ORTEK_BINARY_DIR) + "/probax";

// The start of a run: application object, translators, catalogue; then the
// summary line shows which language the catalogue holds.
[[noreturn]] void start_and_finish(const char *probaxdir, const char *lang) {
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  unsetenv("LANGUAGE");
  if (lang) setenv("LANG", lang, 1);
  if (probaxdir)
    setenv("PROBAXDIR", probaxdir, 1);
  else
    unsetenv("PROBAXDIR");
  static int argc = 1;
  static char name[] = "ortekstart";
  static char *argv[] = {name, nullptr};
  auto *application = new QCoreApplication(argc, argv);
  install_translations(*application,
                       QStringList{"squelet_", "lumoident_", "modbas_", "bibli_", "anaccpp_", "cab_"});
  register_squelet_messages();
  register_modbas_messages();
  register_bibli_messages();
  register_ana_c_cpp_messages();
  std::fputs(translate("LUMOIdent", "Deprecated C++ Test Template Generator").toLocal8Bit().constData(), stderr);
  std::fputs("\n", stderr);
  finish_run();
}

TEST(TranslationSetupDeath, MissingOrEmptyProbaxdirIsFatal) {
  const char *text = "^Fatal Error: please setup PROBAXDIR environment variable\\.\n$";
  EXPECT_EXIT(start_and_finish(nullptr, "C"), ::testing::ExitedWithCode(7), text);
  EXPECT_EXIT(start_and_finish("", "C"), ::testing::ExitedWithCode(7), text);
}

TEST(TranslationSetupDeath, LocaleFollowsTheEnvironment) {
  EXPECT_EXIT(start_and_finish(kTree.c_str(), "fr_FR.UTF-8"), ::testing::ExitedWithCode(0),
              "^G\xc3\xa9n\xc3\xa9rateur obsol\xc3\xa8te de mod\xc3\xa8les de test C\\+\\+\n"
              "ProbaX-I-ENDNOENWR,  Fin d'ex\xc3\xa9""cution avec 0 erreur et 0 avertissement\n$");
  // Only French of France is shipped: another French stays English.
  EXPECT_EXIT(start_and_finish(kTree.c_str(), "fr_CA.UTF-8"), ::testing::ExitedWithCode(0), "^Deprecated");
  EXPECT_EXIT(start_and_finish(kTree.c_str(), "C"), ::testing::ExitedWithCode(0),
              "^Deprecated C\\+\\+ Test Template Generator\n"
              "ProbaX-I-ENDNOENWR,  End of execution with 0 error and 0 warning\n$");
  EXPECT_EXIT(start_and_finish(kTree.c_str(), "de_DE.UTF-8"), ::testing::ExitedWithCode(0),
              "^Deprecated C\\+\\+ Test Template Generator\n"
              "ProbaX-I-ENDNOENWR,  End of execution with 0 error and 0 warning\n$");
}

TEST(TranslationSetupDeath, MissingLocaleDirectoryWarnsAndGoesOnInEnglish) {
  EXPECT_EXIT(start_and_finish("/no/such/tree", "fr_FR.UTF-8"), ::testing::ExitedWithCode(0),
              "^Warning: directory doesn't exist '/no/such/tree/lib/locale'\n"
              "Deprecated C\\+\\+ Test Template Generator\n"
              "ProbaX-I-ENDNOENWR,  End of execution with 0 error and 0 warning\n$");
  // A locale directory without any translation file: English, no warning.
  const std::string empty = ::testing::TempDir() + "i18n_empty_tree";
  mkdir(empty.c_str(), 0755);
  mkdir((empty + "/lib").c_str(), 0755);
  mkdir((empty + "/lib/locale").c_str(), 0755);
  EXPECT_EXIT(start_and_finish(empty.c_str(), "fr_FR.UTF-8"), ::testing::ExitedWithCode(0),
              "^Deprecated C\\+\\+ Test Template Generator\n"
              "ProbaX-I-ENDNOENWR,  End of execution with 0 error and 0 warning\n$");
}

// The loader also takes a catalogue named for the language alone, with or
// without its suffix: such a file is found whatever else the folder holds.
TEST(TranslationSetupDeath, ACatalogueUnderAShorterNameIsFound) {
  const std::string tree = ::testing::TempDir() + "i18n_short_tree";
  mkdir(tree.c_str(), 0755);
  mkdir((tree + "/lib").c_str(), 0755);
  mkdir((tree + "/lib/locale").c_str(), 0755);
  auto copy = [&tree](const char *from, const char *to) {
    std::ifstream in(kTree + "/lib/locale/" + from, std::ios::binary);
    std::ofstream out(tree + "/lib/locale/" + to, std::ios::binary);
    out << in.rdbuf();
  };
  copy("lumoident_fr_FR.qm", "lumoident_fr.qm");
  copy("modbas_fr_FR.qm", "modbas_fr");
  std::ofstream(tree + "/lib/locale/bibli_de.qm") << "not a catalogue";
  EXPECT_EXIT(start_and_finish(tree.c_str(), "fr_FR.UTF-8"), ::testing::ExitedWithCode(0),
              "^G\xc3\xa9n\xc3\xa9rateur obsol\xc3\xa8te de mod\xc3\xa8les de test C\\+\\+\n"
              "ProbaX-I-ENDNOENWR,  Fin d'ex\xc3\xa9""cution avec 0 erreur et 0 avertissement\n$");
}

TEST(KeywordLanguage, FromOrteklan) {
  struct Case {
    const char *value;  // null: unset
    int language;
  } cases[] = {{nullptr, LANG_GB}, {"FR", LANG_FR}, {"fr", LANG_FR}, {"fa", LANG_FA}, {"Fa", LANG_FA},
               {"GB", LANG_GB},    {"FRA", LANG_GB}, {"", LANG_GB},   {"F", LANG_GB},  {" FR", LANG_GB},
               {"en", LANG_GB}};
  for (const Case &c : cases) {
    if (c.value)
      setenv("ORTEKLAN", c.value, 1);
    else
      unsetenv("ORTEKLAN");
    KeywordLanguage = -1;
    select_keyword_language();
    EXPECT_EQ(KeywordLanguage, c.language) << (c.value ? c.value : "(unset)");
  }
  unsetenv("ORTEKLAN");
  select_keyword_language();
}

}  // namespace

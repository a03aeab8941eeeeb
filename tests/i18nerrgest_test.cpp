// The message tables against the shipped translations: every translation is
// found for the text it was written for and keeps the placeholders.
#include "i18nerrgest.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QTranslator>
#include <string>
#include <vector>

#include "i18n_anaccpp_msg.h"
#include "i18n_bibli_msg.h"
#include "i18n_modbas_msg.h"
#include "i18n_squelet_msg.h"

namespace {

QSet<QString> placeholders(const QString &text) {
  QSet<QString> out;
  auto it = QRegularExpression("%[12]").globalMatch(text);
  while (it.hasNext()) out.insert(it.next().captured());
  return out;
}

class FrenchTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "i18nerrgest_test";
    static char *argv[] = {name, nullptr};
    application = new QCoreApplication(argc, argv);
    const QString dir = QString(ORTEK_BINARY_DIR) + "/probax/lib/locale";
    for (const char *prefix : {"squelet_", "lumoident_", "modbas_", "bibli_", "anaccpp_"}) {
      auto *t = new QTranslator(application);
      ASSERT_TRUE(t->load(QString(prefix) + "fr_FR", dir)) << prefix;
      application->installTranslator(t);
    }
  }
  static QCoreApplication *application;
};
QCoreApplication *FrenchTables::application = nullptr;

TEST_F(FrenchTables, TranslationsKeepPlaceholdersAndCoverTheFrameTexts) {
  const std::vector<MessageTable> tables = {squelet_message_table(), modbas_message_table(),
                                            bibli_message_table(), ana_c_cpp_message_table()};
  QSet<QString> translated;
  for (const MessageTable &table : tables)
    for (std::size_t i = 0; i < table.count; ++i) {
      const MessageEntry &e = table.entries[i];
      ASSERT_NE(e.code, nullptr);
      ASSERT_NE(e.text, nullptr);
      if (!e.context) continue;
      const QString english = QString::fromLatin1(e.text);
      const QString french = QCoreApplication::translate(e.context, e.text, e.comment);
      EXPECT_EQ(placeholders(french), placeholders(english)) << e.code;
      if (french != english) translated.insert(e.code);
    }
  for (const char *code : {"ENDERRWAR", "ENDERRNWR", "ENDNOEWAR", "ENDNOENWR", "NOMESSDEF", "FICERROPN", "EROPFICMD",
                           "IMPOUVFIC", "IMPFERFIC", "IMPECRFIC", "IMPFICREN", "FICRENAME", "CMDERREUR", "CMDFATALE",
                           "ERRFATALE", "ERRINTFCT", "ERRINTERN", "LANSWITCH", "FINEXECUT", "INCLTYPER"})
    EXPECT_TRUE(translated.contains(code)) << code;
  EXPECT_NE(QCoreApplication::translate("LUMOIdent", "Deprecated C++ Test Template Generator"),
            "Deprecated C++ Test Template Generator");
  EXPECT_NE(QCoreApplication::translate("Error Parameter", "memory overflow",
                                        "Used as a parameter for 'ERRINTFCT' error message"),
            "memory overflow");
}

}  // namespace

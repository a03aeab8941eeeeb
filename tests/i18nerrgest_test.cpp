// The message table against the shipped translations: every translation is
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
  QSet<QString> translated;
  for (int i = 0; i < MESSAGE_CODE_COUNT; ++i) {
    const MessageCode code = MessageCode::at(i);
    const MessageInfo &m = message_info(code);
    const char *context = message_context(code);
    if (!context) continue;
    const std::string comment = message_comment(code);
    const QString english = QString::fromLatin1(m.text);
    const QString french =
        QCoreApplication::translate(context, m.text, comment.empty() ? nullptr : comment.c_str());
    EXPECT_EQ(placeholders(french), placeholders(english)) << m.code;
    if (french != english) translated.insert(m.code);
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

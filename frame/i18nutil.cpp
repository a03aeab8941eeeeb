#include "i18nutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QStringList>
#include <QTranslator>
#include <cstdio>
#include <cstring>

#include "merror.h"
#include "mplatf.h"

int KeywordLanguage = LANG_GB;

void install_translations(QCoreApplication &application, const QStringList &prefixes) {
  const char *dir = sys_getenv("PROBAXDIR");
  if (!dir || !*dir) {
    std::fputs("Fatal Error: please setup PROBAXDIR environment variable.\n", stderr);
    flush_and_exit(7);
  }
  QString locale_dir = QString::fromLocal8Bit(dir) + QDir::separator() + "lib" + QDir::separator() + "locale";
  if (!sys_is_directory(locale_dir.toLocal8Bit().constData())) {
    std::string text = "Warning: directory doesn't exist '" + locale_dir.toLocal8Bit().toStdString() + "'\n";
    std::fputs(text.c_str(), stderr);
    return;
  }
  const QString name = QLocale::system().name();
  for (const QString &prefix : prefixes) {
    QTranslator *translator = new QTranslator(&application);  // lives until exit
    if (translator->load(prefix + name, locale_dir))
      application.installTranslator(translator);
    else
      delete translator;
  }
}

void select_keyword_language() {
  const char *value = sys_getenv("ORTEKLAN");
  KeywordLanguage = LANG_GB;
  if (!value) return;
  std::string v(value);
  for (char &c : v)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  static const char *const kNames[] = {"FR", "FA", "GB"};
  for (int i = 0; i < 3; ++i)
    if (v == kNames[i]) {
      KeywordLanguage = i;
      return;
    }
}

QString translate(const char *context, const char *source, const char *comment) {
  return QCoreApplication::translate(context, source, comment);
}

#include "i18nutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QSet>
#include <QStringList>
#include <QTranslator>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "merror.h"
#include "mplatf.h"

int KeywordLanguage = LANG_GB;

namespace {

// The names the translator's loader tries for a catalogue, in its order: the
// name with ".qm", the name itself, then both again for the name cut at its
// last "_" or "." while a cut leaves something.
QStringList catalogue_candidates(QString name) {
  QStringList names;
  for (;;) {
    names << name + ".qm" << name;
    const int cut = std::max(name.lastIndexOf('_'), name.lastIndexOf('.'));
    if (cut <= 0) return names;
    name.truncate(cut);
  }
}

}  // namespace

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
  // One reading of the directory tells which modules have a catalogue for
  // the language: the others cost no translator and no probe of each name.
  std::vector<std::string> entries;
  const bool listed = sys_read_directory(locale_dir.toLocal8Bit().constData(), entries);
  QSet<QString> present;
  for (const std::string &e : entries) present.insert(QString::fromLocal8Bit(e.c_str()));
  for (const QString &prefix : prefixes) {
    if (listed) {
      const QStringList candidates = catalogue_candidates(prefix + name);
      if (std::none_of(candidates.begin(), candidates.end(), [&present](const QString &c) { return present.contains(c); }))
        continue;
    }
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

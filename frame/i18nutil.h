// Message language (translators) and script keyword language.
#pragma once
class QCoreApplication;
class QStringList;
class QString;

void install_translations(QCoreApplication &application, const QStringList &prefixes);
void select_keyword_language();

enum : int { LANG_FR = 0, LANG_FA = 1, LANG_GB = 2 };
extern int KeywordLanguage;

QString translate(const char *context, const char *source, const char *comment = nullptr);

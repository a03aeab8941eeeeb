#include "i18nerrgest.h"

#include <QCoreApplication>
#include <QString>

#include "merror.h"

void register_message_table(const MessageTable &table) {
  for (std::size_t i = 0; i < table.count; ++i) {
    const MessageEntry &e = table.entries[i];
    if (e.context)
      register_message(e.code, QCoreApplication::translate(e.context, e.text, e.comment));
    else
      register_message(e.code, QString::fromLatin1(e.text));
  }
}

void squelet_fatal(const char *code, std::string_view arg) { report_fatal(code, arg); }
void squelet_warning(const char *code, std::string_view arg) { report_warning(code, arg); }
void squelet_info(const char *code, std::string_view arg) { report_info(code, arg); }
void squelet_finish() { finish_run(); }

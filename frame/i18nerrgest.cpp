#include "i18nerrgest.h"

#include <QCoreApplication>
#include <QString>

#include "merror.h"

namespace {

// Indexed by severity.
constexpr const char *kSqueletContexts[] = {"Internal Error (squelet)", "Fatal Error (squelet)", "Error (squelet)",
                                            "Warnings (squelet)", "Informations (squelet)"};
constexpr const char *kBibliContexts[] = {"Internal Errors (bibli)", "Fatal Errors (bibli)", "Errors (bibli)",
                                          "Warnings (bibli)", "Informations (bibli)"};
constexpr const char *kAnaContexts[] = {"Internal Error (ana_c_cpp)", "Fatal Error (ana_c_cpp)",
                                        "Error (ana_c_cpp)", "Warning (ana_c_cpp)", "Information (ana_c_cpp)"};

}  // namespace

const char *message_context(MessageCode code) {
  const MessageInfo &m = message_info(code);
  if (m.form == MessageForm::RAW || m.form == MessageForm::UNLISTED) return nullptr;
  switch (m.module) {
    case MessageModule::SQUELET:
      return kSqueletContexts[code.severity()];
    case MessageModule::MODBAS:
      return "Error-modbas";
    case MessageModule::BIBLI:
      return kBibliContexts[code.severity()];
    case MessageModule::ANA_C_CPP:
      break;
  }
  return kAnaContexts[code.severity()];
}

std::string message_comment(MessageCode code) {
  const MessageInfo &m = message_info(code);
  switch (m.form) {
    case MessageForm::CODE:
      return std::string("Error code \"") + m.code + "\"";
    case MessageForm::SUMMARY:
      return "%1 and %2 are empty string, but must take place in the translation";
    default:
      return {};
  }
}

void register_module_messages(MessageModule module) {
  const MessageInfo *table = message_table();
  for (int i = 0; i < MESSAGE_CODE_COUNT; ++i) {
    const MessageInfo &m = table[i];
    if (m.module != module || m.form == MessageForm::UNLISTED) continue;
    // Rows are in code order: the index is the code.
    const MessageCode code = MessageCode::at(i);
    const char *context = message_context(code);
    if (context) {
      const std::string comment = message_comment(code);
      register_message(code, QCoreApplication::translate(context, m.text, comment.empty() ? nullptr : comment.c_str()));
    } else {
      register_message(code, QString::fromLatin1(m.text));
    }
  }
}

void squelet_fatal(FatalCode code, std::string_view arg) { report_fatal(code, arg); }
void squelet_warning(WarningCode code, std::string_view arg) { report_warning(code, arg); }
void squelet_info(InfoCode code, std::string_view arg) { report_info(code, arg); }
void squelet_finish() { finish_run(); }

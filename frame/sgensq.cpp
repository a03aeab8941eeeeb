// Program entry: the fixed run sequence of one invocation.
#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <string>

#include "sancmd.h"
#include "sgener.h"
#include "i18n_anaccpp_msg.h"
#include "i18n_bibli_msg.h"
#include "i18n_modbas_msg.h"
#include "i18n_squelet_msg.h"
#include "i18nutil.h"
#include "merror.h"
#include "mfmemo.h"
#include "mplatf.h"

namespace {

std::string local_text(const QString &text) { return text.toLocal8Bit().toStdString(); }

void print_banner(const QString &title) {
  const QString head = QString("%1 %2 %3")
                           .arg(QCoreApplication::translate("LUMOIdent", "ProbaX Test Suite"), title,
                                QCoreApplication::translate("LUMOIdent", "V1.0.0"));
  report_info(MSG_STARTEXEC, local_text(head));
  // Any definition suppresses the notice, an empty one included: scripted
  // runs compare the banner and must not depend on the year in the notice.
  if (sys_getenv("ORTEK_SUPPRESS_COPYRIGHT")) return;
  const QString notice = QCoreApplication::translate("LUMOIdent", "Copyright (C) 2026 the ProbaX project.") + ' ' +
                         QCoreApplication::translate("LUMOIdent", "All rights reserved.");
  report_info(MSG_COPYRIGHT, local_text(notice));
}

}  // namespace

int main(int argc, char **argv) {
  install_allocation_handler();
  sys_tune_memory();
  // Translators are installed into it and it outlives every message, so it
  // is never destroyed: the process exit releases it.
  QCoreApplication *application = new QCoreApplication(argc, argv);
  install_translations(*application,
                       QStringList{"squelet_", "lumoident_", "modbas_", "bibli_", "anaccpp_", "cab_"});
  register_squelet_messages();
  register_modbas_messages();
  register_bibli_messages();
  register_ana_c_cpp_messages();
  select_keyword_language();
  const QString title = QCoreApplication::translate("LUMOIdent", "Deprecated C++ Test Template Generator");
  print_banner(title);
  // Owned here for the whole run and handed to the generation driver.
  static std::string command_text;
  decode_generator_command(argc, argv, command_text);
  set_generation_ends_process(true);
  generation_run(command_text);
  finish_run();
}

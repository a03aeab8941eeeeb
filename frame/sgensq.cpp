// Program entry: the fixed run sequence.
#include <QCoreApplication>
#include <QStringList>

#include "i18nutil.h"
#include "merror.h"

int main(int argc, char **argv) {
  QCoreApplication *application = new QCoreApplication(argc, argv);  // process lifetime
  install_translations(*application, QStringList{"squelet_", "lumoident_", "modbas_", "bibli_", "anaccpp_", "cab_"});
  select_keyword_language();
  finish_run();
}

#include "i18n_modbas_msg.h"

#include "i18nerrgest.h"

void register_modbas_messages() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  register_module_messages(MessageModule::MODBAS);
}

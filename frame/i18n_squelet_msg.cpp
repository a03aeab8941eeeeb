#include "i18n_squelet_msg.h"

#include "i18nerrgest.h"

void register_squelet_messages() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  register_module_messages(MessageModule::SQUELET);
}

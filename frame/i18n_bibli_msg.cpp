#include "i18n_bibli_msg.h"

#include "i18nerrgest.h"

void register_bibli_messages() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  register_module_messages(MessageModule::BIBLI);
}

#include "i18n_anaccpp_msg.h"

#include "i18nerrgest.h"

void register_ana_c_cpp_messages() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  register_module_messages(MessageModule::ANA_C_CPP);
}

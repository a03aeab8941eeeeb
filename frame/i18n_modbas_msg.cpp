#include "i18n_modbas_msg.h"

namespace {
constexpr const char *kContext = "Error-modbas";

// Code, translation context (none: stored as written), English text,
// translator comment. Registration follows this order.
constexpr MessageEntry kMessages[] = {
    {"NOMESSDEF", kContext, "Undefined message for code number %1", nullptr},
    {"ENDERRWAR", kContext, "End of execution with %1 error(s) and %2 warning(s)", nullptr},
    {"ENDNOEWAR", kContext, "End of execution with %1%2 warning(s)", nullptr},
    {"ENDNOENWR", kContext, "End of execution with 0 error and 0 warning%1%2", "%1 and %2 are empty string, but must take place in the translation"},
    {"FICERROPN", kContext, "File %1 opening problem", nullptr},
    {"ENDERRNWR", kContext, "End of execution with %1 error(s)", nullptr},
    {"EROPFICMD", kContext, "Incorrect option in option file: %1", nullptr},
    {"COPYRIGHT", nullptr, "%1%2", nullptr},
};

bool registered = false;
}  // namespace

MessageTable modbas_message_table() { return {kMessages, sizeof kMessages / sizeof kMessages[0]}; }

void register_modbas_messages() {
  if (registered) return;
  registered = true;
  register_message_table(modbas_message_table());
}

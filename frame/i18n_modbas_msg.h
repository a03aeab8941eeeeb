// Message texts of the modbas module.
#pragma once
#include "i18nerrgest.h"

// Registers the module's texts once per process, translated at that moment:
// the translators must be installed before.
void register_modbas_messages();
MessageTable modbas_message_table();

// Message texts of the squelet module.
#pragma once
#include "i18nerrgest.h"

// Registers the module's texts once per process, translated at that moment:
// the translators must be installed before.
void register_squelet_messages();
MessageTable squelet_message_table();

// Message texts of the bibli module.
#pragma once
#include "i18nerrgest.h"

// Registers the module's texts once per process, translated at that moment:
// the translators must be installed before.
void register_bibli_messages();
MessageTable bibli_message_table();

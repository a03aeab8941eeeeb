// Message texts of the ana_c_cpp module.
#pragma once
#include "i18nerrgest.h"

// Registers the module's texts once per process, translated at that moment:
// the translators must be installed before.
void register_ana_c_cpp_messages();
MessageTable ana_c_cpp_message_table();

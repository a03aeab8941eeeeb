// Message texts of the ana_c_cpp module: its rows of the message table.
#pragma once

// Registers the module's texts once per process, translated at that moment:
// the translators must be installed before.
void register_ana_c_cpp_messages();

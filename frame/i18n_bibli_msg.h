// Message texts of the bibli module: its rows of the message table.
#pragma once

// Registers the module's texts once per process, translated at that moment:
// the translators must be installed before.
void register_bibli_messages();

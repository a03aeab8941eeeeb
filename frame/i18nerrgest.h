// Glue between the message table and the reporter: the translation context
// and comment of each code, and the registration of a module's codes.
#pragma once
#include <string>
#include <string_view>

#include "mcodes.h"

// The context the translations of a code's text are found under (its
// module's context for its severity); null for a text stored as written.
const char *message_context(MessageCode code);
// The translator comment of a code's text; empty for none.
std::string message_comment(MessageCode code);

// Translates every row of the module through the installed translators and
// stores it in the catalogue.
void register_module_messages(MessageModule module);

// The squelet module's own way into the reporter; they add nothing.
[[noreturn]] void squelet_fatal(FatalCode code, std::string_view arg = {});
void squelet_warning(WarningCode code, std::string_view arg = {});
void squelet_info(InfoCode code, std::string_view arg = {});
[[noreturn]] void squelet_finish();

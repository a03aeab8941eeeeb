#include "i18n_bibli_msg.h"

namespace {
constexpr const char *kInternal = "Internal Errors (bibli)";
constexpr const char *kFatal = "Fatal Errors (bibli)";
constexpr const char *kError = "Errors (bibli)";
constexpr const char *kWarning = "Warnings (bibli)";
constexpr const char *kInformation = "Informations (bibli)";

// Code, translation context (none: stored as written), English text,
// translator comment. Registration follows this order.
constexpr MessageEntry kMessages[] = {
    {"DEBORCASE", kInternal, "%1CASE overflow in the module %2", "Error code \"DEBORCASE\""},
    {"ERRINTERN", kInternal, "%1Program shutdown: internal error, contact your software representative %2", "Error code \"ERRINTERN\""},
    {"ERRINTFCT", kInternal, "%1Internal error in the function %2", "Error code \"ERRINTFCT\""},
    {"NOMESSDEF", kInternal, "Undefined message for code number %1", "Error code \"NOMESSDEF\""},
    {"TRFSTRINT", kInternal, "%1Cannot convert string %2 into an integer value", "Error code \"TRFSTRINT\""},
    {"CMDERREUR", kError, "%1Bad command: %2", "Error code \"CMDERREUR\""},
    {"CMDFATALE", kFatal, "%1Wrong command line %2", "Error code \"CMDFATALE\""},
    {"ERRFATALE", kFatal, "%1Program shutdown: user fatal error %2", "Error code \"ERRFATALE\""},
    {"ERRPROCES", nullptr, "%1%2", nullptr},
    {"IMPECRFIC", kFatal, "%1Full disk space %2", "Error code \"IMPECRFIC\""},
    {"IMPFERFIC", kFatal, "%1Cannot close the file %2", "Error code \"IMPFERFIC\""},
    {"IMPOUVFIC", kFatal, "%1Cannot open the file %2", "Error code \"IMPOUVFIC\""},
    {"CHAMPINCO", kWarning, "%1Unknown field %2", "Error code \"CHAMPINCO\""},
    {"DIVBYZERO", kError, "%1Division by zero", "Error code \"DIVBYZERO\""},
    {"NOMPARINC", kWarning, "%1Bad parameter name %2", "Error code \"NOMPARINC\""},
    {"OVERFLOW", kError, "%1Integer operation overflow %2", "Error code \"OVERFLOW\""},
    {"ERRPROCEW", nullptr, "%1%2", nullptr},
    {"INCLTYPER", kWarning, "%1%2 is not a directory ", "Error code \"INCLTYPER\""},
    {"LANSWITCH", kError, "%1Incorrect value for ORTEKLAN environment variable: %2", "Error code \"LANSWITCH\""},
    {"STARTEXEC", nullptr, "%1%2", nullptr},
    {"EXPERRONE", kWarning, "%1Bad expression: %2", "Error code \"EXPERRONE\""},
    {"FINEXECUT", kInformation, "%1completed %2", "Error code \"FINEXECUT\""},
    {"USAGE_CMD", nullptr, "%1 %2 ", nullptr},
};

bool registered = false;
}  // namespace

MessageTable bibli_message_table() { return {kMessages, sizeof kMessages / sizeof kMessages[0]}; }

void register_bibli_messages() {
  if (registered) return;
  registered = true;
  register_message_table(bibli_message_table());
}

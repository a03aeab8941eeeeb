#include "i18n_squelet_msg.h"

namespace {
constexpr const char *kInternal = "Internal Error (squelet)";
constexpr const char *kFatal = "Fatal Error (squelet)";
constexpr const char *kError = "Error (squelet)";
constexpr const char *kInformation = "Informations (squelet)";

// Code, translation context (none: stored as written), English text,
// translator comment. Registration follows this order.
constexpr MessageEntry kMessages[] = {
    {"ERRINTERN", kInternal, "%1Program shutdown: internal error, contact your software representative %2", "Error code \"ERRINTERN\""},
    {"ERRINTFCT", kInternal, "%1Internal error in the function %2", "Error code \"ERRINTFCT\""},
    {"NOMESSDEF", kInternal, "Undefined message for code number %1", "Error code \"NOMESSDEF\""},
    {"DEBORCASE", kInternal, "%1CASE overflow in the module %2", "Error code \"DEBORCASE\""},
    {"CMDERREUR", kError, "%1Bad command: %2", "Error code \"CMDERREUR\""},
    {"IMPFICREN", kFatal, "%1Unable to rename the file 'generated_file' in 'generated_file'_bck: %2", "Error code \"IMPFICREN\""},
    {"IMPECRFIC", kFatal, "%1Full disk space %2", "Error code \"IMPECRFIC\""},
    {"IMPFERFIC", kFatal, "%1Cannot close the file %2", "Error code \"IMPFERFIC\""},
    {"IMPOUVFIC", kFatal, "%1Cannot open the file %2", "Error code \"IMPOUVFIC\""},
    {"INCLTYPER", nullptr, "%1%2 is not a directory ", nullptr},
    {"STARTEXEC", nullptr, "%1%2", nullptr},
    {"FICRENAME", kInformation, "%1The file 'generated_file' has been renamed in 'generated_file'_bck: %2", "Error code \"FICRENAME\""},
    {"FINEXECUT", kInformation, "%1completed %2", "Error code \"FINEXECUT\""},
    {"USAGE_CMD", nullptr, "%1 %2 ", nullptr},
};

bool registered = false;
}  // namespace

MessageTable squelet_message_table() { return {kMessages, sizeof kMessages / sizeof kMessages[0]}; }

void register_squelet_messages() {
  if (registered) return;
  registered = true;
  register_message_table(squelet_message_table());
}

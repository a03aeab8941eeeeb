#include "mcodes.h"

namespace {

#define ORTEK_MESSAGE_ROW(module, code, form, text) \
  {#code, MessageModule::module, MessageForm::form, text},
constexpr MessageInfo kMessages[] = {
    ORTEK_INTERNAL_MESSAGES(ORTEK_MESSAGE_ROW)  //
    ORTEK_FATAL_MESSAGES(ORTEK_MESSAGE_ROW)     //
    ORTEK_ERROR_MESSAGES(ORTEK_MESSAGE_ROW)     //
    ORTEK_WARNING_MESSAGES(ORTEK_MESSAGE_ROW)   //
    ORTEK_INFO_MESSAGES(ORTEK_MESSAGE_ROW)      //
};
#undef ORTEK_MESSAGE_ROW

static_assert(sizeof kMessages / sizeof kMessages[0] == MESSAGE_CODE_COUNT, "one row per code");

}  // namespace

const MessageInfo &message_info(MessageCode code) { return kMessages[code.index()]; }
const MessageInfo *message_table() { return kMessages; }

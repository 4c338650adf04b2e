#pragma once

#include <cstdint>

#include "protocol/reply_record.h"

namespace tqm {

// The replies that follow the link and drive the command thread. Each refuses a
// zero length or a missing record and opens one state guard for its run.

// "ID": the model code "4700" (with or without a 3-digit extension stored in
// modelCode) starts the start-up read; true only with the extension, or for any
// other four-digit code.
bool parseIdReply(std::int32_t replyLen, const ReplyRecord* record);
// "AI": follows auto information; may block until the main window has handled
// UWM_POWER_ON when auto information comes on.
bool parseAiReply(std::int32_t replyLen, const ReplyRecord* record);
// "PS": follows the power state; at power off remembers whether auto information
// was on and resets the meters, at power on switches it back on.
bool parsePsReply(std::int32_t replyLen, const ReplyRecord* record);
// "RS": one digit into rs; whenever rs holds 2 the stand-by timer is started.
bool parseRsReply(std::int32_t replyLen, const ReplyRecord* record);

}  // namespace tqm

#pragma once

#include <chrono>

#include "platform/timer_service.h"
#include "protocol/reply_record.h"

namespace tqm {

// The reply watchdog's timer: every dispatch restarts it; a tick runs the watchdog
// check that the engine installs.
inline constexpr TimerId REPLY_TIMER_ID = 17;
inline constexpr std::chrono::milliseconds kReplyTimerPeriod{3000};

// Dispatches one reply on the reply-analysis thread: kills the reply watchdog,
// runs the menu path for "EX" or the parser of the reply's row, posts the
// notification to the main window when the parser accepted the reply (or the menu
// value changed; a PE notification carries the value's address, see
// peReplyAddress), and sets the watchdog again. Unknown letters are dropped without
// a trace. True when a notification was due.
bool dispatchReply(const ReplyRecord& record);

}  // namespace tqm

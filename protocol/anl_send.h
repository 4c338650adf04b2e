#pragma once

#include <cstdint>

#include "protocol/protocol_messages.h"

namespace tqm {

// The requests to the command thread (Anl_Send_Thread). Data-less: any thread
// constructs one on its stack, posts and drops it; the running command thread is
// found through the thread directory. Each post returns false when no command
// thread runs; callers do not depend on it.
//
// Not final: the command thread may carry these operations as a base.
class Anl_Send {
public:
    // Switch auto information on or off (UWM_CMD_LINK_TOGGLE).
    bool postLinkToggle() const;
    // (Re)start the start-up read sequence (UWM_CMD_READ_START).
    bool postReadStart() const;
    // Stop the read-step and stand-by timers (UWM_CMD_TIMERS_STOP).
    bool postTimersStop() const;
    // Start the stand-by timer (UWM_CMD_STANDBY_START).
    bool postStandbyStart() const;
    // Identification read and identification command (UWM_CMD_ID_CHECK).
    bool postIdCheck() const;
    // The once-a-second link poll (UWM_CMD_POLL).
    bool postPoll() const;
    // One step of the start-up read sequence (UWM_CMD_READ_STEP).
    bool postReadStep() const;
    // Wake the serial send thread for a command queued by someone else (UWM_CMD_FLUSH).
    bool postFlush() const;
    // Any request number with its parameters.
    bool postRequest(MessageId id, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) const;
};

}  // namespace tqm

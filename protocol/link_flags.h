#pragma once

#include <cstdint>

namespace tqm {

// The process-wide byte flags of the link.
//  aiOnSent:     set when the send thread writes "AI1;", cleared when it writes "AI0;",
//                by link loss and by the command thread's auto-information restart.
//  replyPending: set when the send thread writes a command, cleared by the receive
//                thread when a reply arrives; read by the reply watchdog.
// Data-less access object.
class LinkFlags final {
public:
    std::uint8_t aiOnSent() const;
    void setAiOnSent(std::uint8_t value);
    std::uint8_t replyPending() const;
    void setReplyPending(std::uint8_t value);
    // Clears both, as at process start (engine start and tests).
    void reset();
};

}  // namespace tqm

#pragma once

#include <cstdint>

namespace tqm {

// What the reply watchdog reads of the port at a tick.
struct PortSnapshot {
    bool open = false;
    std::uint32_t inputQueued = 0;
    std::uint32_t statusBits = 0;  // the hold bits of the status word
};

// The reply watchdog: timer 17 runs it when no reply has been dispatched for 3 s.
// Data-less; safe on any thread.
class ReplyWatchdog final {
public:
    // Status bits that mean the line has failed: output held for DCD (0x04) or for a
    // waiting immediate character (0x40).
    static constexpr std::uint32_t kLineFailedBits = 0x04 | 0x40;

    // One tick: posts UWM_ANL_LINK_LOST to the reply thread when a command went
    // unanswered with no input waiting, or the line has failed or the port is closed.
    // True when it reported the link lost.
    bool tick(const PortSnapshot& port) const;
};

}  // namespace tqm

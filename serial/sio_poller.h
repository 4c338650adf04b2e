#pragma once

#include <cstdint>

#include "serial/reply_framer.h"
#include "serial/state_frame_rules.h"

namespace tqm {

// One poll of the serial port, as the receive thread runs it on every tick: the
// line status, RTS flow control, a read of what is queued and fits, and one framing
// step. Replies go onto the receive queue, each announced to the reply-analysis
// thread. Does nothing while the menu list is not ready.
class SioPoller final {
public:
    // Cuts "EX" replies by the transceiver state.
    SioPoller();
    // Cuts "EX" replies by the given rules (benchmarks).
    explicit SioPoller(const FrameRules& rules);
    SioPoller(const SioPoller&) = delete;
    SioPoller& operator=(const SioPoller&) = delete;

    FrameStep poll();
    const ReplyFramer& framer() const { return m_framer; }

private:
    // Pushes onto the receive queue and wakes the reply-analysis thread.
    class QueueSink final : public FrameSink {
    public:
        void deliver(const char* text, std::size_t length) override;
    };

    void driveRts(std::uint32_t lineErrors);

    StateFrameRules m_stateRules;
    ReplyFramer m_framer;
    QueueSink m_sink;
};

}  // namespace tqm

#pragma once

#include <cstdint>

#include "serial/reply_framer.h"
#include "serial/state_frame_rules.h"

namespace tqm {

class Sio_Port;

// When the receive thread polls next.
struct SioNextPoll {
    bool watchLine = false;  // when the line has something to look at
    int timeoutMs = -1;      // after this long at the latest; -1: no bound
};

// One poll of the serial port, as the receive thread runs it: the line status, RTS
// flow control, a read of what is queued and fits, and one framing step. Replies go
// onto the receive queue, each announced to the reply-analysis thread. Does nothing
// while the menu list is not ready.
//
// Polls come 5 ms apart while there is work without new bytes (a second reply held,
// garbage to drop, bytes the buffer could not take, the menu list not ready yet); a
// reply that has begun is polled again when its missing bytes can have come, within
// 5 ms; otherwise the next poll waits for the line, so a quiet line costs nothing.
class SioPoller final {
public:
    // Cuts "EX" replies by the transceiver state.
    SioPoller();
    // Cuts "EX" replies by the given rules (benchmarks).
    explicit SioPoller(const FrameRules& rules);
    SioPoller(const SioPoller&) = delete;
    SioPoller& operator=(const SioPoller&) = delete;

    FrameStep poll();
    // After a poll: when the next one is due.
    SioNextPoll nextPoll() const { return m_next; }
    const ReplyFramer& framer() const { return m_framer; }

private:
    // Pushes onto the receive queue and wakes the reply-analysis thread.
    class QueueSink final : public FrameSink {
    public:
        void deliver(const char* text, std::size_t length) override;
    };

    void driveRts(std::uint32_t lineErrors);
    FrameStep finish(FrameStep step, bool leftUnread, bool tookBytes);
    void forgetClosedLine(const Sio_Port& port);

    StateFrameRules m_stateRules;
    ReplyFramer m_framer;
    QueueSink m_sink;
    SioNextPoll m_next;
    std::uint32_t m_line = 0;  // the open count of the line the held bytes came from
};

}  // namespace tqm

#include "serial/sio_poller.h"

#include <algorithm>

#include "platform/sio_queue.h"
#include "platform/thread_directory.h"
#include "protocol/link_flags.h"
#include "protocol/protocol_messages.h"
#include "protocol/trx_state.h"
#include "serial/sio_port.h"
#include "serial/wire_trace.h"

namespace tqm {
namespace {

// RTS goes up at or below this many held bytes and down at or above the second.
constexpr std::size_t kRtsRaiseLimit = 1024;
constexpr std::size_t kRtsDropLimit = 2048;
// The period of the polls while there is work without new bytes.
constexpr int kPollPeriodMs = 5;
// Line time of one byte: 8 data bits, no parity, 2 stop bits and the start bit.
constexpr int kBitsPerByte = 11;
// Bytes a frame whose length is not known yet is taken to need.
constexpr std::size_t kUnknownMissing = 2;

// Milliseconds (rounded up, 1 to 5) until the bytes a frame misses can have come.
int lineTimeMs(std::size_t missing) {
    const long baud = std::max(Sio_Port().baudRate(), 1);
    const long ms = (static_cast<long>(missing) * kBitsPerByte * 1000 + baud - 1) / baud;
    return static_cast<int>(std::clamp<long>(ms, 1, kPollPeriodMs));
}

}  // namespace

SioPoller::SioPoller() : m_framer(m_stateRules) {}

SioPoller::SioPoller(const FrameRules& rules) : m_framer(rules) {}

void SioPoller::QueueSink::deliver(const char* text, std::size_t length) {
    LinkFlags().setReplyPending(0);
    WireTrace().framed(text, length);
    // A refused entry (512 bytes or more, or a full queue) is not announced.
    if (SioReceiveQueue().push(length, text) > 0) ThreadDirectory().post(WorkerRole::AnlRecv, UWM_ANL_REPLY);
}

void SioPoller::driveRts(std::uint32_t lineErrors) {
    Sio_Port port;
    const std::size_t held = m_framer.held();
    if (held <= kRtsRaiseLimit && lineErrors != kLineErrorRxOver) port.setRts(true);
    if (lineErrors == kLineErrorRxOver || held >= kRtsDropLimit) port.setRts(false);
}

FrameStep SioPoller::poll() {
    if (Trx_StateGuard().menuListReady() == 0) {
        m_next = SioNextPoll{false, kPollPeriodMs};  // the port is left alone until it is
        return FrameStep::Empty;
    }
    Sio_Port port;
    SerialStatus status;
    SerialFault fault;
    std::uint32_t lineErrors = 0;
    long received = 0;
    bool leftUnread = false;
    forgetClosedLine(port);
    if (port.isOpen()) {
        if (port.status(status, fault)) {
            lineErrors = status.errors;
            driveRts(lineErrors);
            if (status.holds & kHoldRlsd) {
                m_framer.loseFrame();
                port.close();
            }
            if (status.holds & kHoldTxim) port.close();
            const std::size_t wanted = std::min<std::size_t>(status.inQueue, m_framer.freeSpace());
            if (wanted > 0 && port.isOpen()) received = std::max(port.read(m_framer.tail(), wanted, fault), 0L);
            leftUnread = port.isOpen() && status.inQueue > static_cast<std::uint32_t>(received);
        } else {
            m_framer.loseFrame();  // the line went away under the frame
            leftUnread = port.isOpen();  // a fault that did not close it: no busy loop on it
        }
    }
    if (!m_framer.commit(static_cast<std::size_t>(received))) return finish(FrameStep::Empty, leftUnread, false);
    return finish(m_framer.step(lineErrors, m_sink), leftUnread, received > 0);
}

// What a line left half framed when it closed belongs to no later line: held over, it
// would run into the first reply of the next one (a re-plugged adapter's "AI1;") and
// take it down with it.
void SioPoller::forgetClosedLine(const Sio_Port& port) {
    const std::uint32_t line = port.openCount();
    if (port.isOpen() && line == m_line) return;
    m_line = line;
    if (m_framer.held() > 0 || m_framer.frameFound()) m_framer.reset();
}

// Bytes left in the line (or a line that failed a call and is still open) would keep
// it readable: they are looked at on the 5 ms beat, as is what the framer can still do
// without new bytes. A frame whose bytes are coming is looked at again once its
// missing bytes can have come (at most 5 ms on), not at each byte; a quiet line waits
// for the line.
FrameStep SioPoller::finish(FrameStep step, bool leftUnread, bool tookBytes) {
    const bool moreToDo = (step == FrameStep::Delivered || step == FrameStep::Dropped) && m_framer.held() > 0;
    m_next = SioNextPoll{!leftUnread, leftUnread || moreToDo ? kPollPeriodMs : -1};
    if (step == FrameStep::Waiting && tookBytes && !leftUnread) {
        const std::size_t length = m_framer.frameLength();
        const bool known = m_framer.frameFound() && length > m_framer.held();
        m_next = SioNextPoll{false, lineTimeMs(known ? length - m_framer.held() : kUnknownMissing)};
    }
    return step;
}

}  // namespace tqm

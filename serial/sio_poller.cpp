#include "serial/sio_poller.h"

#include <algorithm>

#include "platform/sio_queue.h"
#include "platform/thread_directory.h"
#include "protocol/link_flags.h"
#include "protocol/protocol_messages.h"
#include "protocol/trx_state.h"
#include "serial/sio_port.h"

namespace tqm {
namespace {

// RTS goes up at or below this many held bytes and down at or above the second.
constexpr std::size_t kRtsRaiseLimit = 1024;
constexpr std::size_t kRtsDropLimit = 2048;

}  // namespace

SioPoller::SioPoller() : m_framer(m_stateRules) {}

SioPoller::SioPoller(const FrameRules& rules) : m_framer(rules) {}

void SioPoller::QueueSink::deliver(const char* text, std::size_t length) {
    LinkFlags().setReplyPending(0);
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
    if (Trx_StateGuard().menuListReady() == 0) return FrameStep::Empty;
    Sio_Port port;
    SerialStatus status;
    SerialFault fault;
    std::uint32_t lineErrors = 0;
    long received = 0;
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
        } else {
            m_framer.loseFrame();  // the line went away under the frame
        }
    }
    if (!m_framer.commit(static_cast<std::size_t>(received))) return FrameStep::Empty;
    return m_framer.step(lineErrors, m_sink);
}

}  // namespace tqm

#include "serial/sio_send_thread.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/serial_device.h"
#include "platform/sio_queue.h"
#include "protocol/link_flags.h"
#include "protocol/trx_state.h"
#include "serial/sio_port.h"

namespace tqm {
namespace {

// An output queue this full means the line does not move: close and start over.
constexpr std::uint32_t kOutQueueLimit = 5120;
constexpr std::uint32_t kClosingHolds = kHoldRlsd | kHoldTxim;
constexpr std::uint32_t kWaitingHolds = kHoldDsr | kHoldXoff | kHoldXoffSent | kHoldEof;
// A line error that, alone, costs this command.
constexpr std::uint32_t kSingleLineErrors[] = {
    kLineErrorRxOver, kLineErrorOverrun, kLineErrorParity, kLineErrorFrame,
    kLineErrorBreak,  kLineErrorTxFull,  kLineErrorIo,     kLineErrorMode,
};

bool isSingleLineError(std::uint32_t errors) {
    return std::find(std::begin(kSingleLineErrors), std::end(kSingleLineErrors), errors) !=
           std::end(kSingleLineErrors);
}

// False when the command must not be written now.
bool lineAllowsWrite(Sio_Port& port) {
    SerialStatus status;
    SerialFault fault;
    if (!port.status(status, fault)) return false;  // a line fault has closed the port
    if (status.outQueue >= kOutQueueLimit || (status.holds & kClosingHolds) != 0) {
        port.close();
        return false;
    }
    return (status.holds & kWaitingHolds) == 0 && !isSingleLineError(status.errors);
}

void noteAutoInfoCommand(const char* command, std::size_t length) {
    if (length < 4) return;
    if (std::memcmp(command, "AI1;", 4) == 0) LinkFlags().setAiOnSent(1);
    if (std::memcmp(command, "AI0;", 4) == 0) LinkFlags().setAiOnSent(0);
}

}  // namespace

Sio_Send_Thread::Sio_Send_Thread() : MappedWorkerThread("tqm-sio-send") {}

void Sio_Send_Thread::onSend(const Message&) {
    if (Trx_StateGuard().menuListReady() == 0) return;  // the entry stays queued
    std::array<char, 512> command{};
    const std::int16_t length = SioSendQueue().pop(command.data());
    if (length <= 0) return;
    Sio_Port port;
    port.open();
    if (!port.isOpen() || !lineAllowsWrite(port)) return;  // the command is lost
    const auto count = static_cast<std::size_t>(length);
    noteAutoInfoCommand(command.data(), count);
    SerialFault fault;
    port.write(command.data(), count, fault);
    LinkFlags().setReplyPending(1);
}

}  // namespace tqm

#include "protocol/anl_recv_thread.h"

#include <cstring>

#include "platform/main_window_link.h"
#include "platform/sio_queue.h"
#include "protocol/anl_send.h"
#include "protocol/link_flags.h"
#include "protocol/reply_dispatch.h"
#include "protocol/reply_parser.h"
#include "protocol/reply_record.h"

namespace tqm {
namespace {

// The reply a transceiver sends when its auto information is off, without ";".
constexpr char kAutoInfoOff[] = "AI0";
constexpr std::int32_t kAutoInfoOffLength = 3;

}  // namespace

Anl_Recv_Thread::Anl_Recv_Thread() : MappedWorkerThread("tqm-anl-recv") {}

void Anl_Recv_Thread::onReply(const Message&) {
    // An empty queue leaves the record zero: its letters match no row, and the
    // dispatch only restarts the watchdog.
    ReplyRecord record;
    SioReceiveQueue().pop(record.bytes.data());
    dispatchReply(record);
}

void Anl_Recv_Thread::onLinkLost(const Message&) {
    Anl_Send().postTimersStop();
    LinkFlags().setAiOnSent(0);
    ReplyRecord record;
    std::memcpy(record.bytes.data(), kAutoInfoOff, kAutoInfoOffLength);
    if (const ReplyParser parser = replyParserFor('A', 'I')) parser(kAutoInfoOffLength, &record);
    MainWindowLink().post(UWM_REPLY_AI);
}

}  // namespace tqm

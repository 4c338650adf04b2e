#pragma once

#include "platform/worker_thread.h"
#include "protocol/protocol_messages.h"

namespace tqm {

// The reply-analysis thread: takes each reply from the receive queue, parses it
// into the transceiver state and notifies the main window; turns link loss into
// the handling of an "AI0" reply.
class Anl_Recv_Thread final : public MappedWorkerThread<Anl_Recv_Thread> {
public:
    Anl_Recv_Thread();

private:
    // UWM_ANL_REPLY: pops one reply and dispatches it.
    void onReply(const Message& message);
    // UWM_ANL_LINK_LOST: stops the command thread's reads, clears aiOnSent, runs the
    // "AI" parser on "AI0" and posts UWM_REPLY_AI whatever it returned.
    void onLinkLost(const Message& message);

public:
    static constexpr MessageMapEntry s_messageMap[] = {
        {UWM_ANL_REPLY, &Anl_Recv_Thread::onReply},
        {UWM_THREAD_QUIT, &Anl_Recv_Thread::quit},
        {UWM_ANL_LINK_LOST, &Anl_Recv_Thread::onLinkLost},
    };
};

}  // namespace tqm

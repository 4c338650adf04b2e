#pragma once

#include "platform/worker_thread.h"
#include "serial/sio_poller.h"

namespace tqm {

// Polls the serial port on every UWM_SIO_POLL (timer 3, 5 ms), cuts the bytes into
// replies and hands each to the reply-analysis thread through the receive queue.
class Sio_Recv_Thread final : public MappedWorkerThread<Sio_Recv_Thread> {
public:
    Sio_Recv_Thread();

private:
    void onPoll(const Message&) { m_poller.poll(); }

    SioPoller m_poller;

public:
    static constexpr MessageMapEntry s_messageMap[] = {
        {UWM_THREAD_QUIT, &Sio_Recv_Thread::quit},
        {UWM_SIO_POLL, &Sio_Recv_Thread::onPoll},
    };
};

}  // namespace tqm

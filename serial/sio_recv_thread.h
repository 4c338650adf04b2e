#pragma once

#include "platform/worker_thread.h"
#include "serial/serial_messages.h"
#include "serial/sio_poller.h"

namespace tqm {

// Polls the serial port, cuts the bytes into replies and hands each to the
// reply-analysis thread through the receive queue. Instead of being ticked every
// 5 ms it waits on the open line's descriptors and on its own queue, and polls when
// the line has something, on the 5 ms beat while there is work without new bytes
// (see SioPoller), and on every UWM_SIO_POLL (each open and close of the port posts
// one). A quiet or closed line costs no wake-ups.
class Sio_Recv_Thread final : public MappedWorkerThread<Sio_Recv_Thread> {
public:
    Sio_Recv_Thread();

private:
    void onPoll(const Message&) { m_poller.poll(); }
    // Blocks until the line, a message or the 5 ms beat calls.
    void waitIdle() override;

    SioPoller m_poller;

public:
    static constexpr MessageMapEntry s_messageMap[] = {
        {UWM_THREAD_QUIT, &Sio_Recv_Thread::quit},
        {UWM_SIO_POLL, &Sio_Recv_Thread::onPoll},
    };
};

}  // namespace tqm

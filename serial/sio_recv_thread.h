#pragma once

#include <chrono>

#include "platform/timer_service.h"
#include "platform/worker_thread.h"
#include "serial/serial_messages.h"
#include "serial/sio_poller.h"

namespace tqm {

// The receive thread's timer, run by the TimerService: each tick posts UWM_SIO_POLL.
inline constexpr TimerId TIMER_SIO_POLL = 3;
inline constexpr std::chrono::milliseconds kSioPollPeriod{5};

// Polls the serial port on every UWM_SIO_POLL (TIMER_SIO_POLL), cuts the bytes into
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

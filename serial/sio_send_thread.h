#pragma once

#include "platform/worker_thread.h"
#include "protocol/protocol_messages.h"

namespace tqm {

// Writes one command from the send queue per UWM_SIO_SEND, opening the port first
// when it is closed and checking the line before each write.
class Sio_Send_Thread final : public MappedWorkerThread<Sio_Send_Thread> {
public:
    Sio_Send_Thread();

private:
    // Blocks up to the bounded write of the command (10 ms per byte + 500 ms).
    void onSend(const Message&);

public:
    static constexpr MessageMapEntry s_messageMap[] = {
        {UWM_THREAD_QUIT, &Sio_Send_Thread::quit},
        {UWM_SIO_SEND, &Sio_Send_Thread::onSend},
    };
};

}  // namespace tqm

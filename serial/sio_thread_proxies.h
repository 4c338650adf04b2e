#pragma once

namespace tqm {

// Data-less start and stop of the receive thread. Start resets the receive queue,
// starts Sio_Recv_Thread under WorkerRole::SioRecv and posts it a first UWM_SIO_POLL.
class SioRecvThreadProxy final {
public:
    bool start();
    // Blocks up to about 5.1 s: UWM_THREAD_QUIT up to 52 times, 100 ms apart.
    bool stop();
    bool isAlive() const;
};

// Data-less start and stop of the send thread. Start resets the send queue and starts
// Sio_Send_Thread under WorkerRole::SioSend.
class SioSendThreadProxy final {
public:
    bool start();
    // Blocks up to about 5.1 s: UWM_THREAD_QUIT up to 52 times, 100 ms apart.
    bool stop();
    bool isAlive() const;
};

}  // namespace tqm

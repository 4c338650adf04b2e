#include "serial/sio_thread_proxies.h"

#include <memory>

#include "platform/sio_queue.h"
#include "platform/thread_directory.h"
#include "serial/sio_recv_thread.h"
#include "serial/sio_send_thread.h"

namespace tqm {

bool SioRecvThreadProxy::start() {
    if (!SioReceiveQueue().reset()) return false;
    if (!ThreadDirectory().startAs(WorkerRole::SioRecv, std::make_shared<Sio_Recv_Thread>())) return false;
    // The first poll looks at a port that opened before the thread ran.
    return ThreadDirectory().post(WorkerRole::SioRecv, UWM_SIO_POLL);
}

bool SioRecvThreadProxy::stop() {
    ThreadDirectory().stop(WorkerRole::SioRecv);
    return true;
}

bool SioRecvThreadProxy::isAlive() const { return ThreadDirectory().isAlive(WorkerRole::SioRecv); }

bool SioSendThreadProxy::start() {
    if (!SioSendQueue().reset()) return false;
    return ThreadDirectory().startAs(WorkerRole::SioSend, std::make_shared<Sio_Send_Thread>());
}

bool SioSendThreadProxy::stop() {
    ThreadDirectory().stop(WorkerRole::SioSend);
    return true;
}

bool SioSendThreadProxy::isAlive() const { return ThreadDirectory().isAlive(WorkerRole::SioSend); }

}  // namespace tqm

#include "serial/sio_thread_proxies.h"

#include <memory>

#include "platform/sio_queue.h"
#include "platform/thread_directory.h"
#include "platform/timer_service.h"
#include "serial/sio_recv_thread.h"
#include "serial/sio_send_thread.h"

namespace tqm {

bool SioRecvThreadProxy::start() {
    if (!SioReceiveQueue().reset()) return false;
    if (!ThreadDirectory().startAs(WorkerRole::SioRecv, std::make_shared<Sio_Recv_Thread>())) return false;
    TimerService timers;
    timers.setHandler(TIMER_SIO_POLL, [] { ThreadDirectory().post(WorkerRole::SioRecv, UWM_SIO_POLL); });
    return timers.set(TIMER_SIO_POLL, kSioPollPeriod);
}

bool SioRecvThreadProxy::stop() {
    TimerService().kill(TIMER_SIO_POLL);
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

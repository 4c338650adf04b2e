#include "serial/sio_recv_thread.h"

#include "serial/sio_port.h"

namespace tqm {

Sio_Recv_Thread::Sio_Recv_Thread() : MappedWorkerThread("tqm-sio-recv") { useWakeDescriptor(); }

void Sio_Recv_Thread::waitIdle() {
    const SioNextPoll next = m_poller.nextPoll();
    switch (Sio_Port().waitInput(wakeDescriptor(), next.watchLine, next.timeoutMs)) {
    case SioWait::Woken:
        clearWake();  // the loop looks at the queue
        return;
    case SioWait::Input:
    case SioWait::TimedOut:
        m_poller.poll();
        return;
    }
}

}  // namespace tqm

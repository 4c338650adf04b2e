#include "serial/sio_recv_thread.h"

namespace tqm {

Sio_Recv_Thread::Sio_Recv_Thread() : MappedWorkerThread("tqm-sio-recv") {}

}  // namespace tqm

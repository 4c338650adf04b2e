#pragma once

#include <chrono>
#include <memory>

#include "platform/worker_thread.h"

namespace tqm {

// The process-wide worker threads, by role. A layer posts to another layer's
// thread by role without knowing its type, so the dependency arrows stay one way.
enum class WorkerRole {
    MenuList,   // File_MenuListDefFile
    AnlRecv,    // Anl_Recv_Thread
    SioRecv,    // Sio_Recv_Thread
    SioSend,    // Sio_Send_Thread
    AnlSend,    // Anl_Send_Thread
    Count
};

// Data-less access object to the directory.
class ThreadDirectory final {
public:
    // Starts the worker and files it under the role (replacing an earlier one).
    // False when the worker could not be started.
    bool startAs(WorkerRole role, std::shared_ptr<WorkerThread> worker);
    // Files a worker without starting it (tests stand recording threads in this way).
    void attach(WorkerRole role, std::shared_ptr<WorkerThread> worker);
    // Forgets the worker of the role (it keeps running if it runs).
    void detach(WorkerRole role);

    std::shared_ptr<WorkerThread> find(WorkerRole role) const;
    // Posts to the role's worker; false when there is none or it does not run.
    bool post(WorkerRole role, MessageId id, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) const;
    bool isAlive(WorkerRole role) const;
    // Blocks up to maxPosts * interval: the bounded stop of the role's worker. True when
    // it ended or there was none.
    bool stop(WorkerRole role, int maxPosts = 52,
              std::chrono::milliseconds interval = std::chrono::milliseconds(100));
};

}  // namespace tqm

#include "platform/thread_directory.h"

#include <array>
#include <mutex>

namespace tqm {
namespace {

struct Directory {
    mutable std::mutex mutex;
    std::array<std::shared_ptr<WorkerThread>, static_cast<std::size_t>(WorkerRole::Count)> workers;
};

Directory& directory() {
    static Directory* s_directory = new Directory;  // outlives every worker
    return *s_directory;
}

std::size_t slot(WorkerRole role) { return static_cast<std::size_t>(role); }

}  // namespace

bool ThreadDirectory::startAs(WorkerRole role, std::shared_ptr<WorkerThread> worker) {
    if (!worker || !worker->start()) return false;
    attach(role, std::move(worker));
    return true;
}

void ThreadDirectory::attach(WorkerRole role, std::shared_ptr<WorkerThread> worker) {
    std::lock_guard lock(directory().mutex);
    directory().workers[slot(role)] = std::move(worker);
}

void ThreadDirectory::detach(WorkerRole role) { attach(role, nullptr); }

std::shared_ptr<WorkerThread> ThreadDirectory::find(WorkerRole role) const {
    std::lock_guard lock(directory().mutex);
    return directory().workers[slot(role)];
}

bool ThreadDirectory::post(WorkerRole role, MessageId id, std::uintptr_t wParam, std::intptr_t lParam) const {
    auto worker = find(role);
    return worker && worker->post(id, wParam, lParam);
}

bool ThreadDirectory::isAlive(WorkerRole role) const {
    auto worker = find(role);
    return worker && worker->isAlive();
}

bool ThreadDirectory::stop(WorkerRole role, int maxPosts, std::chrono::milliseconds interval) {
    auto worker = find(role);
    return !worker || worker->stop(maxPosts, interval);
}

}  // namespace tqm

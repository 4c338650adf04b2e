#include "platform/worker_thread.h"

#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

namespace tqm {

WorkerThread::WorkerThread(std::string name) : m_name(std::move(name)) {}

WorkerThread::~WorkerThread() {
    if (m_thread.joinable()) {
        // The last reference may be dropped by the thread itself as it ends.
        if (m_thread.get_id() == std::this_thread::get_id()) {
            m_thread.detach();
        } else {
            m_thread.join();
        }
    }
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

bool WorkerThread::useWakeDescriptor() {
    if (m_started.load() || m_wakeFd >= 0) return m_wakeFd >= 0;
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return m_wakeFd >= 0;
}

void WorkerThread::clearWake() {
    if (m_wakeFd < 0) return;
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t taken = ::read(m_wakeFd, &count, sizeof count);  // empty already: nothing to take
}

bool WorkerThread::start() {
    bool expected = false;
    if (!m_started.compare_exchange_strong(expected, true)) return false;
    m_alive.store(true, std::memory_order_release);
    m_accepting.store(true, std::memory_order_release);
    std::shared_ptr<WorkerThread> self = shared_from_this();
    m_thread = std::thread([self]() mutable {
        self->run();
        self->m_alive.store(false, std::memory_order_release);
        self.reset();
    });
    return true;
}

bool WorkerThread::post(MessageId id, std::uintptr_t wParam, std::intptr_t lParam) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_accepting.load(std::memory_order_relaxed)) return false;
        m_queue.push_back(Message{id, wParam, lParam});
    }
    if (m_wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);  // only fails when it is full
    } else {
        m_wake.notify_one();
    }
    return true;
}

std::size_t WorkerThread::pendingCount() const {
    std::lock_guard lock(m_mutex);
    return m_queue.size();
}

bool WorkerThread::stop(int maxPosts, std::chrono::milliseconds interval) {
    for (int posts = 0;;) {
        if (!isAlive()) break;
        post(UWM_THREAD_QUIT);
        if (++posts >= maxPosts) return false;
        std::this_thread::sleep_for(interval);
    }
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
    return true;
}

void WorkerThread::run() {
    pthread_setname_np(pthread_self(), m_name.substr(0, 15).c_str());
    onThreadStart();
    while (!m_endRequested) {
        Message message;
        {
            std::unique_lock lock(m_mutex);
            if (m_wakeFd >= 0 && m_queue.empty()) {
                lock.unlock();
                waitIdle();
                continue;
            }
            m_wake.wait(lock, [this] { return !m_queue.empty(); });
            message = m_queue.front();
            m_queue.pop_front();
        }
        handle(message);
    }
    {
        std::lock_guard lock(m_mutex);
        m_accepting.store(false, std::memory_order_relaxed);
        m_queue.clear();
    }
    onThreadExit();
}

}  // namespace tqm

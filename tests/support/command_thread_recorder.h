#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/thread_directory.h"
#include "platform/worker_thread.h"

namespace tqm::test {

// A stand-in command thread that records every request it receives, in order, and
// runs an optional hook on its own thread before recording each one.
class CommandThreadRecorder final : public WorkerThread {
public:
    CommandThreadRecorder() : WorkerThread("test-cmd-rec") {}

    // Set before the thread starts.
    void setHook(std::function<void(const Message&)> hook) { m_hook = std::move(hook); }

    std::vector<MessageId> ids() const {
        std::lock_guard lock(m_mutex);
        return m_ids;
    }
    std::size_t count(MessageId id) const { return static_cast<std::size_t>(std::ranges::count(ids(), id)); }
    // Blocks up to timeout until at least n requests with this id have arrived.
    bool waitFor(MessageId id, std::size_t n = 1,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) const {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout,
                                  [&] { return static_cast<std::size_t>(std::ranges::count(m_ids, id)) >= n; });
    }

protected:
    void handle(const Message& message) override {
        if (message.id == UWM_THREAD_QUIT) return endThread();
        if (m_hook) m_hook(message);
        {
            std::lock_guard lock(m_mutex);
            m_ids.push_back(message.id);
        }
        m_changed.notify_all();
    }

private:
    std::function<void(const Message&)> m_hook;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<MessageId> m_ids;
};

// Starts a recorder and files it as the process's command thread (WorkerRole::AnlSend)
// for the lifetime of this object; stops and unfiles it at the end.
class FiledCommandRecorder final {
public:
    explicit FiledCommandRecorder(std::function<void(const Message&)> hook = {}) {
        m_recorder->setHook(std::move(hook));
        ThreadDirectory().startAs(WorkerRole::AnlSend, m_recorder);
    }
    ~FiledCommandRecorder() {
        ThreadDirectory().detach(WorkerRole::AnlSend);
        m_recorder->stop();
    }
    FiledCommandRecorder(const FiledCommandRecorder&) = delete;
    FiledCommandRecorder& operator=(const FiledCommandRecorder&) = delete;

    CommandThreadRecorder& operator*() const { return *m_recorder; }
    CommandThreadRecorder* operator->() const { return m_recorder.get(); }

private:
    std::shared_ptr<CommandThreadRecorder> m_recorder = std::make_shared<CommandThreadRecorder>();
};

}  // namespace tqm::test

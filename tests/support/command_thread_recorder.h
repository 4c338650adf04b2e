#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/worker_thread.h"

namespace tqm::test {

// A stand-in command thread that records every request it receives, in order, and
// runs an optional hook on its own thread before recording each one.
class CommandThreadRecorder final : public WorkerThread {
public:
    CommandThreadRecorder();

    // Set before the thread starts.
    void setHook(std::function<void(const Message&)> hook) { m_hook = std::move(hook); }

    std::vector<MessageId> ids() const;
    std::size_t count(MessageId id) const;
    // Blocks up to timeout until at least n requests with this id have arrived.
    bool waitFor(MessageId id, std::size_t n = 1,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) const;

protected:
    void handle(const Message& message) override;

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
    explicit FiledCommandRecorder(std::function<void(const Message&)> hook = {});
    ~FiledCommandRecorder();
    FiledCommandRecorder(const FiledCommandRecorder&) = delete;
    FiledCommandRecorder& operator=(const FiledCommandRecorder&) = delete;

    CommandThreadRecorder& operator*() const { return *m_recorder; }
    CommandThreadRecorder* operator->() const { return m_recorder.get(); }

private:
    std::shared_ptr<CommandThreadRecorder> m_recorder;
};

}  // namespace tqm::test

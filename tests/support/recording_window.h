#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/main_window_link.h"

namespace tqm::test {

// A stand-in main window that records every message it receives, in order.
// Sends are handled (recorded and completed) on the sender's thread. It publishes
// itself on construction and retracts itself on destruction.
class RecordingWindow final : public WindowEndpoint {
public:
    struct Entry {
        Message message;
        bool sent = false;  // true for a synchronous send
    };

    RecordingWindow() { MainWindowLink().publish(this); }
    ~RecordingWindow() override { MainWindowLink().retract(); }

    void deliver(const Message& message, std::shared_ptr<SendTicket> ticket) override {
        record(message, ticket != nullptr);
        if (ticket) ticket->complete();
    }
    bool isWindowThread() const override { return false; }
    void handleNow(const Message& message) override { record(message, true); }

    std::vector<Entry> entries() const {
        std::lock_guard lock(m_mutex);
        return m_entries;
    }
    std::vector<MessageId> ids() const {
        std::vector<MessageId> result;
        for (const auto& entry : entries()) result.push_back(entry.message.id);
        return result;
    }
    std::size_t count(MessageId id) const { return static_cast<std::size_t>(std::ranges::count(ids(), id)); }
    void clear() {
        std::lock_guard lock(m_mutex);
        m_entries.clear();
    }
    // Blocks up to timeout until at least n messages with this id have arrived.
    bool waitFor(MessageId id, std::size_t n = 1,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) const {
        const auto idOf = [](const Entry& e) { return e.message.id; };
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] {
            return static_cast<std::size_t>(std::ranges::count(m_entries, id, idOf)) >= n;
        });
    }

private:
    void record(const Message& message, bool sent) {
        {
            std::lock_guard lock(m_mutex);
            m_entries.push_back(Entry{message, sent});
        }
        m_changed.notify_all();
    }

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Entry> m_entries;
};

}  // namespace tqm::test

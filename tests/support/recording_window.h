#pragma once

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

    RecordingWindow();
    ~RecordingWindow() override;

    void deliver(const Message& message, std::shared_ptr<SendTicket> ticket) override;
    bool isWindowThread() const override { return false; }
    void handleNow(const Message& message) override;

    std::vector<Entry> entries() const;
    std::vector<MessageId> ids() const;
    std::size_t count(MessageId id) const;
    void clear();
    // Blocks up to timeout until at least n messages with this id have arrived.
    bool waitFor(MessageId id, std::size_t n = 1,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) const;

private:
    void record(const Message& message, bool sent);
    std::size_t countLocked(MessageId id) const;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Entry> m_entries;
};

}  // namespace tqm::test

#include "tests/support/recording_window.h"

#include <algorithm>

namespace tqm::test {

RecordingWindow::RecordingWindow() { MainWindowLink().publish(this); }

RecordingWindow::~RecordingWindow() { MainWindowLink().retract(); }

void RecordingWindow::deliver(const Message& message, std::shared_ptr<SendTicket> ticket) {
    record(message, ticket != nullptr);
    if (ticket) ticket->complete();
}

void RecordingWindow::handleNow(const Message& message) { record(message, true); }

void RecordingWindow::record(const Message& message, bool sent) {
    {
        std::lock_guard lock(m_mutex);
        m_entries.push_back(Entry{message, sent});
    }
    m_changed.notify_all();
}

std::vector<RecordingWindow::Entry> RecordingWindow::entries() const {
    std::lock_guard lock(m_mutex);
    return m_entries;
}

std::vector<MessageId> RecordingWindow::ids() const {
    std::vector<MessageId> result;
    for (const auto& entry : entries()) result.push_back(entry.message.id);
    return result;
}

std::size_t RecordingWindow::count(MessageId id) const {
    std::lock_guard lock(m_mutex);
    return countLocked(id);
}

std::size_t RecordingWindow::countLocked(MessageId id) const {
    return static_cast<std::size_t>(std::ranges::count(m_entries, id, [](const Entry& e) { return e.message.id; }));
}

void RecordingWindow::clear() {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

bool RecordingWindow::waitFor(MessageId id, std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return countLocked(id) >= n; });
}

}  // namespace tqm::test

#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>
#include <vector>

#include "platform/messages.h"
#include "tests/support/recording_window.h"

namespace tqm::test {

// One ordered log of what reached the main window and the command thread. It stands
// a recording worker in for the command thread (WorkerRole::AnlSend) and hooks the
// window; before a window message is logged, every request posted earlier has been
// logged, so the log keeps the order in which the two were posted.
class LinkEventLog final {
public:
    enum class To { Window, CommandThread };
    struct Event {
        To to;
        MessageId id;
        bool operator==(const Event&) const = default;
    };

    explicit LinkEventLog(RecordingWindow& window);
    ~LinkEventLog();

    LinkEventLog(const LinkEventLog&) = delete;
    LinkEventLog& operator=(const LinkEventLog&) = delete;

    // Blocks until every request posted so far has been logged; then the log.
    std::vector<Event> events();
    void clear();

    class Recorder;

private:
    void append(To to, MessageId id);

    std::mutex m_mutex;
    std::vector<Event> m_events;
    std::shared_ptr<Recorder> m_recorder;
    RecordingWindow& m_window;
};

inline std::ostream& operator<<(std::ostream& out, const LinkEventLog::Event& event) {
    return out << (event.to == LinkEventLog::To::Window ? "window 0x" : "command thread 0x") << std::hex << event.id
               << std::dec;
}

inline LinkEventLog::Event toWindow(MessageId id) { return {LinkEventLog::To::Window, id}; }
inline LinkEventLog::Event toCommandThread(MessageId id) { return {LinkEventLog::To::CommandThread, id}; }

}  // namespace tqm::test

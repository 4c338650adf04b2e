#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>
#include <utility>
#include <vector>

#include "platform/thread_directory.h"
#include "platform/worker_thread.h"
#include "protocol/protocol_messages.h"
#include "tests/support/recording_window.h"

namespace tqm::test {

// One ordered log of what reached the main window and the command thread: a recording
// worker stands in for the command thread (WorkerRole::AnlSend) and hooks the window.
// Before a window message is logged every request posted earlier has been logged, so
// the log keeps the order in which the two were posted.
class LinkEventLog final : public MappedWorkerThread<LinkEventLog> {
public:
    enum class To { Window, CommandThread };
    struct Event {
        To to;
        MessageId id;
        bool operator==(const Event&) const = default;
    };

    LinkEventLog() : MappedWorkerThread("test-anl-send") {}

    static std::shared_ptr<LinkEventLog> install(RecordingWindow& window) {
        auto log = std::make_shared<LinkEventLog>();
        log->start();
        ThreadDirectory().attach(WorkerRole::AnlSend, log);
        window.setHook([log](const Message& message) {
            log->sync();
            log->append(To::Window, message.id);
        });
        return log;
    }
    static void uninstall(RecordingWindow& window, const std::shared_ptr<LinkEventLog>& log) {
        window.setHook(nullptr);
        ThreadDirectory().detach(WorkerRole::AnlSend);
        log->stop(250, std::chrono::milliseconds(20));
    }

    // Blocks until every request posted so far is logged; returns the log and empties it.
    std::vector<Event> take() {
        sync();
        std::lock_guard lock(m_mutex);
        return std::exchange(m_events, {});
    }

private:
    static constexpr MessageId kBarrier = 0x9F00;

    // Blocks up to 10 s until every message posted before is handled.
    void sync() {
        std::unique_lock lock(m_mutex);
        const std::uintptr_t ticket = ++m_posted;
        lock.unlock();
        if (!post(kBarrier, ticket)) return;
        lock.lock();
        m_passed.wait_for(lock, std::chrono::seconds(10), [&] { return m_reached >= ticket; });
    }
    void append(To to, MessageId id) {
        std::lock_guard lock(m_mutex);
        m_events.push_back({to, id});
    }
    void onRequest(const Message& message) { append(To::CommandThread, message.id); }
    void onBarrier(const Message& message) {
        std::lock_guard lock(m_mutex);
        m_reached = message.wParam;
        m_passed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_passed;
    std::vector<Event> m_events;
    std::uintptr_t m_posted = 0;
    std::uintptr_t m_reached = 0;

public:
    static constexpr MessageMapEntry s_messageMap[] = {
        {UWM_CMD_LINK_TOGGLE, &LinkEventLog::onRequest},   {UWM_CMD_READ_START, &LinkEventLog::onRequest},
        {UWM_CMD_READ_STEP, &LinkEventLog::onRequest},     {UWM_CMD_TIMERS_STOP, &LinkEventLog::onRequest},
        {UWM_CMD_STANDBY_START, &LinkEventLog::onRequest}, {UWM_CMD_ID_CHECK, &LinkEventLog::onRequest},
        {UWM_CMD_POLL, &LinkEventLog::onRequest},          {UWM_CMD_FLUSH, &LinkEventLog::onRequest},
        {kBarrier, &LinkEventLog::onBarrier},              {UWM_THREAD_QUIT, &LinkEventLog::quit},
    };
};

inline std::ostream& operator<<(std::ostream& out, const LinkEventLog::Event& event) {
    return out << (event.to == LinkEventLog::To::Window ? "window 0x" : "command thread 0x") << std::hex << event.id
               << std::dec;
}

inline LinkEventLog::Event toWindow(MessageId id) { return {LinkEventLog::To::Window, id}; }
inline LinkEventLog::Event toCommandThread(MessageId id) { return {LinkEventLog::To::CommandThread, id}; }

}  // namespace tqm::test

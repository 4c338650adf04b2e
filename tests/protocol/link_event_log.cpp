#include "tests/protocol/link_event_log.h"

#include <chrono>

#include "platform/thread_directory.h"
#include "platform/worker_thread.h"

namespace tqm::test {
namespace {

constexpr MessageId kBarrier = 0x9F00;

}  // namespace

// Logs every request of the command thread; a barrier tells the waiter that every
// message posted before it has been logged.
class LinkEventLog::Recorder final : public MappedWorkerThread<Recorder> {
public:
    explicit Recorder(LinkEventLog& log) : MappedWorkerThread("test-anl-send"), m_log(log) {}

    // Blocks up to 10 s until the recorder has handled every message posted so far.
    void sync() {
        std::uintptr_t ticket = 0;
        {
            std::lock_guard lock(m_mutex);
            ticket = ++m_posted;
        }
        if (!post(kBarrier, ticket)) return;
        std::unique_lock lock(m_mutex);
        m_passed.wait_for(lock, std::chrono::seconds(10), [&] { return m_reached >= ticket; });
    }

private:
    void onRequest(const Message& message) { m_log.append(To::CommandThread, message.id); }
    void onBarrier(const Message& message) {
        {
            std::lock_guard lock(m_mutex);
            if (message.wParam > m_reached) m_reached = message.wParam;
        }
        m_passed.notify_all();
    }

    LinkEventLog& m_log;
    std::mutex m_mutex;
    std::condition_variable m_passed;
    std::uintptr_t m_posted = 0;
    std::uintptr_t m_reached = 0;

public:
    static constexpr MessageMapEntry s_messageMap[] = {
        {UWM_CMD_LINK_TOGGLE, &Recorder::onRequest},   {UWM_CMD_READ_START, &Recorder::onRequest},
        {UWM_CMD_READ_STEP, &Recorder::onRequest},     {UWM_CMD_TIMERS_STOP, &Recorder::onRequest},
        {UWM_CMD_STANDBY_START, &Recorder::onRequest}, {UWM_CMD_ID_CHECK, &Recorder::onRequest},
        {UWM_CMD_POLL, &Recorder::onRequest},          {UWM_CMD_FLUSH, &Recorder::onRequest},
        {kBarrier, &Recorder::onBarrier},              {UWM_THREAD_QUIT, &Recorder::quit},
    };
};

LinkEventLog::LinkEventLog(RecordingWindow& window)
    : m_recorder(std::make_shared<Recorder>(*this)), m_window(window) {
    m_recorder->start();
    ThreadDirectory().attach(WorkerRole::AnlSend, m_recorder);
    m_window.setHook([this](const Message& message) {
        m_recorder->sync();
        append(To::Window, message.id);
    });
}

LinkEventLog::~LinkEventLog() {
    m_window.setHook(nullptr);
    ThreadDirectory().detach(WorkerRole::AnlSend);
    m_recorder->stop(250, std::chrono::milliseconds(20));
}

std::vector<LinkEventLog::Event> LinkEventLog::events() {
    m_recorder->sync();
    std::lock_guard lock(m_mutex);
    return m_events;
}

void LinkEventLog::clear() {
    m_recorder->sync();
    std::lock_guard lock(m_mutex);
    m_events.clear();
}

void LinkEventLog::append(To to, MessageId id) {
    std::lock_guard lock(m_mutex);
    m_events.push_back({to, id});
}

}  // namespace tqm::test

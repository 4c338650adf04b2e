#include "tests/support/command_thread_recorder.h"

#include <algorithm>

#include "platform/thread_directory.h"

namespace tqm::test {

CommandThreadRecorder::CommandThreadRecorder() : WorkerThread("test-cmd-rec") {}

std::vector<MessageId> CommandThreadRecorder::ids() const {
    std::lock_guard lock(m_mutex);
    return m_ids;
}

std::size_t CommandThreadRecorder::count(MessageId id) const { return static_cast<std::size_t>(std::ranges::count(ids(), id)); }

bool CommandThreadRecorder::waitFor(MessageId id, std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return static_cast<std::size_t>(std::ranges::count(m_ids, id)) >= n; });
}

void CommandThreadRecorder::handle(const Message& message) {
    if (message.id == UWM_THREAD_QUIT) {
        endThread();
        return;
    }
    if (m_hook) m_hook(message);
    {
        std::lock_guard lock(m_mutex);
        m_ids.push_back(message.id);
    }
    m_changed.notify_all();
}

FiledCommandRecorder::FiledCommandRecorder(std::function<void(const Message&)> hook)
    : m_recorder(std::make_shared<CommandThreadRecorder>()) {
    m_recorder->setHook(std::move(hook));
    ThreadDirectory().startAs(WorkerRole::AnlSend, m_recorder);
}

FiledCommandRecorder::~FiledCommandRecorder() {
    ThreadDirectory().detach(WorkerRole::AnlSend);
    m_recorder->stop();
}

}  // namespace tqm::test

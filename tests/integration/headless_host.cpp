#include "tests/integration/headless_host.h"

#include <pthread.h>

#include "protocol/protocol_messages.h"
#include "serial/serial_messages.h"

namespace tqm::test {

HeadlessHost::HeadlessHost() {
    std::promise<std::thread::id> started;
    auto id = started.get_future();
    m_thread = std::thread([this, &started] {
        pthread_setname_np(pthread_self(), "test-ui");
        started.set_value(std::this_thread::get_id());
        runTasksUntil([] { return false; });
    });
    m_threadId = id.get();
    runOnUi([this] { m_model.reloadFromState(); });
    MainWindowLink().publish(this);
}

HeadlessHost::~HeadlessHost() {
    MainWindowLink().retract();
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void HeadlessHost::enqueue(Task task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_all();
}

bool HeadlessHost::runTasksUntil(const std::function<bool()>& stop) {
    while (!stop()) {
        Task task;
        {
            std::unique_lock lock(m_mutex);
            // Idle, the thread sleeps until a message comes, as a window does.
            const auto ready = [this] { return m_quit || (!m_closed && !m_tasks.empty()); };
            if (m_connectTimer) {
                m_wake.wait_until(lock, m_connectDeadline, ready);
            } else {
                m_wake.wait(lock, ready);
            }
            if (m_closed) m_wake.wait(lock, [this] { return m_quit; });
            if (m_quit) return false;
            if (!m_tasks.empty()) {
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
        }
        if (m_connectTimer && std::chrono::steady_clock::now() >= m_connectDeadline) {
            m_connectDeadline += std::chrono::milliseconds(5000);
            m_handler.onConnectTimer();
        }
        if (task) task();
    }
    return true;
}

void HeadlessHost::deliver(const Message& message, std::shared_ptr<SendTicket> ticket) {
    enqueue([this, message, ticket] {
        dispatch(message);
        if (ticket) ticket->complete();
    });
}

bool HeadlessHost::isWindowThread() const { return std::this_thread::get_id() == m_threadId; }

void HeadlessHost::handleNow(const Message& message) { dispatch(message); }

void HeadlessHost::dispatch(const Message& message) {
    switch (message.id) {
    case UWM_POWER_ON: m_handler.onPowerOn(); break;
    case UWM_REPLY_ID: m_handler.onReplyId(); break;
    case UWM_REPLY_PS: m_handler.onReplyPs(); break;
    case UWM_REPLY_AI: m_handler.onReplyAi(); break;
    case UWM_REPLY_PE: m_handler.onReplyPe(); break;
    case UWM_COM_FAILED: m_handler.onComFailed(message.wParam != 0, static_cast<int>(message.lParam)); break;
    default: break;
    }
    if (m_afterMessage) m_afterMessage(message);
}

void HeadlessHost::pressCom() {
    enqueue([this] { m_handler.onComAction(); });
}

void HeadlessHost::closeWindow() {
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_wake.notify_all();
}

void HeadlessHost::runOnUi(const std::function<void()>& fn) {
    if (isWindowThread()) {
        fn();
        return;
    }
    std::promise<void> done;
    enqueue([&] {
        fn();
        done.set_value();
    });
    done.get_future().wait();
}

std::vector<int> HeadlessHost::notices() const {
    std::lock_guard lock(m_mutex);
    return m_notices;
}

bool HeadlessHost::waitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (ask(predicate)) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void HeadlessHost::runConnectingBox() {
    m_boxOpen = true;
    runTasksUntil([this] { return !m_boxOpen; });
}

void HeadlessHost::closeConnectingBox() { m_boxOpen = false; }

void HeadlessHost::showNotice(int stringId) {
    std::lock_guard lock(m_mutex);
    m_notices.push_back(stringId);
}

void HeadlessHost::startConnectTimer() {
    m_connectTimer = true;
    m_connectDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(5000);
}

void HeadlessHost::stopConnectTimer() { m_connectTimer = false; }

}  // namespace tqm::test

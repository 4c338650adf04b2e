#include "platform/main_window_link.h"

#include <condition_variable>
#include <mutex>
#include <shared_mutex>
#include <unordered_set>

namespace tqm {
namespace {

class WaitingTicket final : public SendTicket {
public:
    void complete() override { finish(true); }
    void abandon() { finish(false); }

    // Blocks until the window has handled the message or the ticket was abandoned.
    bool wait() {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_finished; });
        return m_handled;
    }

private:
    void finish(bool handled) {
        {
            std::lock_guard lock(m_mutex);
            if (m_finished) return;
            m_finished = true;
            m_handled = handled;
        }
        m_done.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    bool m_handled = false;
};

struct LinkState {
    std::shared_mutex windowMutex;  // shared by senders, exclusive for publish/retract
    WindowEndpoint* window = nullptr;
    std::mutex ticketMutex;
    std::unordered_set<std::shared_ptr<WaitingTicket>> openTickets;
};

LinkState& state() {
    static LinkState* s_state = new LinkState;  // outlives every thread
    return *s_state;
}

}  // namespace

void MainWindowLink::publish(WindowEndpoint* window) {
    std::unique_lock lock(state().windowMutex);
    state().window = window;
}

void MainWindowLink::retract() {
    {
        std::unique_lock lock(state().windowMutex);
        state().window = nullptr;
    }
    std::unordered_set<std::shared_ptr<WaitingTicket>> tickets;
    {
        std::lock_guard lock(state().ticketMutex);
        tickets.swap(state().openTickets);
    }
    for (const auto& ticket : tickets) ticket->abandon();
}

bool MainWindowLink::isPublished() const {
    std::shared_lock lock(state().windowMutex);
    return state().window != nullptr;
}

bool MainWindowLink::post(MessageId id, std::uintptr_t wParam, std::intptr_t lParam) {
    std::shared_lock lock(state().windowMutex);
    if (state().window == nullptr) return false;
    state().window->deliver(Message{id, wParam, lParam}, nullptr);
    return true;
}

bool MainWindowLink::send(MessageId id, std::uintptr_t wParam, std::intptr_t lParam) {
    const Message message{id, wParam, lParam};
    auto ticket = std::make_shared<WaitingTicket>();
    {
        std::shared_lock lock(state().windowMutex);
        WindowEndpoint* window = state().window;
        if (window == nullptr) return false;
        if (window->isWindowThread()) {
            window->handleNow(message);
            return true;
        }
        {
            std::lock_guard ticketLock(state().ticketMutex);
            state().openTickets.insert(ticket);
        }
        window->deliver(message, ticket);
    }
    const bool handled = ticket->wait();
    std::lock_guard ticketLock(state().ticketMutex);
    state().openTickets.erase(ticket);
    return handled;
}

}  // namespace tqm

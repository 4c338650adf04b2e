#include "app/ctl/headless_window.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cstdint>

#include "protocol/protocol_messages.h"
#include "serial/serial_messages.h"

namespace tqm {
namespace {

// The window messages the link handling acts on; COM_FAILED carries its force flag and row.
struct ReplyRoute {
    MessageId id;
    void (*handle)(LinkHandler&, const Message&);
};

constexpr std::array<ReplyRoute, 5> kReplyRoutes{{
    {UWM_POWER_ON, [](LinkHandler& link, const Message&) { link.onPowerOn(); }},
    {UWM_REPLY_ID, [](LinkHandler& link, const Message&) { link.onReplyId(); }},
    {UWM_REPLY_PS, [](LinkHandler& link, const Message&) { link.onReplyPs(); }},
    {UWM_REPLY_AI, [](LinkHandler& link, const Message&) { link.onReplyAi(); }},
    {UWM_REPLY_PE, [](LinkHandler& link, const Message& message) { link.onReplyPe(message.wParam); }},
}};

// Milliseconds from now to until for poll(), rounded up so that a wait never ends
// before its time; 0 when it has passed.
int pollTimeout(HeadlessWindow::Clock::time_point until) {
    const auto left = until - HeadlessWindow::Clock::now();
    if (left <= HeadlessWindow::Clock::duration::zero()) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > 60'000 ? 60'000 : static_cast<int>(ms);
}

}  // namespace

HeadlessWindow::HeadlessWindow(std::chrono::milliseconds connectTimeout)
    : m_threadId(std::this_thread::get_id()),
      m_connectTimeout(connectTimeout),
      m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    m_model.reloadFromState();
    MainWindowLink().publish(this);
}

HeadlessWindow::~HeadlessWindow() {
    MainWindowLink().retract();
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

void HeadlessWindow::post(Task task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    const std::uint64_t one = 1;
    // A full counter still wakes the loop; nothing is lost.
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void HeadlessWindow::deliver(const Message& message, std::shared_ptr<SendTicket> ticket) {
    post([this, message, ticket] {
        dispatch(message);
        if (ticket) ticket->complete();
    });
}

void HeadlessWindow::watch(int fd, std::function<void()> onReadable) {
    m_watchedFd = fd;
    m_onWatchedReadable = std::move(onReadable);
}

void HeadlessWindow::dispatch(const Message& message) {
    if (message.id == UWM_COM_FAILED) {
        m_handler.onComFailed(message.wParam != 0, static_cast<int>(message.lParam));
    }
    for (const ReplyRoute& route : kReplyRoutes) {
        if (route.id == message.id) route.handle(m_handler, message);
    }
    if (m_afterMessage) m_afterMessage(message);
}

bool HeadlessWindow::takeTask(Task& task) {
    std::lock_guard lock(m_mutex);
    if (m_tasks.empty()) return false;
    task = std::move(m_tasks.front());
    m_tasks.pop_front();
    return true;
}

void HeadlessWindow::waitForWork(Clock::time_point until) {
    if (m_connectDeadline && *m_connectDeadline < until) until = *m_connectDeadline;
    {
        std::lock_guard lock(m_mutex);
        if (!m_tasks.empty()) return;
    }
    std::array<pollfd, 2> fds{{{m_wakeFd, POLLIN, 0}, {m_watchedFd, POLLIN, 0}}};
    const nfds_t count = m_watchedFd >= 0 ? 2 : 1;
    if (::poll(fds.data(), count, pollTimeout(until)) <= 0) return;
    if ((fds[0].revents & POLLIN) != 0) {
        std::uint64_t drained = 0;
        [[maybe_unused]] const ssize_t read = ::read(m_wakeFd, &drained, sizeof drained);
    }
    if (count == 2 && fds[1].revents != 0 && m_onWatchedReadable) m_onWatchedReadable();
}

void HeadlessWindow::tickConnectTimer() {
    if (!m_connectDeadline || Clock::now() < *m_connectDeadline) return;
    // A periodic timer, as the window's: the tick's handler stops it.
    *m_connectDeadline += m_connectTimeout;
    m_handler.onConnectTimer();
}

bool HeadlessWindow::runUntil(const std::function<bool()>& done, Clock::time_point deadline) {
    for (;;) {
        if (done()) return true;
        if (Clock::now() >= deadline) return false;
        waitForWork(deadline);
        tickConnectTimer();
        Task task;
        while (takeTask(task)) {
            task();
            if (done()) return true;
        }
    }
}

}  // namespace tqm

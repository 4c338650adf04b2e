#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "editor/equalizer_model.h"
#include "editor/link_handler.h"
#include "editor/link_view.h"
#include "editor/send_queue_sink.h"
#include "editor/ui/window_timers.h"
#include "platform/main_window_link.h"

namespace tqm {

// The main window's part in the link, without a window: it takes the window messages
// on the thread that created it, runs the window's link handling on an equalizer
// model whose commands go to the send queue, and keeps the one window timer the link
// needs, the connection time-out. It draws nothing; the connecting box and the notices
// return at once, the notices being kept for the owner to tell. Its message loop runs
// only inside runUntil(), on the creating thread. Publishes itself as the main window
// from construction to destruction.
class HeadlessWindow final : public WindowEndpoint, public LinkView {
public:
    using Clock = std::chrono::steady_clock;
    using Task = std::function<void()>;

    explicit HeadlessWindow(std::chrono::milliseconds connectTimeout = timerPeriod(TIMER_CONNECT));
    ~HeadlessWindow() override;
    HeadlessWindow(const HeadlessWindow&) = delete;
    HeadlessWindow& operator=(const HeadlessWindow&) = delete;

    // Queues a task for the window's thread; any thread, never blocks.
    void post(Task task);
    // Blocks the window's thread handling messages and tasks until done() holds (it is
    // asked before each wait and after each message) or the deadline passes; the
    // connection time-out ticks meanwhile. Returns done()'s last answer.
    bool runUntil(const std::function<bool()>& done, Clock::time_point deadline);
    // The loop also waits on this descriptor (the command-line tool's signals) and runs
    // onReadable on the window's thread when it can be read. One at a time.
    void watch(int fd, std::function<void()> onReadable);
    // Runs after each window message has been handled, on the window's thread.
    void setAfterMessage(std::function<void(const Message&)> hook) { m_afterMessage = std::move(hook); }

    // Window thread only.
    EqualizerModel& model() { return m_model; }
    LinkHandler& handler() { return m_handler; }
    // The string ids of the notices shown so far, oldest first.
    const std::vector<int>& notices() const { return m_notices; }
    bool lampOn() const { return m_lamp.load(std::memory_order_relaxed); }

    // WindowEndpoint
    void deliver(const Message& message, std::shared_ptr<SendTicket> ticket) override;
    bool isWindowThread() const override { return std::this_thread::get_id() == m_threadId; }
    void handleNow(const Message& message) override { dispatch(message); }

    // LinkView
    void runConnectingBox() override {}
    void closeConnectingBox() override {}
    void showNotice(int stringId) override { m_notices.push_back(stringId); }
    void setLamp(bool on) override { m_lamp.store(on, std::memory_order_relaxed); }
    void startConnectTimer() override { m_connectDeadline = Clock::now() + m_connectTimeout; }
    void stopConnectTimer() override { m_connectDeadline.reset(); }
    void startPoll() override {}
    void stopPoll() override {}
    void drawEmptyGraph() override {}
    void showGraph() override {}
    void scheduleRepaint() override {}
    // Blocks the window's thread; nothing is handled meanwhile.
    void pause(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }

private:
    void dispatch(const Message& message);
    // Blocks until a task is queued, the watched descriptor is readable, or until.
    void waitForWork(Clock::time_point until);
    bool takeTask(Task& task);
    void tickConnectTimer();

    const std::thread::id m_threadId;
    const std::chrono::milliseconds m_connectTimeout;
    int m_wakeFd = -1;

    std::mutex m_mutex;
    std::deque<Task> m_tasks;

    // Window thread only.
    int m_watchedFd = -1;
    std::function<void()> m_onWatchedReadable;
    std::optional<Clock::time_point> m_connectDeadline;
    std::vector<int> m_notices;
    std::atomic<bool> m_lamp{false};
    std::function<void(const Message&)> m_afterMessage;

    SendQueueSink m_sink;
    EqualizerModel m_model{m_sink};
    LinkHandler m_handler{m_model, *this};
};

}  // namespace tqm

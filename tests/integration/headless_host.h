#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "editor/equalizer_model.h"
#include "editor/link_handler.h"
#include "editor/link_view.h"
#include "editor/send_queue_sink.h"
#include "platform/main_window_link.h"

namespace tqm::test {

// Plays the main window's part in the link for the engine tests: a thread of its
// own ("test-ui") that takes the window messages, a LinkHandler on an EqualizerModel
// whose commands go to the real send queue, and a connecting box that is a nested
// message loop with the 5 s connection time-out. Publishes itself as the main window.
class HeadlessHost final : public WindowEndpoint, public LinkView {
public:
    HeadlessHost();
    ~HeadlessHost() override;

    // Presses COM (the handler runs on the host's thread; returns at once).
    void pressCom();
    // Runs after each window message has been handled, on the host's thread (the
    // benchmarks time the start-up read with it). Set before the link starts.
    void setAfterMessage(std::function<void(const Message&)> hook) { m_afterMessage = std::move(hook); }
    // Runs fn on the host's thread and blocks until it has run.
    void runOnUi(const std::function<void()>& fn);
    // From now on no message is handled, as by a window whose run has ended, but the
    // host stays published. Nothing may be run or asked on the host's thread afterwards.
    void closeWindow();

    bool lampOn() const { return m_lamp.load(); }
    bool connected() { return ask([this] { return m_model.connected(); }); }
    int pendingReplies() { return ask([this] { return m_model.pendingReplies(); }); }
    bool connectingShown() { return ask([this] { return m_handler.connectingShown(); }); }
    std::vector<int> notices() const;

    // Blocks up to timeout until the predicate, run on the host's thread, holds.
    bool waitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout);

    // WindowEndpoint
    void deliver(const Message& message, std::shared_ptr<SendTicket> ticket) override;
    bool isWindowThread() const override;
    void handleNow(const Message& message) override;

    // LinkView
    void runConnectingBox() override;
    void closeConnectingBox() override;
    void showNotice(int stringId) override;
    void setLamp(bool on) override { m_lamp.store(on); }
    void startConnectTimer() override;
    void stopConnectTimer() override;
    void startPoll() override {}
    void stopPoll() override {}
    void drawEmptyGraph() override {}
    void showGraph() override {}
    void scheduleRepaint() override {}
    void pause(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }

private:
    using Task = std::function<void()>;

    void enqueue(Task task);
    // Runs fn on the host's thread and returns its result.
    template <typename Fn>
    auto ask(Fn fn) -> decltype(fn()) {
        decltype(fn()) result{};
        runOnUi([&] { result = fn(); });
        return result;
    }
    // Runs queued tasks until stop() holds; false when the host is shutting down.
    bool runTasksUntil(const std::function<bool()>& stop);
    void dispatch(const Message& message);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;
    bool m_quit = false;
    bool m_closed = false;
    std::vector<int> m_notices;
    std::atomic<bool> m_lamp{false};

    // Touched on the host's thread only.
    bool m_boxOpen = false;
    std::chrono::steady_clock::time_point m_connectDeadline{};
    bool m_connectTimer = false;

    SendQueueSink m_sink;
    EqualizerModel m_model{m_sink};
    LinkHandler m_handler{m_model, *this};
    std::thread m_thread;
    std::thread::id m_threadId;
    std::function<void(const Message&)> m_afterMessage;
};

}  // namespace tqm::test

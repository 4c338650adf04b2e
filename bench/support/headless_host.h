#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/ctl/headless_window.h"

namespace tqm::test {

// The program's headless window (the one tqm4700-ctl runs) on a thread of its own
// ("test-ui"), so that the benchmark can drive it from its own thread. Publishes
// itself as the main window.
class HeadlessHost final {
public:
    HeadlessHost();
    ~HeadlessHost();

    // Presses COM (the handler runs on the host's thread; returns at once).
    void pressCom();
    // Runs after each window message has been handled, on the host's thread (the
    // benchmarks time the start-up read with it). Set before the link starts.
    void setAfterMessage(std::function<void(const Message&)> hook);
    // Runs fn on the host's thread and blocks until it has run.
    void runOnUi(const std::function<void()>& fn);
    // From now on no message is handled, as by a window whose run has ended, but the
    // host stays published. Nothing may be run or asked on the host's thread afterwards.
    void closeWindow();

    bool lampOn() const { return m_window->lampOn(); }
    bool connected() { return ask([this] { return m_window->model().connected(); }); }
    int pendingReplies() { return ask([this] { return m_window->model().pendingReplies(); }); }
    bool connectingShown() { return ask([this] { return m_window->handler().connectingShown(); }); }
    std::vector<int> notices() { return ask([this] { return m_window->notices(); }); }

    // Blocks up to timeout until the predicate, run on the host's thread, holds.
    bool waitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout);

private:
    template <typename Fn>
    auto ask(Fn fn) -> decltype(fn()) {
        decltype(fn()) result{};
        runOnUi([&] { result = fn(); });
        return result;
    }

    std::unique_ptr<HeadlessWindow> m_window;  // made and dropped on the host's thread
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_closed = false;
    bool m_quit = false;
    std::thread m_thread;
};

}  // namespace tqm::test

#include "bench/support/headless_host.h"

#include <pthread.h>

#include <future>

namespace tqm::test {

HeadlessHost::HeadlessHost() {
    std::promise<void> started;
    m_thread = std::thread([this, &started] {
        pthread_setname_np(pthread_self(), "test-ui");
        m_window = std::make_unique<HeadlessWindow>();
        started.set_value();
        const auto done = [this] {
            std::lock_guard lock(m_mutex);
            return m_closed || m_quit;
        };
        while (!m_window->runUntil(done, HeadlessWindow::Clock::now() + std::chrono::hours(1))) {
        }
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return m_quit; });
        lock.unlock();
        m_window.reset();
    });
    started.get_future().wait();
}

HeadlessHost::~HeadlessHost() {
    {
        // The window goes only after the host's thread has seen m_quit, so it is still
        // there for the wake-up while the lock is held.
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_window->post([] {});
    }
    m_wake.notify_all();
    m_thread.join();
}

void HeadlessHost::pressCom() {
    m_window->post([this] { m_window->handler().onComAction(); });
}

void HeadlessHost::setAfterMessage(std::function<void(const Message&)> hook) {
    runOnUi([&] { m_window->setAfterMessage(std::move(hook)); });
}

void HeadlessHost::closeWindow() {
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_window->post([] {});
}

void HeadlessHost::runOnUi(const std::function<void()>& fn) {
    if (m_window->isWindowThread()) {
        fn();
        return;
    }
    std::promise<void> done;
    m_window->post([&] {
        fn();
        done.set_value();
    });
    done.get_future().wait();
}

bool HeadlessHost::waitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (ask(predicate)) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace tqm::test

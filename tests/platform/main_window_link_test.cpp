#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "platform/main_window_link.h"
#include "tests/support/recording_window.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;

// Two window messages of the test's own.
constexpr MessageId kFirst = WM_APP + 1;
constexpr MessageId kSecond = WM_APP + 2;

// A window whose messages wait until the test lets its "user-interface thread" run.
class QueuedWindow final : public WindowEndpoint {
public:
    void deliver(const Message& message, std::shared_ptr<SendTicket> ticket) override {
        std::lock_guard lock(m_mutex);
        m_pending.push_back({message, std::move(ticket)});
        m_cv.notify_all();
    }
    bool isWindowThread() const override { return false; }
    void handleNow(const Message&) override {}

    bool waitPending(std::size_t n) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, 5s, [&] { return m_pending.size() >= n; });
    }
    void handleAll() {
        std::lock_guard lock(m_mutex);
        for (auto& [message, ticket] : m_pending) {
            m_handled.push_back(message.id);
            if (ticket) ticket->complete();
        }
        m_pending.clear();
    }
    std::deque<MessageId> handled() {
        std::lock_guard lock(m_mutex);
        return m_handled;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::pair<Message, std::shared_ptr<SendTicket>>> m_pending;
    std::deque<MessageId> m_handled;
};

TEST(MainWindowLink, DeliversInOrderToAPublishedWindowAndFailsWithNone) {
    MainWindowLink link;
    EXPECT_FALSE(link.send(kFirst)) << "a send with no window returns at once";
    test::RecordingWindow window;
    EXPECT_TRUE(link.post(kSecond, 1, 2));
    EXPECT_TRUE(link.send(kFirst));
    auto entries = window.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].message.id, kSecond);
    EXPECT_EQ(entries[0].message.wParam, 1u);
    EXPECT_EQ(entries[0].message.lParam, 2);
    EXPECT_FALSE(entries[0].sent);
    EXPECT_TRUE(entries[1].sent);
}

TEST(MainWindowLink, SendWaitsUntilTheWindowHasHandledTheMessage) {
    QueuedWindow window;
    MainWindowLink link;
    link.publish(&window);
    std::atomic<bool> returned{false};
    std::thread sender([&] {
        EXPECT_TRUE(MainWindowLink().send(kFirst));
        returned = true;
    });
    ASSERT_TRUE(window.waitPending(1));
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(returned.load()) << "the sender waits for the window";
    window.handleAll();
    sender.join();
    EXPECT_TRUE(returned.load());
    link.retract();
}

TEST(MainWindowLink, RetractReleasesAWaitingSender) {
    QueuedWindow window;
    MainWindowLink link;
    link.publish(&window);
    std::atomic<int> result{-1};
    std::thread sender([&] { result = MainWindowLink().send(kFirst) ? 1 : 0; });
    ASSERT_TRUE(window.waitPending(1));
    link.retract();
    sender.join();
    EXPECT_EQ(result.load(), 0) << "a message never handled is reported as such";
    EXPECT_FALSE(link.post(kSecond));
}

}  // namespace
}  // namespace tqm

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/main_window_link.h"
#include "tests/support/child_process.h"
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
    void deliver(const Message&, std::shared_ptr<SendTicket> ticket) override {
        std::lock_guard lock(m_mutex);
        m_tickets.push_back(std::move(ticket));
    }
    bool isWindowThread() const override { return false; }
    void handleNow(const Message&) override {}

    bool waitPending() {
        return test::waitUntil([&] {
            std::lock_guard lock(m_mutex);
            return !m_tickets.empty();
        }, 5s);
    }
    void handleAll() {
        std::lock_guard lock(m_mutex);
        for (auto& ticket : m_tickets) ticket->complete();
        m_tickets.clear();
    }

private:
    std::mutex m_mutex;
    std::vector<std::shared_ptr<SendTicket>> m_tickets;
};

TEST(MainWindowLink, DeliversInOrderToAPublishedWindowAndFailsWithNone) {
    MainWindowLink link;
    EXPECT_FALSE(link.send(kFirst)) << "a send with no window returns at once";
    test::RecordingWindow window;
    EXPECT_TRUE(link.post(kSecond, 1, 2));
    EXPECT_TRUE(link.send(kFirst));
    const auto entries = window.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].message.id, kSecond);
    EXPECT_EQ(entries[0].message.wParam, 1u);
    EXPECT_EQ(entries[0].message.lParam, 2);
    EXPECT_FALSE(entries[0].sent);
    EXPECT_TRUE(entries[1].sent);
}

// The sender's result tells whether the window handled the message (1) or was
// retracted first (0); -1 while the sender still waits.
TEST(MainWindowLink, SendWaitsUntilTheWindowHandledTheMessageOrIsRetracted) {
    QueuedWindow window;
    MainWindowLink link;
    link.publish(&window);
    for (const bool handled : {true, false}) {
        std::atomic<int> result{-1};
        std::thread sender([&] { result = MainWindowLink().send(kFirst) ? 1 : 0; });
        ASSERT_TRUE(window.waitPending());
        EXPECT_EQ(result.load(), -1) << "the sender waits for the window";
        if (handled) {
            window.handleAll();
        } else {
            link.retract();
        }
        sender.join();
        EXPECT_EQ(result.load(), handled ? 1 : 0);
    }
    EXPECT_FALSE(link.post(kSecond)) << "retracted";
}

}  // namespace
}  // namespace tqm

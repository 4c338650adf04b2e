#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/main_window_link.h"
#include "platform/sio_queue.h"
#include "platform/timer_service.h"
#include "platform/worker_thread.h"
#include "tests/support/child_process.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;
using Seen = std::vector<std::pair<MessageId, std::uintptr_t>>;

bool eventually(const std::function<bool()>& condition) { return test::waitUntil(condition, 5s); }

constexpr MessageId kA = 0x9001, kB = 0x9002;
constexpr MessageId kBlock = 0x9003;  // held until released

class RecordingThread final : public MappedWorkerThread<RecordingThread> {
public:
    RecordingThread() : MappedWorkerThread("test-rec") {}
    Seen seen() {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }
    void record(const Message& m) {
        std::unique_lock lock(m_mutex);
        m_seen.emplace_back(m.id, m.wParam);
        lock.unlock();
        while (m.id == kBlock && !released) std::this_thread::sleep_for(5ms);
    }
    std::atomic<bool> released{false};
    static constexpr MessageMapEntry s_messageMap[] = {
        {UWM_THREAD_QUIT, &RecordingThread::quit},
        {kA, &RecordingThread::record},
        {kB, &RecordingThread::record},
        {kBlock, &RecordingThread::record},
    };

private:
    std::mutex m_mutex;
    Seen m_seen;
};

TEST(WorkerThread, HandlesMappedMessagesInPostOrderUntilAQuit) {
    auto thread = std::make_shared<RecordingThread>();
    EXPECT_FALSE(thread->post(kA)) << "no queue before start";
    ASSERT_TRUE(thread->start());
    EXPECT_FALSE(thread->start());
    Seen expected;
    for (std::uintptr_t i = 0; i < 100; ++i) {
        expected.emplace_back(i % 2 ? kA : kB, i);
        ASSERT_TRUE(thread->post(expected.back().first, i));
        ASSERT_TRUE(thread->post(0x9999, i));  // not in the map
    }
    std::vector<std::jthread> posters;  // and from several threads at once
    for (int p = 0; p < 4; ++p) posters.emplace_back([&] { for (int i = 0; i < 250; ++i) thread->post(kA, 1000); });
    posters.clear();  // joins them
    ASSERT_TRUE(eventually([&] { return thread->seen().size() >= 1100; }));
    thread->post(UWM_THREAD_QUIT);
    thread->post(kA, 2000);
    EXPECT_TRUE(eventually([&] { return !thread->isAlive(); }));
    Seen seen = thread->seen();
    EXPECT_EQ(seen.size(), 1100u) << "nothing after the quit";
    seen.resize(100);
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(thread->post(kA)) << "an ended thread takes no messages";
    EXPECT_TRUE(thread->stop());
}

TEST(WorkerThread, BoundedStopGivesUpOnAThreadThatIgnoresQuit) {
    auto thread = std::make_shared<RecordingThread>();
    ASSERT_TRUE(thread->start());
    thread->post(kBlock);
    ASSERT_TRUE(eventually([&] { return !thread->seen().empty(); }));
    EXPECT_TRUE(!thread->stop(4, 20ms) && thread->isAlive());
    EXPECT_EQ(thread->pendingCount(), 4u) << "one quit per post";
    // An abandoned thread outlives its owner's reference and ends cleanly later.
    std::weak_ptr<RecordingThread> weak = thread;
    thread->released = true;
    thread.reset();
    EXPECT_TRUE(eventually([&] { return weak.expired(); }));
}

// A window whose messages wait until the test lets its "user-interface thread" run.
class QueuedWindow final : public WindowEndpoint {
public:
    void deliver(const Message&, std::shared_ptr<SendTicket> ticket) override {
        std::lock_guard lock(m_mutex);
        m_tickets.push_back(std::move(ticket));
    }
    bool isWindowThread() const override { return false; }
    void handleNow(const Message&) override {}
    std::size_t pending() {
        std::lock_guard lock(m_mutex);
        return m_tickets.size();
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

// The sender's result tells whether the window handled the message (1) or was
// retracted first (0); -1 while the sender still waits.
TEST(MainWindowLink, SendWaitsUntilTheWindowHandledTheMessageOrIsRetracted) {
    MainWindowLink link;
    EXPECT_FALSE(link.send(WM_APP + 1)) << "a send with no window returns at once";
    QueuedWindow window;
    link.publish(&window);
    for (const bool handled : {true, false}) {
        std::atomic<int> result{-1};
        std::thread sender([&] { result = MainWindowLink().send(WM_APP + 1) ? 1 : 0; });
        ASSERT_TRUE(eventually([&] { return window.pending() > 0; }));
        EXPECT_EQ(result.load(), -1) << "the sender waits for the window";
        handled ? window.handleAll() : link.retract();
        sender.join();
        EXPECT_EQ(result.load(), handled ? 1 : 0);
    }
    EXPECT_FALSE(link.post(WM_APP + 2)) << "retracted";
}

// Pops one entry as a C string, so that stale bytes from a longer entry in the same slot would show.
std::string popText(Sio_Queue& queue) {
    std::array<char, Sio_Queue::kSlotSize> buffer{};
    const std::int16_t length = queue.pop(buffer.data());
    const std::string text = length > 0 ? buffer.data() : "";
    EXPECT_EQ(static_cast<int>(text.size()), length > 0 ? length : 0);
    return text;
}

std::int16_t pushText(Sio_Queue& queue, const std::string& text) { return queue.push(text.size(), text.data()); }

TEST(SioQueue, KeepsOrderReusesSlotsAndRefusesWhatDoesNotFit) {
    Sio_Queue queue;
    ASSERT_TRUE(queue.reset());
    EXPECT_EQ(pushText(queue, std::string(512, 'A')), 0) << "512 bytes";
    EXPECT_EQ(pushText(queue, std::string(511, 'A')), 511) << "511 bytes fit";
    ASSERT_EQ(popText(queue).size(), 511u);
    // Laps of the ring; the first puts a short entry in the slot that held 511 bytes.
    for (int lap = 0; lap < 3; ++lap) {
        for (std::size_t i = 0; i < Sio_Queue::kSlots; ++i) ASSERT_GT(pushText(queue, std::to_string(i)), 0);
        EXPECT_EQ(pushText(queue, "LOST"), 0) << "a full ring refuses";
        EXPECT_EQ(popText(queue), "0") << "nothing was overwritten";
        EXPECT_GT(pushText(queue, "N"), 0) << "room again after a pop";
        for (std::size_t i = 1; i < Sio_Queue::kSlots; ++i) ASSERT_EQ(popText(queue), std::to_string(i));
        EXPECT_EQ(popText(queue), "N");
    }
    EXPECT_EQ(queue.size(), 0u);
}

// Timers of the test's own, each counting its ticks.
class TimerServiceTest : public ::testing::Test {
protected:
    static constexpr TimerId kPoll = 101, kStep = 102, kPause = 103;

    void TearDown() override { TimerService().reset(); }
    void counting(TimerId id) {
        m_ticks[id - kPoll] = 0;
        m_timers.setHandler(id, [this, id] { ++m_ticks[id - kPoll]; });
    }
    int ticks(TimerId id) const { return m_ticks[id - kPoll].load(); }

    TimerService m_timers;
    std::atomic<int> m_ticks[3] = {};
};

TEST_F(TimerServiceTest, TicksRepeatUntilKilledAndAStopAllRefusesNewTimersUntilTheReset) {
    counting(kStep);
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_timers.set(kStep, 0ms)) << "a timer without a period cannot run";
    ASSERT_TRUE(m_timers.set(kStep, 30ms));
    ASSERT_TRUE(eventually([&] { return ticks(kStep) >= 5; }));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 5 * 30ms - 2ms) << "ticks never come early";
    EXPECT_TRUE(m_timers.kill(kStep) && !m_timers.kill(kStep) && !m_timers.isRunning(kStep)) << "killed once";
    const int afterKill = ticks(kStep);
    counting(kPoll);
    ASSERT_TRUE(m_timers.set(kPoll, 5ms));
    ASSERT_TRUE(eventually([&] { return ticks(kPoll) >= 3; }));
    EXPECT_LE(ticks(kStep), afterKill + 1) << "at most a tick already under way";
    m_timers.stopAll();
    const int stopped = ticks(kPoll);
    EXPECT_FALSE(m_timers.set(kPoll, 5ms) || m_timers.isRunning(kPoll));
    EXPECT_EQ(ticks(kPoll), stopped) << "no tick after the stop has returned";
    m_timers.reset();
    EXPECT_TRUE(m_timers.set(kPoll, 5ms));
}

// A 5 ms timer restarts a 50 ms one from each of its ticks (a handler may set and kill
// timers): the timers share one thread that serves the earliest first, so the 50 ms
// timer cannot tick until the restarts end.
TEST_F(TimerServiceTest, SettingARunningTimerRestartsItsPeriod) {
    counting(kPause);
    std::atomic<int> restarts{0};
    std::atomic<int> pauseTicks{-1};  // before the last restart
    m_timers.setHandler(kPoll, [&] {
        if (++restarts <= 20 || !TimerService().kill(kPoll)) TimerService().set(kPause, 50ms);
        if (restarts == 20) pauseTicks = ticks(kPause);
    });
    ASSERT_TRUE(m_timers.set(kPoll, 5ms));
    EXPECT_TRUE(eventually([&] { return ticks(kPause) >= 1; }));
    EXPECT_EQ(pauseTicks.load(), 0);
}

TEST_F(TimerServiceTest, AResetFromATickReturnsAndTheServiceGoesOn) {
    counting(kStep);
    ASSERT_TRUE(m_timers.set(kStep, 30ms));
    std::atomic<bool> resetInTick{false};
    m_timers.setHandler(kPause, [&] { TimerService().reset(); resetInTick = true; });
    m_timers.set(kPause, 30ms);
    ASSERT_TRUE(eventually([&] { return resetInTick.load(); }));
    EXPECT_FALSE(m_timers.isRunning(kStep));
    counting(kStep);
    ASSERT_TRUE(m_timers.set(kStep, 30ms));
    EXPECT_TRUE(eventually([&] { return ticks(kStep) >= 2; }));
}

}  // namespace
}  // namespace tqm

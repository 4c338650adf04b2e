#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "platform/timer_service.h"
#include "tests/support/child_process.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Timers of the test's own.
constexpr TimerId kPoll = 101;
constexpr TimerId kStep = 102;
constexpr TimerId kPause = 103;

class TimerServiceTest : public ::testing::Test {
protected:
    void TearDown() override { TimerService().reset(); }

    static bool waitUntil(const std::function<bool()>& pred) { return test::waitUntil(pred, 5000ms); }
    // Makes the timer count its ticks in ticks[id - kPoll].
    void counting(TimerId id) {
        m_ticks[id - kPoll] = 0;
        m_timers.setHandler(id, [this, id] { ++m_ticks[id - kPoll]; });
    }
    int ticks(TimerId id) const { return m_ticks[id - kPoll].load(); }

    TimerService m_timers;
    std::atomic<int> m_ticks[3] = {};
};

TEST_F(TimerServiceTest, TicksRepeatAtTheirPeriodUntilKilled) {
    counting(kStep);
    const auto begin = Clock::now();
    EXPECT_FALSE(m_timers.set(kStep, 0ms)) << "a timer without a period cannot run";
    ASSERT_TRUE(m_timers.set(kStep, 30ms));
    ASSERT_TRUE(waitUntil([&] { return ticks(kStep) >= 5; }));
    EXPECT_GE(Clock::now() - begin, 5 * 30ms - 2ms) << "ticks never come early";
    EXPECT_TRUE(m_timers.kill(kStep));
    EXPECT_FALSE(m_timers.kill(kStep));
    EXPECT_FALSE(m_timers.isRunning(kStep));
    const int afterKill = ticks(kStep);
    ASSERT_TRUE(m_timers.set(kPoll, 30ms));
    ASSERT_TRUE(waitUntil([&] { return m_timers.tickCount(kPoll) >= 3; }));
    EXPECT_LE(ticks(kStep), afterKill + 1) << "at most a tick already under way";
}

// Restarts every 10 ms hold a 30 ms timer back: a tick counted between two restarts
// is only allowed when the restarts ran late by a full period.
TEST_F(TimerServiceTest, SettingARunningTimerRestartsItsPeriod) {
    m_timers.setHandler(kPause, [] {});
    auto previousSet = Clock::now();
    m_timers.set(kPause, 30ms);
    unsigned long counted = m_timers.tickCount(kPause);
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(10ms);
        const auto before = Clock::now();
        m_timers.set(kPause, 30ms);
        const unsigned long now = m_timers.tickCount(kPause);
        EXPECT_TRUE(now == counted || Clock::now() - previousSet >= 30ms - 2ms) << "a tick came early";
        counted = now;
        previousSet = before;
    }
    EXPECT_TRUE(waitUntil([&] { return m_timers.tickCount(kPause) > counted; }));
}

TEST_F(TimerServiceTest, HandlersMayKillSetAndResetTimersFromATick) {
    counting(kStep);
    std::atomic<int> pollTicks{0};
    m_timers.setHandler(kPoll, [&] {
        if (++pollTicks == 3) {
            TimerService().kill(kPoll);
            TimerService().set(kStep, 30ms);
        }
    });
    m_timers.set(kPoll, 5ms);
    ASSERT_TRUE(waitUntil([&] { return ticks(kStep) >= 1; }));
    EXPECT_EQ(pollTicks.load(), 3);
    EXPECT_EQ(m_timers.tickCount(kPoll), 3u);

    // A reset from inside a tick cannot wait for its own thread; the service goes on.
    std::atomic<bool> resetInTick{false};
    m_timers.setHandler(kPause, [&] {
        TimerService().reset();
        resetInTick = true;
    });
    m_timers.set(kPause, 30ms);
    ASSERT_TRUE(waitUntil([&] { return resetInTick.load(); }));
    EXPECT_FALSE(m_timers.isRunning(kStep));
    counting(kStep);
    ASSERT_TRUE(m_timers.set(kStep, 30ms));
    EXPECT_TRUE(waitUntil([&] { return ticks(kStep) >= 2; }));
}

TEST_F(TimerServiceTest, StopAllEndsEveryTimerAndRefusesNewOnesUntilTheNextReset) {
    counting(kPoll);
    m_timers.set(kPoll, 5ms);
    ASSERT_TRUE(waitUntil([&] { return ticks(kPoll) >= 1; }));
    m_timers.stopAll();
    const int stopped = ticks(kPoll);
    EXPECT_FALSE(m_timers.set(kPoll, 5ms));
    EXPECT_FALSE(m_timers.isRunning(kPoll));
    EXPECT_EQ(ticks(kPoll), stopped) << "no tick after the stop has returned";
    m_timers.reset();
    EXPECT_TRUE(m_timers.set(kPoll, 5ms));
}

}  // namespace
}  // namespace tqm

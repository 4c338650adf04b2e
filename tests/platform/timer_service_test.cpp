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

class TimerServiceTest : public ::testing::Test {
protected:
    void TearDown() override { TimerService().reset(); }

    static bool waitUntil(const std::function<bool()>& pred) { return test::waitUntil(pred, 5000ms); }
};

TEST_F(TimerServiceTest, PeriodsFollowTheTimerTable) {
    EXPECT_EQ(timerPeriod(TIMER_SIO_POLL), 5ms);
    EXPECT_EQ(timerPeriod(TIMER_CMD_POLL), 1000ms);
    EXPECT_EQ(timerPeriod(REPLY_TIMER_ID), 3000ms);
    EXPECT_EQ(timerPeriod(TIMER_CONNECT), 5000ms);
    EXPECT_FALSE(TimerService().set(99)) << "an id with no period cannot run";
}

TEST_F(TimerServiceTest, TicksRepeatAtTheirPeriodUntilKilled) {
    TimerService timers;
    std::atomic<int> ticks{0};
    timers.setHandler(TIMER_READ_STEP, [&] { ++ticks; });
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(timers.set(TIMER_READ_STEP));
    ASSERT_TRUE(waitUntil([&] { return ticks.load() >= 5; }));
    const auto elapsed = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(elapsed, 5 * 30ms - 2ms) << "ticks never come early";
    EXPECT_TRUE(timers.kill(TIMER_READ_STEP));
    EXPECT_FALSE(timers.kill(TIMER_READ_STEP));
    EXPECT_FALSE(timers.isRunning(TIMER_READ_STEP));
    const int afterKill = ticks.load();
    std::this_thread::sleep_for(100ms);
    EXPECT_LE(ticks.load(), afterKill + 1) << "at most a tick already under way";
}

// Restarts every 10 ms hold a 30 ms timer back: a tick counted between two restarts
// is only allowed when the restarts ran late by a full period.
TEST_F(TimerServiceTest, SettingARunningTimerRestartsItsPeriod) {
    using Clock = std::chrono::steady_clock;
    TimerService timers;
    timers.setHandler(TIMER_STANDBY, [] {});
    auto previousSet = Clock::now();
    timers.set(TIMER_STANDBY);
    unsigned long counted = timers.tickCount(TIMER_STANDBY);
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(10ms);
        const auto before = Clock::now();
        timers.set(TIMER_STANDBY);
        const unsigned long ticks = timers.tickCount(TIMER_STANDBY);
        if (ticks != counted) {
            EXPECT_GE(Clock::now() - previousSet, 30ms - 2ms) << "a tick came early";
        }
        counted = ticks;
        previousSet = before;
    }
    EXPECT_TRUE(waitUntil([&] { return timers.tickCount(TIMER_STANDBY) > counted; }));
}

TEST_F(TimerServiceTest, HandlersMayKillSetAndResetTimersFromATick) {
    TimerService timers;
    std::atomic<int> pollTicks{0};
    std::atomic<int> stepTicks{0};
    timers.setHandler(TIMER_SIO_POLL, [&] {
        if (++pollTicks == 3) {
            TimerService().kill(TIMER_SIO_POLL);
            TimerService().set(TIMER_READ_STEP);
        }
    });
    timers.setHandler(TIMER_READ_STEP, [&] { ++stepTicks; });
    timers.set(TIMER_SIO_POLL);
    ASSERT_TRUE(waitUntil([&] { return stepTicks.load() >= 1; }));
    EXPECT_EQ(pollTicks.load(), 3);
    EXPECT_EQ(timers.tickCount(TIMER_SIO_POLL), 3u);

    // A reset from inside a tick cannot wait for its own thread; the service goes on.
    std::atomic<bool> resetInTick{false};
    timers.setHandler(TIMER_STANDBY, [&] {
        TimerService().reset();
        resetInTick = true;
    });
    timers.set(TIMER_STANDBY);
    ASSERT_TRUE(waitUntil([&] { return resetInTick.load(); }));
    EXPECT_FALSE(timers.isRunning(TIMER_READ_STEP));
    stepTicks = 0;
    timers.setHandler(TIMER_READ_STEP, [&] { ++stepTicks; });
    ASSERT_TRUE(timers.set(TIMER_READ_STEP));
    EXPECT_TRUE(waitUntil([&] { return stepTicks.load() >= 2; }));
}

TEST_F(TimerServiceTest, StopAllEndsEveryTimerAndRefusesNewOnesUntilTheNextReset) {
    TimerService timers;
    std::atomic<int> ticks{0};
    timers.setHandler(TIMER_SIO_POLL, [&] { ++ticks; });
    timers.set(TIMER_SIO_POLL);
    ASSERT_TRUE(waitUntil([&] { return ticks.load() >= 1; }));
    timers.stopAll();
    const int stopped = ticks.load();
    EXPECT_FALSE(timers.set(TIMER_SIO_POLL));
    EXPECT_FALSE(timers.isRunning(TIMER_SIO_POLL));
    EXPECT_EQ(ticks.load(), stopped) << "no tick after the stop has returned";
    timers.reset();
    EXPECT_TRUE(timers.set(TIMER_SIO_POLL));
}

}  // namespace
}  // namespace tqm

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

// Timers of the test's own, with the ids and periods an owner gives.
constexpr TimerId kPoll = 101;
constexpr TimerId kStep = 102;
constexpr TimerId kPause = 103;
constexpr auto kPollPeriod = 5ms;
constexpr auto kStepPeriod = 30ms;
constexpr auto kPausePeriod = 30ms;

class TimerServiceTest : public ::testing::Test {
protected:
    void TearDown() override { TimerService().reset(); }

    static bool waitUntil(const std::function<bool()>& pred) { return test::waitUntil(pred, 5000ms); }
};

TEST_F(TimerServiceTest, TicksRepeatAtTheirPeriodUntilKilled) {
    TimerService timers;
    std::atomic<int> ticks{0};
    timers.setHandler(kStep, [&] { ++ticks; });
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(timers.set(kStep, 0ms)) << "a timer without a period cannot run";
    ASSERT_TRUE(timers.set(kStep, kStepPeriod));
    ASSERT_TRUE(waitUntil([&] { return ticks.load() >= 5; }));
    const auto elapsed = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(elapsed, 5 * 30ms - 2ms) << "ticks never come early";
    EXPECT_TRUE(timers.kill(kStep));
    EXPECT_FALSE(timers.kill(kStep));
    EXPECT_FALSE(timers.isRunning(kStep));
    const int afterKill = ticks.load();
    std::this_thread::sleep_for(100ms);
    EXPECT_LE(ticks.load(), afterKill + 1) << "at most a tick already under way";
}

// Restarts every 10 ms hold a 30 ms timer back: a tick counted between two restarts
// is only allowed when the restarts ran late by a full period.
TEST_F(TimerServiceTest, SettingARunningTimerRestartsItsPeriod) {
    using Clock = std::chrono::steady_clock;
    TimerService timers;
    timers.setHandler(kPause, [] {});
    auto previousSet = Clock::now();
    timers.set(kPause, kPausePeriod);
    unsigned long counted = timers.tickCount(kPause);
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(10ms);
        const auto before = Clock::now();
        timers.set(kPause, kPausePeriod);
        const unsigned long ticks = timers.tickCount(kPause);
        if (ticks != counted) {
            EXPECT_GE(Clock::now() - previousSet, 30ms - 2ms) << "a tick came early";
        }
        counted = ticks;
        previousSet = before;
    }
    EXPECT_TRUE(waitUntil([&] { return timers.tickCount(kPause) > counted; }));
}

TEST_F(TimerServiceTest, HandlersMayKillSetAndResetTimersFromATick) {
    TimerService timers;
    std::atomic<int> pollTicks{0};
    std::atomic<int> stepTicks{0};
    timers.setHandler(kPoll, [&] {
        if (++pollTicks == 3) {
            TimerService().kill(kPoll);
            TimerService().set(kStep, kStepPeriod);
        }
    });
    timers.setHandler(kStep, [&] { ++stepTicks; });
    timers.set(kPoll, kPollPeriod);
    ASSERT_TRUE(waitUntil([&] { return stepTicks.load() >= 1; }));
    EXPECT_EQ(pollTicks.load(), 3);
    EXPECT_EQ(timers.tickCount(kPoll), 3u);

    // A reset from inside a tick cannot wait for its own thread; the service goes on.
    std::atomic<bool> resetInTick{false};
    timers.setHandler(kPause, [&] {
        TimerService().reset();
        resetInTick = true;
    });
    timers.set(kPause, kPausePeriod);
    ASSERT_TRUE(waitUntil([&] { return resetInTick.load(); }));
    EXPECT_FALSE(timers.isRunning(kStep));
    stepTicks = 0;
    timers.setHandler(kStep, [&] { ++stepTicks; });
    ASSERT_TRUE(timers.set(kStep, kStepPeriod));
    EXPECT_TRUE(waitUntil([&] { return stepTicks.load() >= 2; }));
}

TEST_F(TimerServiceTest, StopAllEndsEveryTimerAndRefusesNewOnesUntilTheNextReset) {
    TimerService timers;
    std::atomic<int> ticks{0};
    timers.setHandler(kPoll, [&] { ++ticks; });
    timers.set(kPoll, kPollPeriod);
    ASSERT_TRUE(waitUntil([&] { return ticks.load() >= 1; }));
    timers.stopAll();
    const int stopped = ticks.load();
    EXPECT_FALSE(timers.set(kPoll, kPollPeriod));
    EXPECT_FALSE(timers.isRunning(kPoll));
    EXPECT_EQ(ticks.load(), stopped) << "no tick after the stop has returned";
    timers.reset();
    EXPECT_TRUE(timers.set(kPoll, kPollPeriod));
}

}  // namespace
}  // namespace tqm

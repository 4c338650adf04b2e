#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/sio_queue.h"
#include "platform/thread_directory.h"
#include "platform/timer_service.h"
#include "protocol/anl_send_thread.h"
#include "protocol/link_flags.h"
#include "protocol/trx_state.h"
#include "tests/support/queue_drain.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using test::QueueDrain;

class AnlSendThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        Trx_StateGuard().initialise();
        Trx_ShadowGuard().reset();
        LinkFlags().reset();
        SioSendQueue().reset();
        SioReceiveQueue().reset();
        m_wire = std::make_shared<QueueDrain>(QueueDrain::Queue::Send);
        m_replies = std::make_shared<QueueDrain>(QueueDrain::Queue::Receive);
        ThreadDirectory directory;
        ASSERT_TRUE(directory.startAs(WorkerRole::SioSend, m_wire));
        ASSERT_TRUE(directory.startAs(WorkerRole::AnlRecv, m_replies));
        // The thread alone, without the timer handlers: ticks are posted by the test.
        ASSERT_TRUE(directory.startAs(WorkerRole::AnlSend, std::make_shared<Anl_Send_Thread>()));
    }
    void TearDown() override {
        ThreadDirectory directory;
        for (auto role : {WorkerRole::AnlSend, WorkerRole::SioSend, WorkerRole::AnlRecv}) {
            directory.stop(role);
            directory.detach(role);
        }
        TimerService().reset();
    }

    static void post(MessageId id) { ThreadDirectory().post(WorkerRole::AnlSend, id); }

    // Waits until the command thread has handled everything posted so far.
    static void settle() {
        auto thread = ThreadDirectory().find(WorkerRole::AnlSend);
        const auto end = Clock::now() + 5s;
        while (thread->pendingCount() > 0 && Clock::now() < end) std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(150ms);  // the longest handler: 45 ms of pauses
    }

    std::vector<std::string> wire() { return m_wire->texts(); }

    std::shared_ptr<QueueDrain> m_wire;
    std::shared_ptr<QueueDrain> m_replies;
};

// The pauses are checked from the post: a command can be taken late, never early.
TEST_F(AnlSendThreadTest, ToggleAndIdCheckSendTheirPausedReads) {
    Trx_ShadowGuard().setAutoInfo(2);
    post(UWM_CMD_LINK_TOGGLE);
    post(UWM_CMD_FLUSH);
    ASSERT_TRUE(m_wire->waitCount(1)) << "the flush after the toggle";
    Trx_ShadowGuard().setAutoInfo(0);
    auto posted = Clock::now();
    post(UWM_CMD_LINK_TOGGLE);
    ASSERT_TRUE(m_wire->waitCount(3));
    EXPECT_GE(m_wire->taken()[2].at - posted, 20ms);
    posted = Clock::now();
    post(UWM_CMD_ID_CHECK);
    post(UWM_CMD_FLUSH);
    ASSERT_TRUE(m_wire->waitCount(6));
    settle();
    EXPECT_GE(m_wire->taken()[4].at - posted, 25ms);
    EXPECT_GE(m_wire->taken()[5].at - posted, 50ms) << "the identification command is followed by a pause too";
    EXPECT_EQ(wire(), (std::vector<std::string>{"", "AI1;", "AI;", "ID;", "ID4700;", ""}))
        << "auto information 2: the toggle sends nothing; ID records of 3 and 7 bytes, no zero byte";
    EXPECT_TRUE(m_replies->taken().empty());
}

TEST_F(AnlSendThreadTest, ToggleWhileOnSwitchesOffAndInjectsAnAiOffReply) {
    Trx_ShadowGuard().setAutoInfo(1);
    Trx_ShadowGuard().setPowerState(0);
    Trx_StateGuard().setSavedAutoInfo(1);
    LinkFlags().setAiOnSent(1);
    post(UWM_CMD_READ_START);
    const auto posted = Clock::now();
    post(UWM_CMD_LINK_TOGGLE);
    ASSERT_TRUE(m_replies->waitCount(1));
    settle();
    EXPECT_EQ(wire(), (std::vector<std::string>{"AI0;", "AI;"}));
    auto replies = m_replies->taken();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].bytes, "AI0");
    EXPECT_GE(replies[0].at - posted, 45ms);
    EXPECT_EQ(LinkFlags().aiOnSent(), 0);
    EXPECT_EQ(Trx_StateGuard().savedAutoInfo(), 0) << "power off: a later power-on switches nothing on";
    EXPECT_FALSE(TimerService().isRunning(TIMER_READ_STEP)) << "the queued timers stop ran";
}

TEST_F(AnlSendThreadTest, StartupReadSendsTwentySevenReadsThenThePowerRead) {
    post(UWM_CMD_READ_START);
    settle();
    EXPECT_TRUE(TimerService().isRunning(TIMER_READ_STEP));
    for (int i = 0; i < 4; ++i) post(UWM_CMD_READ_STEP);
    ASSERT_TRUE(m_wire->waitCount(28));
    settle();
    auto commands = wire();
    ASSERT_EQ(commands.size(), 28u);
    for (int i = 0; i < 27; ++i) {
        const std::string expected = "PE" + std::to_string(i / 9) + std::to_string((i / 3) % 3) + std::to_string(i % 3) + ";";
        EXPECT_EQ(commands[static_cast<std::size_t>(i)], expected);
    }
    EXPECT_EQ(commands[27], "PS;");
    EXPECT_FALSE(TimerService().isRunning(TIMER_READ_STEP));
    EXPECT_TRUE(TimerService().isRunning(TIMER_STANDBY));

    // A tick that was already queued when the timer stopped runs as step 0.
    post(UWM_CMD_READ_STEP);
    settle();
    EXPECT_EQ(wire().size(), 28u);
    EXPECT_FALSE(TimerService().isRunning(TIMER_READ_STEP));
    // The sequence then stands at step 1: the next tick sends the reads again.
    post(UWM_CMD_READ_STEP);
    ASSERT_TRUE(m_wire->waitCount(55));
}

TEST_F(AnlSendThreadTest, ReadStartWhileRunningRestartsFromStepZero) {
    post(UWM_CMD_READ_START);
    post(UWM_CMD_READ_STEP);
    post(UWM_CMD_READ_STEP);  // the 27 reads
    ASSERT_TRUE(m_wire->waitCount(27));
    post(UWM_CMD_READ_START);
    post(UWM_CMD_READ_STEP);  // step 0 again: nothing
    post(UWM_CMD_READ_STEP);  // the reads again
    ASSERT_TRUE(m_wire->waitCount(54));
    settle();
    EXPECT_EQ(wire().size(), 54u);
    EXPECT_TRUE(TimerService().isRunning(TIMER_READ_STEP));
    post(UWM_CMD_TIMERS_STOP);
    settle();
    EXPECT_FALSE(TimerService().isRunning(TIMER_READ_STEP));
}

TEST_F(AnlSendThreadTest, PollFollowsTheShadowStates) {
    post(UWM_CMD_POLL);
    post(UWM_CMD_FLUSH);
    ASSERT_TRUE(m_wire->waitCount(1));
    settle();
    EXPECT_EQ(wire(), (std::vector<std::string>{""})) << "auto information off: the poll is silent";

    Trx_ShadowGuard().setAutoInfo(1);
    post(UWM_CMD_POLL);
    ASSERT_TRUE(m_wire->waitCount(2));
    settle();
    EXPECT_EQ(wire().back(), "PS;") << "power off: only the power read";
    EXPECT_EQ(wire().size(), 2u);

    Trx_ShadowGuard().setPowerState(1);
    const auto posted = Clock::now();
    post(UWM_CMD_POLL);
    ASSERT_TRUE(m_wire->waitCount(4));
    auto taken = m_wire->taken();
    ASSERT_EQ(taken.size(), 4u);
    EXPECT_EQ(taken[2].bytes, "PS;");
    EXPECT_EQ(taken[3].bytes, "AI;");
    EXPECT_GE(taken[3].at - posted, 30ms);
}

}  // namespace
}  // namespace tqm

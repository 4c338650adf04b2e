#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/sio_queue.h"
#include "platform/thread_directory.h"
#include "platform/timer_service.h"
#include "protocol/anl_send_thread.h"
#include "protocol/link_flags.h"
#include "protocol/trx_state.h"
#include "tests/support/child_process.h"
#include "tests/support/queue_drain.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;
using test::QueueDrain;
using Texts = std::vector<std::string>;

class AnlSendThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        Trx_StateGuard().initialise();
        Trx_ShadowGuard().reset();
        LinkFlags().reset();
        SioSendQueue().reset();
        SioReceiveQueue().reset();
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

    static void post(std::initializer_list<MessageId> ids) {
        for (MessageId id : ids) ThreadDirectory().post(WorkerRole::AnlSend, id);
    }
    // Waits until the command thread has handled everything posted so far (a flush
    // reaches the wire, as an empty entry, after every command posted before it) and
    // returns the commands on the wire, the flushes left out.
    Texts settled() {
        const auto flushes = [&] {
            const Texts texts = m_wire->texts();
            return std::count(texts.begin(), texts.end(), "");
        };
        const auto before = flushes();
        post({UWM_CMD_FLUSH});
        EXPECT_TRUE(test::waitUntil([&] { return flushes() > before; }, 5s));
        Texts commands = m_wire->texts();
        std::erase(commands, "");
        return commands;
    }
    // When the wire took its entry number n (flushes counted).
    std::chrono::steady_clock::time_point takenAt(std::size_t n) const { return m_wire->taken().at(n).at; }

    std::shared_ptr<QueueDrain> m_wire = std::make_shared<QueueDrain>(QueueDrain::Queue::Send);
    std::shared_ptr<QueueDrain> m_replies = std::make_shared<QueueDrain>(QueueDrain::Queue::Receive);
};

// The pauses are checked from the post: a command can be taken late, never early.
TEST_F(AnlSendThreadTest, ToggleAndIdCheckSendTheirPausedReads) {
    Trx_ShadowGuard().setAutoInfo(2);
    post({UWM_CMD_LINK_TOGGLE});
    EXPECT_TRUE(settled().empty()) << "auto information 2: the toggle sends nothing";
    Trx_ShadowGuard().setAutoInfo(0);
    const auto posted = std::chrono::steady_clock::now();
    post({UWM_CMD_LINK_TOGGLE, UWM_CMD_ID_CHECK});
    EXPECT_EQ(settled(), (Texts{"AI1;", "AI;", "ID;", "ID4700;"})) << "ID records of 3 and 7 bytes, no zero byte";
    EXPECT_GE(takenAt(2) - posted, 20ms);
    EXPECT_GE(takenAt(4) - posted, 45ms);
    EXPECT_GE(takenAt(5) - posted, 70ms) << "the identification command is followed by a pause too";
    EXPECT_TRUE(m_replies->taken().empty());
}

TEST_F(AnlSendThreadTest, ToggleWhileOnSwitchesOffAndInjectsAnAiOffReply) {
    Trx_ShadowGuard().setAutoInfo(1);
    Trx_ShadowGuard().setPowerState(0);
    Trx_StateGuard().setSavedAutoInfo(1);
    LinkFlags().setAiOnSent(1);
    post({UWM_CMD_READ_START});
    const auto posted = std::chrono::steady_clock::now();
    post({UWM_CMD_LINK_TOGGLE});
    ASSERT_TRUE(m_replies->waitCount(1));
    EXPECT_EQ(settled(), (Texts{"AI0;", "AI;"}));
    const auto replies = m_replies->taken();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].bytes, "AI0");
    EXPECT_GE(replies[0].at - posted, 45ms);
    EXPECT_EQ(LinkFlags().aiOnSent(), 0);
    EXPECT_EQ(Trx_StateGuard().savedAutoInfo(), 0) << "power off: a later power-on switches nothing on";
    EXPECT_FALSE(TimerService().isRunning(TIMER_READ_STEP)) << "the queued timers stop ran";
}

TEST_F(AnlSendThreadTest, StartupReadSendsTwentySevenReadsThenThePowerReadAndAStartGoesBackToStepZero) {
    post({UWM_CMD_READ_START});
    settled();
    EXPECT_TRUE(TimerService().isRunning(TIMER_READ_STEP));
    post({UWM_CMD_READ_STEP, UWM_CMD_READ_STEP, UWM_CMD_READ_STEP, UWM_CMD_READ_STEP});
    const Texts commands = settled();  // the order of the reads is the connection test's
    ASSERT_EQ(commands.size(), 28u);
    EXPECT_EQ(commands[0] + commands[26] + commands[27], "PE000;PE222;PS;");
    EXPECT_FALSE(TimerService().isRunning(TIMER_READ_STEP));
    EXPECT_TRUE(TimerService().isRunning(TIMER_STANDBY));

    // A tick that was already queued when the timer stopped runs as step 0.
    post({UWM_CMD_READ_STEP});
    EXPECT_EQ(settled().size(), 28u);
    EXPECT_FALSE(TimerService().isRunning(TIMER_READ_STEP));
    // The sequence then stands at step 1: the next tick sends the reads again.
    post({UWM_CMD_READ_STEP});
    EXPECT_EQ(settled().size(), 55u);

    // A start while the reads run goes back to step 0: steps 0 to 2 send only the reads.
    post({UWM_CMD_READ_START, UWM_CMD_READ_STEP, UWM_CMD_READ_STEP});
    EXPECT_EQ(settled().size(), 82u);
    post({UWM_CMD_READ_START, UWM_CMD_READ_STEP, UWM_CMD_READ_STEP, UWM_CMD_READ_STEP});
    EXPECT_EQ(settled().size(), 109u);
    EXPECT_TRUE(TimerService().isRunning(TIMER_READ_STEP));
    post({UWM_CMD_TIMERS_STOP});
    settled();
    EXPECT_FALSE(TimerService().isRunning(TIMER_READ_STEP));
}

}  // namespace
}  // namespace tqm

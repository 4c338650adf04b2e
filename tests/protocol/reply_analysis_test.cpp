#include <algorithm>
#include <chrono>

#include <gtest/gtest.h>

#include "platform/sio_queue.h"
#include "protocol/anl_recv.h"
#include "protocol/anl_send_thread.h"
#include "tests/protocol/protocol_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/queue_drain.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;
using test::Ids;

class LinkParsersTest : public test::ProtocolTest {
protected:
    // Sets rm and sm2 to values the meter reset must clear.
    void fillMeters() { run({{"RM0123", true, {}, {UWM_REPLY_RM}}, {"SM1200", true, {}, {UWM_REPLY_SM}}}); }
};

// Switched off, the meters are reset and the reads stop; switched on, the identity is
// checked and the window told of the power-on once; an "AI0" while the link is being
// switched on asks for it again and keeps the meters.
TEST_F(LinkParsersTest, AutoInformationFollowsTheLink) {
    fillMeters();
    run({
        {"AI0", true, {UWM_CMD_TIMERS_STOP}, {UWM_REPLY_RM, UWM_REPLY_SM, UWM_REPLY_AI}},
        {"AI1", true, {UWM_CMD_ID_CHECK}, {UWM_POWER_ON, UWM_REPLY_AI}},
        {"AI1", true, {}, {UWM_REPLY_AI}},
        {"AIx", false, {}, {}},             // malformed: nothing stored, nothing posted
        {"AI7", true, {}, {UWM_REPLY_AI}},  // out of range: only the notification
    });
    EXPECT_EQ(std::vector({m_state.get(StateField::Rm), m_state.get(StateField::Sm2)}), std::vector({0, 0}));
    EXPECT_EQ(m_state.get(StateField::AutoInfo), 1);
    EXPECT_EQ(m_shadow.autoInfo(), 1);
    LinkFlags().setAiOnSent(1);
    fillMeters();
    run({{"AI0", false, {UWM_CMD_LINK_TOGGLE}, {}}});
    EXPECT_EQ(m_shadow.autoInfo(), 0);
    EXPECT_EQ(m_state.get(StateField::Rm), 123) << "the meters stay";
    m_window.reset();
    EXPECT_TRUE(test::dispatch("AI1")) << "with no window the power-on send does not wait";
}

// Off: the meters are reset and the reads stop; on again: the link is switched on, and
// the restored auto information checks the identity although autoInfo was 1 already.
TEST_F(LinkParsersTest, PowerOffAndOnFollowThePowerState) {
    run({{"AI1", true, {UWM_CMD_ID_CHECK}, {UWM_POWER_ON, UWM_REPLY_AI}}, {"PS1", true, {}, {UWM_REPLY_PS}}});
    fillMeters();
    run({
        {"PS0", true, {UWM_CMD_TIMERS_STOP}, {UWM_REPLY_RM, UWM_REPLY_SM, UWM_REPLY_PS}},
        {"PS0", true, {}, {UWM_REPLY_PS}},  // still off: only the notification
        {"PSx", false, {}, {}},
        {"PS1", true, {UWM_CMD_LINK_TOGGLE}, {UWM_REPLY_PS}},
        {"AI1", true, {UWM_CMD_ID_CHECK}, {UWM_REPLY_AI}},
    });
    EXPECT_EQ(std::vector<int>({m_shadow.powerState(), m_state.aiRestorePending()}), std::vector({1, 0}));
}

TEST_F(LinkParsersTest, IdentificationStartsTheReadOnlyForTheModelCodeAndStandbyStartsItsTimer) {
    run({
        {"ID4700", false, {UWM_CMD_READ_START}, {}},
        {"ID4700123", true, {UWM_CMD_READ_START}, {UWM_REPLY_ID}},
        {"ID0123", true, {}, {UWM_REPLY_ID}},
        {"ID47x0", false, {}, {}},
        {"RS1", true, {}, {UWM_REPLY_RS}},
        {"RS2", true, {UWM_CMD_STANDBY_START}, {UWM_REPLY_RS}},
        {"RSx", false, {UWM_CMD_STANDBY_START}, {}},  // rs is still 2
        {"RS0", true, {}, {UWM_REPLY_RS}},
    });
    EXPECT_EQ(m_state.get(StateField::ModelCode), 123) << "another model stores nothing";
}

// The reply-analysis thread itself, fed through the receive queue.
class AnlRecvThreadTest : public LinkParsersTest {
protected:
    void SetUp() override {
        TimerService().reset();
        LinkParsersTest::SetUp();
        SioReceiveQueue().reset();
        ASSERT_TRUE(Anl_Recv().start());
    }
    void TearDown() override {
        EXPECT_TRUE(Anl_Recv().stop());
        ThreadDirectory().detach(WorkerRole::AnlRecv);
        LinkParsersTest::TearDown();
    }

    // Queues the replies as the receive thread does, each announced, then an "LM"
    // marker, and waits for the marker's notification: replies are handled in order,
    // so everything before it is done. What the window received, the marker left out.
    Ids deliverAll(std::vector<std::string> replies) {
        m_window->clear();
        replies.push_back("LM0");
        for (const std::string& reply : replies) {
            EXPECT_EQ(SioReceiveQueue().push(reply.size(), reply.data()), static_cast<std::int16_t>(reply.size()));
            EXPECT_TRUE(Anl_Recv().postReply());
        }
        const auto markers = std::ranges::count_if(replies, [](const std::string& r) { return r.starts_with("LM"); });
        EXPECT_TRUE(m_window->waitFor(UWM_REPLY_LM, static_cast<std::size_t>(markers)));
        Ids ids = m_window->ids();
        if (!ids.empty() && ids.back() == UWM_REPLY_LM) ids.pop_back();
        return ids;
    }
};

TEST_F(AnlRecvThreadTest, DispatchStoresAndPostsInOrderAndUnknownRepliesChangeNothing) {
    const auto before = test::stateSnapshot();
    EXPECT_FALSE(TimerService().isRunning(REPLY_TIMER_ID)) << "no reply dispatched yet";
    ASSERT_TRUE(Anl_Recv().postReply()) << "a request with an empty queue dispatches an empty record";
    EXPECT_TRUE(deliverAll({"ZZ0", "CW1", "zz", "E"}).empty());
    EXPECT_TRUE(test::waitUntil([] { return TimerService().isRunning(REPLY_TIMER_ID); }, 5s))
        << "the watchdog runs after every dispatch";
    EXPECT_EQ(deliverAll({"PB12", "LM12"}), (Ids{UWM_REPLY_PB, UWM_REPLY_LM}));
    EXPECT_EQ(test::stateSnapshot(), before);

    EXPECT_EQ(deliverAll({"PE111-03", "RT1", "PE300004", "PE000012"}), (Ids{UWM_REPLY_PE, UWM_REPLY_RT, UWM_REPLY_PE}))
        << "a malformed reply posts nothing; an out-of-range value still posts";
    std::vector<std::uintptr_t> values;  // a PE notification names its value: 1 + 9 set + 3 band + param
    for (const auto& entry : m_window->entries()) values.push_back(entry.message.wParam);
    EXPECT_EQ(values, (std::vector<std::uintptr_t>{1 + 9 + 3 + 1, 0, 1, 0}));
    EXPECT_EQ(std::vector({m_state.getPeq(1, 1, PeqParam::Level), m_state.get(StateField::Rt)}), std::vector({-3, 1}));
}

TEST_F(AnlRecvThreadTest, LinkLossEndsWithTheAiNotificationAfterTheMeterResets) {
    m_state.set(StateField::Rm, 120);
    m_state.set(StateField::Sm2, 200);
    LinkFlags().setAiOnSent(1);
    ASSERT_TRUE(Anl_Recv().signalLinkLost());
    ASSERT_TRUE(m_window->waitFor(UWM_REPLY_AI, 1));
    EXPECT_EQ(m_window->ids(), (Ids{UWM_REPLY_RM, UWM_REPLY_SM, UWM_REPLY_AI}));
    EXPECT_EQ(takeCommands(), (Ids{UWM_CMD_TIMERS_STOP, UWM_CMD_TIMERS_STOP}))
        << "one stop from the link loss, one from the AI parser's link-down branch; no toggle";
    EXPECT_EQ(std::vector<int>({LinkFlags().aiOnSent(), m_state.get(StateField::Rm), m_state.get(StateField::Sm2),
                           m_state.get(StateField::AutoInfo)}),
              std::vector({0, 0, 0, 0}));
    EXPECT_FALSE(TimerService().isRunning(REPLY_TIMER_ID)) << "link loss leaves the watchdog alone";
}


using Texts = std::vector<std::string>;

// The command thread alone, with recorders in the places of the send and reply threads.
class AnlSendThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::resetLinkState();
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
    // Posts the ids, waits until the command thread has handled everything posted so far
    // (a flush reaches the wire, as an empty entry, after every command posted before it)
    // and returns the commands on the wire, the flushes left out.
    Texts settled(std::initializer_list<MessageId> ids = {}) {
        post(ids);
        const auto flushes = [&] { return std::ranges::count(m_wire->texts(), ""); };
        const auto before = flushes();
        post({UWM_CMD_FLUSH});
        EXPECT_TRUE(test::waitUntil([&] { return flushes() > before; }, 5s));
        Texts commands = m_wire->texts();
        std::erase(commands, "");
        return commands;
    }
    // When the wire took its entry number n (flushes counted).
    std::chrono::steady_clock::time_point takenAt(std::size_t n) const { return m_wire->taken().at(n).at; }

    std::shared_ptr<test::QueueDrain> m_wire = std::make_shared<test::QueueDrain>(test::QueueDrain::Queue::Send);
    std::shared_ptr<test::QueueDrain> m_replies = std::make_shared<test::QueueDrain>(test::QueueDrain::Queue::Receive);
};

// The pauses are checked from the post: a command can be taken late, never early.
TEST_F(AnlSendThreadTest, ToggleAndIdCheckSendTheirPausedReads) {
    Trx_ShadowGuard().setAutoInfo(2);
    EXPECT_TRUE(settled({UWM_CMD_LINK_TOGGLE}).empty()) << "auto information 2: the toggle sends nothing";
    Trx_ShadowGuard().setAutoInfo(0);
    const auto posted = std::chrono::steady_clock::now();
    EXPECT_EQ(settled({UWM_CMD_LINK_TOGGLE, UWM_CMD_ID_CHECK}), (Texts{"AI1;", "AI;", "ID;", "ID4700;"}))
        << "ID records of 3 and 7 bytes, no zero byte";
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
    EXPECT_EQ(m_replies->texts(), Texts{"AI0"});
    EXPECT_GE(m_replies->taken().at(0).at - posted, 45ms);
    EXPECT_EQ(LinkFlags().aiOnSent(), 0);
    EXPECT_EQ(Trx_StateGuard().savedAutoInfo(), 0) << "power off: a later power-on switches nothing on";
    EXPECT_FALSE(TimerService().isRunning(TIMER_READ_STEP)) << "the queued timers stop ran";
}

TEST_F(AnlSendThreadTest, APollReadsThePowerWhileTheLinkIsOnAndTheAutoInformationWhilePowered) {
    const auto poll = [&](int autoInfo, int power) {
        Trx_ShadowGuard().setAutoInfo(autoInfo);
        Trx_ShadowGuard().setPowerState(power);
        return settled({UWM_CMD_POLL});
    };
    EXPECT_EQ(poll(0, 1), Texts{});
    EXPECT_EQ(poll(1, 0), Texts{"PS;"});
    EXPECT_EQ(poll(1, 1), (Texts{"PS;", "PS;", "AI;"}));
}

TEST_F(AnlSendThreadTest, StartupReadSendsTwentySevenReadsThenThePowerReadAndAStartGoesBackToStepZero) {
    settled({UWM_CMD_READ_START});
    EXPECT_TRUE(TimerService().isRunning(TIMER_READ_STEP));
    // The order of the reads is the connection test's.
    const Texts commands = settled({UWM_CMD_READ_STEP, UWM_CMD_READ_STEP, UWM_CMD_READ_STEP, UWM_CMD_READ_STEP});
    ASSERT_EQ(commands.size(), 28u);
    EXPECT_EQ(commands[0] + commands[26] + commands[27], "PE000;PE222;PS;");
    EXPECT_FALSE(TimerService().isRunning(TIMER_READ_STEP));
    EXPECT_TRUE(TimerService().isRunning(TIMER_STANDBY));

    // A tick that was already queued when the timer stopped runs as step 0.
    EXPECT_EQ(settled({UWM_CMD_READ_STEP}).size(), 28u);
    EXPECT_FALSE(TimerService().isRunning(TIMER_READ_STEP));
    // The sequence then stands at step 1: the next tick sends the reads again.
    EXPECT_EQ(settled({UWM_CMD_READ_STEP}).size(), 55u);

    // A start while the reads run goes back to step 0: steps 0 to 2 send only the reads.
    EXPECT_EQ(settled({UWM_CMD_READ_START, UWM_CMD_READ_STEP, UWM_CMD_READ_STEP}).size(), 82u);
    EXPECT_EQ(settled({UWM_CMD_READ_START, UWM_CMD_READ_STEP, UWM_CMD_READ_STEP, UWM_CMD_READ_STEP}).size(), 109u);
    EXPECT_TRUE(TimerService().isRunning(TIMER_READ_STEP));
    settled({UWM_CMD_TIMERS_STOP});
    EXPECT_FALSE(TimerService().isRunning(TIMER_READ_STEP));
}

}  // namespace
}  // namespace tqm

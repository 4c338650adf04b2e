#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/sio_queue.h"
#include "platform/thread_directory.h"
#include "platform/timer_service.h"
#include "protocol/anl_recv.h"
#include "protocol/link_flags.h"
#include "protocol/menu_item_record.h"
#include "protocol/protocol_messages.h"
#include "protocol/reply_dispatch.h"
#include "protocol/trx_state.h"
#include "tests/protocol/link_event_log.h"
#include "tests/protocol/reply_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/recording_window.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;

using test::menuItem;
using test::stateSnapshot;

double menuValue(std::int32_t n) {
    double value = -1.0;
    EXPECT_TRUE(Trx_StateGuard().readMenuValue(n, value));
    return value;
}

class AnlRecvThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        TimerService().reset();
        test::resetLinkState();
        SioReceiveQueue().reset();
        m_log = test::LinkEventLog::install(m_window);
        ASSERT_TRUE(Anl_Recv().start());
    }

    void TearDown() override {
        EXPECT_TRUE(Anl_Recv().stop());
        test::LinkEventLog::uninstall(m_window, m_log);
        ThreadDirectory().detach(WorkerRole::AnlRecv);
        TimerService().reset();
    }

    // Queues the reply as the receive thread does and asks the thread to take it.
    static void deliver(const std::string& reply) {
        ASSERT_EQ(SioReceiveQueue().push(reply.size(), reply.data()), static_cast<std::int16_t>(reply.size()));
        ASSERT_TRUE(Anl_Recv().postReply());
    }

    // Delivers the replies followed by an "LM" marker and waits for the marker's
    // notification: replies are handled in order, so everything before it is done.
    // Returns what the window received for the replies, the marker left out.
    std::vector<MessageId> deliverAll(const std::vector<std::string>& replies) {
        m_window.clear();
        std::size_t markers = 1;
        for (const std::string& reply : replies) {
            deliver(reply);
            if (reply.rfind("LM", 0) == 0) ++markers;
        }
        deliver("LM0");
        EXPECT_TRUE(m_window.waitFor(UWM_REPLY_LM, markers));
        std::vector<MessageId> ids = m_window.ids();
        EXPECT_FALSE(ids.empty());
        if (!ids.empty() && ids.back() == UWM_REPLY_LM) ids.pop_back();
        return ids;
    }

    test::RecordingWindow m_window;
    std::shared_ptr<test::LinkEventLog> m_log;
};

TEST_F(AnlRecvThreadTest, DispatchStoresAndPostsInOrderAndUnknownRepliesChangeNothing) {
    const auto before = stateSnapshot();
    EXPECT_FALSE(TimerService().isRunning(REPLY_TIMER_ID)) << "no reply dispatched yet";
    ASSERT_TRUE(Anl_Recv().postReply()) << "a request with an empty queue dispatches an empty record";
    EXPECT_TRUE(deliverAll({"ZZ0", "CW1", "zz", "E"}).empty());
    EXPECT_TRUE(test::waitUntil([] { return TimerService().isRunning(REPLY_TIMER_ID); }, 5s))
        << "the watchdog runs after every dispatch";
    EXPECT_EQ(deliverAll({"PB12", "LM12"}), (std::vector<MessageId>{UWM_REPLY_PB, UWM_REPLY_LM}));
    EXPECT_EQ(stateSnapshot(), before);

    const auto ids = deliverAll({"PE111-03", "RT1", "PE300004", "RT5", "RTx", "PE000012", "KS060"});
    EXPECT_EQ(ids, (std::vector<MessageId>{UWM_REPLY_PE, UWM_REPLY_RT, UWM_REPLY_RT, UWM_REPLY_PE, UWM_REPLY_KS}))
        << "malformed replies post nothing; out-of-range values still post";
    Trx_StateGuard state;
    EXPECT_EQ(state.getPeq(1, 1, PeqParam::Level), -3);
    EXPECT_EQ(state.getPeq(0, 0, PeqParam::Freq), 0);
    EXPECT_EQ(state.get(StateField::Rt), 1);
    EXPECT_EQ(state.get(StateField::Ks), 60);
}

TEST_F(AnlRecvThreadTest, MenuValuePostsOnlyWhenItChangesAndReadsAsDecimalOrBitField) {
    Trx_StateGuard state;
    const MenuItemRecord items[] = {menuItem(1, 1, 1), menuItem(2, 0, 1), menuItem(31, 3, 4),
                                    menuItem(122, 15, MENU_FORMAT_BIT_FIELD)};
    for (const MenuItemRecord& item : items) ASSERT_TRUE(state.storeMenuRecord(item.number, &item));

    EXPECT_EQ(deliverAll({"EX0011"}), std::vector<MessageId>{UWM_REPLY_EX});
    EXPECT_EQ(menuValue(1), 1.0);
    EXPECT_TRUE(deliverAll({"EX0011"}).empty()) << "the same value again posts nothing";
    const auto before = stateSnapshot();
    EXPECT_TRUE(deliverAll({"EX0001", "EX1371", "EXabc1", "EX0021"}).empty())
        << "numbers 0 and menuCount + 1, a malformed number, an item without a width";
    EXPECT_EQ(stateSnapshot(), before);
    EXPECT_EQ(menuValue(1), 1.0);

    EXPECT_EQ(deliverAll({"EX1221x1111111111111"}), std::vector<MessageId>{UWM_REPLY_EX});
    EXPECT_EQ(menuValue(122), 4096.0 + 2047.0) << "only '1' counts, and only in the first 13 places";
    deliverAll({"EX031-12"});
    EXPECT_EQ(menuValue(31), -12.0);
    deliverAll({"EX0314x5"});
    EXPECT_EQ(menuValue(31), 4.0) << "the conversion stops at the first character that does not fit";
    // Only a plain decimal number counts: "NAN", "INF", hexadecimal and exponents read as far as they fit.
    EXPECT_EQ(deliverAll({"EX031NAN", "EX031NAN", "EX0310X1", "EX031INF"}), std::vector<MessageId>{UWM_REPLY_EX});
    EXPECT_EQ(menuValue(31), 0.0);
    deliverAll({"EX0311E2"});
    EXPECT_EQ(menuValue(31), 1.0);
}

TEST_F(AnlRecvThreadTest, LinkLossEndsWithTheAiNotificationAfterTheMeterResets) {
    Trx_StateGuard state;
    state.set(StateField::Rm, 120);
    state.set(StateField::Sm2, 200);
    LinkFlags().setAiOnSent(1);

    ASSERT_TRUE(Anl_Recv().signalLinkLost());
    ASSERT_TRUE(m_window.waitFor(UWM_REPLY_AI, 1));
    EXPECT_EQ(m_window.ids(), (std::vector<MessageId>{UWM_REPLY_RM, UWM_REPLY_SM, UWM_REPLY_AI}));
    std::vector<MessageId> requests;
    for (const auto& event : m_log->take()) {
        if (event.to == test::LinkEventLog::To::CommandThread) requests.push_back(event.id);
    }
    EXPECT_EQ(requests, (std::vector<MessageId>{UWM_CMD_TIMERS_STOP, UWM_CMD_TIMERS_STOP}))
        << "one stop from the link loss, one from the AI parser's link-down branch; no toggle";
    EXPECT_EQ(LinkFlags().aiOnSent(), 0);
    EXPECT_EQ(state.get(StateField::Rm), 0);
    EXPECT_EQ(state.get(StateField::Sm2), 0);
    EXPECT_EQ(state.get(StateField::AutoInfo), 0);
    EXPECT_FALSE(TimerService().isRunning(REPLY_TIMER_ID)) << "link loss leaves the watchdog alone";
}

TEST_F(AnlRecvThreadTest, WatchdogFiresOnlyWhenRepliesStop) {
    std::atomic<int> fired{0};
    TimerService().setHandler(REPLY_TIMER_ID, [&] { fired.fetch_add(1); });
    // Replies less than 3 s apart for 4 s keep the watchdog from firing.
    const auto streamEnd = std::chrono::steady_clock::now() + 4s;
    while (std::chrono::steady_clock::now() < streamEnd) {
        deliverAll({"RT0"});
        std::this_thread::sleep_for(250ms);
    }
    EXPECT_EQ(fired.load(), 0);
    // Silence: it fires, and keeps firing, until the next reply.
    EXPECT_TRUE(test::waitUntil([&] { return fired.load() >= 2; }, 20s));
    TimerService().setHandler(REPLY_TIMER_ID, nullptr);
}

}  // namespace
}  // namespace tqm

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "menulist/default_menu_list.h"
#include "platform/sio_queue.h"
#include "platform/thread_directory.h"
#include "platform/timer_service.h"
#include "protocol/link_flags.h"
#include "protocol/menu_item_record.h"
#include "protocol/protocol_messages.h"
#include "protocol/trx_state.h"
#include "serial/sio_port.h"
#include "serial/sio_recv_thread.h"
#include "serial/sio_thread_proxies.h"
#include "tests/serial/serial_fixture.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

bool eventually(const std::function<bool()>& condition) { return test::waitUntil(condition, 5000ms); }

class SerialThreadsTest : public test::SerialLinkTest {
protected:
    void SetUp() override {
        SerialLinkTest::SetUp();
        ASSERT_TRUE(SioRecvThreadProxy().start());
        ASSERT_TRUE(SioSendThreadProxy().start());
    }
    void TearDown() override {
        SioRecvThreadProxy().stop();
        SioSendThreadProxy().stop();
        TimerService().reset();
        SerialLinkTest::TearDown();
    }

    // Blocks until the receive thread has handled at least count more polls.
    static void waitPolls(unsigned long count) {
        auto receiver = ThreadDirectory().find(WorkerRole::SioRecv);
        for (unsigned long i = 0; i < count; ++i) ASSERT_TRUE(receiver->post(UWM_SIO_POLL));
        ASSERT_TRUE(eventually([&] { return receiver->pendingCount() == 0; }));
    }
    static void send(const std::string& command) {
        ASSERT_GT(SioSendQueue().push(command.size(), command.data()), 0);
        ASSERT_TRUE(ThreadDirectory().post(WorkerRole::SioSend, UWM_SIO_SEND));
    }
    void openAndDrain() {
        ASSERT_TRUE(Sio_Port().open());
        ASSERT_EQ(m_peer->readAtLeast(4), "AI0;");
    }
};

TEST_F(SerialThreadsTest, AReplyInTwoPiecesIsDeliveredOnceAndRepliesAreCutBehindLineNoise) {
    openAndDrain();
    LinkFlags().setReplyPending(1);
    ASSERT_TRUE(m_peer->write("FA142"));
    waitPolls(4);
    EXPECT_TRUE(m_collector->texts().empty());
    EXPECT_EQ(LinkFlags().replyPending(), 1) << "nothing delivered yet";
    ASSERT_TRUE(m_peer->write("50000;"));
    ASSERT_TRUE(m_collector->waitCount(1));
    EXPECT_EQ(LinkFlags().replyPending(), 0);

    const std::string oversized = "ZZ" + std::string(600, '7') + ";";
    ASSERT_TRUE(m_peer->write("\r\nID4700;ZZ123;PS12;AI1;" + oversized + "KMHELLO;"));
    ASSERT_TRUE(m_collector->waitCount(5));
    waitPolls(4);
    EXPECT_EQ(m_collector->texts(), (Texts{"FA14250000", "ID4700", "ZZ123", "AI1", "KMHELLO"}))
        << "PS12 has no ';' where it should end; a reply of 512 bytes or more is removed, not queued";
}

TEST_F(SerialThreadsTest, MenuRepliesFollowTheMenuListAndTheModelCode) {
    Trx_StateGuard state;
    ASSERT_TRUE(state.set(StateField::MenuCount, kDefaultMenuItemCount));
    MenuItemRecord record{};
    ASSERT_TRUE(defaultMenuItem(126, record));
    ASSERT_EQ(record.formatCode, MENU_FORMAT_EQ2_FREQ);
    ASSERT_TRUE(state.storeMenuRecord(126, &record));
    const auto width = static_cast<std::size_t>(record.parameterLength);
    openAndDrain();

    ASSERT_TRUE(m_peer->write("EX126" + std::string(width - 1, '3') + ";"));  // model code 0: one shorter
    ASSERT_TRUE(m_collector->waitCount(1));
    ASSERT_TRUE(state.set(StateField::ModelCode, 1));
    ASSERT_TRUE(m_peer->write("EX126" + std::string(width, '4') + ";EX000;PS1;"));
    ASSERT_TRUE(m_collector->waitCount(3));
    EXPECT_EQ(m_collector->texts(), (Texts{"EX126" + std::string(width - 1, '3'), "EX126" + std::string(width, '4'), "PS1"}));
}

TEST_F(SerialThreadsTest, NothingMovesUntilTheMenuListIsReady) {
    openAndDrain();
    Trx_StateGuard().setMenuListReady(0);
    ASSERT_TRUE(m_peer->write("PS1;"));
    send("PS;");
    waitPolls(5);
    auto sender = ThreadDirectory().find(WorkerRole::SioSend);
    ASSERT_TRUE(eventually([&] { return sender->pendingCount() == 0; }));
    EXPECT_EQ(m_peer->readFor(100ms), "") << "nothing written";
    EXPECT_TRUE(m_collector->texts().empty()) << "nothing read";
    EXPECT_EQ(SioSendQueue().size(), 1u) << "the command stays queued";

    Trx_StateGuard().setMenuListReady(1);
    ASSERT_TRUE(m_collector->waitCount(1));
    EXPECT_EQ(m_collector->texts(), Texts{"PS1"}) << "left in the driver, read now";
    ASSERT_TRUE(ThreadDirectory().post(WorkerRole::SioSend, UWM_SIO_SEND));
    EXPECT_EQ(m_peer->readAtLeast(3), "PS;");
}

TEST_F(SerialThreadsTest, ASendOnAClosedPortOpensItAndTracksAutoInformation) {
    Trx_ShadowGuard().setAutoInfo(1);
    send("AI1;");
    EXPECT_EQ(m_peer->readAtLeast(8), "AI1;AI1;") << "the open writes first, then the command";
    ASSERT_TRUE(eventually([] { return LinkFlags().replyPending() == 1; }));
    EXPECT_EQ(LinkFlags().aiOnSent(), 1);
    send("AI0;");
    EXPECT_EQ(m_peer->readAtLeast(4), "AI0;") << "no second open";
    ASSERT_TRUE(eventually([] { return LinkFlags().aiOnSent() == 0; }));
    send("ID;");
    EXPECT_EQ(m_peer->readAtLeast(3), "ID;");
    EXPECT_EQ(LinkFlags().aiOnSent(), 0) << "other commands leave it";
}

}  // namespace
}  // namespace tqm

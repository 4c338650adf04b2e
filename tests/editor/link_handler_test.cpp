#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/command_sink.h"
#include "editor/equalizer_model.h"
#include "editor/link_handler.h"
#include "editor/notice_table.h"
#include "editor/reply_watchdog.h"
#include "platform/thread_directory.h"
#include "protocol/link_flags.h"
#include "protocol/protocol_messages.h"
#include "protocol/trx_state.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "tests/support/command_thread_recorder.h"
#include "tests/support/recording_sink.h"
#include "tests/support/recording_window.h"

namespace tqm {
namespace {

// Records what the link handling asks of the window, as one ordered list of words.
class FakeLinkView final : public LinkView {
public:
    void runConnectingBox() override {
        log.push_back("box-open");
        if (whileBoxOpen) whileBoxOpen();
    }
    void closeConnectingBox() override { log.push_back("box-close"); }
    void showNotice(int stringId) override {
        log.push_back("notice-" + std::to_string(stringId));
        if (whileNoticeOpen) whileNoticeOpen();
    }
    void setLamp(bool on) override { log.push_back(on ? "lamp-on" : "lamp-off"); }
    void startConnectTimer() override { log.push_back("connect-timer-on"); }
    void stopConnectTimer() override { log.push_back("connect-timer-off"); }
    void startPoll() override { log.push_back("poll-on"); }
    void stopPoll() override { log.push_back("poll-off"); }
    void drawEmptyGraph() override { log.push_back("graph-empty"); }
    void showGraph() override { log.push_back("graph"); }
    void scheduleRepaint() override { log.push_back("repaint"); }
    void pause(std::chrono::milliseconds) override {}

    std::vector<std::string> log;
    std::function<void()> whileBoxOpen;
    std::function<void()> whileNoticeOpen;
};

class LinkHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Trx_StateGuard().initialise();
        LinkFlags().reset();
        // One recorder stands in for the command thread and the reply thread.
        ASSERT_TRUE(ThreadDirectory().startAs(WorkerRole::AnlSend, m_thread));
        ThreadDirectory().attach(WorkerRole::AnlRecv, m_thread);
        model.reloadFromState();  // as the window's initialisation does
    }
    void TearDown() override {
        PortMap().reset();
        Sio_Port().initialise();
        ThreadDirectory().stop(WorkerRole::AnlSend);
        ThreadDirectory().detach(WorkerRole::AnlSend);
        ThreadDirectory().detach(WorkerRole::AnlRecv);
    }

    // Toggles handled so far: a marker posted behind them shows when all are in.
    std::size_t toggles() {
        ThreadDirectory().post(WorkerRole::AnlSend, UWM_CMD_FLUSH);
        EXPECT_TRUE(m_thread->waitFor(UWM_CMD_FLUSH, ++m_markers));
        return m_thread->count(UWM_CMD_LINK_TOGGLE);
    }

    // COM, then the transceiver's power reply switches auto information on; with
    // `identify` its ID reply follows and the handler is Connected.
    void comAndPowerOn(bool identify) {
        view.whileBoxOpen = [this, identify] {
            Trx_StateGuard().set(StateField::AutoInfo, 1);
            handler.onPowerOn();
            if (!identify) return;
            Trx_StateGuard().set(StateField::ModelCode, 1);
            handler.onReplyId();
        };
        handler.onComAction();
        view.whileBoxOpen = nullptr;
        view.log.clear();
    }
    void connect() { comAndPowerOn(true); }

    test::RecordingSink sink;
    FakeLinkView view;
    EqualizerModel model{sink};
    LinkHandler handler{model, view};
    std::shared_ptr<test::CommandThreadRecorder> m_thread = std::make_shared<test::CommandThreadRecorder>();
    std::size_t m_markers = 0;
};

TEST_F(LinkHandlerTest, ComWithAutoInfoOffOpensTheConnectingBoxUntilPowerOn) {
    Trx_StateGuard().set(StateField::ModelCode, 5);
    view.whileBoxOpen = [this] {
        EXPECT_TRUE(handler.connectingShown());
        EXPECT_TRUE(handler.connectRequested());
        EXPECT_EQ(model.pendingReplies(), 27);
        handler.onPowerOn();
    };
    handler.onComAction();
    EXPECT_EQ(toggles(), 1u);
    EXPECT_EQ(Trx_StateGuard().get(StateField::ModelCode), 0) << "cleared when not connected";
    EXPECT_EQ(view.log, (std::vector<std::string>{"graph-empty", "connect-timer-on", "box-open", "connect-timer-off", "box-close"}));
    EXPECT_FALSE(handler.connectingShown());
    EXPECT_TRUE(handler.connectRequested()) << "waiting for the identification";
    EXPECT_FALSE(model.connected());
}

TEST_F(LinkHandlerTest, IdentificationConnectsAndTheTwentySeventhPeReplyReloads) {
    connect();
    EXPECT_TRUE(model.connected());
    EXPECT_FALSE(handler.connectRequested());

    Trx_StateGuard state;
    state.setPeq(1, 0, PeqParam::Level, -7);
    for (int i = 0; i < 26; ++i) handler.onReplyPe();
    EXPECT_EQ(model.pendingReplies(), 1);
    EXPECT_EQ(model.shown(1).get(0, PeqParam::Level), 5) << "display unchanged before the last reply";
    EXPECT_TRUE(view.log.empty());
    handler.onReplyPe();
    EXPECT_EQ(model.pendingReplies(), 0);
    EXPECT_EQ(model.shown(1).get(0, PeqParam::Level), -7);
    EXPECT_EQ(model.reference(1).get(0, PeqParam::Level), -7);
    EXPECT_EQ(view.log, (std::vector<std::string>{"graph"}));
}

TEST_F(LinkHandlerTest, ComIsIgnoredWhileRepliesArePendingAndAnUnrequestedIdTogglesTheLinkOff) {
    model.setPendingReplies(3);
    handler.onComAction();
    EXPECT_EQ(toggles(), 0u);
    model.setPendingReplies(0);
    Trx_StateGuard().set(StateField::AutoInfo, 1);
    handler.onComAction();
    EXPECT_EQ(toggles(), 1u);
    EXPECT_TRUE(view.log.empty()) << "no connecting box";
    // An identification nobody asked for switches the link off again.
    Trx_StateGuard().set(StateField::ModelCode, 1);
    handler.onReplyId();
    EXPECT_EQ(toggles(), 2u);
    EXPECT_FALSE(model.connected());
}

TEST_F(LinkHandlerTest, TheConnectTimeOutOrAPowerReplyWithoutModelCodeShowsTheFailureAndResets) {
    view.whileBoxOpen = [this] { handler.onConnectTimer(); };
    handler.onComAction();
    EXPECT_EQ(view.log, (std::vector<std::string>{"graph-empty", "connect-timer-on", "box-open", "connect-timer-off",
                                                  "box-close", "notice-111", "repaint"}));
    EXPECT_FALSE(handler.connectRequested());
    EXPECT_EQ(model.pendingReplies(), 0);
    view.log.clear();
    handler.onConnectTimer();
    EXPECT_TRUE(view.log.empty()) << "a late tick does nothing";

    comAndPowerOn(false);
    handler.onReplyPs();
    EXPECT_EQ(toggles(), 3u);
    EXPECT_EQ(view.log, (std::vector<std::string>{"notice-111", "repaint", "repaint"}));
    EXPECT_EQ(model.pendingReplies(), 0);
    EXPECT_FALSE(handler.connectRequested());
}

TEST_F(LinkHandlerTest, LinkLossBeforeTheIdentificationLeavesNothingThatBlocksCom) {
    comAndPowerOn(false);
    // The watchdog's loss comes before the ID reply.
    Trx_StateGuard().set(StateField::AutoInfo, 0);
    handler.onReplyAi();
    EXPECT_EQ(model.pendingReplies(), 0);
    EXPECT_FALSE(handler.connectRequested());
    EXPECT_FALSE(model.connected());
    handler.onComAction();
    EXPECT_EQ(toggles(), 2u) << "COM works again";
    EXPECT_TRUE(handler.connectRequested());
}

TEST_F(LinkHandlerTest, OnlyTheUnforcedNoticeHoldsThePortClosedAndASecondOneIsNotShownButResets) {
    std::vector<bool> portHeld;
    view.whileNoticeOpen = [&] {
        portHeld.push_back(Sio_Port().noticeBoxShown());
        if (portHeld.size() != 2) return;
        // COM is pressed while the port notice is up, and its open fails again.
        handler.onComAction();
        handler.onComFailed(false, kNoticePortOpen);
        EXPECT_FALSE(handler.connectRequested());
        EXPECT_EQ(model.pendingReplies(), 0);
    };
    handler.onComFailed(true, kNoticeConnectFailed);
    handler.onComFailed(false, kNoticePortOpen);
    EXPECT_EQ(view.log, (std::vector<std::string>{"notice-111", "repaint", "notice-106", "graph-empty",
                                                  "connect-timer-on", "box-open", "repaint", "repaint"}));
    EXPECT_EQ(portHeld, (std::vector<bool>{false, true}));
    EXPECT_FALSE(Sio_Port().noticeBoxShown());
}

TEST_F(LinkHandlerTest, ComLetsTheNextFailedPortOpenTellTheWindowAgain) {
    test::RecordingWindow window;
    Sio_Port().initialise();
    ASSERT_TRUE(PortMap().setOverride(1, "/dev/tqm-no-such-device"));
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(Sio_Port().open());
    EXPECT_EQ(window.count(UWM_COM_FAILED), 1u) << "one notice per loss of the port";
    handler.onComAction();
    EXPECT_FALSE(Sio_Port().open());
    EXPECT_EQ(window.count(UWM_COM_FAILED), 2u);
}

TEST_F(LinkHandlerTest, ConnectedPeRedrawsOnlyOnChangeAndAutoInfoOffTakesTheWindowOffline) {
    connect();
    model.setPendingReplies(0);
    handler.onReplyPe();
    EXPECT_TRUE(view.log.empty());
    Trx_StateGuard().setPeq(0, 2, PeqParam::Bwth, 3);
    handler.onReplyPe();
    EXPECT_EQ(view.log, (std::vector<std::string>{"graph"}));
    EXPECT_EQ(model.shown(0).get(2, PeqParam::Bwth), 3);

    view.log.clear();
    Trx_StateGuard().set(StateField::AutoInfo, 0);
    handler.onReplyAi();
    EXPECT_EQ(view.log, (std::vector<std::string>{"lamp-off", "poll-off"}));
    EXPECT_FALSE(model.connected());
    EXPECT_EQ(Trx_StateGuard().get(StateField::ModelCode), 0);
    view.log.clear();
    Trx_StateGuard().setPeq(0, 2, PeqParam::Bwth, 4);
    handler.onReplyPe();
    EXPECT_TRUE(view.log.empty()) << "PE while offline changes nothing";
}

TEST_F(LinkHandlerTest, WatchdogReportsLossOnlyForSilenceOrAFailedLine) {
    ReplyWatchdog watchdog;
    LinkFlags flags;
    flags.setReplyPending(1);
    EXPECT_FALSE(watchdog.tick({true, 5, 0})) << "input is waiting";
    EXPECT_EQ(flags.replyPending(), 0);
    EXPECT_FALSE(watchdog.tick({true, 0, 0})) << "nothing outstanding, line good";
    flags.setReplyPending(1);
    EXPECT_TRUE(watchdog.tick({true, 0, 0}));
    EXPECT_TRUE(watchdog.tick({false, 0, 0})) << "port closed";
    EXPECT_TRUE(watchdog.tick({true, 0, 0x40}));
    EXPECT_FALSE(watchdog.tick({true, 0, 0x01}));
    ASSERT_TRUE(m_thread->waitFor(UWM_ANL_LINK_LOST, 3));
    toggles();
    EXPECT_EQ(m_thread->count(UWM_ANL_LINK_LOST), 3u);
}

}  // namespace
}  // namespace tqm

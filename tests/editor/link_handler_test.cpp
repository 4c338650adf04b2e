#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "editor/command_sink.h"
#include "editor/equalizer_model.h"
#include "editor/link_handler.h"
#include "editor/notice_table.h"
#include "editor/reply_watchdog.h"
#include "editor/send_queue_sink.h"
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

using Words = std::vector<std::string>;

// Records what the link handling asks of the window, as one ordered list of words.
class FakeLinkView final : public LinkView {
public:
    void runConnectingBox() override { note("box-open", whileBoxOpen); }
    void closeConnectingBox() override { note("box-close"); }
    void showNotice(int stringId) override { note("notice-" + std::to_string(stringId), whileNoticeOpen); }
    void setLamp(bool on) override { note(on ? "lamp-on" : "lamp-off"); }
    void startConnectTimer() override { note("connect-timer-on"); }
    void stopConnectTimer() override { note("connect-timer-off"); }
    void startPoll() override { note("poll-on"); }
    void stopPoll() override { note("poll-off"); }
    void drawEmptyGraph() override { note("graph-empty"); }
    void showGraph() override { note("graph"); }
    void scheduleRepaint() override { note("repaint"); }
    void pause(std::chrono::milliseconds) override {}

    std::vector<std::string> log;
    std::function<void()> whileBoxOpen;
    std::function<void()> whileNoticeOpen;

private:
    void note(std::string word, const std::function<void()>& then = {}) {
        log.push_back(std::move(word));
        if (then) then();
    }
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
        for (const WorkerRole role : {WorkerRole::AnlSend, WorkerRole::AnlRecv}) ThreadDirectory().detach(role);
        SendQueueSink::setPushHook(nullptr);
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
        EXPECT_TRUE(handler.connectingShown() && handler.connectRequested() && model.pendingReplies() == 27);
        handler.onPowerOn();
    };
    handler.onComAction();
    EXPECT_TRUE(toggles() == 1u && Trx_StateGuard().get(StateField::ModelCode) == 0) << "cleared when not connected";
    EXPECT_EQ(view.log, (Words{"graph-empty", "connect-timer-on", "box-open", "connect-timer-off", "box-close"}));
    EXPECT_TRUE(!handler.connectingShown() && handler.connectRequested() && !model.connected()) << "waiting for ID";
}

TEST_F(LinkHandlerTest, IdentificationConnectsTheTwentySeventhPeReplyReloadsAndAutoInfoOffTakesTheWindowOffline) {
    comAndPowerOn(true);
    EXPECT_TRUE(model.connected() && !handler.connectRequested());
    Trx_StateGuard().setPeq(1, 0, PeqParam::Level, -7);
    for (int i = 0; i < 26; ++i) handler.onReplyPe();
    EXPECT_TRUE(model.pendingReplies() == 1 && model.shown(1).get(0, PeqParam::Level) == 5 && view.log.empty())
        << "display unchanged before the last reply";
    handler.onReplyPe();
    EXPECT_TRUE(model.pendingReplies() == 0 && model.shown(1).get(0, PeqParam::Level) == -7 &&
                model.reference(1).get(0, PeqParam::Level) == -7);
    EXPECT_EQ(view.log, (Words{"graph"}));
    view.log.clear();  // connected, a PE reply redraws only when a value changed
    handler.onReplyPe();
    EXPECT_TRUE(view.log.empty());
    Trx_StateGuard().setPeq(0, 2, PeqParam::Bwth, 3);
    handler.onReplyPe();
    EXPECT_TRUE(view.log == Words{"graph"} && model.shown(0).get(2, PeqParam::Bwth) == 3);

    view.log.clear();
    Trx_StateGuard().set(StateField::AutoInfo, 0);
    handler.onReplyAi();
    EXPECT_TRUE(view.log == Words({"lamp-off", "poll-off"}) && !model.connected() &&
                Trx_StateGuard().get(StateField::ModelCode) == 0);
    view.log.clear();
    Trx_StateGuard().setPeq(0, 2, PeqParam::Bwth, 4);
    handler.onReplyPe();
    EXPECT_TRUE(view.log.empty()) << "PE while offline changes nothing";
}

TEST_F(LinkHandlerTest, ComIsIgnoredOnlyWhileRepliesArePendingAndAnUnrequestedIdOrALossEndsTheAttempt) {
    model.setPendingReplies(3);
    handler.onComAction();
    ASSERT_EQ(toggles(), 0u);
    model.setPendingReplies(0);
    Trx_StateGuard().set(StateField::AutoInfo, 1);
    handler.onComAction();
    EXPECT_TRUE(toggles() == 1u && view.log.empty()) << "no connecting box";
    Trx_StateGuard().set(StateField::ModelCode, 1);
    handler.onReplyId();
    EXPECT_TRUE(toggles() == 2u && !model.connected()) << "an identification nobody asked for ends the link";

    comAndPowerOn(false);  // the watchdog's loss comes before the ID reply
    Trx_StateGuard().set(StateField::AutoInfo, 0);
    handler.onReplyAi();
    EXPECT_TRUE(!handler.connectRequested() && model.pendingReplies() == 0 && !model.connected());
    handler.onComAction();
    EXPECT_TRUE(toggles() == 4u && handler.connectRequested()) << "COM works again";
}

TEST_F(LinkHandlerTest, TheConnectTimeOutOrAPowerReplyWithoutModelCodeShowsTheFailureAndResets) {
    view.whileBoxOpen = [this] { handler.onConnectTimer(); };
    handler.onComAction();
    EXPECT_EQ(view.log, (Words{"graph-empty", "connect-timer-on", "box-open", "connect-timer-off", "box-close",
                               "notice-111", "repaint"}));
    EXPECT_TRUE(!handler.connectRequested() && model.pendingReplies() == 0);
    view.log.clear();
    handler.onConnectTimer();
    EXPECT_TRUE(view.log.empty()) << "a late tick does nothing";

    comAndPowerOn(false);
    handler.onReplyPs();
    EXPECT_EQ(view.log, (Words{"notice-111", "repaint", "repaint"}));
    EXPECT_TRUE(toggles() == 3u && !handler.connectRequested() && model.pendingReplies() == 0);
}

TEST_F(LinkHandlerTest, OnlyTheUnforcedNoticeHoldsThePortClosedAndASecondOneIsNotShownButResets) {
    std::vector<bool> portHeld;
    view.whileNoticeOpen = [&] {
        portHeld.push_back(Sio_Port().noticeBoxShown());
        if (portHeld.size() != 2) return;
        // COM is pressed while the port notice is up, and its open fails again.
        handler.onComAction();
        handler.onComFailed(false, kNoticePortOpen);
        EXPECT_TRUE(!handler.connectRequested() && model.pendingReplies() == 0);
    };
    handler.onComFailed(true, kNoticeConnectFailed);
    handler.onComFailed(false, kNoticePortOpen);
    EXPECT_EQ(view.log, (Words{"notice-111", "repaint", "notice-106", "graph-empty", "connect-timer-on", "box-open",
                               "repaint", "repaint"}));
    EXPECT_TRUE(portHeld == std::vector<bool>({false, true}) && !Sio_Port().noticeBoxShown());
}

TEST_F(LinkHandlerTest, ComLetsTheNextFailedPortOpenTellTheWindowAgain) {
    test::RecordingWindow window;
    Sio_Port().initialise();
    ASSERT_TRUE(PortMap().setOverride(1, "/dev/tqm-no-such-device"));
    EXPECT_TRUE(!Sio_Port().open() && !Sio_Port().open() && window.count(UWM_COM_FAILED) == 1u);
    handler.onComAction();
    EXPECT_TRUE(!Sio_Port().open() && window.count(UWM_COM_FAILED) == 2u);
}

TEST_F(LinkHandlerTest, WatchdogReportsLossOnlyForSilenceOrAFailedLine) {
    ReplyWatchdog watchdog;
    LinkFlags flags;
    flags.setReplyPending(1);
    EXPECT_TRUE(!watchdog.tick({true, 5, 0}) && flags.replyPending() == 0) << "input is waiting";
    EXPECT_FALSE(watchdog.tick({true, 0, 0})) << "nothing outstanding, line good";
    flags.setReplyPending(1);
    EXPECT_TRUE(watchdog.tick({true, 0, 0}) && watchdog.tick({false, 0, 0}) && watchdog.tick({true, 0, 0x40}))
        << "silence, port closed, line failed";
    EXPECT_FALSE(watchdog.tick({true, 0, 0x01}));
    ASSERT_TRUE(m_thread->waitFor(UWM_ANL_LINK_LOST, 3));
    EXPECT_TRUE(toggles() == 0u && m_thread->count(UWM_ANL_LINK_LOST) == 3u) << "one loss for each";
}

std::vector<std::string> s_queued;
bool s_accept = true;

TEST_F(LinkHandlerTest, TheSendQueueSinkPushesThenAsksTheCommandThreadToFlushButNotForARefusedPush) {
    SendQueueSink queue;
    EXPECT_FALSE(queue.pushCommand("PE000;", 6)) << "no queue installed";
    SendQueueSink::setPushHook([](const char* bytes, std::size_t length) {
        if (s_accept) s_queued.emplace_back(bytes, length);
        return s_accept;
    });
    s_accept = false;
    EXPECT_FALSE(queue.pushCommand("PE000;", 6));
    s_accept = true;
    ASSERT_TRUE(queue.pushCommand("PE001+01;", 9) && queue.pushCommand("PE001;", 6));
    EXPECT_EQ(s_queued, (Words{"PE001+01;", "PE001;"}));
    // Requests arrive in order: once a marker posted last is in, every flush is.
    ASSERT_TRUE(ThreadDirectory().post(WorkerRole::AnlSend, UWM_CMD_POLL) && m_thread->waitFor(UWM_CMD_POLL));
    EXPECT_EQ(m_thread->ids(), (std::vector<MessageId>{UWM_CMD_FLUSH, UWM_CMD_FLUSH, UWM_CMD_POLL}));
}

}  // namespace
}  // namespace tqm

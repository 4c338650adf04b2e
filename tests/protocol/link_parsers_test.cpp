#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/link_flags.h"
#include "protocol/trx_state.h"
#include "tests/protocol/link_event_log.h"
#include "tests/protocol/reply_test_support.h"
#include "tests/support/recording_window.h"

namespace tqm {
namespace {

using test::parseAndNotify;
using test::toCommandThread;
using test::toWindow;
using Events = std::vector<test::LinkEventLog::Event>;

class LinkParsersTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::resetLinkState();
        m_window = std::make_unique<test::RecordingWindow>();
        m_log = test::LinkEventLog::install(*m_window);
    }
    void TearDown() override { closeWindow(); }

    void closeWindow() {
        if (!m_window) return;
        test::LinkEventLog::uninstall(*m_window, m_log);
        m_window.reset();
    }
    Events takeEvents() {
        m_window->clear();
        return m_log->take();
    }
    // Sets rm and sm2 to values the meter reset must clear.
    static void fillMeters() {
        ASSERT_TRUE(test::parseReply("RM0123"));
        ASSERT_TRUE(test::parseReply("SM1200"));
    }

    Trx_StateGuard m_state;
    Trx_ShadowGuard m_shadow;
    std::unique_ptr<test::RecordingWindow> m_window;
    std::shared_ptr<test::LinkEventLog> m_log;
};

TEST_F(LinkParsersTest, AutoInformationOnChecksIdentityThenPowersOnOnce) {
    ASSERT_TRUE(parseAndNotify("AI0"));
    takeEvents();

    EXPECT_TRUE(parseAndNotify("AI1"));
    const auto entries = m_window->entries();
    EXPECT_EQ(takeEvents(), (Events{toCommandThread(UWM_CMD_ID_CHECK), toWindow(UWM_POWER_ON), toWindow(UWM_REPLY_AI)}));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries[0].sent) << "UWM_POWER_ON is sent and waited for";
    EXPECT_EQ(m_state.get(StateField::AutoInfo), 1);
    EXPECT_EQ(m_shadow.autoInfo(), 1);

    EXPECT_TRUE(parseAndNotify("AI1"));
    EXPECT_EQ(takeEvents(), (Events{toWindow(UWM_REPLY_AI)}));
    EXPECT_FALSE(parseAndNotify("AIx"));
    EXPECT_EQ(takeEvents(), Events{}) << "malformed: nothing stored, nothing posted";
    EXPECT_TRUE(parseAndNotify("AI7"));
    EXPECT_EQ(takeEvents(), (Events{toWindow(UWM_REPLY_AI)})) << "out of range: only the notification";
    EXPECT_EQ(m_shadow.autoInfo(), 1);

    closeWindow();
    EXPECT_TRUE(test::parseReply("AI1")) << "with no window the power-on send does not wait";
}

TEST_F(LinkParsersTest, AutoInformationOffStopsTheReadsWithoutLinkAndAsksAgainWhileSwitchedOn) {
    fillMeters();
    EXPECT_TRUE(parseAndNotify("AI0"));
    EXPECT_EQ(takeEvents(), (Events{toCommandThread(UWM_CMD_TIMERS_STOP), toWindow(UWM_REPLY_RM),
                                    toWindow(UWM_REPLY_SM), toWindow(UWM_REPLY_AI)}));
    EXPECT_EQ(m_state.get(StateField::Rm), 0);
    EXPECT_EQ(m_state.get(StateField::Sm2), 0);

    ASSERT_TRUE(parseAndNotify("AI1"));
    LinkFlags().setAiOnSent(1);
    fillMeters();
    takeEvents();
    EXPECT_FALSE(parseAndNotify("AI0"));
    EXPECT_EQ(takeEvents(), (Events{toCommandThread(UWM_CMD_LINK_TOGGLE)}));
    EXPECT_EQ(m_shadow.autoInfo(), 0);
    EXPECT_EQ(m_state.get(StateField::Rm), 123) << "the meters stay";
}

TEST_F(LinkParsersTest, PowerOffAndOnFollowThePowerState) {
    ASSERT_TRUE(parseAndNotify("AI1"));
    ASSERT_TRUE(parseAndNotify("PS1"));
    takeEvents();
    fillMeters();

    EXPECT_TRUE(parseAndNotify("PS0"));
    EXPECT_EQ(takeEvents(), (Events{toWindow(UWM_REPLY_RM), toWindow(UWM_REPLY_SM),
                                    toCommandThread(UWM_CMD_TIMERS_STOP), toWindow(UWM_REPLY_PS)}));
    EXPECT_EQ(m_state.savedAutoInfo(), 1);
    EXPECT_EQ(m_state.get(StateField::Rm), 0);
    EXPECT_EQ(m_shadow.powerState(), 0);
    EXPECT_TRUE(parseAndNotify("PS0"));
    EXPECT_EQ(takeEvents(), (Events{toWindow(UWM_REPLY_PS)})) << "still off: only the notification";
    EXPECT_FALSE(parseAndNotify("PSx"));
    EXPECT_EQ(takeEvents(), Events{});

    EXPECT_TRUE(parseAndNotify("PS1"));
    EXPECT_EQ(takeEvents(), (Events{toCommandThread(UWM_CMD_LINK_TOGGLE), toWindow(UWM_REPLY_PS)}));
    EXPECT_EQ(m_state.aiRestorePending(), 1);
    EXPECT_EQ(m_shadow.autoInfo(), 0);
    EXPECT_EQ(m_shadow.powerState(), 1);

    // The restored auto information checks the identity although autoInfo was 1 already.
    EXPECT_TRUE(parseAndNotify("AI1"));
    EXPECT_EQ(takeEvents(), (Events{toCommandThread(UWM_CMD_ID_CHECK), toWindow(UWM_REPLY_AI)}));
    EXPECT_EQ(m_state.aiRestorePending(), 0);
}

TEST_F(LinkParsersTest, IdentificationStartsTheReadOnlyForTheModelCode) {
    EXPECT_FALSE(parseAndNotify("ID4700"));
    EXPECT_EQ(takeEvents(), (Events{toCommandThread(UWM_CMD_READ_START)}));
    EXPECT_EQ(m_state.get(StateField::ModelCode), 0);

    EXPECT_TRUE(parseAndNotify("ID4700123"));
    EXPECT_EQ(takeEvents(), (Events{toCommandThread(UWM_CMD_READ_START), toWindow(UWM_REPLY_ID)}));
    EXPECT_EQ(m_state.get(StateField::ModelCode), 123);

    EXPECT_TRUE(parseAndNotify("ID0123"));
    EXPECT_EQ(takeEvents(), (Events{toWindow(UWM_REPLY_ID)}));
    EXPECT_FALSE(parseAndNotify("ID47x0"));
    EXPECT_EQ(takeEvents(), Events{});
    EXPECT_EQ(m_state.get(StateField::ModelCode), 123) << "another model stores nothing";
}

TEST_F(LinkParsersTest, StandbyValueStartsTheStandbyTimerWhileStored) {
    EXPECT_TRUE(parseAndNotify("RS1"));
    EXPECT_EQ(takeEvents(), (Events{toWindow(UWM_REPLY_RS)}));
    EXPECT_TRUE(parseAndNotify("RS2"));
    EXPECT_EQ(takeEvents(), (Events{toCommandThread(UWM_CMD_STANDBY_START), toWindow(UWM_REPLY_RS)}));
    EXPECT_FALSE(parseAndNotify("RSx"));
    EXPECT_EQ(takeEvents(), (Events{toCommandThread(UWM_CMD_STANDBY_START)})) << "rs is still 2";
    EXPECT_TRUE(parseAndNotify("RS0"));
    EXPECT_EQ(takeEvents(), (Events{toWindow(UWM_REPLY_RS)}));
}

}  // namespace
}  // namespace tqm

#include <initializer_list>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "platform/timer_service.h"
#include "protocol/link_flags.h"
#include "protocol/trx_state.h"
#include "tests/protocol/protocol_fixture.h"
#include "tests/support/recording_window.h"

namespace tqm {
namespace {

using test::dispatch;
using Ids = std::vector<MessageId>;

// One reply, whether it is accepted, and what it makes the parser and the dispatch
// ask of the command thread and tell the main window, in order.
struct Step {
    const char* reply;
    bool accepted;
    Ids requests;
    Ids window;
};

class LinkParsersTest : public ::testing::Test {
protected:
    void SetUp() override { test::resetLinkState(); }
    void TearDown() override { TimerService().reset(); }

    void run(std::initializer_list<Step> steps) {
        for (const Step& step : steps) {
            SCOPED_TRACE(step.reply);
            EXPECT_EQ(dispatch(step.reply), step.accepted);
            EXPECT_EQ(m_commands.take(), step.requests);
            EXPECT_EQ(m_window->ids(), step.window);
            m_window->clear();
        }
    }
    // Sets rm and sm2 to values the meter reset must clear.
    void fillMeters() { run({{"RM0123", true, {}, {UWM_REPLY_RM}}, {"SM1200", true, {}, {UWM_REPLY_SM}}}); }

    Trx_StateGuard m_state;
    Trx_ShadowGuard m_shadow;
    test::CommandLog m_commands;
    std::unique_ptr<test::RecordingWindow> m_window = std::make_unique<test::RecordingWindow>();
};

TEST_F(LinkParsersTest, AutoInformationOnChecksIdentityThenPowersOnOnce) {
    ASSERT_TRUE(dispatch("AI0"));
    m_commands.take();
    m_window->clear();
    EXPECT_TRUE(dispatch("AI1"));
    EXPECT_EQ(m_commands.take(), Ids{UWM_CMD_ID_CHECK});
    EXPECT_EQ(m_window->ids(), (Ids{UWM_POWER_ON, UWM_REPLY_AI}));
    EXPECT_TRUE(m_window->entries().at(0).sent) << "UWM_POWER_ON is sent and waited for";
    m_window->clear();
    EXPECT_EQ(m_state.get(StateField::AutoInfo), 1);
    EXPECT_EQ(m_shadow.autoInfo(), 1);
    run({
        {"AI1", true, {}, {UWM_REPLY_AI}},
        {"AIx", false, {}, {}},               // malformed: nothing stored, nothing posted
        {"AI7", true, {}, {UWM_REPLY_AI}},  // out of range: only the notification
    });
    EXPECT_EQ(m_shadow.autoInfo(), 1);
    m_window.reset();
    EXPECT_TRUE(dispatch("AI1")) << "with no window the power-on send does not wait";
}

TEST_F(LinkParsersTest, AutoInformationOffStopsTheReadsWithoutLinkAndAsksAgainWhileSwitchedOn) {
    fillMeters();
    run({{"AI0", true, {UWM_CMD_TIMERS_STOP}, {UWM_REPLY_RM, UWM_REPLY_SM, UWM_REPLY_AI}}});
    EXPECT_EQ(m_state.get(StateField::Rm), 0);
    EXPECT_EQ(m_state.get(StateField::Sm2), 0);
    run({{"AI1", true, {UWM_CMD_ID_CHECK}, {UWM_POWER_ON, UWM_REPLY_AI}}});
    LinkFlags().setAiOnSent(1);
    fillMeters();
    run({{"AI0", false, {UWM_CMD_LINK_TOGGLE}, {}}});
    EXPECT_EQ(m_shadow.autoInfo(), 0);
    EXPECT_EQ(m_state.get(StateField::Rm), 123) << "the meters stay";
}

TEST_F(LinkParsersTest, PowerOffAndOnFollowThePowerState) {
    run({{"AI1", true, {UWM_CMD_ID_CHECK}, {UWM_POWER_ON, UWM_REPLY_AI}}, {"PS1", true, {}, {UWM_REPLY_PS}}});
    fillMeters();
    run({{"PS0", true, {UWM_CMD_TIMERS_STOP}, {UWM_REPLY_RM, UWM_REPLY_SM, UWM_REPLY_PS}}});
    EXPECT_EQ(m_state.savedAutoInfo(), 1);
    EXPECT_EQ(m_state.get(StateField::Rm), 0);
    EXPECT_EQ(m_shadow.powerState(), 0);
    run({
        {"PS0", true, {}, {UWM_REPLY_PS}},  // still off: only the notification
        {"PSx", false, {}, {}},
        {"PS1", true, {UWM_CMD_LINK_TOGGLE}, {UWM_REPLY_PS}},
    });
    EXPECT_EQ(m_state.aiRestorePending(), 1);
    EXPECT_EQ(m_shadow.autoInfo(), 0);
    EXPECT_EQ(m_shadow.powerState(), 1);
    // The restored auto information checks the identity although autoInfo was 1 already.
    run({{"AI1", true, {UWM_CMD_ID_CHECK}, {UWM_REPLY_AI}}});
    EXPECT_EQ(m_state.aiRestorePending(), 0);
}

TEST_F(LinkParsersTest, IdentificationStartsTheReadOnlyForTheModelCodeAndStandbyStartsItsTimer) {
    run({
        {"ID4700", false, {UWM_CMD_READ_START}, {}},
        {"ID4700123", true, {UWM_CMD_READ_START}, {UWM_REPLY_ID}},
        {"ID0123", true, {}, {UWM_REPLY_ID}},
        {"ID47x0", false, {}, {}},
    });
    EXPECT_EQ(m_state.get(StateField::ModelCode), 123) << "another model stores nothing";
    run({
        {"RS1", true, {}, {UWM_REPLY_RS}},
        {"RS2", true, {UWM_CMD_STANDBY_START}, {UWM_REPLY_RS}},
        {"RSx", false, {UWM_CMD_STANDBY_START}, {}},  // rs is still 2
        {"RS0", true, {}, {UWM_REPLY_RS}},
    });
}

}  // namespace
}  // namespace tqm

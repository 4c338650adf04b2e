#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/thread_directory.h"
#include "platform/timer_service.h"
#include "protocol/link_flags.h"
#include "protocol/menu_item_record.h"
#include "protocol/protocol_messages.h"
#include "protocol/reply_dispatch.h"
#include "protocol/reply_fields.h"
#include "protocol/trx_state.h"
#include "tests/support/command_thread_recorder.h"
#include "tests/support/recording_window.h"

namespace tqm::test {

// A clean transceiver picture: state initialised without a menu loader, shadow and
// link flags cleared.
inline void resetLinkState() {
    Trx_StateGuard::setMenuLoaderStart(nullptr);
    Trx_StateGuard().initialise();
    Trx_ShadowGuard().reset();
    LinkFlags().reset();
}

// Every bounded member (by StateField index), then every equalizer value: to compare
// the state before and after a reply.
inline std::vector<std::int32_t> stateSnapshot() {
    Trx_StateGuard state;
    std::vector<std::int32_t> values;
    for (int i = 0; i < static_cast<int>(StateField::Count); ++i) values.push_back(state.get(static_cast<StateField>(i)));
    for (int i = 0; i < kPeqSets * kPeqBands * kPeqParams; ++i) {
        values.push_back(state.getPeq(i / (kPeqBands * kPeqParams), i / kPeqParams % kPeqBands,
                                      static_cast<PeqParam>(i % kPeqParams)));
    }
    return values;
}

inline MenuItemRecord menuItem(std::int32_t number, std::int32_t length, std::int32_t format, double value = 0.0) {
    MenuItemRecord item{};
    std::tie(item.number, item.parameterLength, item.formatCode, item.value) = std::tuple(number, length, format,
                                                                                          value);
    return item;
}

// One dispatch of the reply analysis: true when the reply was accepted (and its
// notification posted).
inline bool dispatch(std::string_view text) { return dispatchReply(makeReplyRecord(text)); }

using Ids = std::vector<MessageId>;

// The layer's fixture: a clean link state, a recorder in the command thread's place
// and a recording main window.
class ProtocolTest : public ::testing::Test {
protected:
    // One reply, whether it is accepted, and what it makes the parser and the dispatch
    // ask of the command thread and tell the main window, in order.
    struct Step {
        const char* reply;
        bool accepted;
        Ids requests;
        Ids window;
    };
    // One reply on a fresh state: whether it is accepted, and every member that changes, to its value.
    struct Case {
        std::string_view reply;
        bool result;
        std::vector<std::pair<StateField, std::int32_t>> stored;
    };

    void SetUp() override { resetLinkState(); }
    void TearDown() override {
        TimerService().reset();
        Trx_StateGuard::setMenuLoaderStart(nullptr);
    }

    // The requests that arrived at the command thread since the last call, after every
    // request posted before this call has arrived.
    Ids takeCommands() {
        ThreadDirectory().post(WorkerRole::AnlSend, kBarrier);
        EXPECT_TRUE(m_recorder->waitFor(kBarrier, ++m_barriers));
        Ids ids = m_recorder->ids();
        std::erase(ids, kBarrier);
        Ids fresh(ids.begin() + static_cast<std::ptrdiff_t>(m_seen), ids.end());
        m_seen = ids.size();
        return fresh;
    }
    void run(std::initializer_list<Step> steps) {
        for (const Step& step : steps) {
            SCOPED_TRACE(step.reply);
            EXPECT_EQ(dispatch(step.reply), step.accepted);
            EXPECT_EQ(takeCommands(), step.requests);
            EXPECT_EQ(m_window->ids(), step.window);
            for (const auto& entry : m_window->entries()) {
                EXPECT_EQ(entry.sent, entry.message.id == UWM_POWER_ON) << "only the power-on is sent and waited for";
            }
            m_window->clear();
        }
    }
    static void check(std::initializer_list<Case> cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.reply));
            resetLinkState();
            auto expected = stateSnapshot();
            for (const auto& [member, value] : c.stored) expected[static_cast<std::size_t>(member)] = value;
            EXPECT_EQ(dispatch(c.reply), c.result);
            EXPECT_EQ(stateSnapshot(), expected) << "members by StateField, then the equalizer values";
        }
    }

    Trx_StateGuard m_state;
    Trx_ShadowGuard m_shadow;
    static constexpr MessageId kBarrier = 0x9F00;
    FiledCommandRecorder m_recorder;  // in the command thread's place (WorkerRole::AnlSend)
    std::size_t m_barriers = 0;
    std::size_t m_seen = 0;
    std::unique_ptr<RecordingWindow> m_window = std::make_unique<RecordingWindow>();
};

}  // namespace tqm::test

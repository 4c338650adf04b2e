#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/equalizer_model.h"
#include "editor/graph_axes.h"
#include "editor/graph_handles.h"
#include "protocol/trx_state.h"
#include "tests/editor/recording_view.h"
#include "tests/support/recording_sink.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;

// The PE notification's address of parameter p of a set.
std::uintptr_t address(int set, int p) { return static_cast<std::uintptr_t>(1 + 9 * set + p); }

class GraphEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        Trx_StateGuard().initialise();  // every band off, +5 dB, BWTH 10
        model.reloadFromState();
        model.setPause(nullptr);
    }
    std::vector<std::string> sent() {
        std::vector<std::string> commands;
        commands.swap(sink.commands);
        return commands;
    }

    test::RecordingSink sink;
    test::RecordingView view;
    EqualizerModel model{sink, &view};
};

TEST_F(GraphEditTest, ConnectedEditsKeepOnePairPerValueOnTheLineAndTheLatestValueWins) {
    model.setConnected(true);
    EXPECT_TRUE(model.stepTo(3, 2));
    EXPECT_EQ(sent(), (std::vector<std::string>{"PE010002;", "PE010;"}));
    // While EQ2 FREQ's read-back is out its targets wait; another value goes at once.
    EXPECT_TRUE(model.stepTo(3, 5));
    EXPECT_TRUE(model.stepTo(3, 7));
    EXPECT_TRUE(model.stepTo(4, -3));
    EXPECT_EQ(sent(), (std::vector<std::string>{"PE011-03;", "PE011;"}));
    EXPECT_EQ(model.shown(0)[3], 0) << "connected, the display waits for the transceiver";
    EXPECT_EQ(model.editValue(3), 7);
    EXPECT_TRUE(model.stepBy(3, +1)) << "a key steps on from the waiting target";
    model.onPeReply(address(0, 4));  // replies of other values leave EQ2 FREQ waiting
    model.onPeReply(address(1, 3));
    EXPECT_TRUE(sent().empty());
    model.onPeReply(address(0, 3));
    EXPECT_EQ(sent(), (std::vector<std::string>{"PE010008;", "PE010;"}));
    EXPECT_FALSE(model.stepTo(3, 8)) << "already on its way";

    // A read of the poll counts: its reply comes first.
    model.onPeReply(address(0, 3));
    ASSERT_TRUE(model.readParameter(0, 5));
    EXPECT_TRUE(model.stepTo(5, 3));
    EXPECT_EQ(sent(), (std::vector<std::string>{"PE012;"}));
    model.onPeReply(address(0, 5));
    EXPECT_EQ(sent(), (std::vector<std::string>{"PE012003;", "PE012;"}));

    // CANCEL's reference replaces a waiting target and follows the value on its way.
    EXPECT_TRUE(model.stepTo(5, 1));
    model.applyReference();
    EXPECT_EQ(sent(), (std::vector<std::string>{"PE012010;", "PE012;"}));
    model.onPeReply(address(0, 5));
    EXPECT_TRUE(sent().empty());
    model.setPendingReplies(0);
    // The link going down forgets the edits.
    EXPECT_TRUE(model.stepTo(3, 1));
    model.setConnected(false);
    model.setConnected(true);
    EXPECT_EQ(model.editValue(3), 0);

    model.setPendingReplies(1);
    EXPECT_FALSE(model.stepTo(3, 2)) << "ignored while counted replies are awaited, as a button step";
}

TEST(PairFlightTest, AValueBusyForTwoSecondsCountsAsFreeEvenWhileLaterReadsAreAnswered) {
    PairFlight flight;
    const auto start = PairFlight::Clock::now();
    flight.noteRead(2, 6, start);  // its reply is lost
    flight.noteRead(2, 6, start + 1s);
    flight.noteReply(2, 6);
    flight.want(2, 6, 11, start + 1s);
    EXPECT_TRUE(flight.takeDue(start + PairFlight::kLostAfter - 1ms).empty());
    const auto due = flight.takeDue(start + PairFlight::kLostAfter);
    ASSERT_EQ(due.size(), 1u);
    EXPECT_TRUE(due[0].set == 2 && due[0].p == 6 && due[0].value == 11);
    // The pair that went is counted afresh: its read-back frees the value.
    flight.noteRead(2, 6, start + PairFlight::kLostAfter);
    EXPECT_TRUE(flight.inFlight(2, 6, start + PairFlight::kLostAfter));
    flight.noteReply(2, 6);
    EXPECT_FALSE(flight.inFlight(2, 6, start + PairFlight::kLostAfter));
}

struct Snap {
    int band;
    double hertz;  // where the pointer is
    std::int32_t index;
};

TEST(GraphHandlesTest, PointerSnapsToTheNearestTableEntryAndWholeDecibels) {
    const Snap snaps[] = {
        {0, 30, 1}, {0, 141, 1}, {0, 142, 2}, {0, 9000, 7}, {1, 1040, 4}, {1, 1060, 5}, {2, 3120, 17}, {2, 3180, 18},
    };
    for (const Snap& snap : snaps) {
        EXPECT_EQ(freqIndexNearX(snap.band, graphX(snap.hertz)), snap.index) << snap.band << " " << snap.hertz;
    }
    EXPECT_EQ(levelNearY(graphY(7) + 3), 7);
    EXPECT_EQ(levelNearY(graphY(-20) - 5), -19);
    EXPECT_EQ(levelNearY(-40), 27) << "held to the range by the step, not here";
}

TEST(GraphHandlesTest, OffBandsAreParkedSideBySideLeftOfEveryFrequencyAndTheActiveHandleIsFoundFirst) {
    EqualizerValues values{{0, 0, 10, 1, 0, 7, 0, -20, 1}};  // EQ2 at 700 Hz, 0 dB
    EXPECT_EQ(handleText(0, values), "EQ1 OFF 0 dB BWTH 10");
    const HandleSpot eq1 = handleSpot(0, values);
    const HandleSpot eq3 = handleSpot(2, values);
    EXPECT_TRUE(eq1.off && eq3.off && eq3.x < graphX(100) - kHandleGrabRadius);
    EXPECT_GT(eq3.x - eq1.x, 2 * kHandleGrabRadius);
    values[0] = 7;  // EQ1 at 700 Hz too: the two handles lie on each other
    const HandleSpot both = handleSpot(1, values);
    EXPECT_EQ(handleAt(values, 1, both.x + 5, both.y - 5), 0);
    EXPECT_EQ(handleAt(values, 2, both.x + 5, both.y - 5), 1);
    EXPECT_EQ(handleAt(values, 2, both.x + 20, both.y), -1);
}

}  // namespace
}  // namespace tqm

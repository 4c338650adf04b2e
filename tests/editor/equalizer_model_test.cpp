#include <chrono>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/equalizer_model.h"
#include "protocol/trx_state.h"
#include "tests/editor/recording_view.h"
#include "tests/support/recording_sink.h"

namespace tqm {
namespace {

using test::RecordingSink;
using test::RecordingView;

std::vector<std::chrono::milliseconds> s_pauses;
void recordPause(std::chrono::milliseconds duration) { s_pauses.push_back(duration); }

// Step codes and the range of the parameter they move.
struct StepRange {
    const char* name;
    int upCode;
    int downCode;
    int param;
    std::int32_t minimum;
    std::int32_t maximum;
};

constexpr StepRange kRanges[] = {
    {"EQ1 FREQ", 4, 5, 0, 0, 7},       {"EQ2 FREQ", 6, 7, 3, 0, 9},       {"EQ3 FREQ", 8, 9, 6, 0, 18},
    {"EQ1 LEVEL", 10, 11, 1, -20, 10}, {"EQ2 LEVEL", 12, 13, 4, -20, 10}, {"EQ3 LEVEL", 14, 15, 7, -20, 10},
    {"EQ1 BWTH", 16, 17, 2, 1, 10},    {"EQ2 BWTH", 18, 19, 5, 1, 10},    {"EQ3 BWTH", 20, 21, 8, 1, 10},
};

class EqualizerModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        Trx_StateGuard().initialise();
        s_pauses.clear();
        model.setPause(&recordPause);
        model.reloadFromState();
    }

    void setStateSet(int set, const EqualizerValues& values) {
        Trx_StateGuard state;
        for (int p = 0; p < kEqualizerParams; ++p) state.setPeq(set, bandOfParam(p), kindOfParam(p), values[p]);
    }

    RecordingSink sink;
    RecordingView view;
    EqualizerModel model{sink, &view};
};

const EqualizerValues kSample{{3, -5, 4, 1, 0, 10, 18, 10, 1}};

TEST_F(EqualizerModelTest, StepsStopAtEveryLimitWithoutChangeOrCommand) {
    for (const StepRange& range : kRanges) {
        SCOPED_TRACE(range.name);
        EqualizerValues values = model.shown(0);
        values[range.param] = range.minimum;
        model.setShown(0, values);
        const auto stepAll = [&](int code) {
            int accepted = 0;
            for (int i = 0; i < 40; ++i) accepted += model.step(code) ? 1 : 0;
            return accepted;
        };
        EXPECT_EQ(stepAll(range.upCode), range.maximum - range.minimum);
        EXPECT_EQ(model.shown(0)[range.param], range.maximum);
        EXPECT_EQ(stepAll(range.downCode), range.maximum - range.minimum);
        EXPECT_EQ(model.shown(0)[range.param], range.minimum);
        EXPECT_EQ(model.activeBand(), range.param / 3 + 1);
        // Connected, a step at the limit sends nothing either.
        model.setConnected(true);
        EXPECT_FALSE(model.step(range.downCode));
        model.setConnected(false);
    }
    EXPECT_TRUE(sink.commands.empty());
    EXPECT_FALSE(model.step(3));
    EXPECT_FALSE(model.step(22));
}

TEST_F(EqualizerModelTest, ConnectedStepQueuesSetAndReadAndWaitsForTheReply) {
    EqualizerValues values = model.shown(0);
    values[1] = 0;
    model.setShown(0, values);
    model.setActiveBand(3);
    model.setConnected(true);
    model.setPendingReplies(2);
    EXPECT_FALSE(model.step(10)) << "ignored while replies are awaited";
    EXPECT_TRUE(sink.commands.empty());
    model.setPendingReplies(0);

    EXPECT_TRUE(model.step(10));
    EXPECT_EQ(sink.commands, (std::vector<std::string>{"PE001+01;", "PE001;"}));
    EXPECT_EQ(model.shown(0)[1], 0) << "the display follows the reply";
    EXPECT_EQ(model.activeBand(), 1);
    EXPECT_TRUE(view.graphs == 0 && view.bandTexts.empty());

    // The reply arrives and is stored; the window then takes the changed value.
    Trx_StateGuard().setPeq(0, 0, PeqParam::Level, 1);
    EXPECT_TRUE(model.takeChangedFromState());
    EXPECT_EQ(model.shown(0)[1], 1);
}

TEST_F(EqualizerModelTest, OfflineStepsShowAtOnceAndCancelRestoresAndRepaints) {
    const std::int32_t before = model.shown(0)[4];
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(model.step(12));
    EXPECT_EQ(model.shown(0)[4], before + 3);
    EXPECT_EQ(view.bandTexts, (std::map<int, std::vector<std::string>>{{1, {"OFF", "8 dB", "10"}}}));
    EXPECT_EQ(view.graphs, 3);
    model.applyReference();
    EXPECT_EQ(model.shown(0)[4], before);
    EXPECT_EQ(view.repaints, 1);
    EXPECT_TRUE(sink.commands.empty());
    EXPECT_TRUE(s_pauses.empty());

    model.applyReference();
    EXPECT_EQ(view.repaints, 1) << "nothing to restore, nothing to repaint";
}

TEST_F(EqualizerModelTest, ConnectedApplySendsEachDifferenceWithPacing) {
    model.selectSet(2);
    EqualizerValues reference = model.shown(2);
    reference[0] = 7;
    reference[4] = -3;
    reference[8] = 2;
    model.setReference(2, reference);
    model.setConnected(true);
    const EqualizerValues shownBefore = model.shown(2);

    model.applyReference();
    EXPECT_EQ(sink.commands, (std::vector<std::string>{"PE200007;", "PE200;", "PE211-03;", "PE211;", "PE222002;",
                                                        "PE222;"}));
    EXPECT_EQ(model.pendingReplies(), 3);
    EXPECT_EQ(model.reloadScope(), 2);
    EXPECT_EQ(model.shown(2), shownBefore);
    EXPECT_EQ(s_pauses, (std::vector<std::chrono::milliseconds>(3, std::chrono::milliseconds(25))))
        << "after every value, the last included";
    EXPECT_EQ(view.repaints, 1) << "only the set change repaints";
}

TEST_F(EqualizerModelTest, SelectSetChangesOnlyWhichSetIsShown) {
    model.step(4);
    model.step(4);
    const EqualizerValues setF = model.shown(0);
    model.selectSet(1);
    EXPECT_EQ(model.currentSet(), 1);
    EXPECT_EQ(view.captions, (std::vector<std::string>{"R-PRMTRC EQ1", "R-PRMTRC EQ2", "R-PRMTRC EQ3"}));
    EXPECT_EQ(view.repaints, 1);
    model.step(12);
    EXPECT_EQ(model.shown(0), setF);
    EXPECT_EQ(model.shown(1)[4], 6);
    EXPECT_EQ(model.shown(2)[4], 5);
    EXPECT_TRUE(sink.commands.empty());
    model.selectSet(2);
    EXPECT_EQ(view.captions.back(), "P-PRMTRC EQ3");
}

TEST_F(EqualizerModelTest, ReloadTakesTheScopedSetsAndTakeChangedOnlyTheCurrentSetsShownValues) {
    EXPECT_FALSE(model.takeChangedFromState());
    model.selectSet(1);
    for (int set = 0; set < kEqualizerSets; ++set) setStateSet(set, kSample);
    const EqualizerValues referenceBefore = model.reference(1);
    EXPECT_TRUE(model.takeChangedFromState());
    EXPECT_EQ(model.shown(1), kSample);
    EXPECT_EQ(model.reference(1), referenceBefore);
    EXPECT_NE(model.shown(0), kSample) << "other sets wait for a reload";
    EXPECT_FALSE(model.takeChangedFromState());

    model.setReloadScope(0);
    model.reloadFromState();
    EXPECT_TRUE(model.shown(0) == kSample && model.reference(0) == kSample);
    EXPECT_NE(model.reference(1), kSample);
    EXPECT_NE(model.shown(2), kSample);
    model.setReloadScope(3);
    model.reloadFromState();
    for (int set = 0; set < kEqualizerSets; ++set) {
        EXPECT_TRUE(model.shown(set) == kSample && model.reference(set) == kSample) << set;
    }
}

}  // namespace
}  // namespace tqm

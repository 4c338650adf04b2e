#include <array>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "editor/equalizer_model.h"
#include "editor/equalizer_view.h"
#include "editor/graph_axes.h"
#include "editor/graph_handles.h"
#include "editor/setting_file.h"
#include "protocol/trx_state.h"
#include "tests/support/idle_fifo.h"
#include "tests/support/recording_sink.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Commands = std::vector<std::string>;

// An equalizer view that keeps what it was told to show and counts graphs and repaints.
class RecordingView final : public EqualizerView {
public:
    void showBandTexts(int band, const BandTexts& t) override { bandTexts[band] = {t.freq, t.level, t.bwth}; }
    void showCaptions(const std::array<std::string_view, kEqualizerBands>& shown) override {
        captions.assign(shown.begin(), shown.end());
    }
    void showGraph() override { ++graphs; }
    void scheduleRepaint() override { ++repaints; }

    std::map<int, std::vector<std::string>> bandTexts;  // FREQ, LEVEL and BWTH by band
    std::vector<std::string> captions;
    int graphs = 0;
    int repaints = 0;
};

struct StepRange { const char* name; int upCode, downCode, param; std::int32_t minimum, maximum; };

constexpr StepRange kRanges[] = {
    {"EQ1 FREQ", 4, 5, 0, 0, 7},       {"EQ2 FREQ", 6, 7, 3, 0, 9},       {"EQ3 FREQ", 8, 9, 6, 0, 18},
    {"EQ1 LEVEL", 10, 11, 1, -20, 10}, {"EQ2 LEVEL", 12, 13, 4, -20, 10}, {"EQ3 LEVEL", 14, 15, 7, -20, 10},
    {"EQ1 BWTH", 16, 17, 2, 1, 10},    {"EQ2 BWTH", 18, 19, 5, 1, 10},    {"EQ3 BWTH", 20, 21, 8, 1, 10},
};

// The PE notification's address of parameter p of a set.
std::uintptr_t address(int set, int p) { return static_cast<std::uintptr_t>(1 + 9 * set + p); }

// The model over the shared state, every band off, +5 dB, BWTH 10.
class EqualizerModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        Trx_StateGuard().initialise();
        model.setPause([this](std::chrono::milliseconds duration) { pauses.push_back(duration); });
        model.reloadFromState();
    }
    Commands sent() { return std::exchange(sink.commands, {}); }
    fs::path file(const std::string& name) const { return m_directory / name; }
    LoadResult loadText(const std::string& text) {
        EXPECT_TRUE(test::writeFile(file("in.pef"), text));
        return SettingFile::load(file("in.pef").string(), model);
    }

    std::vector<std::chrono::milliseconds> pauses;
    test::RecordingSink sink;
    RecordingView view;
    EqualizerModel model{sink, &view};
    test::ScratchDirectory m_directory;
};

const EqualizerValues kSample{{3, -5, 4, 1, 0, 10, 18, 10, 1}};

TEST_F(EqualizerModelTest, StepsStopAtEveryLimitWithoutChangeOrCommand) {
    for (const StepRange& range : kRanges) {
        SCOPED_TRACE(range.name);
        EqualizerValues values = model.shown(0);
        values[range.param] = range.minimum;
        model.setShown(0, values);
        const auto stepAll = [&](int code) {  // the steps taken and the value they reached
            int accepted = 0;
            for (int i = 0; i < 40; ++i) accepted += model.step(code) ? 1 : 0;
            return std::pair(accepted, model.shown(0)[range.param]);
        };
        EXPECT_EQ(stepAll(range.upCode), std::pair(range.maximum - range.minimum, range.maximum));
        EXPECT_EQ(stepAll(range.downCode), std::pair(range.maximum - range.minimum, range.minimum));
        EXPECT_EQ(model.activeBand(), range.param / 3 + 1);
        model.setConnected(true);  // connected, a step at the limit sends nothing either
        EXPECT_FALSE(model.step(range.downCode));
        model.setConnected(false);
    }
    EXPECT_TRUE(sink.commands.empty() && !model.step(3) && !model.step(22));
}

TEST_F(EqualizerModelTest, ConnectedStepQueuesSetAndReadAndWaitsForTheReply) {
    model.setShown(0, EqualizerValues{{0, 0, 10, 0, 5, 10, 0, 5, 10}});
    model.setActiveBand(3);
    model.setConnected(true);
    model.setPendingReplies(2);
    EXPECT_TRUE(!model.step(10) && sink.commands.empty()) << "ignored while replies are awaited";
    model.setPendingReplies(0);

    ASSERT_TRUE(model.step(10));
    EXPECT_EQ(sink.commands, (Commands{"PE001+01;", "PE001;"}));
    EXPECT_TRUE(model.shown(0)[1] == 0 && view.graphs == 0 && view.bandTexts.empty()) << "the display waits";
    EXPECT_EQ(model.activeBand(), 1);
    Trx_StateGuard().setPeq(0, 0, PeqParam::Level, 1);
    EXPECT_TRUE(model.takeChangedFromState() && model.shown(0)[1] == 1);
}

TEST_F(EqualizerModelTest, OfflineStepsShowAtOnceAndCancelRestoresAndRepaints) {
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(model.step(12));
    EXPECT_EQ(view.bandTexts, (std::map<int, std::vector<std::string>>{{1, {"OFF", "8 dB", "10"}}}));
    EXPECT_TRUE(model.shown(0)[4] == 8 && view.graphs == 3);
    model.applyReference();
    EXPECT_TRUE(model.shown(0)[4] == 5 && view.repaints == 1 && sink.commands.empty() && pauses.empty());
    model.applyReference();
    EXPECT_EQ(view.repaints, 1) << "nothing to restore, nothing to repaint";
}

TEST_F(EqualizerModelTest, ConnectedApplySendsEachDifferenceWithPacing) {
    model.selectSet(2);
    model.setReference(2, EqualizerValues{{7, 5, 10, 0, -3, 10, 0, 5, 2}});
    model.setConnected(true);
    const EqualizerValues shownBefore = model.shown(2);

    model.applyReference();
    EXPECT_EQ(sink.commands, (Commands{"PE200007;", "PE200;", "PE211-03;", "PE211;", "PE222002;", "PE222;"}));
    EXPECT_TRUE(model.pendingReplies() == 3 && model.reloadScope() == 2 && model.shown(2) == shownBefore);
    EXPECT_EQ(pauses, (std::vector<std::chrono::milliseconds>(3, 25ms))) << "after every value, the last included";
    EXPECT_EQ(view.repaints, 1) << "only the set change repaints";
}

TEST_F(EqualizerModelTest, SelectSetChangesOnlyWhichSetIsShown) {
    for (int i = 0; i < 2; ++i) model.step(4);
    const EqualizerValues setF = model.shown(0);
    model.selectSet(1);
    EXPECT_TRUE(model.currentSet() == 1 && view.repaints == 1);
    EXPECT_EQ(view.captions, (std::vector<std::string>{"R-PRMTRC EQ1", "R-PRMTRC EQ2", "R-PRMTRC EQ3"}));
    model.step(12);
    EXPECT_TRUE(model.shown(0) == setF && model.shown(1)[4] == 6 && model.shown(2)[4] == 5 && sink.commands.empty());
    model.selectSet(2);
    EXPECT_EQ(view.captions.back(), "P-PRMTRC EQ3");
}

TEST_F(EqualizerModelTest, ReloadTakesTheScopedSetsAndTakeChangedOnlyTheCurrentSetsShownValues) {
    EXPECT_FALSE(model.takeChangedFromState());
    model.selectSet(1);
    for (int set = 0; set < kEqualizerSets; ++set) {
        for (int p = 0; p < kEqualizerParams; ++p) Trx_StateGuard().setPeq(set, p / 3, kindOfParam(p), kSample[p]);
    }
    const EqualizerValues referenceBefore = model.reference(1);
    EXPECT_TRUE(model.takeChangedFromState() && model.shown(1) == kSample && model.reference(1) == referenceBefore);
    EXPECT_TRUE(model.shown(0) != kSample && !model.takeChangedFromState()) << "other sets wait for a reload";

    model.setReloadScope(0);
    model.reloadFromState();
    EXPECT_TRUE(model.shown(0) == kSample && model.reference(0) == kSample && model.reference(1) != kSample &&
                model.shown(2) != kSample);
    model.setReloadScope(3);
    model.reloadFromState();
    for (int set = 0; set < kEqualizerSets; ++set) {
        EXPECT_TRUE(model.shown(set) == kSample && model.reference(set) == kSample) << set;
    }
}

TEST_F(EqualizerModelTest, ConnectedEditsKeepOnePairPerValueOnTheLineAndTheLatestValueWins) {
    model.setConnected(true);
    EXPECT_TRUE(model.stepTo(3, 2));
    EXPECT_EQ(sent(), (Commands{"PE010002;", "PE010;"}));
    EXPECT_TRUE(model.stepTo(3, 5) && model.stepTo(3, 7) && model.stepTo(4, -3));  // EQ2 FREQ's wait, EQ2 LEVEL goes
    EXPECT_EQ(sent(), (Commands{"PE011-03;", "PE011;"}));
    EXPECT_TRUE(model.shown(0)[3] == 0 && model.editValue(3) == 7) << "the display waits for the transceiver";
    EXPECT_TRUE(model.stepBy(3, +1)) << "a key steps on from the waiting target";
    model.onPeReply(address(0, 4));  // replies of other values leave EQ2 FREQ waiting
    model.onPeReply(address(1, 3));
    EXPECT_TRUE(sent().empty());
    model.onPeReply(address(0, 3));
    EXPECT_TRUE(sent() == Commands({"PE010008;", "PE010;"}) && !model.stepTo(3, 8)) << "already on its way";

    // A read of the poll counts: its reply comes first.
    model.onPeReply(address(0, 3));
    ASSERT_TRUE(model.readParameter(0, 5) && model.stepTo(5, 3));
    EXPECT_EQ(sent(), (Commands{"PE012;"}));
    model.onPeReply(address(0, 5));
    EXPECT_EQ(sent(), (Commands{"PE012003;", "PE012;"}));

    // CANCEL's reference replaces a waiting target and follows the value on its way.
    EXPECT_TRUE(model.stepTo(5, 1));
    model.applyReference();
    EXPECT_EQ(sent(), (Commands{"PE012010;", "PE012;"}));
    model.onPeReply(address(0, 5));
    EXPECT_TRUE(sent().empty());
    model.setPendingReplies(0);
    EXPECT_TRUE(model.stepTo(3, 1));  // the link going down forgets the edits
    model.setConnected(false);
    model.setConnected(true);
    EXPECT_EQ(model.editValue(3), 0);
    model.setPendingReplies(1);
    EXPECT_FALSE(model.stepTo(3, 2)) << "ignored while counted replies are awaited, as a button step";
}

TEST(PairFlightTest, AValueBusyForTwoSecondsCountsAsFreeEvenWhileLaterReadsAreAnswered) {
    PairFlight flight;
    const auto start = PairFlight::Clock::now();
    const auto lost = start + PairFlight::kLostAfter;
    flight.noteRead(2, 6, start);  // its reply is lost
    flight.noteRead(2, 6, start + 1s);
    flight.noteReply(2, 6);
    flight.want(2, 6, 11, start + 1s);
    EXPECT_TRUE(flight.takeDue(lost - 1ms).empty());
    const auto due = flight.takeDue(lost);
    EXPECT_TRUE(due.size() == 1 && due[0].set == 2 && due[0].p == 6 && due[0].value == 11);
    flight.noteRead(2, 6, lost);  // the pair that went is counted afresh: its read-back frees the value
    EXPECT_TRUE(flight.inFlight(2, 6, lost));
    flight.noteReply(2, 6);
    EXPECT_FALSE(flight.inFlight(2, 6, lost));
}

TEST(GraphHandlesTest, PointerSnapsToTheNearestEntryOffBandsParkLeftAndTheActiveHandleIsFoundFirst) {
    struct Snap { int band; double hertz; std::int32_t index; };  // the pointer at hertz
    const Snap snaps[] = {
        {0, 30, 1}, {0, 141, 1}, {0, 142, 2}, {0, 9000, 7}, {1, 1040, 4}, {1, 1060, 5}, {2, 3120, 17}, {2, 3180, 18},
    };
    for (const Snap& snap : snaps) {
        EXPECT_EQ(freqIndexNearX(snap.band, graphX(snap.hertz)), snap.index) << snap.band << " " << snap.hertz;
    }
    EXPECT_TRUE(levelNearY(graphY(7) + 3) == 7 && levelNearY(graphY(-20) - 5) == -19);
    EXPECT_EQ(levelNearY(-40), 27) << "held to the range by the step, not here";

    EqualizerValues values{{0, 0, 10, 1, 0, 7, 0, -20, 1}};  // EQ2 at 700 Hz, 0 dB
    EXPECT_EQ(handleText(0, values), "EQ1 OFF 0 dB BWTH 10");
    const HandleSpot eq1 = handleSpot(0, values);
    const HandleSpot eq3 = handleSpot(2, values);
    EXPECT_TRUE(eq1.off && eq3.off && eq3.x < graphX(100) - kHandleGrabRadius && eq3.x - eq1.x > 2 * kHandleGrabRadius);
    values[0] = 7;  // EQ1 at 700 Hz too: the two handles lie on each other
    const HandleSpot both = handleSpot(1, values);
    EXPECT_TRUE(handleAt(values, 1, both.x + 5, both.y - 5) == 0 && handleAt(values, 2, both.x + 5, both.y - 5) == 1);
    EXPECT_EQ(handleAt(values, 2, both.x + 20, both.y), -1);
}

TEST_F(EqualizerModelTest, SettingFileSavesHertzWithCrLfLoadsIntoAnotherSetAndConnectedSendsTheDifferences) {
    model.selectSet(1);
    model.setShown(1, EqualizerValues{{7, -20, 1, 9, 10, 10, 18, 0, 3}});
    ASSERT_EQ(SettingFile::save(file("r.pef").string(), model), SaveResult::Saved);
    EXPECT_EQ(test::readFile(file("r.pef")), "700,-20,1\r\n1500,10,10\r\n3200,0,3\r\n");
    model.selectSet(2);
    const int repaintsBefore = view.repaints;
    ASSERT_EQ(SettingFile::load(file("r.pef").string(), model), LoadResult::Loaded);
    EXPECT_TRUE(model.shown(2) == model.shown(1) && model.reference(2) == model.shown(1));
    EXPECT_TRUE(view.repaints == repaintsBefore + 1 && sink.commands.empty());

    model.selectSet(0);
    model.setConnected(true);
    ASSERT_EQ(loadText("100,5,10\n0,5,10\n0,-4,10\n"), LoadResult::Loaded);
    EXPECT_EQ(sent(), (Commands{"PE000001;", "PE000;", "PE021-04;", "PE021;"}));
    EXPECT_TRUE(model.pendingReplies() == 2 && model.shown(0)[0] == 0 && model.reference(0)[0] == 1)
        << "the display follows the replies";
    EXPECT_EQ(loadText("100,5,10\n0,5,10\n0,5,10\n"), LoadResult::Busy);
    EXPECT_TRUE(SettingFile::save(file("busy.pef").string(), model) == SaveResult::Busy && sink.commands.empty() &&
                !fs::exists(file("busy.pef")));
}

TEST_F(EqualizerModelTest, SettingFileBandsTakeTheirOwnFrequenciesAndAnyBadValueOrShapeRejectsTheFile) {
    struct Case { const char* text; EqualizerValues loaded; };  // loaded all zero: rejected
    const Case cases[] = {
        {"700,0,1\n700,0,1\n1500,0,1\n", {{7, 0, 1, 1, 0, 1, 1, 0, 1}}},
        {"0,0,1\n1500,0,1\n0,0,1\n", {{0, 0, 1, 9, 0, 1, 0, 0, 1}}},
        {"0,0,1\n1200,0,1\n1700,0,1\n", {{0, 0, 1, 6, 0, 1, 3, 0, 1}}},
        {"100, 5, 10\r\n700,  -3,4\r\n0,5, 10\r\n", {{1, 5, 10, 1, -3, 4, 0, 5, 10}}},
        {"650,0,1\n700,0,1\n1500,0,1\n", {}},        {"0,0,1\n0,0,1\n700,0,1\n", {}},
        {"100,11,10\n700,-20,1\n0,5,10\n", {}},    {"100,10,10\n700,-21,1\n0,5,10\n", {}},
        {"100,10,10\n700,-20,0\n0,5,10\n", {}},    {"100,10,10\n700,-20,1\n0,5,11\n", {}},
        {"100,5,10\n700,-3,4\n0,5,10", {}},         {"100,5,10\r\n700,-3,4\r\n0,5,10\r\n\r\n", {}},
        {"100,5,10,\n700,-3,4\n0,5,10\n", {}},
        // Numbers beyond 32 bits do not wrap around to 100 Hz, +5 dB or bandwidth 1.
        {"4294967396,5,10\n700,-3,4\n0,5,10\n", {}},  {"100,4294967301,10\n700,-3,4\n0,5,10\n", {}},
        {"100,5,4294967297\n700,-3,4\n0,5,10\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const bool good = c.loaded != EqualizerValues{};
        const EqualizerValues shown = model.shown(0);
        const EqualizerValues reference = model.reference(0);
        EXPECT_EQ(loadText(c.text), good ? LoadResult::Loaded : LoadResult::Rejected);
        EXPECT_TRUE(model.shown(0) == (good ? c.loaded : shown) && model.reference(0) == (good ? c.loaded : reference));
    }
    EXPECT_EQ(SettingFile::load(file("missing.pef").string(), model), LoadResult::Rejected);
    // A named pipe nobody writes to is refused at once, not waited for.
    ASSERT_TRUE(test::makeIdleFifo(file("pipe.pef")));
    LoadResult fromPipe = LoadResult::Loaded;
    EXPECT_TRUE(test::endsWithoutAWriter(file("pipe.pef"),
                                         [&] { fromPipe = SettingFile::load(file("pipe.pef").string(), model); }));
    EXPECT_TRUE(fromPipe == LoadResult::Rejected && sink.commands.empty());

    test::writeFile(file("keep.pef"), "old");  // failed saves are reported and touch nothing
    EXPECT_EQ(SettingFile::save((file("keep.pef") / "x.pef").string(), model), SaveResult::Failed);
    EXPECT_EQ(SettingFile::save(file("keep.pef").string() + std::string(260, 'x'), model), SaveResult::PathTooLong);
    EXPECT_EQ(test::readFile(file("keep.pef")), "old");
}

}  // namespace
}  // namespace tqm

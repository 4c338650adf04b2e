#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/equalizer_model.h"
#include "editor/setting_file.h"
#include "protocol/trx_state.h"
#include "tests/editor/recording_view.h"
#include "tests/support/recording_sink.h"
#include "tests/support/idle_fifo.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;

using test::RecordingSink;

void noPause(std::chrono::milliseconds) {}

class SettingFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        Trx_StateGuard().initialise();
        model.setPause(&noPause);
        model.reloadFromState();
    }

    fs::path file(const std::string& name) const { return m_directory / name; }

    // Loads text written to a file into the current set.
    LoadResult loadText(const std::string& text) {
        EXPECT_TRUE(test::writeFile(file("in.pef"), text));
        return SettingFile::load(file("in.pef").string(), model);
    }

    test::ScratchDirectory m_directory;
    RecordingSink sink;
    test::RecordingView view;
    EqualizerModel model{sink, &view};
};

TEST_F(SettingFileTest, SavesHertzWithCrLfAndLoadsBackIntoAnotherSet) {
    model.selectSet(1);
    model.setShown(1, EqualizerValues{{7, -20, 1, 9, 10, 10, 18, 0, 3}});
    ASSERT_EQ(SettingFile::save(file("r.pef").string(), model), SaveResult::Saved);
    EXPECT_EQ(test::readFile(file("r.pef")), "700,-20,1\r\n1500,10,10\r\n3200,0,3\r\n");

    model.selectSet(2);
    const int repaintsBefore = view.repaints;
    ASSERT_EQ(SettingFile::load(file("r.pef").string(), model), LoadResult::Loaded);
    EXPECT_EQ(model.shown(2), model.shown(1));
    EXPECT_EQ(model.reference(2), model.shown(1));
    EXPECT_EQ(view.repaints, repaintsBefore + 1);
    EXPECT_TRUE(sink.commands.empty());
}

TEST_F(SettingFileTest, ConnectedLoadSendsOnlyTheDifferences) {
    model.setConnected(true);
    ASSERT_EQ(loadText("100,5,10\n0,5,10\n0,-4,10\n"), LoadResult::Loaded);
    EXPECT_EQ(sink.commands, (std::vector<std::string>{"PE000001;", "PE000;", "PE021-04;", "PE021;"}));
    EXPECT_EQ(model.pendingReplies(), 2);
    EXPECT_EQ(model.shown(0)[0], 0) << "the display follows the replies";
    EXPECT_EQ(model.reference(0)[0], 1);

    sink.commands.clear();
    EXPECT_EQ(loadText("100,5,10\n0,5,10\n0,5,10\n"), LoadResult::Busy);
    EXPECT_EQ(SettingFile::save(file("busy.pef").string(), model), SaveResult::Busy);
    EXPECT_TRUE(sink.commands.empty());
    EXPECT_FALSE(fs::exists(file("busy.pef")));
}

TEST_F(SettingFileTest, EachBandTakesItsOwnFrequenciesAndAnyBadValueOrShapeRejectsTheWholeFile) {
    struct Case {
        const char* text;
        LoadResult result;
        EqualizerValues loaded;  // when loaded
    };
    const Case cases[] = {
        {"700,0,1\n700,0,1\n1500,0,1\n", LoadResult::Loaded, {{7, 0, 1, 1, 0, 1, 1, 0, 1}}},
        {"0,0,1\n1500,0,1\n0,0,1\n", LoadResult::Loaded, {{0, 0, 1, 9, 0, 1, 0, 0, 1}}},
        {"100, 5, 10\r\n700,  -3,4\r\n0,5, 10\r\n", LoadResult::Loaded, {{1, 5, 10, 1, -3, 4, 0, 5, 10}}},
        {"650,0,1\n700,0,1\n1500,0,1\n", LoadResult::Rejected, {}},
        {"0,0,1\n0,0,1\n700,0,1\n", LoadResult::Rejected, {}},
        {"100,11,10\n700,-20,1\n0,5,10\n", LoadResult::Rejected, {}},
        {"100,10,10\n700,-21,1\n0,5,10\n", LoadResult::Rejected, {}},
        {"100,10,10\n700,-20,0\n0,5,10\n", LoadResult::Rejected, {}},
        {"100,10,10\n700,-20,1\n0,5,11\n", LoadResult::Rejected, {}},
        {"100,5,10\n700,-3,4\n0,5,10", LoadResult::Rejected, {}},
        {"100,5,10\r\n700,-3,4\r\n0,5,10\r\n\r\n", LoadResult::Rejected, {}},
        {"100,5,10,\n700,-3,4\n0,5,10\n", LoadResult::Rejected, {}},
        // Numbers beyond 32 bits do not wrap around to 100 Hz, +5 dB or bandwidth 1.
        {"4294967396,5,10\n700,-3,4\n0,5,10\n", LoadResult::Rejected, {}},
        {"100,4294967301,10\n700,-3,4\n0,5,10\n", LoadResult::Rejected, {}},
        {"100,5,4294967297\n700,-3,4\n0,5,10\n", LoadResult::Rejected, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const EqualizerValues shown = model.shown(0);
        const EqualizerValues reference = model.reference(0);
        EXPECT_EQ(loadText(c.text), c.result);
        EXPECT_EQ(model.shown(0), c.result == LoadResult::Loaded ? c.loaded : shown);
        EXPECT_EQ(model.reference(0), c.result == LoadResult::Loaded ? c.loaded : reference);
    }
    EXPECT_EQ(SettingFile::load(file("missing.pef").string(), model), LoadResult::Rejected);
    // A named pipe nobody writes to is refused at once, not waited for.
    ASSERT_TRUE(test::makeIdleFifo(file("pipe.pef")));
    LoadResult fromPipe = LoadResult::Loaded;
    EXPECT_TRUE(test::endsWithoutAWriter(file("pipe.pef"),
                                         [&] { fromPipe = SettingFile::load(file("pipe.pef").string(), model); }));
    EXPECT_EQ(fromPipe, LoadResult::Rejected);
    EXPECT_TRUE(sink.commands.empty());
}

TEST_F(SettingFileTest, FailedSavesAreReported) {
    test::writeFile(file("keep.pef"), "old");
    EXPECT_EQ(SettingFile::save((file("keep.pef") / "x.pef").string(), model), SaveResult::Failed)
        << "the parent is a file";
    EXPECT_EQ(SettingFile::save(file("keep.pef").string() + std::string(260, 'x'), model),
              SaveResult::PathTooLong);
    EXPECT_EQ(test::readFile(file("keep.pef")), "old");
}

}  // namespace
}  // namespace tqm

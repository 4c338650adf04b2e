#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/equalizer_model.h"
#include "editor/setting_file.h"
#include "protocol/trx_state.h"
#include "tests/editor/recording_view.h"
#include "tests/support/recording_sink.h"
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

    std::vector<fs::path> entries() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(m_directory.path())) {
            found.push_back(entry.path().filename());
        }
        return found;
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
    EXPECT_EQ(entries(), std::vector<fs::path>{"r.pef"}) << "no temporary file is left";

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

TEST_F(SettingFileTest, SharedFrequenciesMapToEachBandsOwnIndex) {
    ASSERT_EQ(loadText("700,0,1\n700,0,1\n1500,0,1\n"), LoadResult::Loaded);
    EXPECT_EQ(model.shown(0)[0], 7);
    EXPECT_EQ(model.shown(0)[3], 1);
    EXPECT_EQ(model.shown(0)[6], 1);
    ASSERT_EQ(loadText("0,0,1\n1500,0,1\n0,0,1\n"), LoadResult::Loaded);
    EXPECT_EQ(model.shown(0)[3], 9);
    EXPECT_EQ(loadText("650,0,1\n700,0,1\n1500,0,1\n"), LoadResult::Rejected);
    EXPECT_EQ(loadText("0,0,1\n0,0,1\n700,0,1\n"), LoadResult::Rejected);
}

TEST_F(SettingFileTest, AnyValueOutOfRangeRejectsTheWholeFile) {
    ASSERT_EQ(loadText("100,10,10\n700,-20,1\n0,5,10\n"), LoadResult::Loaded);
    const EqualizerValues shown = model.shown(0);
    const EqualizerValues reference = model.reference(0);
    for (const char* text : {"100,11,10\n700,-20,1\n0,5,10\n", "100,10,10\n700,-21,1\n0,5,10\n",
                             "100,10,10\n700,-20,0\n0,5,10\n", "100,10,10\n700,-20,1\n0,5,11\n"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(loadText(text), LoadResult::Rejected);
        EXPECT_EQ(model.shown(0), shown);
        EXPECT_EQ(model.reference(0), reference);
    }
    EXPECT_TRUE(sink.commands.empty());
}

TEST_F(SettingFileTest, ReadingIsLenientAboutBlanksAndLineEnds) {
    EXPECT_EQ(loadText("100, 5, 10\r\n700,  -3,4\r\n0,5, 10\r\n"), LoadResult::Loaded);
    EXPECT_EQ(model.shown(0), (EqualizerValues{{1, 5, 10, 1, -3, 4, 0, 5, 10}}));
}

TEST_F(SettingFileTest, RowAndColumnCountsMustBeThree) {
    for (const char* text : {"100,5,10\n700,-3,4\n0,5,10", "100,5,10\r\n700,-3,4\r\n0,5,10\r\n\r\n",
                             "100,5,10,\n700,-3,4\n0,5,10\n"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(loadText(text), LoadResult::Rejected);
    }
    EXPECT_EQ(SettingFile::load(file("missing.pef").string(), model), LoadResult::Rejected);
    EXPECT_EQ(model.shown(0), (EqualizerValues{{0, 5, 10, 0, 5, 10, 0, 5, 10}}));
}

TEST_F(SettingFileTest, FailedSavesAreReportedAndKeepTheOldFile) {
    test::writeFile(file("keep.pef"), "old");
    EXPECT_EQ(SettingFile::save((file("keep.pef") / "x.pef").string(), model), SaveResult::Failed)
        << "the parent is a file";
    EXPECT_EQ(SettingFile::save(file("keep.pef").string() + std::string(260, 'x'), model),
              SaveResult::PathTooLong);

    // A write that runs out of room half-way (file size limit) leaves the old file whole.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    rlimit small = limit;
    small.rlim_cur = 8;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const SaveResult result = SettingFile::save(file("keep.pef").string(), model);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    ASSERT_EQ(::sigaction(SIGXFSZ, &previous, nullptr), 0);

    EXPECT_EQ(result, SaveResult::Failed);
    EXPECT_EQ(test::readFile(file("keep.pef")), "old");
    EXPECT_EQ(entries(), std::vector<fs::path>{"keep.pef"}) << "the temporary file is removed";
}

}  // namespace
}  // namespace tqm

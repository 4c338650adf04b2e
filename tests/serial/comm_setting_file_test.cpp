#include "serial/comm_setting_file.h"

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "serial/sio_port.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::ScratchDirectory;
using test::writeFile;

class CommSettingFileTest : public ::testing::Test {
protected:
    void SetUp() override { Sio_Port().initialise(); }
    void TearDown() override { Sio_Port().initialise(); }

    fs::path settingsDir() const { return m_base / "CommoFiles"; }
    fs::path settingsFile() const { return settingsDir() / "CommSetting.csv"; }

    void givenFile(const std::string& content) {
        fs::create_directory(settingsDir());
        ASSERT_TRUE(writeFile(settingsFile(), content));
    }
    // Values that no read below produces, so that untouched values show.
    static void givenPort(int number, int baud) {
        Sio_Port port;
        ASSERT_TRUE(port.setPortNumber(number));
        ASSERT_TRUE(port.setBaudRate(baud));
    }
    static void expectPort(int number, int baud) {
        const Sio_Port port;
        EXPECT_EQ(port.portNumber(), number);
        EXPECT_EQ(port.baudRate(), baud);
    }
    std::vector<std::string> namesInSettingsDir() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(settingsDir())) names.push_back(entry.path().filename());
        return names;
    }

    ScratchDirectory m_scratch;
    fs::path m_base = m_scratch.path();
};

// --- reading ---

TEST_F(CommSettingFileTest, AValidLineSetsPortBaudAndShownSet) {
    givenFile("2,9600,2\r\n");
    CommSettingShownSet shown;
    EXPECT_EQ(CommSettingFile::load(m_base, shown), CommSettingRead::Read);
    expectPort(2, 9600);
    EXPECT_TRUE(shown.present);
    EXPECT_EQ(shown.value, 2);
}

TEST_F(CommSettingFileTest, OutOfRangeValuesFallBackThroughTheSetters) {
    givenPort(7, 19200);
    givenFile("25,57600,1\n");
    CommSettingShownSet shown;
    EXPECT_EQ(CommSettingFile::load(m_base, shown), CommSettingRead::Read);
    expectPort(1, 4800);
    EXPECT_TRUE(shown.present);
    EXPECT_EQ(shown.value, 1);
}

TEST_F(CommSettingFileTest, AShownSetOutsideTheThreeSetsBecomesTheFirst) {
    for (const char* content : {"4,38400,3\r\n", "4,38400,-1\r\n", "4,38400,x\r\n"}) {
        SCOPED_TRACE(content);
        givenFile(content);
        CommSettingShownSet shown;
        EXPECT_EQ(CommSettingFile::load(m_base, shown), CommSettingRead::Read);
        expectPort(4, 38400);
        EXPECT_TRUE(shown.present);
        EXPECT_EQ(shown.value, 0);
    }
}

TEST_F(CommSettingFileTest, ALineWithoutLineBreakSetsNothingAndIsNoFailure) {
    givenPort(7, 19200);
    givenFile("2,9600,2");
    CommSettingShownSet shown;
    EXPECT_EQ(CommSettingFile::load(m_base, shown), CommSettingRead::Read);
    expectPort(7, 19200);
    EXPECT_FALSE(shown.present);
}

TEST_F(CommSettingFileTest, CellsAreTakenInReadingOrderAndOnlyAsFarAsTheFileHasThem) {
    givenFile("3\n38400\n1\n9\n");
    CommSettingShownSet shown;
    EXPECT_EQ(CommSettingFile::load(m_base, shown), CommSettingRead::Read);
    expectPort(3, 38400);
    EXPECT_EQ(shown.value, 1);

    givenPort(7, 19200);
    givenFile("6,9600\n");
    EXPECT_EQ(CommSettingFile::load(m_base, shown), CommSettingRead::Read);
    expectPort(6, 9600);
    EXPECT_FALSE(shown.present);
}

TEST_F(CommSettingFileTest, AMissingOrOversizedFileGivesTheDefaults) {
    givenPort(7, 19200);
    CommSettingShownSet shown;
    EXPECT_EQ(CommSettingFile::load(m_base, shown), CommSettingRead::Unreadable);
    expectPort(1, 4800);
    EXPECT_TRUE(shown.present);
    EXPECT_EQ(shown.value, 0);

    givenPort(7, 19200);
    givenFile("2,9600,2\r\n" + std::string(CommSettingFile::kMaxFileBytes, ' '));
    EXPECT_EQ(CommSettingFile::load(m_base, shown), CommSettingRead::Unreadable);
    expectPort(1, 4800);
    EXPECT_EQ(shown.value, 0);
}

TEST_F(CommSettingFileTest, APathOfTwoHundredSixtyCharactersIsNotUsed) {
    // base + "CommoFiles" (10) + "CommSetting.csv" (15) must stay below 260.
    const std::string root = m_base.string() + "/";
    const fs::path usable = root + std::string(234 - root.size(), 'u');
    const fs::path tooLong = root + std::string(235 - root.size(), 'l');
    ASSERT_EQ(usable.string().size(), 234u);
    fs::create_directory(usable);
    fs::create_directory(tooLong);

    givenPort(7, 19200);
    CommSettingShownSet shown;
    EXPECT_EQ(CommSettingFile::load(tooLong, shown), CommSettingRead::PathTooLong);
    expectPort(7, 19200);
    EXPECT_FALSE(shown.present);
    EXPECT_EQ(CommSettingFile::write(tooLong, 2, 9600, 1), CommSettingWrite::PathTooLong);
    EXPECT_FALSE(fs::exists(tooLong / "CommoFiles"));

    EXPECT_EQ(CommSettingFile::write(usable, 2, 9600, 1), CommSettingWrite::Written);
    EXPECT_EQ(CommSettingFile::load(usable, shown), CommSettingRead::Read);
    expectPort(2, 9600);
}

// --- writing ---

TEST_F(CommSettingFileTest, SaveCreatesTheDirectoryAndWritesOneCrLfLine) {
    givenPort(3, 38400);
    EXPECT_EQ(CommSettingFile::save(m_base, 1), CommSettingWrite::Written);
    EXPECT_EQ(readFile(settingsFile()), "3,38400,1\r\n");
    EXPECT_EQ(namesInSettingsDir(), std::vector<std::string>{"CommSetting.csv"});

    givenPort(20, 4800);
    EXPECT_EQ(CommSettingFile::save(m_base, 0), CommSettingWrite::Written);
    EXPECT_EQ(readFile(settingsFile()), "20,4800,0\r\n");
}

TEST_F(CommSettingFileTest, AWrittenFileReadsBackTheSameValues) {
    ASSERT_EQ(CommSettingFile::write(m_base, 12, 19200, 2), CommSettingWrite::Written);
    CommSettingShownSet shown;
    EXPECT_EQ(CommSettingFile::load(m_base, shown), CommSettingRead::Read);
    expectPort(12, 19200);
    EXPECT_EQ(shown.value, 2);
}

TEST_F(CommSettingFileTest, ADirectoryNameTakenByAFileFailsTheSaveAndLeavesThatFile) {
    ASSERT_TRUE(writeFile(settingsDir(), "not a directory"));
    EXPECT_EQ(CommSettingFile::save(m_base, 0), CommSettingWrite::NoDirectory);
    EXPECT_EQ(readFile(settingsDir()), "not a directory");
    // The same parent seen by the writer itself: nothing can be created below a file.
    EXPECT_FALSE(CommSettingFile::writeReplacing(settingsFile(), "1,4800,0\r\n"));
    EXPECT_EQ(readFile(settingsDir()), "not a directory");
}

TEST_F(CommSettingFileTest, AWriteThatFailsHalfwayKeepsTheOldFile) {
    givenFile("5,9600,2\r\n");
    // The file size limit stops the temporary file after four bytes, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tiny = saved;
    tiny.rlim_cur = 4;
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const CommSettingWrite result = CommSettingFile::write(m_base, 20, 38400, 1);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);

    EXPECT_EQ(result, CommSettingWrite::Failed);
    EXPECT_EQ(readFile(settingsFile()), "5,9600,2\r\n");
    EXPECT_EQ(namesInSettingsDir(), std::vector<std::string>{"CommSetting.csv"});
}

TEST_F(CommSettingFileTest, ARenameThatFailsLeavesNoTemporaryFileBehind) {
    fs::create_directories(settingsFile() / "occupied");
    EXPECT_EQ(CommSettingFile::write(m_base, 2, 9600, 0), CommSettingWrite::Failed);
    EXPECT_TRUE(fs::is_directory(settingsFile() / "occupied"));
    EXPECT_EQ(namesInSettingsDir(), std::vector<std::string>{"CommSetting.csv"});
}

}  // namespace
}  // namespace tqm

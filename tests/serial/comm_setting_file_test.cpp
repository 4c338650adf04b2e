#include "serial/comm_setting_file.h"

#include <filesystem>
#include <string>

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

    ScratchDirectory m_scratch;
    fs::path m_base = m_scratch.path();
};

TEST_F(CommSettingFileTest, LoadSetsPortBaudAndShownSetThroughTheSetters) {
    struct Case {
        const char* content;  // nullptr: no file
        CommSettingRead read;
        int port;
        int baud;
        bool present;
        int shown;
    };
    // A shown set outside the three sets becomes the first; a line without its line
    // break sets nothing and is no failure; a missing file gives the defaults.
    constexpr Case kCases[] = {
        {"2,9600,2\r\n", CommSettingRead::Read, 2, 9600, true, 2},
        {"25,57600,1\n", CommSettingRead::Read, 1, 4800, true, 1},
        {"4,38400,3\r\n", CommSettingRead::Read, 4, 38400, true, 0},
        {"4,38400,x\r\n", CommSettingRead::Read, 4, 38400, true, 0},
        // Beyond 32 bits nothing wraps (to 2, 9600 and 2): each number takes its fallback.
        {"4294967298,4294976896,4294967298\r\n", CommSettingRead::Read, 1, 4800, true, 0},
        {"2,9600,2", CommSettingRead::Read, 7, 19200, false, 0},
        {nullptr, CommSettingRead::Missing, 1, 4800, true, 0},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.content ? c.content : "no file");
        givenPort(7, 19200);
        fs::remove_all(settingsDir());
        if (c.content) givenFile(c.content);
        CommSettingShownSet shown;
        EXPECT_EQ(CommSettingFile::load(m_base, shown), c.read);
        expectPort(c.port, c.baud);
        EXPECT_EQ(shown.present, c.present);
        if (c.present) {
            EXPECT_EQ(shown.value, c.shown);
        }
    }
}

TEST_F(CommSettingFileTest, SaveWritesOneCrLfLineThatReadsBackAndAFailedWriteSaysSo) {
    givenFile("old");
    givenPort(3, 38400);
    EXPECT_EQ(CommSettingFile::save(m_base, 1), CommSettingWrite::Written);
    EXPECT_EQ(readFile(settingsFile()), "3,38400,1\r\n");
    givenPort(7, 19200);
    CommSettingShownSet shown;
    EXPECT_EQ(CommSettingFile::load(m_base, shown), CommSettingRead::Read);
    expectPort(3, 38400);
    EXPECT_EQ(shown.value, 1);

    fs::remove(settingsFile());
    fs::create_directory(settingsFile());
    EXPECT_EQ(CommSettingFile::write(m_base, 20, 38400, 1), CommSettingWrite::Failed);
}

}  // namespace
}  // namespace tqm

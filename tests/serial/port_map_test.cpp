#include "serial/port_map.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/idle_fifo.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;

class PortMapTest : public ::testing::Test {
protected:
    void SetUp() override { PortMap().reset(); }
    void TearDown() override { PortMap().reset(); }

    fs::path file() const { return m_dir / "PortMap.csv"; }

    test::ScratchDirectory m_dir;
};

TEST_F(PortMapTest, UnusableLinesAreNamedAndTheirComNumbersNeverFallBackToTheDefaultDevice) {
    ASSERT_TRUE(test::writeFile(file(), "# COM3 is the radio\n"
                                        "3,/dev/pts/7\r\n"
                                        "\n"
                                        "2=/dev/pts/8\n"
                                        "4,/dev/" + std::string(5000, 'x') + "\n"
                                        "25,/dev/pts/9\n"
                                        "4294967301,/dev/pts/9\n"
                                        "6,\n"
                                        " 7 , /dev/serial/by-id/usb-radio \n"));
    EXPECT_TRUE(PortMap().loadFile(file()));
    struct Row {
        int com;
        const char* path;  // nullptr: the entry cannot be used
    };
    // Line 7 would wrap around to COM5.
    constexpr Row kRows[] = {{1, "/dev/ttyS0"}, {2, nullptr}, {3, "/dev/pts/7"}, {4, nullptr},
                             {5, "/dev/ttyUSB0"}, {6, nullptr}, {7, "/dev/serial/by-id/usb-radio"}};
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.com);
        const std::string path = PortMap().path(row.com);
        if (row.path != nullptr) {
            EXPECT_EQ(path, row.path);
            continue;
        }
        EXPECT_EQ(path, "");
        const std::string problem = PortMap().entry(row.com).problem;
        EXPECT_NE(problem.find("unusable entry in PortMap.csv"), std::string::npos) << problem;
        EXPECT_FALSE(PortMap().deviceExists(row.com));
    }
    const std::vector<std::string> warnings = PortMap().warnings();
    ASSERT_EQ(warnings.size(), 5u);
    for (std::size_t i = 0; i < warnings.size(); ++i) {
        EXPECT_EQ(warnings[i].rfind(file().string() + ":" + std::to_string(i + 4) + ": ", 0), 0u) << warnings[i];
    }
    EXPECT_TRUE(PortMap().setOverride(2, "/dev/pts/8")) << "the command line still maps it";
    EXPECT_EQ(PortMap().path(2), "/dev/pts/8");
}

TEST_F(PortMapTest, AMapFileThatCannotBeReadLeavesNoComNumberOnItsDefaultDevice) {
    const auto expectNoneUsable = [&](const char* what) {
        SCOPED_TRACE(what);
        EXPECT_FALSE(PortMap().loadFile(file()));
        ASSERT_EQ(PortMap().warnings().size(), 1u);
        EXPECT_EQ(PortMap().warnings()[0].rfind(file().string() + ": ", 0), 0u) << PortMap().warnings()[0];
        for (int n = 1; n <= 20; ++n) EXPECT_NE(PortMap().entry(n).problem.find("PortMap.csv cannot be read"), std::string::npos);
        fs::remove_all(file());
    };
    ASSERT_TRUE(fs::create_directory(file()));
    expectNoneUsable("a directory");
    ASSERT_TRUE(test::makeIdleFifo(file()));
    EXPECT_TRUE(test::endsWithoutAWriter(file(), [&] { expectNoneUsable("a named pipe"); }));
    ASSERT_TRUE(test::writeFile(file(), std::string(200 * 1024, '#')));
    expectNoneUsable("an oversized file");

    EXPECT_FALSE(PortMap().loadFile(file())) << "no file";
    EXPECT_TRUE(PortMap().warnings().empty()) << "is no problem";
    EXPECT_EQ(PortMap().path(1), "/dev/ttyS0");
}

}  // namespace
}  // namespace tqm

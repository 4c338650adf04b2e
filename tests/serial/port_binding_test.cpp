#include "serial/port_binding.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/serial_port_discovery.h"
#include "platform/settings_folder.h"
#include "serial/port_map.h"
#include "tests/support/fake_device_tree.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;

class PortBindingTest : public ::testing::Test {
protected:
    void SetUp() override { PortMap().reset(); }
    void TearDown() override {
        PortMap().reset();
        SettingsFolder().choose({});
    }

    fs::path file() const { return m_dir / "PortMap.csv"; }

    test::ScratchDirectory m_dir;
    std::string m_problem;
};

TEST_F(PortBindingTest, ReplacesOnlyTheComNumbersLineAndTheMapFollowsAtOnce) {
    ASSERT_TRUE(test::writeFile(file(), "# the radio room\r\n5,/dev/ttyUSB3\n7 , /dev/pts/1\n5,/dev/ttyUSB4\n"));
    ASSERT_TRUE(PortMap().setOverride(5, "/dev/pts/9"));
    EXPECT_EQ(PortBinding::bind(file(), 5, test::kFtdiById, m_problem), PortBindResult::Bound) << m_problem;
    EXPECT_EQ(test::readFile(file()), std::string("# the radio room\r\n5,") + test::kFtdiById + "\n7 , /dev/pts/1\n");
    EXPECT_EQ(PortMap().path(5), test::kFtdiById) << "the operator's choice wins over the run's override";

    EXPECT_EQ(PortBinding::bind(file(), 7, "", m_problem), PortBindResult::Bound);
    EXPECT_EQ(test::readFile(file()), std::string("# the radio room\r\n5,") + test::kFtdiById + "\n");
    EXPECT_EQ(PortMap().path(7), "/dev/ttyUSB2") << "back to its default device";
}

TEST_F(PortBindingTest, WhatTheMapCouldNotReadBackIsRefusedAndAFileItCannotReadIsKept) {
    const std::string before = "3,/dev/pts/3\n";
    ASSERT_TRUE(test::writeFile(file(), before));
    struct Refused {
        int com;
        std::string target;
    };
    const Refused kRefused[] = {{21, "/dev/ttyUSB0"}, {0, ""}, {3, "/dev/" + std::string(5000, 'x')}};
    for (const Refused& each : kRefused) {
        EXPECT_EQ(PortBinding::bind(file(), each.com, each.target, m_problem), PortBindResult::BadTarget);
        EXPECT_FALSE(m_problem.empty());
    }
    EXPECT_EQ(test::readFile(file()), before);

    fs::remove(file());
    fs::create_directory(file());
    EXPECT_EQ(PortBinding::bind(file(), 3, "/dev/ttyUSB0", m_problem), PortBindResult::Unreadable);
    EXPECT_TRUE(fs::is_directory(file()));
}

TEST_F(PortBindingTest, AFoundAdapterIsStoredByItsStableNameInANewFileOfTheSettingsFolder) {
    ASSERT_TRUE(test::makeFakeDeviceTree(m_dir / "machine"));
    const auto found = SerialPortDiscovery(m_dir / "machine").find();
    EXPECT_EQ(PortBinding::stableName("/dev/ttyS0", found), "/dev/ttyS0");
    EXPECT_EQ(PortBinding::stableName("tcp://radio:4001", found), "tcp://radio:4001");
    const std::string chosen = PortBinding::stableName("/dev/ttyUSB0", found);
    EXPECT_EQ(chosen, test::kFtdiById);

    SettingsFolder().choose(m_dir / "new" / "settings");
    EXPECT_EQ(PortBinding::bind(4, chosen, m_problem), PortBindResult::Bound) << m_problem;
    const std::string text = test::readFile(m_dir / "new/settings/CommoFiles/PortMap.csv");
    EXPECT_EQ(text.substr(text.find('\n') + 1), "4," + chosen + "\n") << "after one comment line";
    PortMap().reset();
    EXPECT_TRUE(PortMap().loadDefaultFile());
    EXPECT_EQ(PortMap().path(4), chosen);
}

}  // namespace
}  // namespace tqm

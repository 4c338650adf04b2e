#include "serial/port_binding.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "serial/port_map.h"
#include "tests/support/fake_device_tree.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;

class PortBindingTest : public ::testing::Test {
protected:
    void SetUp() override { PortMap().reset(); }
    void TearDown() override { PortMap().reset(); }

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
    ASSERT_TRUE(test::writeFile(file(), "3,/dev/pts/3\n"));
    using Target = std::pair<int, std::string>;
    for (const auto& [com, target] : {Target{21, "/dev/ttyUSB0"}, Target{0, ""}, Target{3, std::string(5000, 'x')}}) {
        EXPECT_EQ(PortBinding::bind(file(), com, target, m_problem), PortBindResult::BadTarget) << com;
        EXPECT_FALSE(m_problem.empty());
    }
    EXPECT_EQ(test::readFile(file()), "3,/dev/pts/3\n");
    fs::remove(file());
    fs::create_directory(file());
    EXPECT_EQ(PortBinding::bind(file(), 3, "/dev/ttyUSB0", m_problem), PortBindResult::Unreadable);
    EXPECT_TRUE(fs::is_directory(file()));
}

}  // namespace
}  // namespace tqm

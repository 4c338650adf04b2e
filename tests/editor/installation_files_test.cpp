#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

// The checkout this test was built from: two folders above this file.
std::filesystem::path sourceRoot() {
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

bool haveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

class InstallationFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(sourceRoot() / "resources")) GTEST_SKIP() << "source tree not found";
    }

    test::ScratchDirectory m_dir;
};

TEST_F(InstallationFilesTest, DesktopEntryValidatesAndStartsTheProgram) {
    const auto entry = sourceRoot() / "resources" / "tqm4700-peq.desktop";
    const std::string text = test::readFile(entry);
    EXPECT_NE(text.find("\nExec=tqm4700-peq\n"), std::string::npos);
    EXPECT_NE(text.find("\nIcon=tqm4700-peq\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(sourceRoot() / "resources" / "icons" / "tqm4700-peq.svg"));
    if (!haveTool("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate is not installed";
    const auto log = m_dir / "validate.txt";
    const int status = std::system(("desktop-file-validate " + quoted(entry) + " >" + quoted(log) + " 2>&1").c_str());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(test::readFile(log), "");
}

}  // namespace
}  // namespace tqm

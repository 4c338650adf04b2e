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

    // Renders a manual page with warnings on; true when man succeeded and warned nothing.
    bool renderManPage(const std::filesystem::path& page, std::string& text, std::string& warnings) {
        const auto out = m_dir / "page.txt";
        const auto err = m_dir / "warnings.txt";
        const std::string command = "MANWIDTH=80 man --warnings -l " + quoted(page) + " >" + quoted(out) + " 2>" +
                                    quoted(err) + " </dev/null";
        const int status = std::system(command.c_str());
        text = test::readFile(out);
        warnings = test::readFile(err);
        return status == 0 && warnings.empty();
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

TEST_F(InstallationFilesTest, ProgramManualPageRendersAndDocumentsEveryOption) {
    if (!haveTool("man")) GTEST_SKIP() << "man is not installed";
    std::string text;
    std::string warnings;
    EXPECT_TRUE(renderManPage(sourceRoot() / "resources" / "tqm4700-peq.1", text, warnings)) << warnings;
    for (const char* word : {"--simulate", "--no-splash", "--port-map", "--help", "--version", "-RegServer",
                             "-UnregServer", "-Embedding", "-Automation", "SIGTERM", "registry.reg",
                             "CommSetting.csv", "PortMap.csv", "TQM_REGISTRY_FILE"}) {
        EXPECT_NE(text.find(word), std::string::npos) << word;
    }
}

TEST_F(InstallationFilesTest, SimulatorManualPageRenders) {
    const auto page = sourceRoot() / "sim" / "zr4700-sim.1";
    if (!std::filesystem::exists(page)) GTEST_SKIP() << "no simulator manual page yet";
    if (!haveTool("man")) GTEST_SKIP() << "man is not installed";
    std::string text;
    std::string warnings;
    EXPECT_TRUE(renderManPage(page, text, warnings)) << warnings;
    EXPECT_NE(text.find("zr4700-sim"), std::string::npos);
}

}  // namespace
}  // namespace tqm

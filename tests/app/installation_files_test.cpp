#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace tqm {
namespace {

// True when the shell command exits 0 and prints nothing on standard error.
bool runsCleanly(const std::string& command) {
    return std::system(("test -z \"$(" + command + " 2>&1 >/dev/null)\" && " + command + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(InstallationFiles, DesktopEntryValidatesAndManualPagesRender) {
    const auto root = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
    if (!std::filesystem::exists(root / "resources")) GTEST_SKIP() << "source tree not found";
    if (std::system("command -v desktop-file-validate >/dev/null && command -v man >/dev/null") != 0) {
        GTEST_SKIP() << "desktop-file-utils or man missing";
    }
    EXPECT_TRUE(runsCleanly("desktop-file-validate '" + (root / "resources/tqm4700-peq.desktop").string() + "'"));
    EXPECT_TRUE(runsCleanly("bash -n '" + (root / "resources/tqm4700-ctl.bash").string() + "'"));
    for (const char* page : {"resources/tqm4700-peq.1", "resources/tqm4700-ctl.1", "sim/zr4700-sim.1"}) {
        EXPECT_TRUE(runsCleanly("MANWIDTH=80 man --warnings -l '" + (root / page).string() + "'")) << page;
    }
}

}  // namespace
}  // namespace tqm

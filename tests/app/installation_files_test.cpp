#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace tqm {
namespace {

// The checkout this test was built from: three folders above this file.
std::filesystem::path sourceRoot() { return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path(); }

bool haveTool(const char* name) { return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0; }

// Runs a shell command; true when it exits 0 and prints nothing on stderr.
bool runsCleanly(const std::string& command) {
    return std::system(("test -z \"$(" + command + " 2>&1 >/dev/null)\" && " + command + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(InstallationFiles, DesktopEntryAndMetadataValidateAndManualPagesRender) {
    const auto root = sourceRoot();
    const std::filesystem::path generated = TQM_GENERATED_DIR;
    if (!std::filesystem::exists(root / "resources")) GTEST_SKIP() << "source tree not found";
    if (!haveTool("desktop-file-validate") || !haveTool("man") || !haveTool("appstreamcli")) {
        GTEST_SKIP() << "desktop-file-utils, man or appstream missing";
    }
    EXPECT_TRUE(runsCleanly("desktop-file-validate '" + (root / "resources" / "tqm4700-peq.desktop").string() + "'"));
    EXPECT_TRUE(runsCleanly("appstreamcli validate --no-net --pedantic '" + (generated / TQM_METAINFO_NAME).string() + "'"));
    EXPECT_TRUE(runsCleanly("bash -n '" + (root / "resources" / "tqm4700-ctl.bash").string() + "'"));
    for (const char* page : {"tqm4700-peq.1", "tqm4700-ctl.1", "zr4700-sim.1"}) {
        EXPECT_TRUE(runsCleanly("MANWIDTH=80 man --warnings -l '" + (generated / "man" / page).string() + "'")) << page;
    }
}

}  // namespace
}  // namespace tqm

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "app/app_registration.h"
#include "app/command_line.h"
#include "app/headless_run.h"
#include "platform/registry.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

// The registration switches as a user runs them against whatever the registry path
// holds: they either do their work or say why not, exit non-zero and change nothing.
TEST(AppRegistrationTest, SwitchesThatCannotDoTheirWorkSaySoAndChangeNothing) {
    test::ScratchDirectory dir;
    const std::filesystem::path file = dir / "registry.reg";
    Registry::setPathOverride(file);
    const auto writeText = [&](const std::string& text) { ASSERT_TRUE(test::writeFile(file, text)); };
    const auto snapshot = [&] { return std::filesystem::is_directory(file) ? "a directory" : test::readFile(file); };
    const struct {
        const char* what;
        std::function<void()> prepare;
        const char* words;  // on standard error
    } rows[] = {
        {"a text file of three lines", [&] { writeText("one\ntwo\nthree\n"); }, "not a registry file"},
        {"a directory", [&] { std::filesystem::create_directory(file); }, "not a regular file"},
        {"a file below a file",
         [&] {
             writeText("in the way\n");
             Registry::setPathOverride(file / "registry.reg");
         },
         "Not a directory"},
    };
    for (const auto& row : rows) {
        for (const char* option : {"-RegServer", "-UnregServer"}) {
            SCOPED_TRACE(std::string(row.what) + ", " + option);
            std::filesystem::remove_all(file);
            Registry::setPathOverride(file);
            row.prepare();
            const std::string before = snapshot();
            std::ostringstream out;
            std::ostringstream err;
            EXPECT_EQ(runHeadless(parseCommandLine({option}), out, err), kExitRegistrationFailed);
            EXPECT_NE(err.str().find(row.words), std::string::npos) << err.str();
            EXPECT_NE(err.str().find(Registry::filePath().string()), std::string::npos) << err.str();
            EXPECT_EQ(snapshot(), before);
        }
    }

    // A write that fails (here: through a link into a folder that is gone) is a failed
    // registration too.
    std::filesystem::remove_all(file);
    Registry::setPathOverride(file);
    std::filesystem::create_symlink(dir / "gone" / "registry.reg", file);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(runHeadless(parseCommandLine({"-RegServer"}), out, err), kExitRegistrationFailed);
    EXPECT_NE(err.str().find("No such file or directory"), std::string::npos) << err.str();

    // Lines of a registry file that registration does not understand stay where they were.
    std::filesystem::remove(file);
    writeText("Windows Registry Editor Version 5.00\n\n; kept\n[HKEY_CLASSES_ROOT\\AppID]\n\"Count\"=dword:00000002\n");
    EXPECT_EQ(runHeadless(parseCommandLine({"-RegServer"}), out, err), kExitSuccess);
    const std::string registered = test::readFile(file);
    EXPECT_NE(registered.find("\n; kept\n"), std::string::npos) << registered;
    EXPECT_NE(registered.find("[HKEY_CLASSES_ROOT\\AppID]\n\"Count\"=dword:00000002\n"), std::string::npos)
        << registered;
    EXPECT_NE(registered.find(kAppIdExeKey), std::string::npos) << registered;
    Registry::setPathOverride({});
}

}  // namespace
}  // namespace tqm

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/command_line.h"

namespace tqm {
namespace {

using Args = std::vector<std::string>;

// The first look at the command line, before any window: the toolkit's options are
// left for it, and the starts without a window are still found.
TEST(ToolkitOptions, AreLeftToTheToolkitOnTheFirstLookAndRefusedOnTheSecond) {
    struct Case {
        Args args;
        CommandAction first;
    };
    const Case kCases[] = {
        {{"-style", "fusion", "--simulate"}, CommandAction::RunWindow},
        {{"-platform", "offscreen", "-RegServer"}, CommandAction::RegServer},
        {{"-style=fusion", "-Embedding"}, CommandAction::Automation},
        {{"-reverse", "--help"}, CommandAction::Help},
        {{"-style", "fusion", "--port-map", "3"}, CommandAction::Error},
        {{"-style", "fusion", "--simulte"}, CommandAction::Error},  // a mistake, told without a display
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(joinArguments(c.args));
        const CommandLine first = parseCommandLine(c.args, UnknownOptions::LeaveToToolkit);
        EXPECT_EQ(first.action, c.first);
        EXPECT_TRUE(first.warnings.empty()) << first.warnings.front();
    }
    EXPECT_EQ(parseCommandLine(Args{"-style", "fusion"}).action, CommandAction::Error);
}

TEST(ToolkitOptions, SettingsDirNamesTheFolderAndNeedsOne) {
    EXPECT_EQ(parseCommandLine(Args{"--settings-dir", "/media/stick/tqm"}).settingsDir, "/media/stick/tqm");
    EXPECT_EQ(parseCommandLine(Args{"--settings-dir=here"}).settingsDir, "here");
    EXPECT_EQ(parseCommandLine(Args{"--settings-dir="}).action, CommandAction::Error);
    EXPECT_EQ(parseCommandLine(Args{"--settings-dir"}).action, CommandAction::Error);
}

}  // namespace
}  // namespace tqm

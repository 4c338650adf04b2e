#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/command_line.h"

namespace tqm {
namespace {

using Args = std::vector<std::string>;

// The first look, before any window: "-word" options are left for the toolkit, and
// the starts without a window and our own mistakes are still found.
TEST(ToolkitOptions, AreLeftToTheToolkitOnTheFirstLookAndRefusedOnTheSecond) {
    const std::pair<Args, CommandAction> kCases[] = {
        {{"-style", "fusion", "--simulate"}, CommandAction::RunWindow},
        {{"-platform", "offscreen", "-RegServer"}, CommandAction::RegServer},
        {{"-style=fusion", "-Embedding"}, CommandAction::Automation},
        {{"-reverse", "--help"}, CommandAction::Help},
        {{"-style", "fusion", "--port-map", "3"}, CommandAction::Error},
        {{"-style", "fusion", "--simulte"}, CommandAction::Error},
    };
    for (const auto& [args, action] : kCases) {
        const CommandLine first = parseCommandLine(args, UnknownOptions::LeaveToToolkit);
        EXPECT_EQ(first.action, action) << joinArguments(args);
        EXPECT_TRUE(first.warnings.empty()) << joinArguments(args);
    }
    EXPECT_EQ(parseCommandLine(Args{"-style", "fusion"}).action, CommandAction::Error);
    EXPECT_EQ(parseCommandLine(Args{"--settings-dir", "/media/stick/tqm"}).settingsDir, "/media/stick/tqm");
    EXPECT_EQ(parseCommandLine(Args{"--settings-dir="}).action, CommandAction::Error);
}

}  // namespace
}  // namespace tqm

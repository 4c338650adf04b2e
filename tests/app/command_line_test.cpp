#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/command_line.h"

namespace tqm {
namespace {

using Args = std::vector<std::string>;

TEST(ServerSwitchScan, MatchesOnlyTheWholeRestOfTheLineAfterADashOrSlash) {
    const std::pair<const char*, ServerSwitch> cases[] = {
        {"/RegServer", ServerSwitch::RegServer},     {"-REGSERVER", ServerSwitch::RegServer},
        {"-unregSERVER", ServerSwitch::UnregServer}, {"--simulate /RegServer", ServerSwitch::RegServer},
        {"x-RegServer", ServerSwitch::RegServer},    {"RegServer", ServerSwitch::None},
        {"-RegServer --simulate", ServerSwitch::None}, {"-RegServer ", ServerSwitch::None},
        {"-RegServerX", ServerSwitch::None},         {"-", ServerSwitch::None},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(findServerSwitch(line), expected) << '"' << line << '"';
}

// Registration decides first, then help, version and automation. "-word" options are
// left for the toolkit without a warning before any window, refused after.
TEST(CommandLineParse, ChoosesTheActionRegistrationFirst) {
    constexpr auto kToolkit = UnknownOptions::LeaveToToolkit;
    constexpr auto kRefuse = UnknownOptions::Refuse;
    const struct {
        Args args;
        UnknownOptions unknown;
        CommandAction action;
    } rows[] = {
        {{"--bogus", "--help", "/RegServer"}, kRefuse, CommandAction::RegServer},
        {{"/Reg", "Server"}, kRefuse, CommandAction::RunWindow},
        {{"-Embedding", "--help"}, kRefuse, CommandAction::Help},
        {{"--version", "--bogus"}, kRefuse, CommandAction::Version},
        {{"/automation"}, kRefuse, CommandAction::Automation},
        {{"-style", "fusion"}, kRefuse, CommandAction::Error},
        {{"--settings-dir="}, kRefuse, CommandAction::Error},
        {{"-style", "fusion", "--simulate"}, kToolkit, CommandAction::RunWindow},
        {{"-platform", "offscreen", "-RegServer"}, kToolkit, CommandAction::RegServer},
        {{"-style=fusion", "-Embedding"}, kToolkit, CommandAction::Automation},
        {{"-reverse", "--help"}, kToolkit, CommandAction::Help},
        {{"-style", "fusion", "--port-map", "3"}, kToolkit, CommandAction::Error},
        {{"-style", "fusion", "--simulte"}, kToolkit, CommandAction::Error},
    };
    for (const auto& row : rows) {
        const CommandLine line = parseCommandLine(row.args, row.unknown);
        EXPECT_EQ(line.action, row.action) << joinArguments(row.args);
        if (row.unknown == kToolkit) {
            EXPECT_TRUE(line.warnings.empty()) << joinArguments(row.args);
        }
    }
}

TEST(CommandLineParse, FlagsPortMapsAndTheSettingFileAreCollectedAndBadOnesNamed) {
    const char* argv[] = {"/usr/bin/tqm4700-peq", "--simulate", "--port-map", "3=/dev/pts/4", "--no-splash",
                          "--port-map=20=/dev/a=b", "--trace", "-", "/home/op/eq.pef", "--port-map",
                          "4=rfc2217://[::1]:4001", "--settings-dir", "/media/stick/tqm", "second.pef"};
    const CommandLine line = parseCommandLine(static_cast<int>(std::size(argv)), argv);
    EXPECT_EQ(line.action, CommandAction::RunWindow);
    EXPECT_TRUE(line.simulate);
    EXPECT_TRUE(line.noSplash);
    Args maps;
    for (const auto& entry : line.portMap) maps.push_back(std::to_string(entry.comNumber) + "=" + entry.path);
    EXPECT_EQ(maps, (Args{"3=/dev/pts/4", "20=/dev/a=b", "4=rfc2217://[::1]:4001"}));
    EXPECT_EQ(line.traceFile, "-");
    EXPECT_EQ(line.settingsDir, "/media/stick/tqm");
    EXPECT_EQ(line.settingFile, "/home/op/eq.pef") << "the first argument that is no option";
    ASSERT_EQ(line.warnings.size(), 1u);
    EXPECT_NE(line.warnings[0].find("second.pef"), std::string::npos) << line.warnings[0];

    const std::vector<std::pair<Args, std::string>> bad = {
        {{"--bogus"}, "--bogus"}, {{"--simulate=1"}, "--simulate"}, {{"--port-map"}, "--port-map"},
        {{"--port-map", "21=/dev/x"}, "21=/dev/x"}, {{"--port-map", "0=/dev/x"}, "0=/dev/x"},
        {{"--port-map", "3="}, "3="}, {{"--port-map", "x3=/dev/x"}, "1 to 20"},
        {{"--port-map", "3:/dev/x"}, "expected N=PATH"},
        {{"--port-map", "3=/" + std::string(5000, 'd')}, "longer than 4095 characters"},
        {{"--port-map", "3=tcp://radio"}, "HOST:PORT"}, {{"--trace"}, "--trace"}, {{"--trace="}, "--trace"},
    };
    for (const auto& [args, culprit] : bad) {
        const CommandLine parsed = parseCommandLine(args);
        EXPECT_EQ(parsed.action, CommandAction::Error) << joinArguments(args);
        EXPECT_NE(parsed.error.find(culprit), std::string::npos) << parsed.error;
    }
}

}  // namespace
}  // namespace tqm

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/command_line.h"

namespace tqm {
namespace {

using Args = std::vector<std::string>;

struct SwitchCase {
    const char* line;
    ServerSwitch expected;
};

TEST(ServerSwitchScan, MatchesOnlyTheWholeRestOfTheLineAfterADashOrSlash) {
    const SwitchCase cases[] = {
        {"/RegServer", ServerSwitch::RegServer},
        {"-regserver", ServerSwitch::RegServer},
        {"-REGSERVER", ServerSwitch::RegServer},
        {"/UnregServer", ServerSwitch::UnregServer},
        {"-unregSERVER", ServerSwitch::UnregServer},
        {"--simulate /RegServer", ServerSwitch::RegServer},
        {"x-RegServer", ServerSwitch::RegServer},
        {"-/RegServer", ServerSwitch::RegServer},
        {"--RegServer", ServerSwitch::RegServer},
        {"RegServer", ServerSwitch::None},
        {"UnregServer", ServerSwitch::None},
        {"-RegServer --simulate", ServerSwitch::None},
        {"-RegServer ", ServerSwitch::None},
        {"-RegServerX", ServerSwitch::None},
        {"-Reg Server", ServerSwitch::None},
        {"-Unreg", ServerSwitch::None},
        {"", ServerSwitch::None},
        {"-", ServerSwitch::None},
    };
    for (const SwitchCase& c : cases) {
        EXPECT_EQ(findServerSwitch(c.line), c.expected) << '"' << c.line << '"';
    }
}

TEST(CommandLineParse, RegistrationSwitchDecidesBeforeAnyOtherOption) {
    const CommandLine reg = parseCommandLine(Args{"--bogus", "--help", "/RegServer"});
    EXPECT_EQ(reg.action, CommandAction::RegServer);
    EXPECT_TRUE(reg.error.empty());
    EXPECT_EQ(parseCommandLine(Args{"-Embedding", "-unregserver"}).action, CommandAction::UnregServer);
    // The arguments are joined with single blanks before the scan.
    EXPECT_EQ(parseCommandLine(Args{"--port-map", "3=/dev/x", "x/RegServer"}).action, CommandAction::RegServer);
    EXPECT_EQ(parseCommandLine(Args{"/Reg", "Server"}).action, CommandAction::RunWindow);
}

TEST(CommandLineParse, SwitchNotAtTheEndOrWithoutAMarkStartsTheWindowWithAWarning) {
    for (const Args& args : {Args{"RegServer"}, Args{"UnregServer"}, Args{"-RegServer", "--simulate"}}) {
        const CommandLine line = parseCommandLine(args);
        EXPECT_EQ(line.action, CommandAction::RunWindow) << joinArguments(args);
        ASSERT_EQ(line.warnings.size(), 1u) << joinArguments(args);
        EXPECT_NE(line.warnings[0].find(args[0]), std::string::npos) << line.warnings[0];
    }
}

TEST(CommandLineParse, EmbeddingAndAutomationSwitchesInAnyCaseStartWithoutWindow) {
    for (const char* arg : {"-Embedding", "/Embedding", "-embedding", "/EMBEDDING", "-Automation", "/automation"}) {
        EXPECT_EQ(parseCommandLine(Args{arg}).action, CommandAction::Automation) << arg;
    }
    const CommandLine mixed = parseCommandLine(Args{"--simulate", "/Automation", "--no-splash"});
    EXPECT_EQ(mixed.action, CommandAction::Automation);
    EXPECT_TRUE(mixed.simulate);
    EXPECT_TRUE(mixed.noSplash);
}

TEST(CommandLineParse, FlagsAndPortMapsAreCollectedInOrder) {
    const CommandLine line =
        parseCommandLine(Args{"--simulate", "--port-map", "3=/dev/pts/4", "--no-splash", "--port-map=20=/dev/a=b"});
    EXPECT_EQ(line.action, CommandAction::RunWindow);
    EXPECT_TRUE(line.simulate);
    EXPECT_TRUE(line.noSplash);
    ASSERT_EQ(line.portMap.size(), 2u);
    EXPECT_EQ(line.portMap[0].comNumber, 3);
    EXPECT_EQ(line.portMap[0].path, "/dev/pts/4");
    EXPECT_EQ(line.portMap[1].comNumber, 20);
    EXPECT_EQ(line.portMap[1].path, "/dev/a=b");
}

TEST(CommandLineParse, HelpAndVersionEndTheParse) {
    EXPECT_EQ(parseCommandLine(Args{"--help"}).action, CommandAction::Help);
    EXPECT_EQ(parseCommandLine(Args{"-h"}).action, CommandAction::Help);
    EXPECT_EQ(parseCommandLine(Args{"--version"}).action, CommandAction::Version);
    EXPECT_EQ(parseCommandLine(Args{"--version", "--bogus"}).action, CommandAction::Version);
    EXPECT_EQ(parseCommandLine(Args{"-Embedding", "--help"}).action, CommandAction::Help);
    EXPECT_EQ(parseCommandLine(Args{"--bogus", "--version"}).action, CommandAction::Error);
}

TEST(CommandLineParse, BadOptionsAreErrorsThatNameTheCulprit) {
    const std::vector<std::pair<Args, std::string>> cases = {
        {{"--bogus"}, "--bogus"},
        {{"-x"}, "-x"},
        {{"-Embeddingx"}, "-Embeddingx"},
        {{"--simulate=1"}, "--simulate"},
        {{"--port-map"}, "--port-map"},
        {{"--port-map", "0=/dev/x"}, "0=/dev/x"},
        {{"--port-map", "21=/dev/x"}, "21=/dev/x"},
        {{"--port-map", "3="}, "3="},
        {{"--port-map", "=/dev/x"}, "=/dev/x"},
        {{"--port-map", "a=/dev/x"}, "a=/dev/x"},
        {{"--port-map=/dev/x"}, "/dev/x"},
    };
    for (const auto& [args, culprit] : cases) {
        const CommandLine line = parseCommandLine(args);
        EXPECT_EQ(line.action, CommandAction::Error) << joinArguments(args);
        EXPECT_NE(line.error.find(culprit), std::string::npos) << line.error;
    }
}

TEST(CommandLineParse, ArgvFormSkipsTheProgramName) {
    const char* argv[] = {"/usr/bin/tqm4700-peq", "--simulate", "--port-map", "1=/dev/ttyS9"};
    const CommandLine line = parseCommandLine(4, argv);
    EXPECT_TRUE(line.simulate);
    ASSERT_EQ(line.portMap.size(), 1u);
    EXPECT_EQ(line.portMap[0].comNumber, 1);

    const char* reg[] = {"tqm4700-peq-RegServer"};
    EXPECT_EQ(parseCommandLine(1, reg).action, CommandAction::RunWindow);
}

}  // namespace
}  // namespace tqm

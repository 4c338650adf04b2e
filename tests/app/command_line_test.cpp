#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/command_line.h"

namespace tqm {
namespace {

using Args = std::vector<std::string>;

struct SwitchCase {
    const char* line;
    ServerSwitch expected;
};

TEST(ServerSwitchScan, MatchesOnlyTheWholeRestOfTheLineAfterADashOrSlash) {
    const SwitchCase cases[] = {
        {"/RegServer", ServerSwitch::RegServer},     {"-REGSERVER", ServerSwitch::RegServer},
        {"-unregSERVER", ServerSwitch::UnregServer}, {"--simulate /RegServer", ServerSwitch::RegServer},
        {"x-RegServer", ServerSwitch::RegServer},    {"RegServer", ServerSwitch::None},
        {"-RegServer --simulate", ServerSwitch::None}, {"-RegServer ", ServerSwitch::None},
        {"-RegServerX", ServerSwitch::None},         {"-", ServerSwitch::None},
    };
    for (const SwitchCase& c : cases) {
        EXPECT_EQ(findServerSwitch(c.line), c.expected) << '"' << c.line << '"';
    }
}

TEST(CommandLineParse, RegistrationDecidesFirstThenHelpVersionAndAutomation) {
    EXPECT_EQ(parseCommandLine(Args{"--bogus", "--help", "/RegServer"}).action, CommandAction::RegServer);
    EXPECT_EQ(parseCommandLine(Args{"/Reg", "Server"}).action, CommandAction::RunWindow);
    const CommandLine warned = parseCommandLine(Args{"-RegServer", "--simulate"});
    EXPECT_EQ(warned.action, CommandAction::RunWindow);
    ASSERT_EQ(warned.warnings.size(), 1u);
    EXPECT_NE(warned.warnings[0].find("-RegServer"), std::string::npos) << warned.warnings[0];
    EXPECT_EQ(parseCommandLine(Args{"-Embedding", "--help"}).action, CommandAction::Help);
    EXPECT_EQ(parseCommandLine(Args{"--version", "--bogus"}).action, CommandAction::Version);
    EXPECT_EQ(parseCommandLine(Args{"/automation"}).action, CommandAction::Automation);
}

TEST(CommandLineParse, FlagsAndPortMapsAreCollectedAndBadOnesNamed) {
    const char* argv[] = {"/usr/bin/tqm4700-peq", "--simulate", "--port-map", "3=/dev/pts/4", "--no-splash",
                          "--port-map=20=/dev/a=b", "--trace", "-", "--port-map", "4=rfc2217://[::1]:4001"};
    const CommandLine line = parseCommandLine(10, argv);
    EXPECT_EQ(line.action, CommandAction::RunWindow);
    EXPECT_TRUE(line.simulate);
    EXPECT_TRUE(line.noSplash);
    ASSERT_EQ(line.portMap.size(), 3u);
    EXPECT_EQ(line.portMap[0].comNumber, 3);
    EXPECT_EQ(line.portMap[0].path, "/dev/pts/4");
    EXPECT_EQ(line.portMap[1].path, "/dev/a=b");
    EXPECT_EQ(line.portMap[2].path, "rfc2217://[::1]:4001");
    EXPECT_EQ(line.traceFile, "-");

    const std::vector<std::pair<Args, std::string>> bad = {
        {{"--bogus"}, "--bogus"}, {{"--simulate=1"}, "--simulate"}, {{"--port-map"}, "--port-map"},
        {{"--port-map", "21=/dev/x"}, "21=/dev/x"}, {{"--port-map", "3="}, "3="},
        {{"--port-map", "x3=/dev/x"}, "1 to 20"},   {{"--port-map", "3:/dev/x"}, "expected N=PATH"},
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

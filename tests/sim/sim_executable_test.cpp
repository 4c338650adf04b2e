#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/sim_options.h"
#include "tests/sim/slave_client.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_directory.h"

namespace tqm::test {
namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

// Starts that end at once: what the user reads and the exit status.
TEST(SimExecutableTest, HelpVersionAndStartsThatCannotRun) {
    ScratchDirectory dir;
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* words;
    } rows[] = {
        {{"--help"}, 0, "--refuse-ai"},
        {{"--version"}, 0, "zr4700-sim 1."},
        {{"--baud", "300"}, 2, "--baud"},
        {{"--log", (dir / "missing" / "wire.log").string()}, 1, "wire.log: No such file or directory"},
    };
    for (const auto& row : rows) {
        ChildProcess sim = runProgram(TQM_ZR4700_SIM_PATH, row.args, dir / "out");
        EXPECT_EQ(sim.exitCode(5s), row.exitCode) << row.args[0];
        EXPECT_NE(readFile(dir / "out").find(row.words), std::string::npos) << readFile(dir / "out");
    }
}

// The device is printed and served (through the link), the wire logged, and a signal
// ends the run. A log that takes nothing (a full disk) is reported once, with the
// reason, and the run ends with status 1; the radio goes on answering.
TEST(SimExecutableTest, ServesThePrintedDeviceAndEndsOnSignals) {
    ScratchDirectory dir;
    const std::filesystem::path link = dir / "link";
    const std::vector<std::string> all = {"--baud", "38400", "--link", link.string(), "--log", (dir / "wire.log").string(),
                                          "--model", "1234", "--id-suffix", "042"};
    const struct {
        int endSignal;
        std::vector<std::string> args;
        int exitCode;
        const char* identity;  // the reply to "ID4700;"
    } rows[] = {{SIGTERM, all, 0, "ID1234042;"}, {SIGINT, all, 0, "ID1234042;"}, {SIGTERM, {"--log", "/dev/full"}, 1, "ID4700001;"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args.back());
        ChildProcess sim = runProgram(TQM_ZR4700_SIM_PATH, row.args, dir / "out");
        const auto output = [&] { return readFile(dir / "out"); };
        ASSERT_TRUE(waitUntil([&] { return output().find('\n') != std::string::npos; }, 5000ms));
        const std::string device = output().substr(0, output().find('\n'));
        ASSERT_EQ(device.rfind("/dev/", 0), 0u) << output();
        EXPECT_TRUE(row.exitCode != 0 || std::filesystem::read_symlink(link) == device);
        {
            SlaveClient client;
            ASSERT_TRUE(client.open(device));
            EXPECT_EQ(client.ask("ID4700;"), row.identity);
            EXPECT_EQ(client.ask("PS;"), "PS1;");
        }
        ASSERT_TRUE(sim.signal(row.endSignal));
        EXPECT_EQ(sim.exitCode(5s), row.exitCode);
        const std::string text = output(), reason = "/dev/full: No space left on device";
        if (row.exitCode == 0) {
            EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << "the link goes with the run";
            EXPECT_NE(readFile(dir / "wire.log").find(" > ID4700;"), std::string::npos);
        } else {
            EXPECT_NE(text.find(reason), std::string::npos) << text;
            EXPECT_EQ(text.find(reason), text.rfind(reason)) << "reported once: " << text;
        }
    }
}

TEST(SimOptionsTest, ValuesReachTheConfigurationAndOutOfRangeOnesAreRefused) {
    sim::SimConfig config;
    std::string error;
    const Args args = {"--baud", "19200", "--model", "4800", "--id-suffix", "042", "--drop=0.02",
                       "--power-on-at", "3", "--program-start-values", "--pe", "011=-3", "--pe", "220=+18", "--refuse-ai", "--delay-ms", "0"};
    ASSERT_EQ(sim::parseSimOptions(args, config, error), sim::OptionsResult::Run) << error;
    EXPECT_EQ(std::tuple(config.baud, config.modelCode, config.idSuffix, config.dropRate, config.powerOnAt,
                         config.refuseAi),
              std::tuple(19200, std::string("4800"), 42, 0.02, std::optional(3.0), true));
    const auto& pe = config.peq;
    EXPECT_EQ((std::array{pe[sim::peIndex({0, 1, 1})], pe[sim::peIndex({2, 2, 0})], pe[sim::peIndex({0, 0, 2})]}),
              (std::array{-3, 18, 10})) << "the last one a program start value";

    for (const Args& bad : {Args{"--baud", "1200"}, Args{"--model", "470"}, Args{"--model", "47a0"},
                            Args{"--id-suffix", "1000"}, Args{"--noise", "1.5"}, Args{"--drop", "-0.1"},
                            Args{"--delay-ms", "-1"}, Args{"--front-panel", "0"}, Args{"--power-off-at", "soon"},
                            Args{"--pe", "000=8"}, Args{"--pe", "300=1"}, Args{"--pe", "011"}, Args{"--baud"},
                            Args{"--silent=1"}, Args{"--colour"}, Args{"extra"}}) {
        sim::SimConfig untouched;
        error.clear();
        EXPECT_EQ(sim::parseSimOptions(bad, untouched, error), sim::OptionsResult::Error) << bad[0];
        EXPECT_FALSE(error.empty()) << bad[0];
    }
}


}  // namespace
}  // namespace tqm::test

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_options.h"

namespace tqm {
namespace {

using Args = std::vector<std::string>;
using sim::OptionsResult;

OptionsResult parse(const Args& args, sim::SimConfig& config) {
    std::string error;
    return sim::parseSimOptions(args, config, error);
}

TEST(SimOptionsTest, EveryOptionReachesTheConfiguration) {
    sim::SimConfig config;
    const Args args = {"--baud", "19200", "--link", "/tmp/zr", "--silent", "--model", "4800", "--id-suffix", "042",
                       "--refuse-ai", "--delay-ms", "25", "--noise", "0.01", "--drop=0.02", "--power-off-at", "1.5",
                       "--power-on-at", "3", "--front-panel", "0.5", "--log", "wire.log", "--seed", "99",
                       "--program-start-values", "--pe", "011=-3", "--pe", "220=+18"};
    ASSERT_EQ(parse(args, config), OptionsResult::Run);
    EXPECT_EQ(config.baud, 19200);
    EXPECT_EQ(config.linkPath, "/tmp/zr");
    EXPECT_TRUE(config.silent);
    EXPECT_EQ(config.modelCode, "4800");
    EXPECT_EQ(config.idSuffix, 42);
    EXPECT_TRUE(config.refuseAi);
    EXPECT_EQ(config.replyDelay.count(), 25);
    EXPECT_DOUBLE_EQ(config.noiseRate, 0.01);
    EXPECT_DOUBLE_EQ(config.dropRate, 0.02);
    EXPECT_EQ(config.powerOffAt, 1.5);
    EXPECT_EQ(config.powerOnAt, 3.0);
    EXPECT_EQ(config.frontPanelPeriod, 0.5);
    EXPECT_EQ(config.logPath, "wire.log");
    EXPECT_EQ(config.seed, 99u);
    EXPECT_EQ(config.peq[sim::peIndex({0, 1, 1})], -3);
    EXPECT_EQ(config.peq[sim::peIndex({2, 2, 0})], 18);
    EXPECT_EQ(config.peq[sim::peIndex({0, 0, 2})], 10);  // program start value
}

TEST(SimOptionsTest, RefusesValuesOutsideTheirRange) {
    for (const Args& args : {Args{"--baud", "1200"}, Args{"--model", "470"}, Args{"--model", "47a0"},
                             Args{"--id-suffix", "1000"}, Args{"--id-suffix", "7"}, Args{"--noise", "1.5"},
                             Args{"--drop", "-0.1"}, Args{"--delay-ms", "-1"}, Args{"--front-panel", "0"},
                             Args{"--power-off-at", "soon"}, Args{"--pe", "000=8"}, Args{"--pe", "300=1"},
                             Args{"--pe", "011"}, Args{"--seed", "x"}, Args{"--baud"}, Args{"--silent=1"},
                             Args{"--colour"}, Args{"extra"}}) {
        sim::SimConfig config;
        std::string error;
        EXPECT_EQ(sim::parseSimOptions(args, config, error), OptionsResult::Error) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(SimOptionsTest, HelpListsEveryOption) {
    sim::SimConfig config;
    EXPECT_EQ(parse({"--help"}, config), OptionsResult::Help);
    const std::string text = sim::simUsageText();
    for (const char* name : {"--baud", "--link", "--silent", "--model", "--id-suffix", "--refuse-ai", "--delay-ms",
                             "--noise", "--drop", "--power-off-at", "--power-on-at", "--front-panel", "--log",
                             "--seed", "--pe", "--program-start-values", "--help"}) {
        EXPECT_NE(text.find(std::string("  ") + name + " "), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace tqm

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_options.h"

namespace tqm {
namespace {

using Args = std::vector<std::string>;
using sim::OptionsResult;

TEST(SimOptionsTest, ValuesReachTheConfigurationAndOutOfRangeOnesAreRefused) {
    sim::SimConfig config;
    std::string error;
    const Args args = {"--baud", "19200", "--model", "4800", "--id-suffix", "042", "--drop=0.02",
                       "--power-on-at", "3", "--program-start-values", "--pe", "011=-3", "--pe", "220=+18", "--refuse-ai", "--delay-ms", "0"};
    ASSERT_EQ(sim::parseSimOptions(args, config, error), OptionsResult::Run) << error;
    EXPECT_EQ(config.baud, 19200);
    EXPECT_EQ(config.modelCode, "4800");
    EXPECT_EQ(config.idSuffix, 42);
    EXPECT_DOUBLE_EQ(config.dropRate, 0.02);
    EXPECT_EQ(config.powerOnAt, 3.0);
    EXPECT_TRUE(config.refuseAi);
    EXPECT_EQ(config.peq[sim::peIndex({0, 1, 1})], -3);
    EXPECT_EQ(config.peq[sim::peIndex({2, 2, 0})], 18);
    EXPECT_EQ(config.peq[sim::peIndex({0, 0, 2})], 10);  // a program start value

    for (const Args& bad : {Args{"--baud", "1200"}, Args{"--model", "470"}, Args{"--model", "47a0"},
                            Args{"--id-suffix", "1000"}, Args{"--noise", "1.5"}, Args{"--drop", "-0.1"},
                            Args{"--delay-ms", "-1"}, Args{"--front-panel", "0"}, Args{"--power-off-at", "soon"},
                            Args{"--pe", "000=8"}, Args{"--pe", "300=1"}, Args{"--pe", "011"}, Args{"--baud"},
                            Args{"--silent=1"}, Args{"--colour"}, Args{"extra"}}) {
        sim::SimConfig untouched;
        error.clear();
        EXPECT_EQ(sim::parseSimOptions(bad, untouched, error), OptionsResult::Error) << bad[0];
        EXPECT_FALSE(error.empty()) << bad[0];
    }
}

}  // namespace
}  // namespace tqm

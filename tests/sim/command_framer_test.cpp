#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/command_framer.h"
#include "sim/peq_value_table.h"

namespace tqm {
namespace {

std::vector<std::string> frame(sim::CommandFramer& framer, const std::string& bytes) {
    std::vector<std::string> out;
    framer.feed(bytes.data(), bytes.size(), out);
    return out;
}

using Commands = std::vector<std::string>;

TEST(CommandFramerTest, CutsCommandsAtTheTerminatorAcrossPieces) {
    sim::CommandFramer framer;
    EXPECT_EQ(frame(framer, "AI1;PE0"), Commands{"AI1;"});
    EXPECT_EQ(frame(framer, "01;PS"), Commands{"PE001;"});
    EXPECT_EQ(frame(framer, ";"), Commands{"PS;"});
    EXPECT_EQ(framer.discardedCount(), 0u);
}

TEST(CommandFramerTest, SkipsGarbageBeforeALetterPair) {
    sim::CommandFramer framer;
    EXPECT_EQ(frame(framer, std::string("\x00\xff;;12a", 7) + "ID;"), Commands{"ID;"});
    EXPECT_EQ(frame(framer, "A1AI;"), Commands{"AI;"});
    EXPECT_EQ(frame(framer, "P;PS;"), Commands{"PS;"});
    EXPECT_EQ(framer.discardedCount(), 7u + 2u + 2u);
}

TEST(CommandFramerTest, ThrowsAwayOverLongInputUpToTheNextTerminator) {
    sim::CommandFramer framer;
    const std::string longCommand = "EX" + std::string(sim::CommandFramer::kMaxCommandLength, '1') + ";";
    EXPECT_EQ(frame(framer, longCommand + "AI;"), Commands{"AI;"});
    EXPECT_EQ(framer.discardedCount(), longCommand.size());
    // Just below the limit still passes.
    const std::string longest = "EX" + std::string(sim::CommandFramer::kMaxCommandLength - 3, '1') + ";";
    EXPECT_EQ(frame(framer, longest), Commands{longest});
}

TEST(CommandFramerTest, ResetForgetsAHalfCommand) {
    sim::CommandFramer framer;
    EXPECT_TRUE(frame(framer, "PE00").empty());
    framer.reset();
    EXPECT_EQ(frame(framer, "1;AI;"), Commands{"AI;"});
}

TEST(PeqValueTableTest, EveryValueInRangeSurvivesTheWireFormat) {
    for (std::size_t i = 0; i < sim::kPeCount; ++i) {
        const sim::PeAddress a = sim::peAddressAt(i);
        EXPECT_EQ(sim::peIndex(a), i);
        const sim::PeRange range = sim::peRange(a);
        for (int v = range.min; v <= range.max; ++v) {
            const std::string text = sim::formatPeValue(a, v);
            ASSERT_EQ(text.size(), 3u);
            EXPECT_EQ(sim::parsePeValue(a, text), v) << text;
        }
        EXPECT_FALSE(sim::peValueInRange(a, range.min - 1));
        EXPECT_FALSE(sim::peValueInRange(a, range.max + 1));
    }
    EXPECT_EQ(sim::formatPeValue({0, 0, 1}, 0), "000");
    EXPECT_EQ(sim::formatPeValue({0, 0, 1}, -3), "-03");
    EXPECT_EQ(sim::formatPeValue({0, 0, 1}, 10), "+10");
    EXPECT_EQ(sim::formatPeValue({0, 2, 0}, 12), "012");
}

}  // namespace
}  // namespace tqm

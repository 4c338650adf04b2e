#include <string>

#include <gtest/gtest.h>

#include "protocol/pe_command.h"
#include "protocol/trx_state.h"
#include "tests/protocol/protocol_fixture.h"

namespace tqm {
namespace {

std::string readText(int set, int band, int param) {
    char out[16] = {};
    return std::string(out, buildPeRead(set, band, param, out));
}

std::string setText(int set, int band, int param, std::int32_t value) {
    char out[16] = {};
    return std::string(out, buildPeSet(set, band, param, value, out));
}

class PeReplyTest : public ::testing::Test {
protected:
    void SetUp() override { test::resetLinkState(); }

    bool parse(const char* text) {
        const ReplyRecord record = makeReplyRecord(text);
        return parsePeReply(9, &record);
    }

    Trx_StateGuard state;
};

TEST(PeCommandBuilder, ReadsAndSetsCarryTheValueInThreeCharacters) {
    EXPECT_EQ(readText(0, 0, 0), "PE000;");
    EXPECT_EQ(readText(2, 2, 2), "PE222;");
    EXPECT_EQ(readText(3, 0, 0), "");
    EXPECT_EQ(readText(0, 0, 3), "");
    EXPECT_EQ(setText(0, 0, 1, 0), "PE001000;") << "a zero level has no sign";
    EXPECT_EQ(setText(0, 0, 1, -5), "PE001-05;");
    EXPECT_EQ(setText(0, 0, 1, 10), "PE001+10;");
    EXPECT_EQ(setText(2, 2, 0, 18), "PE220018;");
    EXPECT_EQ(setText(0, 0, 2, 1), "PE002001;");
    EXPECT_EQ(setText(0, 0, 0, -1), "") << "FREQ has no sign";
    EXPECT_EQ(setText(0, 0, 1, 100), "");
    EXPECT_EQ(setText(0, 3, 1, 1), "");
}

TEST_F(PeReplyTest, SignFormsOutOfRangeAndMalformedReplies) {
    EXPECT_TRUE(parse("PE111003")) << "a '0' in the sign position reads as positive";
    EXPECT_EQ(state.getPeq(1, 1, PeqParam::Level), 3);
    EXPECT_TRUE(parse("PE111-03"));
    EXPECT_EQ(state.getPeq(1, 1, PeqParam::Level), -3);
    // Well formed but outside the range: accepted, nothing stored. Malformed: refused, nothing stored.
    const auto before = test::stateSnapshot();
    for (const char* text : {"PE000012", "PE002000", "PE011-21"}) EXPECT_TRUE(parse(text)) << text;
    for (const char* text : {"PE300004", "PE0A0004", "PE003004", "PE030004", "PE00A004", "PE0000A4", "PE001-A3",
                             "PE0010 3", "PE111", "PE11", "PE"}) {
        EXPECT_FALSE(parse(text)) << text;
    }
    const ReplyRecord record = makeReplyRecord("PE111-04");
    EXPECT_FALSE(parsePeReply(0, &record)) << "a zero length is refused";
    EXPECT_FALSE(parsePeReply(-9, &record)) << "so is a negative one";
    EXPECT_FALSE(parsePeReply(9, nullptr));
    EXPECT_EQ(test::stateSnapshot(), before);
}

TEST_F(PeReplyTest, EverySetCommandParsesBackToItsValue) {
    for (int set = 0; set < kPeqSets; ++set) {
        for (int band = 0; band < kPeqBands; ++band) {
            for (int param = 0; param < kPeqParams; ++param) {
                const auto which = static_cast<PeqParam>(param);
                for (std::int32_t v = state.peqMinimum(band, which); v <= state.peqMaximum(band, which); ++v) {
                    std::string text = setText(set, band, param, v);
                    ASSERT_EQ(text.size(), kPeSetLength);
                    text.pop_back();  // the reply reaches the parser without its ";"
                    ASSERT_TRUE(parse(text.c_str())) << text;
                    EXPECT_EQ(state.getPeq(set, band, which), v) << text;
                }
            }
        }
    }
}

}  // namespace
}  // namespace tqm

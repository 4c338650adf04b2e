#include <array>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/reply_parser.h"
#include "protocol/reply_table.h"
#include "protocol/trx_state.h"
#include "tests/protocol/reply_test_support.h"

namespace tqm {
namespace {

using S = StateField;
using test::parseReply;

constexpr std::size_t kFieldCount = static_cast<std::size_t>(S::Count);

std::array<std::int32_t, kFieldCount> snapshot() {
    std::array<std::int32_t, kFieldCount> values{};
    Trx_StateGuard state;
    for (std::size_t i = 0; i < kFieldCount; ++i) values[i] = state.get(static_cast<S>(i));
    return values;
}

struct Case {
    std::string_view reply;
    bool result;
    std::vector<std::pair<S, std::int32_t>> stored;  // every member that changes, to its value
};

class ReplyParsersTest : public ::testing::Test {
protected:
    void SetUp() override { test::resetLinkState(); }

    // Parses each reply on a fresh state and checks the result and that exactly the
    // listed members changed, to the listed values.
    static void check(std::initializer_list<Case> cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.reply));
            test::resetLinkState();
            auto expected = snapshot();
            for (const auto& [member, value] : c.stored) expected[static_cast<std::size_t>(member)] = value;
            EXPECT_EQ(parseReply(c.reply), c.result);
            const auto after = snapshot();
            for (std::size_t i = 0; i < kFieldCount; ++i) {
                EXPECT_EQ(after[i], expected[i]) << "member #" << i;
            }
        }
    }
};

TEST_F(ReplyParsersTest, EveryReplyOfTheTableHasItsParserExceptCw) {
    for (const ReplyTableRow& row : kReplyTable) {
        SCOPED_TRACE(std::string(row.cmd, 2));
        const bool isCw = row.cmd[0] == 'C' && row.cmd[1] == 'W';
        EXPECT_EQ(replyParserFor(row.cmd[0], row.cmd[1]) == nullptr, isCw);
    }
    EXPECT_EQ(replyParserFor('Z', 'Z'), nullptr);
    EXPECT_EQ(replyParserFor('r', 't'), nullptr);
    EXPECT_EQ(replyParserFor('\0', '\0'), nullptr);
    EXPECT_EQ(replyParserFor('[', 'A'), nullptr);
}

TEST_F(ReplyParsersTest, EveryParserRefusesAZeroLengthAndAMissingRecord) {
    for (const ReplyTableRow& row : kReplyTable) {
        const ReplyParser parser = replyParserFor(row.cmd[0], row.cmd[1]);
        if (parser == nullptr) continue;
        SCOPED_TRACE(std::string(row.cmd, 2));
        const ReplyRecord record = makeReplyRecord(std::string(row.cmd, 2) + "1");
        const auto before = snapshot();
        EXPECT_FALSE(parser(0, &record));
        EXPECT_FALSE(parser(row.replyLen, nullptr));
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_F(ReplyParsersTest, SingleDigitReplies) {
    check({
        {"RT1", true, {{S::Rt, 1}}},   {"XT1", true, {{S::Xt, 1}}},   {"SF3", true, {{S::Sf, 3}}},
        {"BC01", true, {{S::Bc, 1}}},  {"FT1", true, {{S::Ft, 1}}},   {"FR2", true, {{S::Fr, 2}}},
        {"LK1", true, {{S::Lk, 1}}},   {"FS1", true, {{S::Fs, 1}}},   {"VS1", true, {{S::Vs, 1}}},
        {"RF02", true, {{S::Rf, 2}}},  {"RA03", true, {{S::Ra, 3}}},  {"PA02", true, {{S::Pa, 2}}},
        {"KR1", true, {{S::Kr, 1}}},   {"TS1", true, {{S::Ts, 1}}},   {"AC002", true, {{S::Ac, 2}}},
        {"DS1", true, {{S::Ds, 1}}},   {"MX1", true, {{S::Mx, 1}}},   {"VX1", true, {{S::Vx, 1}}},
        {"BI1", true, {{S::Bi, 1}}},   {"PR2", true, {{S::Pr, 2}}},   {"CS1", true, {{S::Cs, 1}}},
        {"DP6", true, {{S::Dp, 6}}},   {"SC2", true, {{S::Sc, 2}}},   {"TX2", true, {{S::Tx, 2}}},
        {"UL1", true, {{S::Ul, 1}}},   {"MS5", true, {{S::Ms, 5}}},
        // Malformed: a letter, a blank, the end of the reply where the digit stands.
        {"RTx", false, {}},            {"BC0 ", false, {}},           {"AC00", false, {}},
        // Out of range: well formed, nothing stored.
        {"RT5", true, {}},             {"SF9", true, {}},             {"MS6", true, {}},
    });
}

TEST_F(ReplyParsersTest, NumberReplies) {
    check({
        {"KP12", true, {{S::Kp, 12}}},         {"KS045", true, {{S::Ks, 45}}},
        {"SD1234", true, {{S::Sd, 1234}}},     {"MG200", true, {{S::Mg, 200}}},
        {"PL201", true, {{S::Pl, 201}}},       {"VG202", true, {{S::Vg, 202}}},
        {"VD4321", true, {{S::Vd, 4321}}},     {"SH020", true, {{S::Sh, 20}}},
        {"RL012", true, {{S::Rl, 12}}},        {"FA14250000", true, {{S::Fa, 14250000}}},
        {"FB00030000", true, {{S::Fb, 30000}}}, {"MC117", true, {{S::Mc, 117}}},
        {"PC255", true, {{S::Pc, 255}}},
        {"KP1x", false, {}},                   {"FA1425000", false, {}},
        {"SH0-2", false, {}},                  {"PC+55", false, {}},
        {"KS003", true, {}},                   {"KS061", true, {}},
        {"FA00029999", true, {}},              {"RL000", true, {}},
    });
}

TEST_F(ReplyParsersTest, SelectReplies) {
    check({
        {"NR01", true, {{S::Nr1, 1}}},      {"NR11", true, {{S::Nr2, 1}}},
        {"NA01", true, {{S::Na1, 1}}},      {"NA11", true, {{S::Na2, 1}}},
        {"NB02", true, {{S::Nb1, 2}}},      {"NB12", true, {{S::Nb2, 2}}},
        {"GT03", true, {{S::Gt1, 3}}},      {"GT14", true, {{S::Gt2, 4}}},
        {"NL0123", true, {{S::Nl1, 123}}},  {"NL1045", true, {{S::Nl2, 45}}},
        {"SQ0111", true, {{S::Sq1, 111}}},  {"SQ1112", true, {{S::Sq2, 112}}},
        {"AG0113", true, {{S::Ag1, 113}}},  {"AG1114", true, {{S::Ag2, 114}}},
        {"RG0115", true, {{S::Rg1, 115}}},  {"RG1116", true, {{S::Rg2, 116}}},
        {"SM0123", true, {{S::Sm1, 123}}},  {"SM1200", true, {{S::Sm2, 200}}},
        {"CN012", true, {{S::Cn1, 12}}},    {"CN148", true, {{S::Cn2, 48}}},
        {"CT02", true, {{S::Ct1, 2}}},      {"CT11", true, {{S::Ct2, 1}}},
        {"OS02", true, {{S::Os1, 2}}},      {"OS12", true, {{S::Os2, 2}}},
        {"MD0C", true, {{S::Md1, 12}}},     {"MD1a", true, {{S::Md2, 10}}},
        // Selector 2, a selector that is no digit, a value that is no digit.
        {"NR25", false, {}},                {"NRx1", false, {}},
        {"NR1x", false, {}},                {"SM11x0", false, {}},
        {"MD0G", false, {}},                {"CT0", false, {}},
        // NR12: 2 is above nr2's maximum; still well formed.
        {"NR12", true, {}},                 {"MD0F", true, {}},
    });
}

TEST_F(ReplyParsersTest, SwitchOrValueReplies) {
    check({
        {"BP00001", true, {{S::Bp1, 1}}},
        {"BP01120", true, {{S::Bp2, 120}}},
        {"CO0001", true, {{S::Co1, 1}}},
        {"CO0125", true, {{S::Co2, 25}}},
        {"ML0001", true, {{S::Ml1, 1}}},
        {"ML1200", true, {{S::Ml2, 200}}},
        // The switch case reads nothing but the flag: any character but "0" switches on.
        {"BP00x9x", true, {{S::Bp1, 1}}},
        {"BP00000", true, {}},  // switch off: bp1 stays 0
        {"BP01x20", false, {}},
        {"CO01x5", false, {}},
        {"BP01999", true, {}},
        {"CO0199", true, {}},
    });
    // Switching off after on.
    ASSERT_TRUE(parseReply("BP00001"));
    ASSERT_TRUE(parseReply("BP00000"));
    EXPECT_EQ(Trx_StateGuard().get(S::Bp1), 0);
}

TEST_F(ReplyParsersTest, PairReplies) {
    check({
        {"AN021", true, {{S::An1, 1}, {S::An2, 1}}},
        {"AN010", true, {}},  // 1 - 1 = 0 and 0: the initial values
        {"BY11", true, {{S::By1, 1}, {S::By2, 1}}},
        {"RO0450100", true, {{S::Ro1, 450}, {S::Ro2, 100}}},
        // One field malformed: the other is stored all the same, the reply is refused.
        {"AN0x1", false, {{S::An2, 1}}},
        {"BY1x", false, {{S::By1, 1}}},
        {"RO0xyz100", false, {{S::Ro2, 100}}},
        // AN001: 0 - 1 = -1 is below an1's range; RO0451101 is above both ranges.
        {"AN001", true, {{S::An2, 1}}},
        {"RO0451101", true, {}},
        {"RO0451099", true, {{S::Ro2, 99}}},
    });
}

TEST_F(ReplyParsersTest, ChainReplies) {
    check({
        {"VF011231", true, {{S::Vf1, 1}, {S::Vf2, 123}, {S::Vf3, 1}}},
        {"VF111001", true, {{S::Vf4, 1}, {S::Vf5, 100}, {S::Vf6, 1}}},
        {"VF21123", false, {}},
        {"VFx11231", false, {}},
        {"VF01x231", false, {{S::Vf1, 1}, {S::Vf3, 1}}},
        {"VF019991", true, {{S::Vf1, 1}, {S::Vf3, 1}}},
    });
}

TEST_F(ReplyParsersTest, MeterReplySkipsNonDigits) {
    check({
        {"RM0x12", true, {{S::Rm, 12}}},
        {"RM0255", true, {{S::Rm, 255}}},
        {"RM9012", true, {{S::Rm, 12}}},  // position 2 changes nothing
        {"RM0256", true, {}},
    });
    ASSERT_TRUE(parseReply("RM0123"));
    EXPECT_TRUE(parseReply("RM0xyz"));
    EXPECT_EQ(Trx_StateGuard().get(S::Rm), 0) << "no digit at all reads as 0";
}

TEST_F(ReplyParsersTest, SignedReply) {
    check({
        {"IS0+0123", true, {{S::Is, 123}}},
        {"IS0-0123", true, {{S::Is, -123}}},
        {"IS0-1000", true, {{S::Is, -1000}}},
        {"IS0 0123", false, {}},
        {"IS00123", false, {}},
        {"IS0+01x3", false, {}},
        {"IS0+1001", true, {}},
    });
}

TEST_F(ReplyParsersTest, MemoryTextReply) {
    const std::string text(50, 'K');
    const std::string other = "CQ CQ" + std::string(45, ' ');
    ASSERT_TRUE(parseReply("KM1" + text));
    ASSERT_TRUE(parseReply("KM5" + other));
    Trx_StateGuard state;
    EXPECT_EQ(state.getText(TextField::Km1), text);
    EXPECT_EQ(state.getText(TextField::Km5), other);
    EXPECT_EQ(state.getText(TextField::Km3), "");

    // A reply cut short stores the characters up to its end.
    ASSERT_TRUE(parseReply("KM3SHORT"));
    EXPECT_EQ(state.getText(TextField::Km3), "SHORT");
    // Characters past position 52 are not taken.
    ASSERT_TRUE(parseReply("KM2" + text + "XYZ"));
    EXPECT_EQ(state.getText(TextField::Km2), text);

    EXPECT_FALSE(parseReply("KM0" + other));
    EXPECT_FALSE(parseReply("KM6" + other));
    EXPECT_FALSE(parseReply("KMx" + other));
    EXPECT_EQ(state.getText(TextField::Km1), text);
    EXPECT_EQ(state.getText(TextField::Km5), other);
}

TEST_F(ReplyParsersTest, ReceiverReplyAlwaysSucceeds) {
    check({
        {"RI21", true, {{S::Ri3, 1}}},
        {"RI01", true, {{S::Ri1, 1}}},
        {"RI41", true, {{S::Ri5, 1}}},
        {"RI2A", true, {}},  // 10 is outside ri3's range
        {"RI2G", true, {}},
        {"RI51", true, {}},
        {"RIx1", true, {}},
    });
}

TEST_F(ReplyParsersTest, BandReply) {
    check({
        {"BG005", true, {{S::Bg3, 5}}},
        {"BG110", true, {{S::Bg1, 10}, {S::Bg2, -1}}},
        {"BG207", true, {{S::Bg1, -1}, {S::Bg2, 7}}},
        {"BG122", true, {{S::Bg2, -1}}},  // 22 is above bg1's maximum
        {"BG310", false, {}},
        {"BGx10", false, {}},
        {"BG11x", false, {}},
    });
}

TEST_F(ReplyParsersTest, InformationReplies) {
    //                        0         1         2
    //                        01234567890123456789012345
    const std::string info = "IF00014250000-012011C32492";
    check({
        {info, true,
         {{S::If1, 14250000}, {S::If3, 1}, {S::If4, 1}, {S::If5, 12}, {S::If6, 3}, {S::If7, 2}, {S::If8, 49},
          {S::If9, 2}}},
        // A letter at position 19: every other valid field is stored, the reply refused.
        {"IF00014250000-01201xC32492", false,
         {{S::If1, 14250000}, {S::If3, 1}, {S::If5, 12}, {S::If6, 3}, {S::If7, 2}, {S::If8, 49}, {S::If9, 2}}},
        {"OI00014250000+012011C32492", true,
         {{S::Oi1, 14250000}, {S::Oi3, 1}, {S::Oi4, 1}, {S::Oi5, 12}, {S::Oi6, 3}, {S::Oi7, 2}, {S::Oi8, 49},
          {S::Oi9, 2}}},
        // The 8-digit number malformed: the rest is still read and stored.
        {"OI0001425x000+012011C32492", false,
         {{S::Oi3, 1}, {S::Oi4, 1}, {S::Oi5, 12}, {S::Oi6, 3}, {S::Oi7, 2}, {S::Oi8, 49}, {S::Oi9, 2}}},
        // oi6 is 0..3; if6 is 0..4.
        {"OI00014250000+012011C42492", true,
         {{S::Oi1, 14250000}, {S::Oi3, 1}, {S::Oi4, 1}, {S::Oi5, 12}, {S::Oi7, 2}, {S::Oi8, 49}, {S::Oi9, 2}}},
    });

    // The offset: digits among positions 14-17, negative with "-" at 13, never refused.
    test::resetLinkState();
    ASSERT_TRUE(parseReply(info));
    Trx_StateGuard state;
    EXPECT_DOUBLE_EQ(state.getReal(RealField::If2), -120.0);
    ASSERT_TRUE(parseReply("IF00014250000 x1x211C32492"));
    EXPECT_DOUBLE_EQ(state.getReal(RealField::If2), 12.0);
    ASSERT_TRUE(parseReply("OI00014250000+999911C32492"));
    EXPECT_DOUBLE_EQ(state.getReal(RealField::Oi2), 9999.0);
    EXPECT_DOUBLE_EQ(state.getReal(RealField::If2), 12.0) << "OI leaves the IF offset alone";
}

TEST_F(ReplyParsersTest, RepliesWithoutValuesAlwaysSucceed) {
    check({
        {"PB1", true, {}},
        {"PBxx", true, {}},
        {"LM01", true, {}},
    });
}

}  // namespace
}  // namespace tqm

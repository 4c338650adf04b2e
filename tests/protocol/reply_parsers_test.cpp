#include <atomic>
#include <cmath>

#include <gtest/gtest.h>

#include "protocol/pe_command.h"
#include "protocol/reply_parser.h"
#include "protocol/reply_table.h"
#include "tests/protocol/protocol_fixture.h"

namespace tqm {
namespace {

using S = StateField;
using test::dispatch;

using ReplyParsersTest = test::ProtocolTest;

std::string peSet(int set, int band, int param, std::int32_t value) {
    char out[16] = {};
    return std::string(out, buildPeSet(set, band, param, value, out));
}

// Every reply of the table but CW has its parser. Per family: well formed (stored),
// malformed (refused, nothing stored) and out of range (accepted, nothing stored).
TEST_F(ReplyParsersTest, TableFamilies) {
    for (const ReplyTableRow& row : kReplyTable) {
        EXPECT_EQ(replyParserFor(row.cmd[0], row.cmd[1]) == nullptr, row.cmd[0] == 'C' && row.cmd[1] == 'W')
            << std::string(row.cmd, 2);
    }
    EXPECT_EQ(replyParserFor('Z', 'Z'), nullptr);
    EXPECT_EQ(replyParserFor('r', 't'), nullptr);
    check({
        {"RT1", true, {{S::Rt, 1}}},           {"AC002", true, {{S::Ac, 2}}},     {"MS5", true, {{S::Ms, 5}}},
        {"RTx", false, {}},                    {"BC0 ", false, {}},               {"AC00", false, {}},
        {"RT5", true, {}},                     {"MS6", true, {}},
        {"KS045", true, {{S::Ks, 45}}},        {"FA14250000", true, {{S::Fa, 14250000}}},
        {"KP1x", false, {}},                   {"FA1425000", false, {}},          {"PC+55", false, {}},
        {"KS061", true, {}},                   {"FA00029999", true, {}},
        {"NR01", true, {{S::Nr1, 1}}},         {"SM1200", true, {{S::Sm2, 200}}}, {"MD1a", true, {{S::Md2, 10}}},
        {"NR25", false, {}},                   {"NRx1", false, {}},               {"MD0G", false, {}},
        {"NR12", true, {}},                    {"MD0F", true, {}},
        {"VF011231", true, {{S::Vf1, 1}, {S::Vf2, 123}, {S::Vf3, 1}}},
        {"VF21123", false, {}},                {"VF01x231", false, {{S::Vf1, 1}, {S::Vf3, 1}}},
        {"VF019991", true, {{S::Vf1, 1}, {S::Vf3, 1}}},
    });
}

TEST_F(ReplyParsersTest, OwnRuleParsers) {
    check({
        // Switch or value: any character but "0" switches on.
        {"BP00001", true, {{S::Bp1, 1}}},     {"BP01120", true, {{S::Bp2, 120}}},
        {"BP00x9x", true, {{S::Bp1, 1}}},     {"BP01x20", false, {}},            {"BP01999", true, {}},
        // Pairs: one field malformed, the other is stored and the reply refused.
        {"AN021", true, {{S::An1, 1}, {S::An2, 1}}}, {"AN0x1", false, {{S::An2, 1}}}, {"AN001", true, {{S::An2, 1}}},
        {"RO0450100", true, {{S::Ro1, 450}, {S::Ro2, 100}}}, {"RO0451099", true, {{S::Ro2, 99}}},
        // The meter skips non-digits.
        {"RM0x12", true, {{S::Rm, 12}}},      {"RM0256", true, {}},
        {"IS0+0123", true, {{S::Is, 123}}},   {"IS0-0123", true, {{S::Is, -123}}},
        {"IS0 0123", false, {}},              {"IS0+1001", true, {}},
        // The receiver reply is never refused.
        {"RI21", true, {{S::Ri3, 1}}},        {"RI01", true, {{S::Ri1, 1}}},     {"RI2A", true, {}},
        {"RI2G", true, {}},
        {"BG110", true, {{S::Bg1, 10}, {S::Bg2, -1}}}, {"BG122", true, {{S::Bg2, -1}}}, {"BG310", false, {}},
        {"PBxx", true, {}},                   {"LM01", true, {}},
    });

    // The memory texts: selector 1 to 5, then the 50 characters that follow it.
    const std::string fifty = std::string(25, 'A') + std::string(25, 'z');
    const struct {
        std::string reply;
        bool result;
        TextField field;
        std::string text;
    } texts[] = {
        {"KM1" + fifty + "XYZ", true, TextField::Km1, fifty}, {"KM5HELLO", true, TextField::Km5, "HELLO"},
        {"KM0HELLO", false, TextField::Km1, ""},               {"KM6HELLO", false, TextField::Km5, ""},
        {"KMxHELLO", false, TextField::Km1, ""},
    };
    for (const auto& c : texts) {
        SCOPED_TRACE(c.reply);
        test::resetLinkState();
        EXPECT_EQ(dispatch(c.reply), c.result);
        for (int t = 0; t < static_cast<int>(TextField::Count); ++t) {
            const auto field = static_cast<TextField>(t);
            EXPECT_EQ(Trx_StateGuard().getText(field), field == c.field ? c.text : "") << "KM" << t + 1;
        }
    }
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
        // oi6 is 0..3; if6 is 0..4.
        {"OI00014250000+012011C42492", true,
         {{S::Oi1, 14250000}, {S::Oi3, 1}, {S::Oi4, 1}, {S::Oi5, 12}, {S::Oi7, 2}, {S::Oi8, 49}, {S::Oi9, 2}}},
    });

    // The offset: digits among positions 14-17, negative with "-" at 13, never refused.
    test::resetLinkState();
    ASSERT_TRUE(dispatch(info));
    EXPECT_DOUBLE_EQ(m_state.getReal(RealField::If2), -120.0);
    ASSERT_TRUE(dispatch("IF00014250000 x1x211C32492"));
    EXPECT_DOUBLE_EQ(m_state.getReal(RealField::If2), 12.0);
}

// A menu reply stores its value when it changes (and only then notifies), read as a
// plain decimal number or, for a bit field, from its first 13 places.
TEST_F(ReplyParsersTest, MenuReplies) {
    for (const MenuItemRecord& item : {test::menuItem(1, 1, 1), test::menuItem(2, 0, 1), test::menuItem(31, 3, 4),
                                       test::menuItem(122, 15, MENU_FORMAT_BIT_FIELD)}) {
        ASSERT_TRUE(m_state.storeMenuRecord(item.number, &item));
    }
    const auto before = test::stateSnapshot();
    const struct {
        const char* reply;
        bool notified;
        std::int32_t item;
        double value;
    } rows[] = {
        {"EX0011", true, 1, 1.0},   {"EX0011", false, 1, 1.0},  // the same value again
        {"EX0001", false, 1, 1.0},  // number 0
        {"EX1371", false, 1, 1.0},  // menuCount + 1
        {"EXabc1", false, 1, 1.0},
        {"EX0021", false, 1, 1.0},  // an item without a width
        {"EX1221x1111111111111", true, 122, 4096.0 + 2047.0},  // only '1' counts, in the first 13 places
        {"EX031-12", true, 31, -12.0},
        {"EX0314x5", true, 31, 4.0},  // the number ends at the first character that does not fit
        {"EX031NAN", true, 31, 0.0},  // only a plain decimal number counts
        {"EX031NAN", false, 31, 0.0}, {"EX0310X1", false, 31, 0.0}, {"EX031INF", false, 31, 0.0},
        {"EX0311E2", true, 31, 1.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reply);
        EXPECT_EQ(dispatch(row.reply), row.notified);
        double value = -1.0;
        EXPECT_TRUE(m_state.readMenuValue(row.item, value));
        EXPECT_EQ(value, row.value);
    }
    EXPECT_EQ(test::stateSnapshot(), before);
}

TEST_F(ReplyParsersTest, EqualizerCommandsAndReplies) {
    char read[16] = {};
    EXPECT_EQ(std::string(read, buildPeRead(2, 1, 0, read)), "PE210;");
    EXPECT_EQ(buildPeRead(3, 0, 0, read) + buildPeRead(0, 0, 3, read), 0u);
    EXPECT_EQ(peSet(0, 0, 1, 0) + peSet(0, 0, 1, -5) + peSet(0, 0, 1, 10) + peSet(2, 2, 0, 18) + peSet(0, 0, 2, 1),
              "PE001000;PE001-05;PE001+10;PE220018;PE002001;") << "a zero level has no sign";
    EXPECT_EQ(peSet(0, 0, 0, -1) + peSet(0, 0, 1, 100) + peSet(0, 3, 1, 1), "") << "FREQ has no sign";
    // Every set command, without its ";", is a reply that carries the value back.
    for (int i = 0; i < kPeqSets * kPeqBands * kPeqParams; ++i) {
        const int set = i / 9, band = i / 3 % 3, param = i % 3;
        const auto which = static_cast<PeqParam>(param);
        for (std::int32_t v = m_state.peqMinimum(band, which); v <= m_state.peqMaximum(band, which); ++v) {
            const std::string text = peSet(set, band, param, v);
            ASSERT_EQ(text.size(), kPeSetLength);
            ASSERT_TRUE(dispatch(text.substr(0, kPeSetLength - 1))) << text;
            EXPECT_EQ(m_state.getPeq(set, band, which), v) << text;
        }
    }
    EXPECT_TRUE(dispatch("PE111003")) << "a '0' in the sign position reads as positive";
    EXPECT_EQ(m_state.getPeq(1, 1, PeqParam::Level), 3);
    // Well formed but outside the range: accepted, nothing stored. Malformed: refused, nothing stored.
    const auto before = test::stateSnapshot();
    for (const char* text : {"PE000012", "PE002000", "PE011-21"}) EXPECT_TRUE(dispatch(text)) << text;
    for (const char* text : {"PE300004", "PE0A0004", "PE003004", "PE030004", "PE00A004", "PE0000A4", "PE001-A3",
                             "PE0010 3", "PE111", "PE11", "PE"}) {
        EXPECT_FALSE(dispatch(text)) << text;
    }
    const ReplyRecord record = makeReplyRecord("PE111-04");
    EXPECT_FALSE(parsePeReply(-9, &record)) << "a negative length is refused";
    EXPECT_EQ(test::stateSnapshot(), before);
}


std::atomic<int> s_loaderStarts{0};
using TrxStateTest = test::ProtocolTest;

// A setter refuses values beyond the bounds (and still reports success).
template <class Set, class Get, class T>
void expectBounds(Set set, Get get, T low, T high) {
    for (const auto& [inside, outside] : {std::pair(high, high + 1), std::pair(low, low - 1)}) {
        EXPECT_TRUE(set(inside));
        EXPECT_TRUE(set(outside));
        EXPECT_EQ(get(), inside);
    }
}

TEST_F(TrxStateTest, InitialisationGivesTheStartValuesAndLeavesTheShadowAlone) {
    ASSERT_TRUE(m_state.set(StateField::Ks, 50) && m_state.setPeq(2, 2, PeqParam::Freq, 17) &&
                m_state.setText(TextField::Km3, 5, "HELLO") && m_state.setReal(RealField::If2, 12.0));
    m_state.setMenuListReady(1);
    m_state.setSavedAutoInfo(1);
    m_state.setAiRestorePending(1);
    m_shadow.setAutoInfo(1);
    m_shadow.setPowerState(1);
    s_loaderStarts = 0;
    Trx_StateGuard::setMenuLoaderStart([] { ++s_loaderStarts; });
    m_state.initialise();

    EXPECT_EQ(s_loaderStarts.load(), 1) << "the menu-list loader is started once per initialisation";
    const std::vector<std::pair<StateField, std::int32_t>> nonZero = {
        {StateField::Sf, 8},  {StateField::Rf, 5},        {StateField::Gt1, 6},       {StateField::Gt2, 6},
        {StateField::Pa, 1},  {StateField::Co2, 1},       {StateField::Sh, 16},       {StateField::Rl, 1},
        {StateField::Ks, 4},  {StateField::Bg3, 3},       {StateField::Fa, 7000000},  {StateField::Fb, 7000000},
        {StateField::MenuCount, 136}};
    std::vector<std::int32_t> expected(static_cast<std::size_t>(StateField::Count), 0);
    for (const auto& [which, value] : nonZero) expected[static_cast<std::size_t>(which)] = value;
    for (int i = 0; i < kPeqSets * kPeqBands; ++i) expected.insert(expected.end(), {0, 5, 10});
    EXPECT_EQ(test::stateSnapshot(), expected) << "members by StateField index, then FREQ, LEVEL, BWTH per band";
    for (int i = 0; i < static_cast<int>(StateField::Count); ++i) {
        const auto field = static_cast<StateField>(i);
        EXPECT_TRUE(m_state.minimum(field) <= m_state.get(field) && m_state.get(field) <= m_state.maximum(field)) << i;
    }
    EXPECT_EQ(m_state.getReal(RealField::If2) + m_state.getReal(RealField::Oi2), 0.0);
    for (int t = 0; t < static_cast<int>(TextField::Count); ++t) EXPECT_EQ(m_state.getText(static_cast<TextField>(t)), "");
    EXPECT_EQ(m_state.menuListReady() + m_state.savedAutoInfo() + m_state.aiRestorePending(), 0);
    EXPECT_EQ(m_shadow.autoInfo() + m_shadow.powerState(), 2);
}

// Each member, text and menu record takes its own bounds and nothing beyond (the bound
// values themselves are pinned by the replies above, where they matter).
TEST_F(TrxStateTest, EveryMemberTextAndMenuRecordIsKeptWithinItsBounds) {
    // Texts up to the limit are stored whole, longer ones refused.
    const std::string fifty(50, 'K');
    EXPECT_TRUE(m_state.setText(TextField::Km1, 50, fifty.c_str()));
    EXPECT_FALSE(m_state.setText(TextField::Km1, 52, std::string(52, 'X').c_str()));
    EXPECT_EQ(m_state.getText(TextField::Km1), fifty) << "a refused text keeps the old one";
    EXPECT_FALSE(m_state.setText(TextField::Km1, 10, nullptr));
    EXPECT_TRUE(m_state.setText(TextField::Km1, 50, "SHORT")) << "copied up to its terminating zero";
    EXPECT_EQ(m_state.getText(TextField::Km1), "SHORT") << "the rest of the old text is cleared";
    EXPECT_EQ(m_state.getText(TextField::Km2), "") << "texts are separate members";

    // Menu records exist only from 1 to menuCount.
    const MenuItemRecord item = test::menuItem(1, 3, 0, 25.0);
    EXPECT_FALSE(m_state.storeMenuRecord(0, &item) || m_state.storeMenuRecord(137, &item)) << "0 and menuCount + 1";
    EXPECT_EQ(m_state.menuParameterLength(137), 0);
    double value = -1.0;
    EXPECT_FALSE(m_state.readMenuValue(137, value));

    const MenuItemRecord last = test::menuItem(136, 13, MENU_FORMAT_BIT_FIELD, 4096.0);
    ASSERT_TRUE(m_state.storeMenuRecord(136, &last));
    ASSERT_TRUE(m_state.writeMenuValue(136, 5120.0));
    MenuItemRecord copy{};
    ASSERT_TRUE(m_state.copyMenuRecord(136, copy));
    EXPECT_TRUE(copy.value == 5120.0 && copy.parameterLength == 13) << "the copy carries the current value";
    // Raising menuCount makes more slots valid, but never more than the 300 slots.
    m_state.set(StateField::MenuCount, 500);
    EXPECT_TRUE(m_state.storeMenuRecord(300, &item));
    EXPECT_FALSE(m_state.storeMenuRecord(301, &item));
    m_state.set(StateField::MenuCount, 100);
    EXPECT_FALSE(m_state.copyMenuRecord(136, copy)) << "lowering it hides the records beyond it";

    for (int i = 0; i < static_cast<int>(StateField::Count); ++i) {
        SCOPED_TRACE(i);
        const auto field = static_cast<StateField>(i);
        expectBounds([&](std::int32_t v) { return m_state.set(field, v); }, [&] { return m_state.get(field); },
                     m_state.minimum(field), m_state.maximum(field));
    }
    EXPECT_FALSE(m_state.set(StateField::Count, 1)) << "no such member";
    for (const RealField real : {RealField::If2, RealField::Oi2}) {
        expectBounds([&](double v) { return m_state.setReal(real, v); }, [&] { return m_state.getReal(real); }, -9999.0,
                     9999.0);
        EXPECT_TRUE(m_state.setReal(real, std::nan("")));
        EXPECT_EQ(m_state.getReal(real), -9999.0);
    }
    // FREQ indexes run to 7, 9 and 18 by band; LEVEL is -20..10 and BWTH 1..10 everywhere.
    constexpr std::int32_t kPeqBounds[kPeqBands][kPeqParams][2] = {
        {{0, 7}, {-20, 10}, {1, 10}}, {{0, 9}, {-20, 10}, {1, 10}}, {{0, 18}, {-20, 10}, {1, 10}}};
    for (int i = 0; i < kPeqBands * kPeqParams; ++i) {
        SCOPED_TRACE(i);
        const int band = i / kPeqParams, p = i % kPeqParams;
        expectBounds([&](std::int32_t v) { return m_state.setPeq(2, band, static_cast<PeqParam>(p), v); },
                     [&] { return m_state.getPeq(2, band, static_cast<PeqParam>(p)); }, kPeqBounds[band][p][0],
                     kPeqBounds[band][p][1]);
    }
    EXPECT_FALSE(m_state.setPeq(3, 0, PeqParam::Freq, 1));
}

}  // namespace
}  // namespace tqm

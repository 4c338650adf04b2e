#include <atomic>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/trx_state.h"
#include "tests/protocol/protocol_fixture.h"

namespace tqm {
namespace {

std::atomic<int> s_loaderStarts{0};

class TrxStateTest : public ::testing::Test {
protected:
    void SetUp() override { test::resetLinkState(); }
    void TearDown() override { Trx_StateGuard::setMenuLoaderStart(nullptr); }

    Trx_StateGuard state;
};

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
    Trx_ShadowGuard shadow;
    state.set(StateField::Ks, 50);
    state.setPeq(2, 2, PeqParam::Freq, 17);
    state.setText(TextField::Km3, 5, "HELLO");
    state.setReal(RealField::If2, 12.0);
    state.setMenuListReady(1);
    state.setSavedAutoInfo(1);
    state.setAiRestorePending(1);
    shadow.setAutoInfo(1);
    shadow.setPowerState(1);
    s_loaderStarts = 0;
    Trx_StateGuard::setMenuLoaderStart([] { ++s_loaderStarts; });
    state.initialise();

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
        EXPECT_TRUE(state.minimum(field) <= state.get(field) && state.get(field) <= state.maximum(field)) << i;
    }
    EXPECT_EQ(state.getReal(RealField::If2) + state.getReal(RealField::Oi2), 0.0);
    for (int t = 0; t < static_cast<int>(TextField::Count); ++t) EXPECT_EQ(state.getText(static_cast<TextField>(t)), "");
    EXPECT_EQ(state.menuListReady() + state.savedAutoInfo() + state.aiRestorePending(), 0);
    EXPECT_EQ(shadow.autoInfo() + shadow.powerState(), 2);
    shadow.reset();
}

// The bounds are those of the transceiver's fields, a few of each kind written out here.
TEST_F(TrxStateTest, EveryMemberTakesItsBoundsAndNothingBeyond) {
    constexpr struct {
        StateField field;
        std::int32_t low;
        std::int32_t high;
    } kBounds[] = {
        {StateField::ModelCode, 0, 999}, {StateField::Rt, 0, 1},       {StateField::Sf, 0, 8},
        {StateField::Bp2, 0, 400},       {StateField::Co2, 0, 40},     {StateField::Nb2, 0, 2},
        {StateField::Rf, 0, 6},          {StateField::Ks, 4, 60},      {StateField::Sd, 0, 5000},
        {StateField::If1, 0, 99999999},  {StateField::If6, 0, 4},      {StateField::Oi6, 0, 3},
        {StateField::Is, -1000, 1000},   {StateField::Sh, 0, 31},      {StateField::Rl, 1, 15},
        {StateField::Fa, 30000, 60000000}, {StateField::Ro1, 0, 450},  {StateField::Cn2, 0, 49},
        {StateField::Mc, 0, 117},        {StateField::Md1, 0, 12},     {StateField::Bg1, -1, 21},
        {StateField::Bg2, -1, 11},       {StateField::Bg3, -1, 5},     {StateField::MenuCount, 1, 500},
    };
    for (const auto& b : kBounds) {
        SCOPED_TRACE(static_cast<int>(b.field));
        expectBounds([&](std::int32_t v) { return state.set(b.field, v); }, [&] { return state.get(b.field); }, b.low,
                     b.high);
    }
    EXPECT_FALSE(state.set(StateField::Count, 1)) << "no such member";
    for (const RealField real : {RealField::If2, RealField::Oi2}) {
        expectBounds([&](double v) { return state.setReal(real, v); }, [&] { return state.getReal(real); }, -9999.0,
                     9999.0);
        EXPECT_TRUE(state.setReal(real, std::nan("")));
        EXPECT_EQ(state.getReal(real), -9999.0);
    }
    // FREQ indexes run to 7, 9 and 18 by band; LEVEL is -20..10 and BWTH 1..10 everywhere.
    constexpr std::int32_t kPeqBounds[kPeqBands][kPeqParams][2] = {
        {{0, 7}, {-20, 10}, {1, 10}}, {{0, 9}, {-20, 10}, {1, 10}}, {{0, 18}, {-20, 10}, {1, 10}}};
    for (int band = 0; band < kPeqBands; ++band) {
        for (int p = 0; p < kPeqParams; ++p) {
            SCOPED_TRACE(band * 10 + p);
            const auto param = static_cast<PeqParam>(p);
            expectBounds([&](std::int32_t v) { return state.setPeq(2, band, param, v); },
                         [&] { return state.getPeq(2, band, param); }, kPeqBounds[band][p][0], kPeqBounds[band][p][1]);
        }
    }
    EXPECT_FALSE(state.setPeq(3, 0, PeqParam::Freq, 1));
}

TEST_F(TrxStateTest, TextsUpToTheLimitAreStoredWholeLongerOnesRefused) {
    const std::string fifty(50, 'K');
    EXPECT_TRUE(state.setText(TextField::Km1, 50, fifty.c_str()));
    EXPECT_FALSE(state.setText(TextField::Km1, 52, std::string(52, 'X').c_str()));
    EXPECT_EQ(state.getText(TextField::Km1), fifty) << "a refused text keeps the old one";
    EXPECT_FALSE(state.setText(TextField::Km1, 10, nullptr));
    EXPECT_TRUE(state.setText(TextField::Km1, 50, "SHORT")) << "copied up to its terminating zero";
    EXPECT_EQ(state.getText(TextField::Km1), "SHORT") << "the rest of the old text is cleared";
    EXPECT_EQ(state.getText(TextField::Km2), "") << "texts are separate members";
}

TEST_F(TrxStateTest, MenuRecordsExistOnlyFromOneToMenuCount) {
    const MenuItemRecord item = test::menuItem(1, 3, 0, 25.0);
    EXPECT_FALSE(state.storeMenuRecord(0, &item));
    EXPECT_FALSE(state.storeMenuRecord(137, &item)) << "menuCount + 1";
    EXPECT_EQ(state.menuParameterLength(137), 0);
    double value = -1.0;
    EXPECT_FALSE(state.readMenuValue(137, value));

    const MenuItemRecord last = test::menuItem(136, 13, MENU_FORMAT_BIT_FIELD, 4096.0);
    ASSERT_TRUE(state.storeMenuRecord(136, &last));
    ASSERT_TRUE(state.writeMenuValue(136, 5120.0));
    MenuItemRecord copy{};
    ASSERT_TRUE(state.copyMenuRecord(136, copy));
    EXPECT_EQ(copy.value, 5120.0) << "the copy carries the current value";
    EXPECT_EQ(copy.parameterLength, 13);
    // Raising menuCount makes more slots valid, but never more than the 300 slots.
    state.set(StateField::MenuCount, 500);
    EXPECT_TRUE(state.storeMenuRecord(300, &item));
    EXPECT_FALSE(state.storeMenuRecord(301, &item));
    state.set(StateField::MenuCount, 100);
    EXPECT_FALSE(state.copyMenuRecord(136, copy)) << "lowering it hides the records beyond it";
}

}  // namespace
}  // namespace tqm

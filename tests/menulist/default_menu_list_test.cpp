#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "menulist/default_menu_list.h"

namespace tqm {
namespace {

MenuItemRecord item(int n) {
    MenuItemRecord record;
    std::memset(&record, 0x5A, sizeof record);
    EXPECT_TRUE(defaultMenuItem(n, record)) << "item " << n;
    return record;
}

std::vector<std::string> choicesOf(const MenuItemRecord& record) {
    std::vector<std::string> choices;
    for (int i = 0; i < record.choiceCount; ++i) choices.emplace_back(record.choices[i]);
    return choices;
}

bool allZero(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::all_of(bytes, bytes + size, [](unsigned char b) { return b == 0; });
}

// Characters needed to write v as an integer, a minus sign included.
int widthOf(double v) { return static_cast<int>(std::to_string(static_cast<long long>(v)).size()); }

bool isChoiceIndexCode(int code) { return code == 1 || code == 12 || code == 15 || (code >= 31 && code <= 36); }

TEST(DefaultMenuList, OnlyItemsOneTo147Exist) {
    MenuItemRecord record;
    std::memset(&record, 0x5A, sizeof record);
    for (int n : {-1, 0, 148, 300}) {
        EXPECT_FALSE(defaultMenuItem(n, record)) << n;
        EXPECT_EQ(reinterpret_cast<unsigned char*>(&record)[0], 0x5A) << "untouched for " << n;
    }
    for (int n = 1; n <= kDefaultMenuItemCount; ++n) {
        const MenuItemRecord r = item(n);
        EXPECT_EQ(r.number, n);
        EXPECT_GT(std::strlen(r.name), 0u) << n;
        EXPECT_GT(std::strlen(r.rangeText), 0u) << n;
        EXPECT_TRUE(allZero(r.reserved, sizeof r.reserved)) << n;
        EXPECT_EQ(r.hasUnit, r.unit[0] != '\0' ? 1 : 0) << n;
        EXPECT_TRUE(r.choiceCount >= 0 && r.choiceCount <= 40) << n;
        for (int i = r.choiceCount; i < 40; ++i) EXPECT_TRUE(allZero(r.choices[i], 21)) << n << " slot " << i;
    }
}

TEST(DefaultMenuList, FirstItemFieldByField) {
    const MenuItemRecord r = item(1);
    EXPECT_STREQ(r.name, "FAST DELAY");
    EXPECT_STREQ(r.rangeText, "20-4000 (20msec Steps)");
    EXPECT_EQ(r.value, 300.0);
    EXPECT_EQ(r.parameterLength, 4);
    EXPECT_EQ(r.hasUnit, 1);
    EXPECT_STREQ(r.unit, "msec");
    EXPECT_EQ(r.formatCode, 0);
    EXPECT_EQ(r.minimum, 20.0);
    EXPECT_EQ(r.maximum, 4000.0);
    EXPECT_EQ(r.step, 20.0);
    EXPECT_EQ(r.choiceCount, 0);
}

TEST(DefaultMenuList, CwNarrowHasTwelveChoices) {
    const MenuItemRecord r = item(95);
    EXPECT_STREQ(r.name, "CW NARROW");
    EXPECT_EQ(r.formatCode, 1);
    EXPECT_EQ(r.parameterLength, 2);
    EXPECT_EQ(r.value, 6.0);
    EXPECT_EQ(r.hasUnit, 0);
    EXPECT_EQ(r.maximum, 0.0);
    EXPECT_EQ(r.minimum, 0.0);
    EXPECT_EQ(r.step, 0.0);
    EXPECT_EQ(choicesOf(r), (std::vector<std::string>{"25", "50", "100", "200", "300", "400", "500", "800",
                                                      "1200", "1400", "1700", "2000"}));
    EXPECT_STREQ(r.choices[9], "1400");
}

TEST(DefaultMenuList, MyBandIsAThirteenBitMask) {
    const MenuItemRecord r = item(122);
    EXPECT_STREQ(r.name, "MY BAND");
    EXPECT_STREQ(r.rangeText, "1.8-50/GEN/TRV");
    EXPECT_EQ(r.formatCode, 14);
    EXPECT_EQ(r.parameterLength, 13);
    EXPECT_EQ(r.value, 8190.0);  // the first 12 of the 13 bands
    EXPECT_EQ(r.choiceCount, r.parameterLength) << "one character per band";
    EXPECT_EQ(choicesOf(r), (std::vector<std::string>{"1.8", "3.5", "5", "7", "10", "14", "18", "21", "24", "28",
                                                      "50", "GEN", "TRV"}));
}

TEST(DefaultMenuList, LastItemIsEmergencyFreqTx) {
    const MenuItemRecord r = item(147);
    EXPECT_STREQ(r.name, "EMERGENCY FREQ TX");
    EXPECT_STREQ(r.rangeText, "DISABLE/ENABLE");
    EXPECT_EQ(r.formatCode, 1);
    EXPECT_EQ(r.parameterLength, 1);
    EXPECT_EQ(r.value, 0.0);
    EXPECT_EQ(choicesOf(r), (std::vector<std::string>{"DISABLE", "ENABLE"}));
}

TEST(DefaultMenuList, TextsAreByteExact) {
    EXPECT_STREQ(item(10).rangeText, "CLAR/CW TUNE/VRF\xA5" "uTune");
    for (int n : {24, 56, 57, 58}) {
        const std::string name = item(n).name;
        ASSERT_FALSE(name.empty());
        EXPECT_EQ(name.back(), ' ') << "name of " << n << " ends with one space";
        EXPECT_NE(name[name.size() - 2], ' ') << n;
    }
    EXPECT_STREQ(item(24).name, "CW MEMORY 5 ");
    EXPECT_STREQ(item(60).rangeText, " 2.5-3.0-4.5");
    EXPECT_STREQ(item(105).rangeText, "1.800MHz - 1.999MHz (1kHz  Steps)");
}

TEST(DefaultMenuList, ChoicesAreTheRangeTextPartsWithoutATrailingUnit) {
    const std::map<int, std::vector<std::string>> expected = {
        {7, {"COOL BLUE", "CONTRAST BLUE", "FLASH WHITE", "CONTRAST UMBER", "UMBER"}},
        {27, {"4800", "9600", "19200", "38400"}},
        {28, {"10", "100", "1000", "3000"}},
        {35, {"DIAL STEP-2", "DIAL STEP-1", "OFF"}},
        // "(msec)" is removed without the space before it.
        {59, {"1", "2", "4", "6 "}},
        {63, {"15", "20", "25", "30 "}},
        {80, {"170", "200", "425", "850"}},
        {81, {"1275", "2125"}},
        {92, {"NARROW", "WIDE"}},
        {118, {"1MHz", "100kHz"}},
        {119, {"2.5", "5", "9", "10", "12.5"}},
        {120, {"5", "6.25", "10", "12.5", "25"}},
        {121, {"10", "100"}},
        {142, {"10(20)", "20(50)", "50(100)", "100(200)"}},
    };
    for (const auto& [n, choices] : expected) EXPECT_EQ(choicesOf(item(n)), choices) << "item " << n;

    for (int n : {123, 132}) EXPECT_EQ(item(n).choiceCount, 8) << n;
    for (int n : {126, 135}) EXPECT_EQ(item(n).choiceCount, 10) << n;
    for (int n : {129, 138}) {
        const MenuItemRecord r = item(n);
        ASSERT_EQ(r.choiceCount, 19) << n;
        EXPECT_STREQ(r.choices[0], "OFF");
        EXPECT_STREQ(r.choices[18], "3200");
    }
}

TEST(DefaultMenuList, ExceptionsHaveTheirOwnChoices) {
    const std::map<int, std::vector<std::string>> expected = {
        {10, {"CLAR", "CW TUNE", "VRF uTune"}},
        {11, {"OFF", "0.5sec", "1.0sec", "2.0sec"}},
        {17, {"OFF"}},
        {33, {"OFF", "5min", "10min", "15min", "20min", "25min", "30min"}},
        {36, {"VFO-A"}},
        {37, {"1200Hz", "500Hz", "300Hz"}},
        {50, {"MCVR", "FIX"}},
        {72, {"MCVR", "FIX"}},
        {83, {"50-3000", "100-2900", "200-2800", "300-2700", "400-2600", "3000"}},
        {116, {"1Hz", "10Hz"}},
        {141, {"AB"}},
    };
    for (const auto& [n, choices] : expected) EXPECT_EQ(choicesOf(item(n)), choices) << "item " << n;

    // The numeric part of the mixed items.
    for (int n : {36, 50, 72, 141}) {
        const MenuItemRecord r = item(n);
        EXPECT_EQ(r.minimum, 0.0) << n;
        EXPECT_EQ(r.maximum, 100.0) << n;
        EXPECT_EQ(r.step, 1.0) << n;
    }
    const MenuItemRecord beacon = item(17);
    EXPECT_EQ(beacon.minimum, 1.0);
    EXPECT_EQ(beacon.maximum, 255.0);
    EXPECT_STREQ(beacon.unit, "sec");
}

TEST(DefaultMenuList, NumbersHaveNoChoices) {
    for (int n : {1, 8, 13, 19, 31, 34, 41, 60, 68, 70, 90, 91, 105, 115, 124, 125, 140}) {
        EXPECT_EQ(item(n).choiceCount, 0) << n;
    }
    const MenuItemRecord trvOffset = item(34);  // its range text lists the numbers with slashes
    EXPECT_EQ(trvOffset.minimum, 30.0);
    EXPECT_EQ(trvOffset.maximum, 49.0);
    EXPECT_STREQ(trvOffset.unit, "MHz");
    const MenuItemRecord rotatorOffset = item(13);  // -30..0, kept as minimum 30, maximum 0
    EXPECT_EQ(rotatorOffset.minimum, 30.0);
    EXPECT_EQ(rotatorOffset.maximum, 0.0);
    EXPECT_EQ(rotatorOffset.step, 2.0);
    EXPECT_EQ(item(60).step, 0.1);
    EXPECT_EQ(item(110).step, 0.001);
}

TEST(DefaultMenuList, FormatCodesByKindOfValue) {
    const std::map<int, std::vector<int>> itemsByCode = {
        {0, {1, 2, 3, 4, 5, 6, 8, 9, 15, 16, 19, 26, 34, 40, 65, 67, 68, 69, 74, 75, 79, 91}},
        {4, {31, 41, 42, 43, 44, 45, 46, 47, 48, 49, 70, 71, 84, 85, 86, 87}},
        {8, {13}}, {9, {60}}, {10, {105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115}},
        {11, {90}}, {12, {92}}, {13, {50, 72}}, {14, {122}}, {15, {11}}, {16, {17}}, {17, {36}}, {18, {141}},
        {19, {125}}, {20, {128}}, {21, {131}}, {22, {134}}, {23, {137}}, {24, {140}},
        {25, {124}}, {26, {127}}, {27, {130}}, {28, {133}}, {29, {136}}, {30, {139}},
        {31, {123}}, {32, {126}}, {33, {129}}, {34, {132}}, {35, {135}}, {36, {138}},
    };
    std::map<int, int> expectedCode;
    for (const auto& [code, items] : itemsByCode) {
        for (int n : items) expectedCode[n] = code;
    }
    for (int n = 1; n <= kDefaultMenuItemCount; ++n) {
        const auto it = expectedCode.find(n);
        EXPECT_EQ(item(n).formatCode, it == expectedCode.end() ? 1 : it->second) << "item " << n;
    }
    EXPECT_EQ(item(126).formatCode, MENU_FORMAT_EQ2_FREQ);
    EXPECT_EQ(item(135).formatCode, MENU_FORMAT_P_EQ2_FREQ);
    EXPECT_EQ(item(122).formatCode, MENU_FORMAT_BIT_FIELD);
}

TEST(DefaultMenuList, StartValuesLieInTheirRange) {
    for (int n = 1; n <= kDefaultMenuItemCount; ++n) {
        const MenuItemRecord r = item(n);
        if (isChoiceIndexCode(r.formatCode)) {
            EXPECT_GE(r.value, 0.0) << n;
            EXPECT_LT(r.value, r.choiceCount) << n;
        } else if (r.choiceCount == 0 && r.formatCode != 8) {
            EXPECT_GE(r.value, r.minimum) << n;
            EXPECT_LE(r.value, r.maximum) << n;
        }
    }
}

// The receive thread cuts an "EX" reply after its parameter length, so every value
// an item can carry must fit in it.
TEST(DefaultMenuList, ParameterLengthsHoldEveryValue) {
    for (int n = 1; n <= kDefaultMenuItemCount; ++n) {
        const MenuItemRecord r = item(n);
        if (r.formatCode == MENU_FORMAT_BIT_FIELD) {
            EXPECT_EQ(r.parameterLength, r.choiceCount) << n;
        } else if (isChoiceIndexCode(r.formatCode)) {
            EXPECT_GE(r.parameterLength, widthOf(r.choiceCount - 1)) << n;
        } else {
            EXPECT_GE(r.parameterLength, widthOf(r.maximum)) << n;
            EXPECT_GE(r.parameterLength, widthOf(r.minimum)) << n;
        }
    }
}

}  // namespace
}  // namespace tqm

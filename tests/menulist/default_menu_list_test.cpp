#include <algorithm>
#include <cstring>
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

TEST(DefaultMenuList, TheFourLandmarkRecords) {
    const MenuItemRecord fastDelay = item(1);
    EXPECT_STREQ(fastDelay.name, "FAST DELAY");
    EXPECT_STREQ(fastDelay.rangeText, "20-4000 (20msec Steps)");
    EXPECT_STREQ(fastDelay.unit, "msec");
    EXPECT_EQ(fastDelay.hasUnit, 1);
    EXPECT_EQ(fastDelay.formatCode, 0);
    EXPECT_EQ(fastDelay.parameterLength, 4);
    EXPECT_EQ(fastDelay.value, 300.0);
    EXPECT_EQ(fastDelay.minimum, 20.0);
    EXPECT_EQ(fastDelay.maximum, 4000.0);
    EXPECT_EQ(fastDelay.step, 20.0);
    EXPECT_EQ(fastDelay.choiceCount, 0);

    const MenuItemRecord cwNarrow = item(95);
    EXPECT_STREQ(cwNarrow.name, "CW NARROW");
    EXPECT_EQ(cwNarrow.formatCode, 1);
    EXPECT_EQ(cwNarrow.parameterLength, 2);
    EXPECT_EQ(cwNarrow.value, 6.0);
    EXPECT_EQ(choicesOf(cwNarrow), (std::vector<std::string>{"25", "50", "100", "200", "300", "400", "500",
                                                             "800", "1200", "1400", "1700", "2000"}));

    const MenuItemRecord myBand = item(122);
    EXPECT_STREQ(myBand.name, "MY BAND");
    EXPECT_EQ(myBand.formatCode, MENU_FORMAT_BIT_FIELD);
    EXPECT_EQ(myBand.parameterLength, 13);
    EXPECT_EQ(myBand.value, 8190.0);  // the first 12 of the 13 bands
    EXPECT_EQ(choicesOf(myBand), (std::vector<std::string>{"1.8", "3.5", "5", "7", "10", "14", "18", "21", "24",
                                                           "28", "50", "GEN", "TRV"}));

    const MenuItemRecord emergency = item(147);
    EXPECT_STREQ(emergency.name, "EMERGENCY FREQ TX");
    EXPECT_EQ(emergency.formatCode, 1);
    EXPECT_EQ(emergency.parameterLength, 1);
    EXPECT_EQ(emergency.value, 0.0);
    EXPECT_EQ(choicesOf(emergency), (std::vector<std::string>{"DISABLE", "ENABLE"}));
}

// Every record is whole and consistent: the receive thread cuts an "EX" reply after
// its parameter length, so every value an item can carry must fit in it, and the
// start value must be one the transceiver could report.
TEST(DefaultMenuList, OnlyItemsOneTo147ExistAndEachIsConsistent) {
    MenuItemRecord untouched;
    std::memset(&untouched, 0x5A, sizeof untouched);
    for (int n : {-1, 0, 148, 300}) {
        EXPECT_FALSE(defaultMenuItem(n, untouched)) << n;
        EXPECT_EQ(reinterpret_cast<unsigned char*>(&untouched)[0], 0x5A) << "untouched for " << n;
    }
    for (int n = 1; n <= kDefaultMenuItemCount; ++n) {
        const MenuItemRecord r = item(n);
        EXPECT_EQ(r.number, n);
        EXPECT_GT(std::strlen(r.name), 0u) << n;
        EXPECT_TRUE(allZero(r.reserved, sizeof r.reserved)) << n;
        EXPECT_EQ(r.hasUnit, r.unit[0] != '\0' ? 1 : 0) << n;
        ASSERT_TRUE(r.choiceCount >= 0 && r.choiceCount <= 40) << n;
        for (int i = r.choiceCount; i < 40; ++i) EXPECT_TRUE(allZero(r.choices[i], 21)) << n << " slot " << i;
        if (r.formatCode == MENU_FORMAT_BIT_FIELD) {
            EXPECT_EQ(r.parameterLength, r.choiceCount) << n;
        } else if (isChoiceIndexCode(r.formatCode)) {
            EXPECT_GE(r.parameterLength, widthOf(r.choiceCount - 1)) << n;
            EXPECT_GE(r.value, 0.0) << n;
            EXPECT_LT(r.value, r.choiceCount) << n;
        } else {
            EXPECT_GE(r.parameterLength, widthOf(r.maximum)) << n;
            EXPECT_GE(r.parameterLength, widthOf(r.minimum)) << n;
            if (r.choiceCount == 0 && r.formatCode != 8) {
                EXPECT_GE(r.value, r.minimum) << n;
                EXPECT_LE(r.value, r.maximum) << n;
            }
        }
    }
}

}  // namespace
}  // namespace tqm

#pragma once

#include <cstdint>

namespace tqm {

// One set-up menu item of the transceiver. The layout is fixed: 1040 bytes.
struct MenuItemRecord {
    std::int32_t number;            // item number, 1-based; equals its slot number
    char name[21];                  // NUL-terminated
    char rangeText[101];            // NUL-terminated
    double value;                   // number, or choice index counted from 0
    std::int32_t parameterLength;   // characters of the value in an "EX" reply
    std::uint8_t hasUnit;           // 1 when unit is not empty
    char unit[11];                  // NUL-terminated
    std::int32_t formatCode;        // how the value is written and read
    double maximum;
    double minimum;
    double step;
    std::int32_t choiceCount;
    char choices[40][21];           // NUL-terminated choice texts in index order
    char reserved[8];               // keeps the record at its fixed size; always zero
};

static_assert(sizeof(MenuItemRecord) == 1040, "MenuItemRecord is 1040 bytes");

// Format code of the band-set item: its value is a bit mask of "0"/"1" characters.
inline constexpr std::int32_t MENU_FORMAT_BIT_FIELD = 14;
// Format codes whose "EX" value is one character shorter while modelCode is 0.
inline constexpr std::int32_t MENU_FORMAT_EQ2_FREQ = 0x20;
inline constexpr std::int32_t MENU_FORMAT_P_EQ2_FREQ = 0x23;

}  // namespace tqm

#include "sim/menu_item_table.h"

#include <algorithm>
#include <cstdio>

namespace tqm::sim {
namespace {

constexpr MenuItem s_items[] = {
    {1, 4, 20, 4000, false, 300},     // FAST DELAY (msec)
    {7, 1, 0, 4, false, 0},           // TFT COLOR
    {8, 2, 0, 15, false, 4},          // DIMMER METER
    {15, 3, 0, 100, false, 50},       // RX OUT LEVEL
    {19, 4, 0, 9999, false, 1},       // CONTEST NUMBER
    {27, 1, 0, 3, false, 0},          // CAT RATE
    {31, 3, -20, 20, true, 5},        // QUICK SPLIT FREQ (kHz)
    {42, 5, -1000, 1000, true, 0},    // LSB (Hz)
    {90, 3, -40, 20, true, -15},      // CONTOUR LEVEL
    {91, 2, 1, 11, false, 10},        // CONTOUR WIDTH
};

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<int> digitsValue(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        if (!isDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

std::span<const MenuItem> menuItems() { return s_items; }

const MenuItem* findMenuItem(int number) {
    const auto it = std::find_if(std::begin(s_items), std::end(s_items),
                                 [number](const MenuItem& item) { return item.number == number; });
    return it == std::end(s_items) ? nullptr : &*it;
}

std::string formatMenuValue(const MenuItem& item, int value) {
    char text[16] = {};
    if (item.isSigned) {
        std::snprintf(text, sizeof text, "%c%0*d", value < 0 ? '-' : '+', item.width - 1,
                      value < 0 ? -value : value);
    } else {
        std::snprintf(text, sizeof text, "%0*d", item.width, value);
    }
    return text;
}

std::optional<int> parseMenuValue(const MenuItem& item, std::string_view text) {
    if (static_cast<int>(text.size()) != item.width) {
        return std::nullopt;
    }
    if (!item.isSigned) {
        return digitsValue(text);
    }
    if (text[0] != '+' && text[0] != '-') {
        return std::nullopt;
    }
    const std::optional<int> magnitude = digitsValue(text.substr(1));
    if (!magnitude) {
        return std::nullopt;
    }
    return text[0] == '-' ? -*magnitude : *magnitude;
}

}  // namespace tqm::sim

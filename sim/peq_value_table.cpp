#include "sim/peq_value_table.h"

#include <cstdio>

namespace tqm::sim {
namespace {

// Ranges by band (rows) and parameter (columns).
constexpr PeRange s_ranges[3][3] = {
    {{0, 7}, {-20, 10}, {1, 10}},
    {{0, 9}, {-20, 10}, {1, 10}},
    {{0, 18}, {-20, 10}, {1, 10}},
};

constexpr PeqValues s_radioStart = {
    3, -2, 5,  4, 3, 7,  11, -6, 4,   // F set
    2, 0, 6,   5, 2, 8,  12, -4, 3,   // R set
    1, -8, 2,  6, 4, 9,  14, 1, 6,    // P set
};

constexpr PeqValues s_programStart = {
    0, 5, 10,  0, 5, 10,  0, 5, 10,
    0, 5, 10,  0, 5, 10,  0, 5, 10,
    0, 5, 10,  0, 5, 10,  0, 5, 10,
};

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<int> threeDigits(std::string_view text) {
    if (text.size() != 3 || !isDigit(text[0]) || !isDigit(text[1]) || !isDigit(text[2])) {
        return std::nullopt;
    }
    return (text[0] - '0') * 100 + (text[1] - '0') * 10 + (text[2] - '0');
}

}  // namespace

PeRange peRange(const PeAddress& address) { return s_ranges[address.band][address.param]; }

bool peValueInRange(const PeAddress& address, int value) {
    if (!isValidPeAddress(address)) {
        return false;
    }
    const PeRange range = peRange(address);
    return value >= range.min && value <= range.max;
}

const PeqValues& radioStartValues() { return s_radioStart; }

const PeqValues& programStartValues() { return s_programStart; }

std::string formatPeValue(const PeAddress& address, int value) {
    char text[8] = {};
    if (address.param != kPeParamLevel) {
        std::snprintf(text, sizeof text, "%03d", value % 1000 < 0 ? 0 : value % 1000);
    } else if (value == 0) {
        std::snprintf(text, sizeof text, "000");
    } else {
        const int magnitude = (value < 0 ? -value : value) % 100;
        std::snprintf(text, sizeof text, "%c%02d", value < 0 ? '-' : '+', magnitude);
    }
    return text;
}

std::optional<int> parsePeValue(const PeAddress& address, std::string_view text) {
    if (address.param != kPeParamLevel) {
        return threeDigits(text);
    }
    if (text.size() != 3 || !isDigit(text[1]) || !isDigit(text[2])) {
        return std::nullopt;
    }
    const char sign = text[0];
    if (sign != '+' && sign != '-' && sign != '0') {
        return std::nullopt;
    }
    const int magnitude = (text[1] - '0') * 10 + (text[2] - '0');
    return sign == '-' ? -magnitude : magnitude;
}

std::optional<PeAddress> parsePeAddress(std::string_view digits) {
    if (digits.size() != 3) {
        return std::nullopt;
    }
    for (char c : digits) {
        if (c < '0' || c > '2') {
            return std::nullopt;
        }
    }
    return PeAddress{digits[0] - '0', digits[1] - '0', digits[2] - '0'};
}

std::string formatPeReport(const PeAddress& address, int value) {
    std::string text = "PE";
    text += static_cast<char>('0' + address.set);
    text += static_cast<char>('0' + address.band);
    text += static_cast<char>('0' + address.param);
    text += formatPeValue(address, value);
    text += ';';
    return text;
}

}  // namespace tqm::sim

#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tqm::sim {

// One of the 27 equalizer values: set (0 F, 1 R, 2 P), band (0 EQ1, 1 EQ2, 2 EQ3)
// and parameter (0 FREQ, 1 LEVEL, 2 BWTH).
struct PeAddress {
    int set = 0;
    int band = 0;
    int param = 0;

    friend bool operator==(const PeAddress&, const PeAddress&) = default;
};

inline constexpr std::size_t kPeCount = 27;
inline constexpr int kPeParamFreq = 0;
inline constexpr int kPeParamLevel = 1;
inline constexpr int kPeParamBwth = 2;

// The 27 values in set-major order (set, band, parameter).
using PeqValues = std::array<int, kPeCount>;

struct PeRange {
    int min;
    int max;
};

// True when set, band and parameter are each 0..2.
constexpr bool isValidPeAddress(const PeAddress& a) {
    return a.set >= 0 && a.set <= 2 && a.band >= 0 && a.band <= 2 && a.param >= 0 && a.param <= 2;
}

constexpr std::size_t peIndex(const PeAddress& a) {
    return static_cast<std::size_t>(a.set * 9 + a.band * 3 + a.param);
}

constexpr PeAddress peAddressAt(std::size_t index) {
    const int i = static_cast<int>(index);
    return PeAddress{i / 9, (i / 3) % 3, i % 3};
}

// The range of one value; the same for all three sets.
PeRange peRange(const PeAddress& address);

// True when value lies within the range of the addressed value.
bool peValueInRange(const PeAddress& address, int value);

// Start values of a radio that has been used: every value differs from the
// editor's initial ones, and the three sets differ from each other.
const PeqValues& radioStartValues();

// The editor's initial values: FREQ 0, LEVEL +5, BWTH 10 everywhere.
const PeqValues& programStartValues();

// The three value characters on the line: "%03d" for FREQ and BWTH; for LEVEL
// a sign and two digits ("+05", "-03"), and "000" for zero.
std::string formatPeValue(const PeAddress& address, int value);

// Reads the three value characters of a set command. FREQ and BWTH: three
// digits. LEVEL: "+", "-" or "0" followed by two digits. Empty when malformed.
std::optional<int> parsePeValue(const PeAddress& address, std::string_view text);

// Reads the three address digits ("012"); empty unless each is 0..2.
std::optional<PeAddress> parsePeAddress(std::string_view digits);

// "PE" + address digits + value + ";", the 9-byte report of one value.
std::string formatPeReport(const PeAddress& address, int value);

}  // namespace tqm::sim

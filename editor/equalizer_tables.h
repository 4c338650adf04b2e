#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "editor/equalizer_values.h"

namespace tqm {

// Centre frequencies in Hz by FREQ index; entry 0 means the band is off.
inline constexpr std::array<std::int32_t, 8> EQ1_FREQ_TABLE = {0, 100, 200, 300, 400, 500, 600, 700};
inline constexpr std::array<std::int32_t, 10> EQ2_FREQ_TABLE = {0,    700,  800,  900,  1000,
                                                                1100, 1200, 1300, 1400, 1500};
inline constexpr std::array<std::int32_t, 19> EQ3_FREQ_TABLE = {
    0,    1500, 1600, 1700, 1800, 1900, 2000, 2100, 2200, 2300,
    2400, 2500, 2600, 2700, 2800, 2900, 3000, 3100, 3200};

inline constexpr std::array<std::span<const std::int32_t>, kEqualizerBands> kFreqTables = {
    std::span<const std::int32_t>(EQ1_FREQ_TABLE), std::span<const std::int32_t>(EQ2_FREQ_TABLE),
    std::span<const std::int32_t>(EQ3_FREQ_TABLE)};

inline constexpr std::int32_t kLevelMin = -20;
inline constexpr std::int32_t kLevelMax = 10;
inline constexpr std::int32_t kBwthMin = 1;
inline constexpr std::int32_t kBwthMax = 10;

// The frequency in Hz of a band's FREQ index; 0 for an index outside the table.
constexpr std::int32_t freqHz(int band, std::int32_t index) {
    const auto table = kFreqTables[static_cast<std::size_t>(band)];
    return (index >= 0 && static_cast<std::size_t>(index) < table.size()) ? table[static_cast<std::size_t>(index)] : 0;
}

// One equalizer set: its menu item, its caption prefix and its digit in "PE" commands.
struct EqualizerSetInfo {
    std::string_view menuName;
    std::string_view captionPrefix;
    char digit;
};

inline constexpr std::array<EqualizerSetInfo, kEqualizerSets> kEqualizerSetInfo = {{
    {"F-Prmtrc", "F-PRMTRC", '0'},
    {"R-Prmtrc", "R-PRMTRC", '1'},
    {"P-Prmtrc", "P-PRMTRC", '2'},
}};

// The names of the bands and of their parameters (by PeqParam), as the texts for the
// operator write them: "EQ2 LEVEL".
inline constexpr std::array<std::string_view, kEqualizerBands> kBandNames = {"EQ1", "EQ2", "EQ3"};
inline constexpr std::array<std::string_view, 3> kParamNames = {"FREQ", "LEVEL", "BWTH"};

// Group-box captions by set and band.
inline constexpr std::array<std::array<std::string_view, kEqualizerBands>, kEqualizerSets> kBandCaptions = {{
    {"F-PRMTRC EQ1", "F-PRMTRC EQ2", "F-PRMTRC EQ3"},
    {"R-PRMTRC EQ1", "R-PRMTRC EQ2", "R-PRMTRC EQ3"},
    {"P-PRMTRC EQ1", "P-PRMTRC EQ2", "P-PRMTRC EQ3"},
}};

}  // namespace tqm

#pragma once

#include <array>
#include <cstdint>

#include "protocol/trx_state.h"

namespace tqm {

inline constexpr int kEqualizerSets = 3;
inline constexpr int kEqualizerBands = 3;
inline constexpr int kEqualizerParams = 9;

// Parameter number p = 3 * band + kind (band 0..2 for EQ1..EQ3).
constexpr int paramIndex(int band, PeqParam kind) { return 3 * band + static_cast<int>(kind); }
constexpr int bandOfParam(int p) { return p / 3; }
constexpr PeqParam kindOfParam(int p) { return static_cast<PeqParam>(p % 3); }

// The nine values of one equalizer set in the order EQ1 FREQ, EQ1 LEVEL, EQ1 BWTH,
// EQ2 FREQ, ..., EQ3 BWTH. FREQ is an index into the band's frequency table.
struct EqualizerValues {
    std::array<std::int32_t, kEqualizerParams> values{};

    std::int32_t& operator[](int p) { return values[static_cast<std::size_t>(p)]; }
    std::int32_t operator[](int p) const { return values[static_cast<std::size_t>(p)]; }
    std::int32_t get(int band, PeqParam kind) const { return (*this)[paramIndex(band, kind)]; }

    friend bool operator==(const EqualizerValues&, const EqualizerValues&) = default;
};

}  // namespace tqm

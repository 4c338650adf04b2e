#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "editor/equalizer_tables.h"

namespace tqm {

inline constexpr int kFitLevels = kLevelMax - kLevelMin + 1;
inline constexpr int kFitBwths = kBwthMax - kBwthMin + 1;

// Every response curve one band can take - each frequency of its table but OFF, each
// BWTH and each LEVEL - on a fixed set of frequencies, with the weighted sums of each
// curve and of its square over those frequencies.
class BandCurveTable final {
public:
    BandCurveTable(int band, std::span<const double> frequencies, std::span<const double> weights);

    std::span<const double> curve(int freqIndex, int level, int bwth) const;
    double weightedSum(int freqIndex, int level, int bwth) const { return m_sums[slot(freqIndex, level, bwth)]; }
    double weightedSquares(int freqIndex, int level, int bwth) const {
        return m_squares[slot(freqIndex, level, bwth)];
    }
    // FREQ indices 1..entries() are on.
    int entries() const { return m_entries; }

private:
    std::size_t slot(int freqIndex, int level, int bwth) const {
        return (static_cast<std::size_t>(freqIndex - 1) * kFitBwths + static_cast<std::size_t>(bwth - kBwthMin)) *
                   kFitLevels + static_cast<std::size_t>(level - kLevelMin);
    }

    int m_entries;
    std::size_t m_points;
    std::vector<double> m_curves;
    std::vector<double> m_sums;
    std::vector<double> m_squares;
};

}  // namespace tqm

#include "voice/band_curve_table.h"

#include <cmath>

#include "editor/response_curve.h"

namespace tqm {

BandCurveTable::BandCurveTable(int band, std::span<const double> frequencies, std::span<const double> weights)
    : m_entries(static_cast<int>(kFreqTables[static_cast<std::size_t>(band)].size()) - 1),
      m_points(frequencies.size()) {
    const std::size_t curves = static_cast<std::size_t>(m_entries) * kFitBwths * kFitLevels;
    m_curves.resize(curves * m_points);
    m_sums.resize(curves);
    m_squares.resize(curves);
    for (int entry = 1; entry <= m_entries; ++entry) {
        const double centre = freqHz(band, entry);
        for (int bwth = kBwthMin; bwth <= kBwthMax; ++bwth) {
            for (int level = kLevelMin; level <= kLevelMax; ++level) {
                const std::size_t s = slot(entry, level, bwth);
                double sum = 0.0;
                double squares = 0.0;
                for (std::size_t p = 0; p < m_points; ++p) {
                    const double value = ResponseCurve(level, centre, bwth, frequencies[p]);
                    m_curves[s * m_points + p] = value;
                    sum += weights[p] * value;
                    squares += weights[p] * value * value;
                }
                m_sums[s] = sum;
                m_squares[s] = squares;
            }
        }
    }
}

std::span<const double> BandCurveTable::curve(int freqIndex, int level, int bwth) const {
    return {m_curves.data() + slot(freqIndex, level, bwth) * m_points, m_points};
}

}  // namespace tqm

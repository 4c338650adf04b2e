#include "editor/graph_handles.h"

#include <cmath>
#include <cstdio>

#include "editor/equalizer_model.h"
#include "editor/equalizer_tables.h"
#include "editor/graph_axes.h"

namespace tqm {
namespace {

// The parked handles of bands that are off, 16 pixels apart from the left edge, far
// enough in that the ring of the active one is not cut off.
constexpr double kOffSpotX = kHandleRadius + 6.0;
constexpr double kOffSpotStep = 16.0;

}  // namespace

HandleSpot handleSpot(int band, const EqualizerValues& values) {
    const std::int32_t index = values.get(band, PeqParam::Freq);
    // On the middle of the pixel that the curve's peak is plotted in.
    const double y = graphY(values.get(band, PeqParam::Level)) + 0.5;
    if (index == 0) return {kOffSpotX + kOffSpotStep * band, y, true};
    return {std::trunc(graphX(freqHz(band, index))) + 0.5, y, false};
}

int handleAt(const EqualizerValues& values, int activeBand, double x, double y) {
    const auto under = [&](int band) {
        const HandleSpot spot = handleSpot(band, values);
        return std::hypot(spot.x - x, spot.y - y) <= kHandleGrabRadius;
    };
    const int active = activeBand - 1;
    if (active >= 0 && active < kEqualizerBands && under(active)) return active;
    // The others are drawn in band order, so the last one lies on top.
    for (int band = kEqualizerBands - 1; band >= 0; --band) {
        if (band != active && under(band)) return band;
    }
    return -1;
}

std::int32_t freqIndexNearX(int band, double x) {
    const auto table = kFreqTables[static_cast<std::size_t>(band)];
    std::int32_t best = 1;
    for (std::size_t index = 1; index < table.size(); ++index) {
        if (std::abs(graphX(table[index]) - x) < std::abs(graphX(table[static_cast<std::size_t>(best)]) - x)) {
            best = static_cast<std::int32_t>(index);
        }
    }
    return best;
}

std::int32_t levelNearY(double y) { return static_cast<std::int32_t>(std::lround((kGraphZeroDbY - y) / 8.0)); }

std::string handleText(int band, const EqualizerValues& values) {
    const std::int32_t level = values.get(band, PeqParam::Level);
    const char* sign = level > 0 ? "+" : "";
    char text[64];
    std::snprintf(text, sizeof text, "EQ%d %s %s%d dB BWTH %d", band + 1,
                  EqualizerModel::freqText(band, values.get(band, PeqParam::Freq)).c_str(), sign,
                  static_cast<int>(level), static_cast<int>(values.get(band, PeqParam::Bwth)));
    return text;
}

}  // namespace tqm

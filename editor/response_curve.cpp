#include "editor/response_curve.h"

#include <cmath>

#include "editor/equalizer_tables.h"

namespace tqm {

double ResponseCurve(double level, double centre, int bwth, double frequency) {
    const double r = frequency / centre;
    const double b = static_cast<double>(bwth);
    const double detune = (1.0 - r * r) / r;
    const double h = (1.0 / b) / std::sqrt(detune * detune + 1.0 / (b * b));
    const double gain = std::pow(10.0, std::fabs(level) / 20.0);
    const double response = 20.0 * std::log10(1.0 + h * (gain - 1.0));
    return level < 0 ? -response : response;
}

double bandResponse(const EqualizerValues& values, int band, double frequency) {
    const std::int32_t index = values.get(band, PeqParam::Freq);
    const bool off = index == 0;
    const double centre = off ? 1.0 : static_cast<double>(freqHz(band, index));
    const double level = off ? 0.0 : static_cast<double>(values.get(band, PeqParam::Level));
    return ResponseCurve(level, centre, values.get(band, PeqParam::Bwth), frequency);
}

double sumResponse(const EqualizerValues& values, double frequency) {
    double sum = 0.0;
    for (int band = 0; band < kEqualizerBands; ++band) {
        sum += bandResponse(values, band, frequency);
    }
    return sum;
}

}  // namespace tqm

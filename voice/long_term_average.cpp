#include "voice/long_term_average.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <mutex>
#include <numbers>

namespace tqm {

namespace {

// FFTW's planner is not thread-safe; plans are made and destroyed under this lock.
std::mutex s_plannerMutex;

constexpr double kReferenceRate = 48000.0;
constexpr double kReferenceLength = 4096.0;
constexpr double kHalfBandRatio = 1.0594630943592953;  // 2^(1/12): a sixth of an octave wide
constexpr double kNormalisingHz = 1000.0;
constexpr double kLoudestShare = 0.1;  // the loudest tenth of the frames sets the level
constexpr double kFloorPower = 1e-30;

// The power of two nearest to 4096 samples at 48 kHz, scaled to the rate.
int frameLengthFor(int rate) {
    const double wanted = kReferenceLength * static_cast<double>(rate) / kReferenceRate;
    const int exponent = static_cast<int>(std::lround(std::log2(std::max(wanted, 256.0))));
    return 1 << exponent;
}

double decibels(double power) { return 10.0 * std::log10(std::max(power, kFloorPower)); }

// The smoothed power at frequency f: the mean over the bins within a sixth of an
// octave around it, or the power interpolated at f where the bins are wider than that.
double bandPower(const std::vector<double>& power, double binHz, double frequency) {
    const double lo = frequency / kHalfBandRatio / binHz;
    const double hi = frequency * kHalfBandRatio / binHz;
    const auto last = power.size() - 1;
    const auto first = std::min(static_cast<std::size_t>(std::ceil(lo)), last);
    const auto end = std::min(static_cast<std::size_t>(std::floor(hi)), last);
    if (end >= first + 1) {
        double sum = 0.0;
        for (auto k = first; k <= end; ++k) {
            sum += power[k];
        }
        return sum / static_cast<double>(end - first + 1);
    }
    const double at = std::min(frequency / binHz, static_cast<double>(last));
    const auto below = static_cast<std::size_t>(std::floor(at));
    const auto above = std::min(below + 1, last);
    const double t = at - static_cast<double>(below);
    return power[below] * (1.0 - t) + power[above] * t;
}

}  // namespace

LongTermAverage::LongTermAverage(int rate, double gateDb)
    : m_gateDb(gateDb), m_length(frameLengthFor(rate)), m_binHz(static_cast<double>(rate) / m_length) {
    const double top = GRAPH_SAMPLE_FREQS.back() * kHalfBandRatio;
    m_bins = std::min(static_cast<std::size_t>(std::ceil(top / m_binHz)) + 2,
                      static_cast<std::size_t>(m_length / 2 + 1));
    m_window.resize(static_cast<std::size_t>(m_length));
    for (std::size_t i = 0; i < m_window.size(); ++i) {
        m_window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / m_length));
    }
    const std::scoped_lock lock(s_plannerMutex);
    m_input = fftwf_alloc_real(static_cast<std::size_t>(m_length));
    auto* output = fftwf_alloc_complex(static_cast<std::size_t>(m_length / 2 + 1));
    m_output = output;
    m_plan = fftwf_plan_dft_r2c_1d(m_length, m_input, output, FFTW_ESTIMATE);
}

LongTermAverage::~LongTermAverage() {
    const std::scoped_lock lock(s_plannerMutex);
    fftwf_destroy_plan(m_plan);
    fftwf_free(m_input);
    fftwf_free(m_output);
}

void LongTermAverage::feed(std::span<const float> samples) {
    const auto length = static_cast<std::size_t>(m_length);
    const std::size_t hop = length / 2;
    m_pending.insert(m_pending.end(), samples.begin(), samples.end());
    std::size_t start = 0;
    for (; start + length <= m_pending.size(); start += hop) {
        for (std::size_t i = 0; i < length; ++i) {
            m_input[i] = m_pending[start + i] * m_window[i];
        }
        analyseFrame();
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(start));
}

void LongTermAverage::analyseFrame() {
    fftwf_execute(m_plan);
    const auto* output = static_cast<const fftwf_complex*>(m_output);
    const double lowest = GRAPH_SAMPLE_FREQS.front() / kHalfBandRatio;
    double energy = 0.0;
    for (std::size_t k = 0; k < m_bins; ++k) {
        const float power = output[k][0] * output[k][0] + output[k][1] * output[k][1];
        m_framePower.push_back(power);
        energy += static_cast<double>(k) * m_binHz >= lowest ? power : 0.0;
    }
    m_frameEnergy.push_back(energy);
}

double LongTermAverage::gateLevel() const {
    std::vector<double> sorted = m_frameEnergy;
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    const auto loudest = std::max<std::size_t>(1, static_cast<std::size_t>(kLoudestShare * sorted.size()));
    double sum = 0.0;
    for (std::size_t i = 0; i < loudest; ++i) {
        sum += sorted[i];
    }
    return decibels(sum / static_cast<double>(loudest)) - m_gateDb;
}

std::vector<double> LongTermAverage::averagePower() const {
    if (m_frameEnergy.empty()) {
        return {};
    }
    std::vector<double> power(m_bins, 0.0);
    const double gate = gateLevel();
    std::size_t kept = 0;
    for (std::size_t frame = 0; frame < m_frameEnergy.size(); ++frame) {
        if (m_frameEnergy[frame] <= kFloorPower || decibels(m_frameEnergy[frame]) < gate) {
            continue;
        }
        ++kept;
        for (std::size_t k = 0; k < m_bins; ++k) {
            power[k] += m_framePower[frame * m_bins + k];
        }
    }
    if (kept == 0) {
        return {};
    }
    return power;
}

std::optional<VoiceSpectrum> LongTermAverage::spectrum() const {
    const std::vector<double> power = averagePower();
    if (power.empty()) {
        return std::nullopt;
    }
    const double reference = decibels(bandPower(power, m_binHz, kNormalisingHz));
    VoiceSpectrum spectrum{};
    for (std::size_t i = 0; i < spectrum.size(); ++i) {
        spectrum[i] = decibels(bandPower(power, m_binHz, GRAPH_SAMPLE_FREQS[i])) - reference;
    }
    return spectrum;
}

std::optional<VoiceSpectrum> longTermAverage(std::span<const float> samples, int rate, double gateDb) {
    LongTermAverage analyser(rate, gateDb);
    analyser.feed(samples);
    return analyser.spectrum();
}

}  // namespace tqm

#include "tests/support/speech_signal.h"

#include <sndfile.h>

#include <cmath>
#include <numbers>

namespace tqm::test {

namespace {

constexpr double kLowPitch = 100.0;
constexpr double kHighPitch = 250.0;
constexpr double kGlideSeconds = 0.37;  // one sweep up and down
constexpr double kSyllableSeconds = 0.5;
constexpr double kAmplitude = 0.02;
constexpr int kEnvelopeBlock = 32;
constexpr double kPauseHumHz = 3970.0;

// The pitch at time t: a triangle wave on the log scale, so that every pitch in the
// range is held equally long in proportion to its logarithm.
double pitch(double t) {
    const double phase = std::fmod(t / kGlideSeconds, 1.0);
    const double u = phase < 0.5 ? 2.0 * phase : 2.0 - 2.0 * phase;
    return kLowPitch * std::pow(kHighPitch / kLowPitch, u);
}

// The power of a band-pass resonance: 1 at its centre.
double resonance(double hz, double centre, double q) {
    const double r = hz / centre;
    const double edge = r * r / (q * q);
    return edge / ((1.0 - r * r) * (1.0 - r * r) + edge);
}

}  // namespace

double formantEnvelopeDb(double hz) {
    const double power = 0.05 + resonance(hz, 500.0, 2.0) + 0.5 * resonance(hz, 1500.0, 2.5);
    return 10.0 * std::log10(power) - 6.0 * std::log2(hz / 1000.0);
}

std::vector<float> speechSamples(const SpeechSignal& signal) {
    const double rate = signal.rate;
    std::vector<float> samples(static_cast<std::size_t>(signal.seconds * rate));
    std::vector<double> gains;
    const double hum = kAmplitude * std::pow(10.0, signal.pauseDb / 20.0);
    double phase = 0.0;
    double clock = 0.0;  // time within the current syllable and the pause after it
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double f0 = pitch(t);
        phase = std::fmod(phase + 2.0 * std::numbers::pi * f0 / rate, 2.0 * std::numbers::pi);
        clock = std::fmod(clock + 1.0 / rate, kSyllableSeconds + signal.pauseSeconds);
        if (clock >= kSyllableSeconds) {
            samples[i] = static_cast<float>(hum * std::sin(2.0 * std::numbers::pi * kPauseHumHz * t));
            continue;
        }
        if (i % kEnvelopeBlock == 0) {
            gains.clear();
            for (int k = 1; k * f0 < 0.45 * rate; ++k) {
                gains.push_back(kAmplitude * std::pow(10.0, signal.envelopeDb(k * f0) / 20.0));
            }
        }
        double value = 0.0;
        for (std::size_t k = 0; k < gains.size(); ++k) {
            value += gains[k] * std::sin(static_cast<double>(k + 1) * phase);
        }
        samples[i] = static_cast<float>(value);
    }
    return samples;
}

bool writeWav(const std::filesystem::path& path, const std::vector<float>& samples, int rate, int channels) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        return false;
    }
    std::vector<float> frames;
    for (const float s : samples) {
        frames.insert(frames.end(), static_cast<std::size_t>(channels), s);
    }
    const auto frameCount = static_cast<sf_count_t>(samples.size());
    const bool written = sf_writef_float(file, frames.data(), frameCount) == frameCount;
    return sf_close(file) == 0 && written;
}

}  // namespace tqm::test

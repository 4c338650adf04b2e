#pragma once

#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <numbers>
#include <vector>

namespace tqm::test {

// A speech-like signal: harmonics of a pitch gliding evenly on a log scale between
// 100 and 250 Hz, shaped by an envelope (dB at a frequency), in 0.5 s syllables with
// pauses between them that hold a 3970 Hz hum (pauseDb against a 0 dB harmonic).
// Its long-term spectrum is the envelope.
struct SpeechSignal {
    std::function<double(double)> envelopeDb;
    int rate = 16000;
    double seconds = 8.0;
    double pauseSeconds = 0.0;
    double pauseDb = -22.0;
};

inline std::vector<float> speechSamples(const SpeechSignal& signal) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    constexpr double kSyllableSeconds = 0.5;
    constexpr double kAmplitude = 0.02;
    // A triangle wave on the log scale, 0.37 s up and down: every pitch held as long.
    const auto pitch = [](double t) {
        const double phase = std::fmod(t / 0.37, 1.0);
        return 100.0 * std::pow(2.5, phase < 0.5 ? 2.0 * phase : 2.0 - 2.0 * phase);
    };
    const double rate = signal.rate;
    std::vector<float> samples(static_cast<std::size_t>(signal.seconds * rate));
    const double hum = kAmplitude * std::pow(10.0, signal.pauseDb / 20.0);
    std::vector<double> gains;
    double phase = 0.0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double f0 = pitch(t);
        phase = std::fmod(phase + kTwoPi * f0 / rate, kTwoPi);
        if (std::fmod(t, kSyllableSeconds + signal.pauseSeconds) >= kSyllableSeconds) {
            samples[i] = static_cast<float>(hum * std::sin(kTwoPi * 3970.0 * t));
            continue;
        }
        if (i % 32 == 0) {  // the envelope follows the pitch every 32 samples
            gains.clear();
            for (int k = 1; k * f0 < 0.45 * rate; ++k) {
                gains.push_back(kAmplitude * std::pow(10.0, signal.envelopeDb(k * f0) / 20.0));
            }
        }
        double value = 0.0;
        for (std::size_t k = 0; k < gains.size(); ++k) value += gains[k] * std::sin(static_cast<double>(k + 1) * phase);
        samples[i] = static_cast<float>(value);
    }
    return samples;
}

// Two formants (500 and 1500 Hz) over a tilt of -6 dB per octave.
inline double formantEnvelopeDb(double hz) {
    const auto resonance = [hz](double centre, double q) {
        const double r = hz / centre;
        const double edge = r * r / (q * q);
        return edge / ((1.0 - r * r) * (1.0 - r * r) + edge);
    };
    const double power = 0.05 + resonance(500.0, 2.0) + 0.5 * resonance(1500.0, 2.5);
    return 10.0 * std::log10(power) - 6.0 * std::log2(hz / 1000.0);
}

// Writes 16-bit samples through libsndfile, every channel the same; false on failure.
inline bool writeWav(const std::filesystem::path& path, const std::vector<float>& samples, int rate, int channels = 1) {
    SF_INFO info{0, rate, channels, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return false;
    std::vector<float> frames;
    for (const float s : samples) frames.insert(frames.end(), static_cast<std::size_t>(channels), s);
    const auto count = static_cast<sf_count_t>(samples.size());
    const bool written = sf_writef_float(file, frames.data(), count) == count;
    return sf_close(file) == 0 && written;
}

}  // namespace tqm::test

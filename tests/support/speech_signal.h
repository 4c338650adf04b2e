#pragma once

#include <filesystem>
#include <functional>
#include <vector>

namespace tqm::test {

// A speech-like signal: a harmonic source whose pitch glides evenly on a log scale
// between 100 and 250 Hz, every harmonic shaped by a spectral envelope (dB at a
// frequency), spoken in 0.5 s syllables with pauses between them that hold a quiet
// 3970 Hz hum (pauseDb relative to a 0 dB harmonic). Its long-term spectrum is the
// envelope.
struct SpeechSignal {
    std::function<double(double)> envelopeDb;
    int rate = 16000;
    double seconds = 8.0;
    double pauseSeconds = 0.0;
    double pauseDb = -22.0;
};

std::vector<float> speechSamples(const SpeechSignal& signal);

// Two formants (500 and 1500 Hz) over a falling tilt: a vowel-like envelope.
double formantEnvelopeDb(double hz);

// Writes 16-bit samples through libsndfile, every channel the same; false on failure.
bool writeWav(const std::filesystem::path& path, const std::vector<float>& samples, int rate, int channels = 1);

}  // namespace tqm::test

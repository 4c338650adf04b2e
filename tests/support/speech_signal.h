#pragma once

#include <filesystem>
#include <functional>
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

std::vector<float> speechSamples(const SpeechSignal& signal);

// Two formants (500 and 1500 Hz) over a tilt of -6 dB per octave.
double formantEnvelopeDb(double hz);

// Writes 16-bit samples through libsndfile, every channel the same; false on failure.
bool writeWav(const std::filesystem::path& path, const std::vector<float>& samples, int rate, int channels = 1);

}  // namespace tqm::test

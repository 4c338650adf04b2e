#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "voice/long_term_average.h"

namespace tqm {

// A live capture ends by itself after this much sound.
inline constexpr double kCaptureSeconds = 20.0;

// The level shown for a block of digital silence, in dB against full scale.
inline constexpr double kLevelFloorDb = -90.0;

// A voice taken live from an audio input, block by block as the sound system hands
// them over: the samples (mixed to mono and kept, so the take can be saved), the level
// of the latest block for a meter, how far the take has got, and its long-term
// spectrum. A take is full after `seconds` of sound; what comes after is dropped, so
// it always ends on the same sample however the blocks fall.
class VoiceCapture final {
public:
    VoiceCapture(int rate, int channels, double seconds = kCaptureSeconds);

    // Takes interleaved frames of the capture's channel count; a trailing part frame
    // is dropped.
    void feed(std::span<const float> interleaved);

    // The peak of the latest block in dB against full scale, kLevelFloorDb at least.
    double levelDb() const { return m_levelDb; }
    // True once a sample of the take has reached full scale.
    bool clipped() const { return m_clipped; }
    double seconds() const;
    // Between 0 and 1.
    double progress() const;
    bool full() const { return m_samples.size() >= m_limit; }

    int rate() const { return m_rate; }
    const std::vector<float>& samples() const { return m_samples; }
    // The spectrum of the take so far; none while it holds no voice.
    std::optional<VoiceSpectrum> spectrum() const { return m_average.spectrum(); }

private:
    int m_rate;
    int m_channels;
    std::size_t m_limit;
    std::vector<float> m_samples;
    LongTermAverage m_average;
    double m_levelDb = kLevelFloorDb;
    bool m_clipped = false;
};

}  // namespace tqm

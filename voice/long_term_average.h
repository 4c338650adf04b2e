#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "editor/graph_axes.h"

typedef struct fftwf_plan_s* fftwf_plan;  // NOLINT: FFTW's own declaration

namespace tqm {

// A long-term voice spectrum in dB at the graph's sample frequencies, 0 dB at 1 kHz.
using VoiceSpectrum = std::array<double, GRAPH_SAMPLE_FREQS.size()>;

// Frames whose level is this far under the loudest frames' level are pauses.
inline constexpr double kSilenceGateDb = 30.0;

// The long-term average spectrum of speech, fed in blocks as they come (a recording
// at once, or a live input block by block): Hann-windowed frames of about 85 ms with
// half of each overlapping the next, pauses left out, averaged in power and smoothed
// to a sixth of an octave around each sample frequency.
class LongTermAverage final {
public:
    // Frames more than gateDb under the loudest frames' level are left out.
    explicit LongTermAverage(int rate, double gateDb = kSilenceGateDb);
    ~LongTermAverage();
    LongTermAverage(const LongTermAverage&) = delete;
    LongTermAverage& operator=(const LongTermAverage&) = delete;

    void feed(std::span<const float> samples);
    // The frames analysed so far, pauses included.
    std::size_t frames() const { return m_frameEnergy.size(); }
    // The spectrum of the frames so far; none while no frame holds sound.
    std::optional<VoiceSpectrum> spectrum() const;

    int frameLength() const { return m_length; }

private:
    void analyseFrame();
    double gateLevel() const;
    std::vector<double> averagePower() const;

    double m_gateDb;
    int m_length;
    double m_binHz;
    std::size_t m_bins;  // bins kept per frame: up to the top of the highest band
    std::vector<float> m_window;
    std::vector<float> m_pending;
    float* m_input = nullptr;
    void* m_output = nullptr;
    fftwf_plan m_plan = nullptr;
    std::vector<float> m_framePower;  // m_bins per frame
    std::vector<double> m_frameEnergy;
};

// The long-term spectrum of a whole recording; none when it holds no sound.
std::optional<VoiceSpectrum> longTermAverage(std::span<const float> samples, int rate,
                                              double gateDb = kSilenceGateDb);

}  // namespace tqm

#include <cmath>

#include <gtest/gtest.h>

#include "tests/support/speech_signal.h"
#include "voice/long_term_average.h"

namespace tqm::test {
namespace {

// The largest difference in dB between two spectra from lo to hi Hz.
double largestDifference(const VoiceSpectrum& a, const VoiceSpectrum& b, double lo, double hi = 5000.0) {
    double largest = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (GRAPH_SAMPLE_FREQS[i] >= lo && GRAPH_SAMPLE_FREQS[i] <= hi) largest = std::max(largest, std::fabs(a[i] - b[i]));
    }
    return largest;
}

// Above a few pitch harmonics the glide fills the spectrum evenly; below, single
// harmonics stand out. The hum in the pauses is under the silence gate.
TEST(LongTermAverage, FollowsTheVoicesEnvelopeAtEveryRateLeavesPausesOutAndFindsNoneInSilence) {
    VoiceSpectrum expected{};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        expected[i] = formantEnvelopeDb(GRAPH_SAMPLE_FREQS[i]) - formantEnvelopeDb(1000.0);
    }
    for (const int rate : {16000, 44100, 48000}) {
        SCOPED_TRACE(rate);
        SpeechSignal signal{formantEnvelopeDb, rate};
        const auto voiced = longTermAverage(speechSamples(signal), rate);
        ASSERT_TRUE(voiced);
        EXPECT_LT(largestDifference(*voiced, expected, 300.0), 1.0);
        signal.pauseSeconds = 0.4;
        signal.seconds *= 1.8;
        const std::vector<float> samples = speechSamples(signal);
        const auto paused = longTermAverage(samples, rate);
        const auto ungated = longTermAverage(samples, rate, 1000.0);
        ASSERT_TRUE(paused && ungated);
        EXPECT_LT(largestDifference(*paused, *voiced, 100.0), 0.6);
        EXPECT_GT(largestDifference(*ungated, *voiced, 100.0), 1.2) << "the hum would show";
    }
    EXPECT_FALSE(longTermAverage(std::vector<float>(48000, 0.0F), 16000)) << "silence gives none";
}

}  // namespace
}  // namespace tqm::test

#include <gtest/gtest.h>

#include "editor/equalizer_tables.h"
#include "editor/response_curve.h"
#include "tests/support/speech_signal.h"
#include "voice/equalizer_fit.h"

namespace tqm::test {
namespace {

// A voice shaped by the mirror of a setting, with a flat target, gives back that
// setting or one whose curve is within 0.5 dB RMS of it; a vowel-like voice gets a
// proposal for every built-in target. Every proposal stays on the tables and in
// range and does no worse than the set it started from.
TEST(EqualizerFit, FindsAMirroredSettingAgainAndEveryProposalStaysOnTheTables) {
    const TargetCurve flat{"flat", {{50.0, 0.0}}};
    const EqualizerValues mirrored[] = {
        {{3, -8, 4, 0, 0, 1, 11, 6, 5}}, {{1, 5, 2, 5, -6, 3, 7, 4, 8}}, {{6, 3, 6, 2, -10, 2, 15, 9, 3}}};
    const std::vector<TargetCurve> targets = builtInTargets();
    for (std::size_t row = 0; row < std::size(mirrored) + targets.size(); ++row) {
        SCOPED_TRACE(row);
        const bool mirror = row < std::size(mirrored);
        const EqualizerValues setting = mirrored[mirror ? row : 0];
        const auto envelope = [&](double hz) { return mirror ? -sumResponse(setting, hz) : formantEnvelopeDb(hz); };
        const TargetCurve& target = mirror ? flat : targets[row - std::size(mirrored)];
        const EqualizerValues current{{2, 4, 3, 0, -7, 9, 9, -2, 6}};
        const auto voice = longTermAverage(speechSamples({envelope, 16000, 5.0}), 16000);
        ASSERT_TRUE(voice);
        const FitProposal fit = fitEqualizer(*voice, target, current);
        for (int band = 0; band < kEqualizerBands; ++band) {
            EXPECT_LT(static_cast<std::size_t>(fit.values[3 * band]), kFreqTables[static_cast<std::size_t>(band)].size());
            EXPECT_TRUE(fit.values[3 * band + 1] >= kLevelMin && fit.values[3 * band + 1] <= kLevelMax);
            EXPECT_TRUE(fit.values[3 * band + 2] >= kBwthMin && fit.values[3 * band + 2] <= kBwthMax);
        }
        EXPECT_NEAR(fit.rmsBefore, fitResidual(*voice, target, current), 1e-9);
        EXPECT_NEAR(fit.rmsAfter, fitResidual(*voice, target, fit.values), 1e-9);
        EXPECT_LE(fit.rmsAfter, fit.rmsBefore);
        if (!mirror) continue;
        VoiceSpectrum exact{};
        for (std::size_t i = 0; i < exact.size(); ++i) exact[i] = envelope(GRAPH_SAMPLE_FREQS[i]);
        EXPECT_LT(fitResidual(exact, flat, fit.values), 0.5);
    }
}

}  // namespace
}  // namespace tqm::test

#include <gtest/gtest.h>

#include "editor/equalizer_tables.h"
#include "editor/response_curve.h"
#include "tests/support/speech_signal.h"
#include "voice/equalizer_fit.h"

namespace tqm::test {
namespace {

void expectTableValues(const EqualizerValues& v) {
    for (int band = 0; band < kEqualizerBands; ++band) {
        EXPECT_LT(static_cast<std::size_t>(v.get(band, PeqParam::Freq)), kFreqTables[static_cast<std::size_t>(band)].size());
        EXPECT_TRUE(v.get(band, PeqParam::Level) >= kLevelMin && v.get(band, PeqParam::Level) <= kLevelMax);
        EXPECT_TRUE(v.get(band, PeqParam::Bwth) >= kBwthMin && v.get(band, PeqParam::Bwth) <= kBwthMax);
    }
}

// A voice shaped by the mirror of a setting, recorded and analysed: with a flat target
// the fit finds that setting again, or one whose curve is within 0.5 dB RMS of it.
TEST(EqualizerFit, FindsTheSettingThatFlattensAVoiceShapedByItsMirror) {
    const TargetCurve flat{"flat", {{50.0, 0.0}}};
    const EqualizerValues neutral{{0, 0, 5, 0, 0, 5, 0, 0, 5}};
    for (const EqualizerValues& setting : {EqualizerValues{{3, -8, 4, 0, 0, 1, 11, 6, 5}},
                                           EqualizerValues{{1, 5, 2, 5, -6, 3, 7, 4, 8}},
                                           EqualizerValues{{6, 3, 6, 2, -10, 2, 15, 9, 3}}}) {
        SCOPED_TRACE(::testing::PrintToString(setting.values));
        const auto mirror = [&setting](double hz) { return -sumResponse(setting, hz); };
        const auto voice = longTermSpectrum(speechSamples({mirror, 16000, 6.0}), 16000);
        ASSERT_TRUE(voice);
        const FitProposal fit = fitEqualizer(*voice, flat, neutral);
        expectTableValues(fit.values);
        VoiceSpectrum exact{};
        for (std::size_t i = 0; i < exact.size(); ++i) exact[i] = mirror(GRAPH_SAMPLE_FREQS[i]);
        EXPECT_LT(fitResidual(exact, flat, fit.values), 0.5);
        EXPECT_NEAR(fit.rmsBefore, fitResidual(*voice, flat, neutral), 1e-9);
        EXPECT_LT(fit.rmsAfter, fit.rmsBefore);
    }
}

// From a set with an OFF band, for every built-in target: table values only, never
// worse than the set was, and a band left off keeps its level and bandwidth.
TEST(EqualizerFit, ProposalsForEveryTargetUseTableValuesAndNeverDoWorse) {
    const auto voice = longTermSpectrum(speechSamples({formantEnvelopeDb, 16000, 4.0}), 16000);
    ASSERT_TRUE(voice);
    const EqualizerValues current{{2, 4, 3, 0, -7, 9, 9, -2, 6}};
    for (const TargetCurve& target : builtInTargets()) {
        SCOPED_TRACE(target.name);
        const FitProposal fit = fitEqualizer(*voice, target, current);
        expectTableValues(fit.values);
        EXPECT_LE(fit.rmsAfter, fit.rmsBefore);
        EXPECT_NEAR(fit.rmsAfter, fitResidual(*voice, target, fit.values), 1e-9);
        EXPECT_TRUE(fit.values[3] != 0 || (fit.values[4] == -7 && fit.values[5] == 9));
    }
}

}  // namespace
}  // namespace tqm::test

#include <gtest/gtest.h>

#include "editor/equalizer_tables.h"
#include "editor/response_curve.h"
#include "tests/support/speech_signal.h"
#include "voice/equalizer_fit.h"

namespace tqm::test {
namespace {

const TargetCurve kFlat{"flat", {{50.0, 0.0}, {5000.0, 0.0}}};

void expectTableValues(const EqualizerValues& values) {
    for (int band = 0; band < kEqualizerBands; ++band) {
        EXPECT_GE(values.get(band, PeqParam::Freq), 0);
        EXPECT_LT(values.get(band, PeqParam::Freq), static_cast<int>(kFreqTables[static_cast<std::size_t>(band)].size()));
        EXPECT_GE(values.get(band, PeqParam::Level), kLevelMin);
        EXPECT_LE(values.get(band, PeqParam::Level), kLevelMax);
        EXPECT_GE(values.get(band, PeqParam::Bwth), kBwthMin);
        EXPECT_LE(values.get(band, PeqParam::Bwth), kBwthMax);
    }
}

// A voice whose spectrum is the mirror of an equalizer setting, recorded and analysed:
// with a flat target the fit must find that setting again, or one whose curve is
// within 0.5 dB RMS of it.
TEST(EqualizerFit, FindsTheSettingThatFlattensAVoiceShapedByItsMirror) {
    const EqualizerValues neutral{{0, 0, 5, 0, 0, 5, 0, 0, 5}};
    const EqualizerValues settings[] = {
        {{3, -8, 4, 0, 0, 1, 11, 6, 5}},
        {{1, 5, 2, 5, -6, 3, 7, 4, 8}},
        {{6, 3, 6, 2, -10, 2, 15, 9, 3}},
    };
    for (const EqualizerValues& setting : settings) {
        SCOPED_TRACE(::testing::PrintToString(setting.values));
        const auto mirror = [&setting](double hz) { return -sumResponse(setting, hz); };
        const auto voice = longTermSpectrum(speechSamples({mirror, 16000, 6.0}), 16000);
        ASSERT_TRUE(voice);
        const FitProposal fit = fitEqualizer(*voice, kFlat, neutral);
        expectTableValues(fit.values);
        VoiceSpectrum exact{};
        for (std::size_t i = 0; i < exact.size(); ++i) exact[i] = mirror(GRAPH_SAMPLE_FREQS[i]);
        EXPECT_LT(fitResidual(exact, kFlat, fit.values), 0.5);
        EXPECT_LT(fit.rmsAfter, fit.rmsBefore);
        EXPECT_NEAR(fit.rmsBefore, fitResidual(*voice, kFlat, neutral), 1e-9);
    }
}

// Every built-in target from a vowel-like voice, starting from a set with an OFF band:
// table values only, never worse than the set as it was, and the OFF band's level and
// bandwidth kept when it stays off.
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
        if (fit.values.get(1, PeqParam::Freq) == 0) {
            EXPECT_EQ(fit.values.get(1, PeqParam::Level), -7);
            EXPECT_EQ(fit.values.get(1, PeqParam::Bwth), 9);
        }
    }
}

}  // namespace
}  // namespace tqm::test

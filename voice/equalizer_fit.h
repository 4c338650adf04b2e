#pragma once

#include "editor/equalizer_values.h"
#include "voice/long_term_average.h"
#include "voice/target_curve.h"

namespace tqm {

// The fit compares voice x equalizer with the target from 100 to 3000 Hz, the part
// from 300 Hz up counting four times as much as the part below.
inline constexpr double kFitLowHz = 100.0;
inline constexpr double kFitMainHz = 300.0;
inline constexpr double kFitHighHz = 3000.0;
inline constexpr double kFitLowWeight = 0.25;

struct FitProposal {
    EqualizerValues values;
    double rmsBefore = 0.0;  // dB RMS with the set's current values
    double rmsAfter = 0.0;   // dB RMS with the proposal
};

// The weighted RMS difference in dB between voice + the set's sum curve and the
// target. The overall level is left out (the microphone gain sets it): a difference
// that is the same at every frequency counts as none.
double fitResidual(const VoiceSpectrum& voice, const TargetCurve& target, const EqualizerValues& values);

// The nine values that bring voice + sum curve closest to the target, trying every
// combination of the three bands' frequencies (OFF included). An OFF band keeps its
// current LEVEL and BWTH. Takes some tens of milliseconds.
FitProposal fitEqualizer(const VoiceSpectrum& voice, const TargetCurve& target, const EqualizerValues& current);

}  // namespace tqm

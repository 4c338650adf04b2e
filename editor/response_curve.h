#pragma once

#include "editor/equalizer_values.h"

namespace tqm {

// The response in dB at frequency f (Hz) of one band with level L (dB), centre
// frequency F0 (Hz) and bandwidth value B: L exactly at F0, falling off on both
// sides (faster for larger B); a cut mirrors the boost of the same size.
double ResponseCurve(double level, double centre, int bwth, double frequency);

// The response of one band (0..2) of a set; an OFF band gives 0 everywhere.
double bandResponse(const EqualizerValues& values, int band, double frequency);

// The sum of the three bands' responses.
double sumResponse(const EqualizerValues& values, double frequency);

}  // namespace tqm

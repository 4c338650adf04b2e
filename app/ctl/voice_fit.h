#pragma once

#include <optional>

#include "app/ctl/ctl_commands.h"
#include "voice/equalizer_fit.h"

namespace tqm {

// What a fit works on: the voice's long-term spectrum and the target chosen.
struct FitInput {
    VoiceSpectrum voice{};
    TargetCurve target;
};

// Blocks on reading the recording and the targets folder of the settings folder in
// use. The exit code when the recording or the target name is refused.
std::optional<int> loadFitInput(const CtlContext& context, FitInput& input);

// Prints the proposal for a set as `read` prints a set, then both residuals.
void writeFitProposal(const CtlContext& context, int set, const FitProposal& proposal);

}  // namespace tqm

#include "app/ctl/voice_fit.h"

#include <cstdio>

#include "app/ctl/equalizer_text.h"
#include "platform/settings_folder.h"
#include "voice/audio_file.h"

namespace tqm {

std::optional<int> loadFitInput(const CtlContext& context, FitInput& input) {
    const CtlOptions& options = context.options;
    SettingsFolder().choose(options.settingsDir);
    const std::vector<TargetCurve> targets = loadTargets();
    const TargetCurve* target = findTarget(targets, options.targetName);
    if (target == nullptr) {
        std::string names;
        for (const TargetCurve& t : targets) names += "\n  " + t.name;
        tell(context.err, "no target named '" + options.targetName + "'; the targets are:" + names);
        return kCtlExitUsage;
    }
    input.target = *target;
    const AudioFile audio = readAudioFile(options.voiceFile);
    if (audio.result != AudioFileResult::Read) {
        tell(context.err, options.voiceFile + ": " + audio.reason);
        return kCtlExitRefused;
    }
    const auto voice = longTermAverage(audio.samples, audio.rate);
    if (!voice) {
        tell(context.err, options.voiceFile + ": no voice in the recording");
        return kCtlExitRefused;
    }
    input.voice = *voice;
    return std::nullopt;
}

void writeFitProposal(const CtlContext& context, int set, const FitProposal& proposal) {
    writeSets(context.out, {SetValues{set, proposal.values}}, CtlFormat::Text);
    char line[96];
    std::snprintf(line, sizeof line, "residual: %.2f dB RMS before, %.2f dB RMS after\n", proposal.rmsBefore,
                  proposal.rmsAfter);
    context.out << line << std::flush;
}

}  // namespace tqm

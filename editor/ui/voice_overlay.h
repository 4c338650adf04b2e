#pragma once

#include <optional>

#include "editor/equalizer_values.h"
#include "voice/long_term_average.h"
#include "voice/target_curve.h"

class QPainter;

namespace tqm {

// What the graph shows of the operator's voice, over the rendered picture: the voice
// spectrum as a grey area under the curves, "voice x equalizer" (the voice plus the
// shown set's sum curve) as a purple line, and while a fit is being looked at its
// target as a dashed line, moved up or down to lie over voice x equalizer (the fit
// leaves the overall level to the microphone gain). The first two are off until
// switched on.
class VoiceOverlay final {
public:
    void setVoice(const std::optional<VoiceSpectrum>& voice) { m_voice = voice; }
    const std::optional<VoiceSpectrum>& voice() const { return m_voice; }
    void setTarget(const std::optional<TargetCurve>& target) { m_target = target; }
    void setSpectrumShown(bool shown) { m_spectrumShown = shown; }
    void setProductShown(bool shown) { m_productShown = shown; }
    bool spectrumShown() const { return m_spectrumShown; }
    bool productShown() const { return m_productShown; }

    // Draws in the graph's own coordinates (one unit per pixel of the scale-1 picture).
    void paint(QPainter& painter, const EqualizerValues& values) const;

private:
    void paintSpectrum(QPainter& painter) const;
    void paintProduct(QPainter& painter, const VoiceSpectrum& product) const;
    void paintTarget(QPainter& painter, const VoiceSpectrum& product) const;

    std::optional<VoiceSpectrum> m_voice;
    std::optional<TargetCurve> m_target;
    bool m_spectrumShown = false;
    bool m_productShown = false;
};

}  // namespace tqm

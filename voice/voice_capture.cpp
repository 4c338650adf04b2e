#include "voice/voice_capture.h"

#include <algorithm>
#include <cmath>

#include "voice/audio_file.h"

namespace tqm {

namespace {

constexpr float kFullScale = 0.999F;

}  // namespace

VoiceCapture::VoiceCapture(int rate, int channels, double seconds)
    : m_rate(std::max(rate, 1)),
      m_channels(std::max(channels, 1)),
      m_limit(static_cast<std::size_t>(std::llround(std::max(seconds, 0.0) * m_rate))),
      m_average(m_rate) {
    m_samples.reserve(m_limit);
}

void VoiceCapture::feed(std::span<const float> interleaved) {
    const std::vector<float> mono = mixToMono(interleaved, m_channels);
    const std::size_t room = m_limit - std::min(m_limit, m_samples.size());
    const std::span<const float> taken(mono.data(), std::min(room, mono.size()));
    if (taken.empty()) return;
    float peak = 0.0F;
    for (const float sample : taken) peak = std::max(peak, std::abs(sample));
    m_levelDb = peak > 0.0F ? std::max(20.0 * std::log10(static_cast<double>(peak)), kLevelFloorDb) : kLevelFloorDb;
    m_clipped = m_clipped || peak >= kFullScale;
    m_samples.insert(m_samples.end(), taken.begin(), taken.end());
    m_average.feed(taken);
}

double VoiceCapture::seconds() const { return static_cast<double>(m_samples.size()) / m_rate; }

double VoiceCapture::progress() const {
    if (m_limit == 0) return 1.0;
    return static_cast<double>(m_samples.size()) / static_cast<double>(m_limit);
}

}  // namespace tqm

#include "voice/audio_file.h"

#include <sndfile.h>

#include <memory>

namespace tqm {

namespace {

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

AudioFile failure(AudioFileResult result, std::string reason) {
    AudioFile audio;
    audio.result = result;
    audio.reason = std::move(reason);
    return audio;
}

// Averages interleaved frames of the given channel count into mono samples.
std::vector<float> mixDown(const std::vector<float>& frames, int channels) {
    const auto count = frames.size() / static_cast<std::size_t>(channels);
    std::vector<float> mono(count);
    for (std::size_t i = 0; i < count; ++i) {
        float sum = 0.0F;
        for (int c = 0; c < channels; ++c) {
            sum += frames[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)];
        }
        mono[i] = sum / static_cast<float>(channels);
    }
    return mono;
}

}  // namespace

AudioFile readAudioFile(const std::string& path) {
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) {
        return failure(AudioFileResult::OpenFailed, sf_strerror(nullptr));
    }
    if (info.frames <= 0 || info.samplerate <= 0 || info.channels <= 0) {
        return failure(AudioFileResult::Empty, "the file holds no sound");
    }
    std::vector<float> frames(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
    const sf_count_t read = sf_readf_float(file.get(), frames.data(), info.frames);
    if (read != info.frames) {
        return failure(AudioFileResult::ReadFailed, sf_strerror(file.get()));
    }
    AudioFile audio;
    audio.result = AudioFileResult::Read;
    audio.samples = mixDown(frames, info.channels);
    audio.rate = info.samplerate;
    return audio;
}

}  // namespace tqm

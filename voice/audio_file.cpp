#include "voice/audio_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include <sndfile.h>

#include "platform/atomic_file.h"

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

// A memory file for libsndfile's virtual input/output: the WAV is built here and then
// written to disk in one step.
struct MemoryFile {
    std::string bytes;
    sf_count_t position = 0;
};

sf_count_t memoryLength(void* data) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(data)->bytes.size()); }

sf_count_t memorySeek(sf_count_t offset, int whence, void* data) {
    auto* file = static_cast<MemoryFile*>(data);
    const sf_count_t base = whence == SEEK_CUR ? file->position : whence == SEEK_END ? memoryLength(data) : 0;
    file->position = std::max<sf_count_t>(base + offset, 0);
    return file->position;
}

sf_count_t memoryRead(void* into, sf_count_t count, void* data) {
    auto* file = static_cast<MemoryFile*>(data);
    const sf_count_t left = std::max<sf_count_t>(memoryLength(data) - file->position, 0);
    const sf_count_t n = std::min(count, left);
    std::memcpy(into, file->bytes.data() + file->position, static_cast<std::size_t>(n));
    file->position += n;
    return n;
}

sf_count_t memoryWrite(const void* from, sf_count_t count, void* data) {
    auto* file = static_cast<MemoryFile*>(data);
    const auto end = static_cast<std::size_t>(file->position + count);
    if (end > file->bytes.size()) file->bytes.resize(end);
    std::memcpy(file->bytes.data() + file->position, from, static_cast<std::size_t>(count));
    file->position += count;
    return count;
}

sf_count_t memoryTell(void* data) { return static_cast<MemoryFile*>(data)->position; }

}  // namespace

std::vector<float> mixToMono(std::span<const float> frames, int channels) {
    const auto width = static_cast<std::size_t>(std::max(channels, 1));
    std::vector<float> mono(frames.size() / width);
    for (std::size_t i = 0; i < mono.size(); ++i) {
        float sum = 0.0F;
        for (std::size_t c = 0; c < width; ++c) sum += frames[i * width + c];
        mono[i] = sum / static_cast<float>(width);
    }
    return mono;
}

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
    audio.samples = mixToMono(frames, info.channels);
    audio.rate = info.samplerate;
    return audio;
}

bool writeAudioFile(const std::filesystem::path& path, std::span<const float> samples, int rate,
                    std::string& reason) {
    MemoryFile memory;
    SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    {
        std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open_virtual(&io, SFM_WRITE, &info, &memory));
        if (!file) {
            reason = sf_strerror(nullptr);
            return false;
        }
        // Full-scale samples are clipped rather than wrapped round.
        sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
        const auto count = static_cast<sf_count_t>(samples.size());
        if (sf_writef_float(file.get(), samples.data(), count) != count) {
            reason = sf_strerror(file.get());
            return false;
        }
    }
    if (!writeFileAtomically(path, memory.bytes)) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace tqm

#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace tqm {

enum class AudioFileResult : std::uint8_t {
    Read,
    OpenFailed,  // missing, unreadable or not a sound file libsndfile knows
    Empty,       // no frames, or no sample rate
    ReadFailed,  // the frames could not all be read
};

// A recording as mono samples (the channels averaged) and its sample rate in Hz.
struct AudioFile {
    AudioFileResult result = AudioFileResult::OpenFailed;
    std::string reason;  // why it was not read, for messages; empty when read
    std::vector<float> samples;
    int rate = 0;
};

// Blocks on reading a WAV, FLAC or OGG file (anything libsndfile opens) from disk.
AudioFile readAudioFile(const std::string& path);

// Blocks on writing mono samples to disk as a 16-bit WAV file, replacing the file in
// one step. False on failure, with reason saying why.
bool writeAudioFile(const std::filesystem::path& path, std::span<const float> samples, int rate,
                    std::string& reason);

// Averages interleaved frames of the given channel count into mono samples; a
// trailing part frame is dropped.
std::vector<float> mixToMono(std::span<const float> frames, int channels);

}  // namespace tqm

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <span>
#include <numbers>
#include <vector>

#include "voice/equalizer_fit.h"
#include "voice/voice_capture.h"

namespace tqm {
namespace {

constexpr int kRate = 48000;

// 20 s of a voice-like signal: harmonics of a gliding pitch in half-second syllables.
std::vector<float> recording() {
    std::vector<float> samples(static_cast<std::size_t>(20 * kRate));
    double phase = 0.0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        phase += 2.0 * std::numbers::pi * (120.0 + 40.0 * std::sin(3.0 * t)) / kRate;
        double value = 0.0;
        for (int k = 1; k <= 30; ++k) value += std::sin(k * phase) / k;
        samples[i] = std::fmod(t, 0.8) < 0.5 ? static_cast<float>(0.05 * value) : 0.0F;
    }
    return samples;
}

void BM_VoiceSpectrum20s(benchmark::State& state) {
    const std::vector<float> samples = recording();
    for (auto _ : state) {
        benchmark::DoNotOptimize(longTermAverage(samples, kRate));
    }
}
BENCHMARK(BM_VoiceSpectrum20s)->Unit(benchmark::kMillisecond);

// The whole search for one set: every frequency combination, then the refinement.
void BM_EqualizerFit(benchmark::State& state) {
    const VoiceSpectrum voice = *longTermAverage(recording(), kRate);
    const TargetCurve target = builtInTargets()[1];
    const EqualizerValues current{{3, 0, 5, 4, 0, 5, 10, 0, 5}};
    for (auto _ : state) {
        benchmark::DoNotOptimize(fitEqualizer(voice, target, current));
    }
}
BENCHMARK(BM_EqualizerFit)->Unit(benchmark::kMillisecond);

// One block of a live take as the sound system hands it over (50 ms of stereo at
// 48 kHz): mixed down, metered, kept and analysed, on the window's thread.
void BM_LiveTakeBlock(benchmark::State& state) {
    const std::vector<float> mono = recording();
    std::vector<float> stereo;
    stereo.reserve(2 * mono.size());
    for (const float sample : mono) stereo.insert(stereo.end(), {sample, sample});
    constexpr std::size_t kBlock = 2 * kRate / 20;
    auto take = std::make_unique<VoiceCapture>(kRate, 2);
    std::size_t at = 0;
    for (auto _ : state) {
        if (at + kBlock > stereo.size()) {
            state.PauseTiming();
            take = std::make_unique<VoiceCapture>(kRate, 2);
            at = 0;
            state.ResumeTiming();
        }
        take->feed(std::span(stereo).subspan(at, kBlock));
        at += kBlock;
    }
}
BENCHMARK(BM_LiveTakeBlock)->Unit(benchmark::kMicrosecond);

// The end of a full 20 s take: its spectrum from the frames analysed on the way.
void BM_LiveTakeEnd(benchmark::State& state) {
    const std::vector<float> samples = recording();
    VoiceCapture take(kRate, 1);
    take.feed(samples);
    for (auto _ : state) {
        benchmark::DoNotOptimize(take.spectrum());
    }
}
BENCHMARK(BM_LiveTakeEnd)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tqm

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "voice/equalizer_fit.h"

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

}  // namespace
}  // namespace tqm

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/speech_signal.h"
#include "voice/voice_capture.h"

namespace tqm::test {
namespace {

constexpr int kRate = 8000;

// Blocks of a stereo input of every size, running past the end of the take; the spectrum
// taken block by block is that of the whole take.
TEST(VoiceCapture, ATakeEndsOnTheSameSampleHoweverTheBlocksFallWithItsChannelsMixed) {
    const std::vector<float> voice = speechSamples({formantEnvelopeDb, kRate, 25.0, 0.3});
    std::vector<float> stereo;
    for (const float sample : voice) stereo.insert(stereo.end(), {sample, 0.5F * sample});
    VoiceCapture take(kRate, 2);
    std::size_t frame = 0;
    for (std::size_t size = 1; frame < voice.size(); size = size * 7 % 4099 + 1) {
        const std::size_t frames = std::min(size, voice.size() - frame);
        EXPECT_EQ(take.full(), frame >= 20 * kRate);
        take.feed(std::span(stereo).subspan(2 * frame, 2 * frames));
        frame += frames;
        EXPECT_NEAR(take.progress(), std::min(frame / (20.0 * kRate), 1.0), 1e-9);
    }
    ASSERT_TRUE(take.full() && take.samples().size() == 20U * kRate && take.seconds() == 20.0);
    for (std::size_t i = 0; i < take.samples().size(); i += 101) ASSERT_FLOAT_EQ(take.samples()[i], 0.75F * voice[i]);

    const auto whole = longTermAverage(take.samples(), kRate);
    ASSERT_TRUE(whole && take.spectrum());
    EXPECT_EQ(*take.spectrum(), *whole);
}

TEST(VoiceCapture, TheMeterShowsTheLatestBlocksPeakAndAClippedTakeStaysTold) {
    VoiceCapture take(kRate, 1, 2.0);
    EXPECT_TRUE(take.levelDb() == kLevelFloorDb && !take.spectrum()) << "nothing taken yet";
    struct Block { float peak; double levelDb; bool clipped; } const blocks[] = {
        {0.5F, -6.0206, false}, {0.0F, kLevelFloorDb, false}, {1e-6F, kLevelFloorDb, false},  // the meter's floor
        {1.0F, 0.0, true},      {0.1F, -20.0, true},  // a clipped take stays told
    };
    for (const Block& block : blocks) {
        std::vector<float> samples(400, 0.0F);
        samples[17] = -block.peak;
        take.feed(samples);
        EXPECT_NEAR(take.levelDb(), block.levelDb, 1e-3) << block.peak;
        EXPECT_EQ(take.clipped(), block.clipped) << block.peak;
    }
}

}  // namespace
}  // namespace tqm::test

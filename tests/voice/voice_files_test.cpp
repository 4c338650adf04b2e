#include <cmath>

#include <gtest/gtest.h>

#include "platform/settings_folder.h"
#include "tests/support/scratch_directory.h"
#include "tests/support/speech_signal.h"
#include "voice/audio_file.h"
#include "voice/target_curve.h"

namespace tqm::test {
namespace {

TEST(AudioFile, ReadsWavAsMonoAtItsRateAndSaysWhyOtherwise) {
    ScratchDirectory dir;
    const std::vector<float> samples = speechSamples({formantEnvelopeDb, 44100, 0.5});
    for (const int channels : {1, 2}) {
        ASSERT_TRUE(writeWav(dir / "voice.wav", samples, 44100, channels));
        const AudioFile audio = readAudioFile((dir / "voice.wav").string());
        ASSERT_EQ(audio.result, AudioFileResult::Read) << audio.reason;
        EXPECT_EQ(audio.rate, 44100);
        ASSERT_EQ(audio.samples.size(), samples.size());
        for (std::size_t i = 0; i < samples.size(); i += 97) ASSERT_NEAR(audio.samples[i], samples[i], 1.0 / 32768);
    }
    ASSERT_TRUE(writeFile(dir / "text.wav", "not a sound"));
    for (const char* name : {"absent.wav", "text.wav"}) {
        const AudioFile audio = readAudioFile((dir / name).string());
        EXPECT_EQ(audio.result, AudioFileResult::OpenFailed);
        EXPECT_FALSE(audio.reason.empty());
    }
}

TEST(TargetCurve, InterpolatesOnTheLogAxisAndHoldsItsEnds) {
    const TargetCurve curve{"t", {{100, -6}, {1000, 0}, {4000, 6}}};
    EXPECT_DOUBLE_EQ(curve.at(50), -6);
    EXPECT_NEAR(curve.at(std::sqrt(100.0 * 1000.0)), -3, 1e-12);
    EXPECT_NEAR(curve.at(2000), 3, 1e-12);
    EXPECT_DOUBLE_EQ(curve.at(9000), 6);
}

TEST(TargetCurve, FilesParseOrSayWhichLine) {
    const struct {
        const char* text;
        std::size_t points;  // 0: refused
        const char* error;
    } cases[] = {
        {"# mine\n100 -3\n\n 1000 0 # mid\n3000\t2\n", 3, ""},
        {"100 -3\n90 0\n", 0, "line 2"},
        {"100 -3\n1000 zero\n", 0, "line 2"},
        {"-5 0\n", 0, "line 1"},
        {"100 1 2\n", 0, "line 1"},
        {"# only a comment\n", 0, "no points"},
    };
    for (const auto& c : cases) {
        TargetCurve curve;
        std::string error;
        EXPECT_EQ(parseTargetText(c.text, curve, error), c.points != 0) << c.text;
        EXPECT_EQ(c.points == 0 ? 0 : curve.points.size(), c.points) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << error;
    }
}

// The operator's targets come after the built-ins; one named like a built-in replaces it.
TEST(TargetCurve, SavedTargetsLoadBesideTheBuiltIns) {
    ScratchDirectory dir;
    SettingsFolder().choose(dir.path());
    const std::vector<TargetCurve> builtIns = builtInTargets();
    ASSERT_EQ(builtIns.size(), 3U);
    ASSERT_TRUE(saveTarget({"Mine", {{200, -2.5}, {2500, 4}}}));
    ASSERT_TRUE(saveTarget({builtIns[0].name, {{100, 1}}}));
    ASSERT_TRUE(writeFile(targetFolder() / "broken.txt", "x y\n"));
    const std::vector<TargetCurve> loaded = loadTargets();
    SettingsFolder().choose({});
    ASSERT_EQ(loaded.size(), 4U);
    EXPECT_EQ(loaded[0].points.size(), 1U);
    EXPECT_EQ(loaded[1].name, builtIns[1].name);
    const TargetCurve* mine = findTarget(loaded, "Mine");
    ASSERT_NE(mine, nullptr);
    EXPECT_DOUBLE_EQ(mine->at(200), -2.5);
    EXPECT_EQ(findTarget(loaded, "broken"), nullptr);
}

}  // namespace
}  // namespace tqm::test

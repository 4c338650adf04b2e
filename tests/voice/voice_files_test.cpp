#include <gtest/gtest.h>

#include "platform/settings_folder.h"
#include "tests/support/scratch_directory.h"
#include "tests/support/speech_signal.h"
#include "voice/audio_file.h"
#include "voice/target_curve.h"

namespace tqm::test {
namespace {

// WAV of one or two channels reads as mono at its rate; a saved take reads back as it
// was, full scale clipped rather than wrapped round.
TEST(AudioFile, WavReadsBackAsMonoAtItsRateAndAFailedReadOrWriteSaysWhy) {
    ScratchDirectory dir;
    std::vector<float> samples = speechSamples({formantEnvelopeDb, 48000, 0.5});
    ASSERT_TRUE(writeWav(dir / "mono.wav", samples, 44100, 1) && writeWav(dir / "stereo.wav", samples, 44100, 2));
    samples.front() = 1.5F;
    samples.back() = -1.5F;
    std::string reason;
    ASSERT_TRUE(writeAudioFile(dir / "take.wav", samples, 48000, reason)) << reason;
    for (const auto& [name, rate] : {std::pair{"mono.wav", 44100}, {"stereo.wav", 44100}, {"take.wav", 48000}}) {
        SCOPED_TRACE(name);
        const AudioFile audio = readAudioFile((dir / name).string());
        ASSERT_EQ(audio.result, AudioFileResult::Read) << audio.reason;
        EXPECT_EQ(audio.rate, rate);
        ASSERT_EQ(audio.samples.size(), samples.size());
        for (std::size_t i = 1; i + 1 < samples.size(); i += 97) ASSERT_NEAR(audio.samples[i], samples[i], 1.0 / 32768);
        if (rate != 48000) continue;
        EXPECT_NEAR(audio.samples.front(), 1.0, 1.0 / 16384);
        EXPECT_NEAR(audio.samples.back(), -1.0, 1.0 / 16384);
    }
    ASSERT_TRUE(writeFile(dir / "text.wav", "not a sound"));
    const AudioFile text = readAudioFile((dir / "text.wav").string());
    EXPECT_TRUE(text.result == AudioFileResult::OpenFailed && !text.reason.empty());
    reason.clear();
    EXPECT_TRUE(!writeAudioFile(dir / "missing" / "take.wav", samples, 48000, reason) && !reason.empty());
}

TEST(TargetCurve, FilesParseOrSayWhichLineAndInterpolateOnTheLogAxis) {
    const struct { const char* text; const char* error; } cases[] = {  // error empty: taken
        {"# mine\n100 -6\n\n 1000 0 # mid\n4000\t6\n", ""}, {"100 -3\n90 0\n", "line 2"},
        {"100 -3\n1000 zero\n", "line 2"}, {"-5 0\n", "line 1"}, {"100 1 2\n", "line 1"}, {"# none\n", "no points"},
    };
    for (const auto& c : cases) {
        TargetCurve curve;
        std::string error;
        EXPECT_EQ(parseTargetText(c.text, curve, error), *c.error == 0) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << error;
        if (*c.error != 0) continue;
        for (const auto& [hz, db] : {std::pair{50.0, -6.0}, {316.2278, -3.0}, {2000.0, 3.0}, {9000.0, 6.0}}) {
            EXPECT_NEAR(curve.at(hz), db, 1e-5) << hz;
        }
    }
}

// The operator's targets come after the built-ins; one named like a built-in replaces it.
TEST(TargetCurve, SavedTargetsLoadBesideTheBuiltIns) {
    ScratchDirectory dir;
    SettingsFolder().choose(dir.path());
    const std::vector<TargetCurve> builtIns = builtInTargets();
    ASSERT_TRUE(saveTarget({"Mine", {{200, -2.5}, {2500, 4}}}) && saveTarget({builtIns[0].name, {{100, 1}}}));
    ASSERT_TRUE(writeFile(targetFolder() / "broken.txt", "x y\n"));
    const std::vector<TargetCurve> loaded = loadTargets();
    SettingsFolder().choose({});
    ASSERT_EQ(loaded.size(), 4U);
    EXPECT_EQ((std::vector{loaded[0].points.size(), loaded[1].points.size()}), (std::vector{1UL, builtIns[1].points.size()}));
    EXPECT_TRUE(loaded[3].name == "Mine" && loaded[3].at(200) == -2.5);
}

}  // namespace
}  // namespace tqm::test

#include <algorithm>
#include <cmath>

#include <QtGui/QAction>
#include <QtWidgets/QPushButton>

#include "editor/ui/voice_capture_dlg.h"
#include "editor/ui/voice_dlg.h"
#include "editor/ui/voice_overlay.h"
#include "tests/gui/gui_app.h"
#include "tests/support/pulse_server.h"
#include "tests/support/scratch_directory.h"
#include "tests/support/speech_signal.h"
#include "voice/audio_file.h"
#include "voice/long_term_average.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;

constexpr int kRate = 48000;
const QString kCodec = QStringLiteral("ZR-4700 USB Audio CODEC");

// The Listen dialog against a real sound server: a private PulseAudio whose inputs the
// tests plug in and pull out, each fed from a named pipe with a synthetic voice. The main
// window opens only when a test asks.
class VoiceCaptureTest : public test::MainWindowFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::PulseServer::installed()) << "scripts/install-deps installs pulseaudio";
        m_server = test::PulseServer::instance();
        ASSERT_NE(m_server, nullptr) << "the private PulseAudio server did not start";
    }
    void TearDown() override {
        m_feeder.reset();
        if (m_module) m_server->pull(*m_module);
    }

    void plugIn() {
        m_module = m_server->plugInput(kCodec.toStdString(), kRate, m_pipe);
        ASSERT_TRUE(m_module.has_value());
    }
    void feed(std::vector<float> samples) { m_feeder = std::make_unique<test::PipeFeeder>(m_pipe, std::move(samples)); }

    static std::vector<float> voice(double seconds) {
        return test::speechSamples({test::formantEnvelopeDb, kRate, seconds, 0.3});
    }

    test::PulseServer* m_server = nullptr;
    test::ScratchDirectory m_dir;
    std::filesystem::path m_pipe = m_dir / "input.pipe";
    std::optional<int> m_module;
    std::unique_ptr<test::PipeFeeder> m_feeder;
};

TEST_F(VoiceCaptureTest, AnInputPluggedInIsListedAndATakeEndsAfterTwentySecondsWithTheVoiceItHeard) {
    CVoiceCaptureDlg dialog(nullptr);
    EXPECT_TRUE(dialog.inputs().isEmpty() && dialog.statusText().startsWith("No audio input found"));
    dialog.start();
    EXPECT_FALSE(dialog.capturing()) << "nothing to take from";

    plugIn();
    ASSERT_TRUE(test::processEventsUntil([&] { return dialog.inputs().contains(kCodec); }, 20s)) << "a plugged-in input is listed";
    dialog.chooseInput(kCodec);
    ASSERT_TRUE(dialog.chosenInput() == kCodec && dialog.statusText().startsWith("Start, then speak"));

    const std::vector<float> spoken = voice(24.0);
    dialog.start();
    ASSERT_TRUE(dialog.capturing());
    feed(spoken);
    ASSERT_TRUE(test::processEventsUntil([&] { return !dialog.capturing(); }, 120s));
    ASSERT_NE(dialog.take(), nullptr);
    EXPECT_EQ(dialog.take()->samples().size(), static_cast<std::size_t>(20 * kRate)) << "a take ends at 20 s exactly";
    EXPECT_EQ(dialog.statusText().toStdString(),
              "Took 20.0 s from ZR-4700 USB Audio CODEC. Use puts the voice under the curves.");
    EXPECT_GT(dialog.levelShown(), -60);

    // The take is the sound that went in: its spectrum is that of the signal's first 20 s.
    std::vector<float> first(spoken.begin(), spoken.begin() + 20 * kRate);
    for (float& sample : first) sample = std::round(std::clamp(sample, -1.0F, 1.0F) * 32768.0F) / 32768.0F;  // 16 bits
    const auto expected = longTermAverage(first, kRate);
    ASSERT_TRUE(dialog.voice().has_value() && expected.has_value());
    for (std::size_t i = 0; i < expected->size(); ++i) EXPECT_NEAR((*dialog.voice())[i], (*expected)[i], 0.1) << i;

    // Start again drops the take before. The pipe now stays silent: the take ends by
    // itself; and Stop ends a take at once.
    dialog.start();
    EXPECT_TRUE(dialog.capturing() && !dialog.voice());
    ASSERT_TRUE(test::processEventsUntil([&] { return !dialog.capturing(); }, 30s));
    EXPECT_EQ(dialog.statusText().toStdString(),
              "ZR-4700 USB Audio CODEC gave no sound for 5 s; the take ended after 0.0 s. It holds no voice: check "
              "the input and its level, then Start again.");
    dialog.start();
    dialog.stop();
    EXPECT_FALSE(dialog.capturing() || dialog.voice());
    EXPECT_TRUE(dialog.statusText().startsWith("Stopped after 0.0 s.")) << dialog.statusText().toStdString();
}

TEST_F(VoiceCaptureTest, APulledInputEndsTheTakeKeepingWhatItHeardWhichCanBeSaved) {
    plugIn();
    CVoiceCaptureDlg dialog(nullptr);
    ASSERT_TRUE(test::processEventsUntil([&] { return dialog.inputs().contains(kCodec); }, 20s));
    dialog.chooseInput(kCodec);
    dialog.start();
    feed(voice(3.0));

    ASSERT_TRUE(test::processEventsUntil([&] { return dialog.take()->samples().size() >= 3 * kRate; }, 60s));
    ASSERT_TRUE(test::processEventsUntil([&] { return dialog.statusText().startsWith("No sound arrives"); }, 20s))
        << "an input that goes quiet is told";

    ASSERT_TRUE(m_server->pull(*m_module));
    m_module.reset();
    ASSERT_TRUE(test::processEventsUntil([&] { return !dialog.capturing(); }, 20s)) << "a pulled input ends the take";
    const QString status = dialog.statusText();
    EXPECT_TRUE(status.startsWith(kCodec + " ") && status.contains(" after 3.0 s")) << status.toStdString();
    EXPECT_TRUE(dialog.voice().has_value()) << "what was heard is kept";

    const auto saved = m_dir / "take.wav";
    ASSERT_TRUE(dialog.saveTake(QString::fromStdString(saved.string())));
    const AudioFile file = readAudioFile(saved.string());
    ASSERT_TRUE(file.result == AudioFileResult::Read && file.rate == kRate &&
                file.samples.size() == dialog.take()->samples().size());
    for (std::size_t i = 0; i < file.samples.size(); i += 997) {
        EXPECT_NEAR(file.samples[i], dialog.take()->samples()[i], 1.0 / 32768.0) << i;
    }
    EXPECT_FALSE(dialog.saveTake(QString::fromStdString((m_dir / "missing" / "take.wav").string())));
    EXPECT_TRUE(dialog.statusText().startsWith("take.wav could not be saved: ")) << dialog.statusText().toStdString();
}

// From the window: View > Voice..., Listen..., a take, Use: the voice is the one shown.
TEST_F(VoiceCaptureTest, FromTheWindowAUsedTakeIsTheVoiceUnderTheCurves) {
    open();
    plugIn();
    QString recordingText;
    test::ModalAnswerer answers;
    answers.then<CVoiceDlg>([&](CVoiceDlg& voiceDialog) {
        voiceDialog.listen();
        recordingText = voiceDialog.findChild<QLabel*>(QStringLiteral("voice_recording"))->text();
        const auto fit = [](QPushButton* button) { return button->text() == "&Fit" && button->isEnabled(); };
        EXPECT_TRUE(std::ranges::any_of(voiceDialog.findChildren<QPushButton*>(), fit)) << "the take can be fitted";
        voiceDialog.reject();
    });
    answers.then<CVoiceCaptureDlg>([&](CVoiceCaptureDlg& listen) {
        EXPECT_TRUE(test::processEventsUntil([&] { return listen.inputs().contains(kCodec); }, 20s));
        listen.chooseInput(kCodec);
        listen.start();
        feed(voice(22.0));
        EXPECT_TRUE(test::processEventsUntil([&] { return !listen.capturing(); }, 120s));
        listen.accept();
    });
    control<QAction>(ControlId::MenuVoice)->trigger();
    EXPECT_TRUE(answers.finished() && answers.unscripted().empty() && m_window->voiceOverlay().voice().has_value());
    EXPECT_EQ(recordingText.toStdString(), "Live from ZR-4700 USB Audio CODEC: 20.0 s");
}

}  // namespace
}  // namespace tqm

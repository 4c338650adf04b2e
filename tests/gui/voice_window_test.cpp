#include <QtGui/QAction>

#include "editor/ui/voice_dlg.h"
#include "platform/main_window_link.h"
#include "protocol/protocol_messages.h"
#include "protocol/trx_state.h"
#include "tests/gui/gui_app.h"
#include "tests/support/scratch_directory.h"
#include "tests/support/speech_signal.h"

namespace tqm {
namespace {

using enum ControlId;

// The main window with a synthetic voice recording at hand; the Voice dialog is driven
// from inside its own modal loop.
class VoiceWindowTest : public test::MainWindowFixture {
protected:
    void SetUp() override {
        open();
        ASSERT_TRUE(test::writeWav(m_recording, test::speechSamples({test::formantEnvelopeDb, 16000, 4.0, 0.3}),
                                   16000));
    }

    // Opens View > Voice..., loads the recording, runs `inside` and closes the dialog.
    void withVoiceDialog(const std::function<void(CVoiceDlg&)>& inside) {
        test::ModalAnswerer answers;
        answers.then<CVoiceDlg>([&](CVoiceDlg& dialog) {
            dialog.openRecording(QString::fromStdString(m_recording.string()));
            EXPECT_TRUE(test::processEventsUntil([&] { return !dialog.busy() && m_window->voiceOverlay().voice(); }));
            inside(dialog);
            dialog.reject();
        });
        control<QAction>(MenuVoice)->trigger();
        EXPECT_TRUE(answers.finished() && answers.unscripted().empty());
    }
    static bool fitted(CVoiceDlg& dialog) {
        dialog.fit();
        return test::processEventsUntil([&] { return !dialog.busy() && dialog.proposing(); }, std::chrono::milliseconds(60000));
    }
    QImage graph() const { return control(Graph)->grab().toImage(); }

    test::ScratchDirectory m_dir;
    std::filesystem::path m_recording = m_dir / "voice.wav";
};

// What the transceiver holds of set F, as its replies leave it.
void holds(const EqualizerValues& values) {
    Trx_StateGuard state;
    for (int p = 0; p < kEqualizerParams; ++p) state.setPeq(0, bandOfParam(p), kindOfParam(p), values[p]);
}

TEST_F(VoiceWindowTest, ConnectedAProposalOutlivesTheTransceiversReportsAndUseSendsWhatDiffersFromWhatItHolds) {
    model().setConnected(true);
    const EqualizerValues before = model().shown(0);
    withVoiceDialog([&](CVoiceDlg& dialog) {
        ASSERT_TRUE(fitted(dialog));
        const EqualizerValues proposal = model().shown(0);
        EXPECT_TRUE(proposal != before && dialog.statusText().contains("dB RMS") && m_sink.commands.empty())
            << "a proposal is only shown";
        // EQ2 LEVEL turned on the front panel, reported as the poll's reply reports it.
        EqualizerValues turned = before;
        turned[4] = before[4] == 0 ? 3 : 0;
        holds(turned);
        ASSERT_TRUE(MainWindowLink().send(UWM_REPLY_PE, 1 + 4));
        EXPECT_EQ(model().shown(0), proposal) << "the report does not overwrite the proposal";
        dialog.discard();
        EXPECT_TRUE(model().shown(0) == turned && m_sink.commands.empty()) << "Discard shows what the transceiver holds";

        // With the transceiver holding values near the proposal, Use has only a few to send.
        EqualizerValues near = proposal;
        near[1] = proposal[1] == 0 ? 1 : 0;
        near[5] = proposal[5] == 1 ? 2 : 1;
        holds(near);
        model().setShown(0, near);
        model().setReference(0, near);
        ASSERT_TRUE(fitted(dialog));
        const EqualizerValues second = model().shown(0);
        dialog.use();
        std::vector<std::string> expected;  // a set command and its read-back for each value that differs
        for (int p = 0; p < kEqualizerParams; ++p) {
            const std::string address = "PE0" + std::to_string(p / 3) + std::to_string(p % 3);
            if (second[p] != near[p]) expected.insert(expected.end(), {address, address + ";"});
        }
        std::vector<std::string> sent = m_sink.commands;
        for (std::size_t i = 0; i < sent.size(); i += 2) sent[i].resize(5);  // the set command's address
        EXPECT_TRUE(expected.size() < 18 && sent == expected) << testing::PrintToString(m_sink.commands);
        EXPECT_EQ(model().reference(0), second) << "staged as a setting file is";
    });
    m_window->stopPoll();
}

TEST_F(VoiceWindowTest, OfflineClosingDiscardsAProposalUseShowsItAndOverlaysDrawOnlyWhenOn) {
    auto* spectrum = control<QAction>(MenuVoiceSpectrum);
    auto* product = control<QAction>(MenuVoiceProduct);
    EXPECT_FALSE(spectrum->isEnabled() || product->isEnabled()) << "no voice yet";
    const QImage plain = graph();
    const EqualizerValues before = model().shown(0);
    EqualizerValues proposal;
    withVoiceDialog([&](CVoiceDlg& dialog) {
        ASSERT_TRUE(fitted(dialog));
        proposal = model().shown(0);
    });
    EXPECT_TRUE(proposal != before && model().shown(0) == before);
    ASSERT_TRUE(spectrum->isEnabled() && product->isEnabled() && !spectrum->isChecked() && !product->isChecked());
    EXPECT_EQ(graph(), plain) << "a loaded voice alone draws nothing";
    for (QAction* action : {spectrum, product}) {
        SCOPED_TRACE(action->text().toStdString());
        action->setChecked(true);
        EXPECT_NE(graph(), plain);
        action->setChecked(false);
        EXPECT_EQ(graph(), plain);
    }
    withVoiceDialog([&](CVoiceDlg& dialog) {
        ASSERT_TRUE(fitted(dialog));
        dialog.use();
    });
    EXPECT_TRUE(model().shown(0) == proposal && model().reference(0) == proposal && m_sink.commands.empty());
}

}  // namespace
}  // namespace tqm

#pragma once

#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include <QtWidgets/QDialog>

#include "editor/equalizer_model.h"
#include "voice/equalizer_fit.h"
#include "voice/target_curve.h"

class QAction;
class QComboBox;
class QLabel;
class QPushButton;

namespace tqm {

class VoiceOverlay;

// The Voice dialog: a recording of the operator's voice, a target, and the fit of the
// shown set to it. The recording is read and the fit computed on a thread of their
// own ("tqm-voice"), so the window keeps going meanwhile. A fit is shown as a proposal:
// the curves and values change, nothing is sent. Use loads it as FILE LOAD loads a
// file (offline shown, connected only the differing values sent with their
// read-backs); Discard, or closing the dialog, puts the display back.
class CVoiceDlg final : public QDialog {
    Q_OBJECT

public:
    // redraw shows the model's current set again (graph and value texts).
    CVoiceDlg(EqualizerModel& model, VoiceOverlay& overlay, std::function<void()> redraw, QWidget* owner);
    // Blocks until a reading or fit under way has ended.
    ~CVoiceDlg() override;

    // A check box that follows a checkable action of the window and switches it, so
    // the overlay can be switched while the dialog holds the window.
    void addSwitch(QAction& action);
    // Asks for a recording with the file dialog, then opens it. Blocks on the dialog.
    void chooseRecording();
    // Reads the recording and its spectrum on the dialog's thread; voiceChanged follows.
    void openRecording(const QString& path);
    // Opens the Listen dialog for a live take; its voice, when used, replaces the one
    // shown. Blocks on the dialog.
    void listen();
    void chooseTarget(const QString& name);
    // Fits the shown set to the target on the dialog's thread; proposalChanged follows.
    void fit();
    // Loads the proposal into the shown set. Blocks, connected, on the paced apply.
    void use();
    void discard();

    bool busy() const { return m_busy; }
    bool proposing() const { return m_original.has_value(); }
    QString statusText() const;

    // Closing the dialog discards a proposal.
    void reject() override;

signals:
    void voiceChanged();
    void proposalChanged();

private:
    // Runs work on the dialog's thread, then done on the window's thread with its result.
    template <typename Result>
    void runInBackground(std::function<Result()> work, std::function<void(Result)> done);
    void setUpLayout();
    void takeVoice(const VoiceSpectrum& voice);
    void showProposal(const FitProposal& proposal);
    void restoreShown();
    void updateButtons();

    EqualizerModel& m_model;
    VoiceOverlay& m_overlay;
    std::function<void()> m_redraw;
    std::vector<TargetCurve> m_targets;
    QLabel* m_recording = nullptr;
    QComboBox* m_targetBox = nullptr;
    QLabel* m_residual = nullptr;
    QPushButton* m_fitButton = nullptr;
    QPushButton* m_useButton = nullptr;
    QPushButton* m_discardButton = nullptr;
    std::thread m_worker;
    bool m_busy = false;
    std::optional<EqualizerValues> m_original;  // the shown values under a proposal
    FitProposal m_proposal;
};

}  // namespace tqm

#include "editor/ui/voice_dlg.h"

#include <pthread.h>

#include <utility>

#include <QtCore/QFileInfo>
#include <QtGui/QAction>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include "editor/setting_file.h"
#include "editor/ui/button_row.h"
#include "editor/ui/voice_capture_dlg.h"
#include "editor/ui/voice_overlay.h"
#include "voice/audio_file.h"
#include "voice/long_term_average.h"

namespace tqm {
namespace {

constexpr const char* kRecordingFilter = "Recordings (*.wav *.flac *.ogg);;All files (*)";

struct Recording {
    std::optional<VoiceSpectrum> voice;
    QString text;
};

// Blocks on reading the file and analysing it.
Recording readRecording(const QString& path) {
    const AudioFile audio = readAudioFile(path.toStdString());
    const QString name = QFileInfo(path).fileName();
    if (audio.result != AudioFileResult::Read) return {{}, name + ": " + QString::fromStdString(audio.reason)};
    Recording recording{longTermAverage(audio.samples, audio.rate), {}};
    const double seconds = static_cast<double>(audio.samples.size()) / audio.rate;
    recording.text = recording.voice ? QStringLiteral("%1: %2 s").arg(name).arg(seconds, 0, 'f', 1)
                                     : name + QStringLiteral(": no voice in the recording");
    return recording;
}

}  // namespace

CVoiceDlg::CVoiceDlg(EqualizerModel& model, VoiceOverlay& overlay, std::function<void()> redraw, QWidget* owner)
    : QDialog(owner), m_model(model), m_overlay(overlay), m_redraw(std::move(redraw)), m_targets(loadTargets()) {
    setObjectName(QStringLiteral("voice_dialog"));
    setWindowTitle(QStringLiteral("Voice"));
    setUpLayout();
    if (!m_targets.empty()) chooseTarget(QString::fromStdString(m_targets.front().name));
    updateButtons();
}

CVoiceDlg::~CVoiceDlg() {
    if (m_worker.joinable()) m_worker.join();
    if (proposing()) restoreShown();
    m_overlay.setTarget(std::nullopt);
}

void CVoiceDlg::setUpLayout() {
    auto* grid = new QGridLayout(this);
    auto* choose = new QPushButton(QStringLiteral("&Recording..."), this);
    auto* listen = new QPushButton(QStringLiteral("&Listen..."), this);
    listen->setToolTip(QStringLiteral("Take the voice live from a microphone or the transceiver's USB audio"));
    m_recording = new QLabel(m_overlay.voice() ? QStringLiteral("(the voice loaded before)") : QString(), this);
    m_recording->setObjectName(QStringLiteral("voice_recording"));
    m_recording->setWordWrap(true);
    m_targetBox = new QComboBox(this);
    for (const TargetCurve& target : m_targets) m_targetBox->addItem(QString::fromStdString(target.name));
    m_residual = new QLabel(this);
    m_fitButton = new QPushButton(QStringLiteral("&Fit"), this);
    m_useButton = new QPushButton(QStringLiteral("&Use"), this);
    m_discardButton = new QPushButton(QStringLiteral("&Discard"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    auto* sources = new QHBoxLayout;
    sources->addWidget(choose);
    sources->addWidget(listen);
    grid->addLayout(sources, 0, 0);
    grid->addWidget(m_recording, 0, 1);
    auto* targetLabel = new QLabel(QStringLiteral("&Target:"), this);
    targetLabel->setBuddy(m_targetBox);
    grid->addWidget(targetLabel, 1, 0);
    grid->addWidget(m_targetBox, 1, 1);
    grid->addWidget(m_residual, 2, 0, 1, 2);
    grid->addLayout(buttonRow({m_fitButton, m_useButton, m_discardButton, close}), 3, 0, 1, 2);
    connect(choose, &QPushButton::clicked, this, &CVoiceDlg::chooseRecording);
    connect(listen, &QPushButton::clicked, this, &CVoiceDlg::listen);
    connect(m_targetBox, &QComboBox::currentTextChanged, this, &CVoiceDlg::chooseTarget);
    connect(m_fitButton, &QPushButton::clicked, this, &CVoiceDlg::fit);
    connect(m_useButton, &QPushButton::clicked, this, &CVoiceDlg::use);
    connect(m_discardButton, &QPushButton::clicked, this, &CVoiceDlg::discard);
    connect(close, &QPushButton::clicked, this, &CVoiceDlg::reject);
    setMinimumWidth(540);
}

void CVoiceDlg::addSwitch(QAction& action) {
    auto* box = new QCheckBox(action.text(), this);
    box->setChecked(action.isChecked());
    box->setEnabled(action.isEnabled());
    connect(box, &QCheckBox::toggled, &action, &QAction::setChecked);
    connect(&action, &QAction::toggled, box, &QCheckBox::setChecked);
    connect(&action, &QAction::enabledChanged, box, &QCheckBox::setEnabled);
    auto* grid = static_cast<QGridLayout*>(layout());
    grid->addWidget(box, grid->rowCount(), 0, 1, 2);
}

template <typename Result>
void CVoiceDlg::runInBackground(std::function<Result()> work, std::function<void(Result)> done) {
    if (m_worker.joinable()) m_worker.join();  // the last one has delivered its result
    m_busy = true;
    updateButtons();
    m_worker = std::thread([this, work = std::move(work), done = std::move(done)] {
        pthread_setname_np(pthread_self(), "tqm-voice");
        Result result = work();
        // Delivered on the window's thread; dropped when the dialog has gone.
        QMetaObject::invokeMethod(
            this,
            [this, done, result = std::move(result)] {
                m_busy = false;
                done(result);
                updateButtons();
            },
            Qt::QueuedConnection);
    });
}

void CVoiceDlg::chooseRecording() {
    QFileDialog dialog(this, QStringLiteral("Voice recording"), QString(), QString::fromLatin1(kRecordingFilter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        openRecording(dialog.selectedFiles().front());
    }
}

void CVoiceDlg::openRecording(const QString& path) {
    if (m_busy) return;
    m_recording->setText(QStringLiteral("Reading %1...").arg(QFileInfo(path).fileName()));
    runInBackground<Recording>([path] { return readRecording(path); },
                               [this](const Recording& recording) {
                                   m_recording->setText(recording.text);
                                   if (recording.voice) takeVoice(*recording.voice);
                               });
}

void CVoiceDlg::listen() {
    if (m_busy) return;
    CVoiceCaptureDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted || !dialog.voice()) return;
    m_recording->setText(QStringLiteral("Live from %1: %2 s")
                             .arg(dialog.chosenInput())
                             .arg(dialog.take()->seconds(), 0, 'f', 1));
    takeVoice(*dialog.voice());
}

void CVoiceDlg::takeVoice(const VoiceSpectrum& voice) {
    discard();
    m_overlay.setVoice(voice);
    m_redraw();
    updateButtons();
    emit voiceChanged();
}

void CVoiceDlg::chooseTarget(const QString& name) {
    const TargetCurve* target = findTarget(m_targets, name.toStdString());
    if (target == nullptr) return;
    if (m_targetBox->currentText() != name) m_targetBox->setCurrentText(name);
    m_overlay.setTarget(*target);
    m_redraw();
}

void CVoiceDlg::fit() {
    const TargetCurve* target = findTarget(m_targets, m_targetBox->currentText().toStdString());
    if (m_busy || !m_overlay.voice() || target == nullptr) return;
    const int set = m_model.currentSet();
    const EqualizerValues current = m_original.value_or(m_model.shown(set));
    runInBackground<FitProposal>(
        [voice = *m_overlay.voice(), target = *target, current] { return fitEqualizer(voice, target, current); },
        [this, set](const FitProposal& proposal) {
            // Another set chosen meanwhile: the proposal is not for the set shown.
            if (set == m_model.currentSet()) showProposal(proposal);
        });
}

void CVoiceDlg::showProposal(const FitProposal& proposal) {
    if (!m_original) m_original = m_model.shown(m_model.currentSet());
    m_model.holdShown(true);
    m_proposal = proposal;
    m_model.setShown(m_model.currentSet(), proposal.values);
    m_residual->setText(statusText());
    m_redraw();
    emit proposalChanged();
}

void CVoiceDlg::use() {
    if (!m_original || m_model.pendingReplies() != 0) return;
    restoreShown();
    SettingFile::loadValues(m_proposal.values, m_model);
    m_redraw();
    updateButtons();
    emit proposalChanged();
}

void CVoiceDlg::discard() {
    if (!m_original) return;
    restoreShown();
    m_residual->clear();
    m_redraw();
    updateButtons();
    emit proposalChanged();
}

void CVoiceDlg::restoreShown() {
    m_model.holdShown(false);
    m_model.setShown(m_model.currentSet(), *m_original);
    m_original.reset();
    // Connected, the display shows what the transceiver holds now, front-panel changes
    // made under the proposal included, and Use sends what differs from that.
    if (m_model.connected()) m_model.takeChangedFromState();
}

void CVoiceDlg::reject() {
    discard();
    QDialog::reject();
}

QString CVoiceDlg::statusText() const {
    if (!m_original) return {};
    return QStringLiteral("Residual: %1 dB RMS now, %2 dB RMS with the proposal")
        .arg(m_proposal.rmsBefore, 0, 'f', 2)
        .arg(m_proposal.rmsAfter, 0, 'f', 2);
}

void CVoiceDlg::updateButtons() {
    m_fitButton->setEnabled(!m_busy && m_overlay.voice().has_value() && m_targetBox->count() > 0);
    m_useButton->setEnabled(!m_busy && proposing());
    m_discardButton->setEnabled(!m_busy && proposing());
}

}  // namespace tqm

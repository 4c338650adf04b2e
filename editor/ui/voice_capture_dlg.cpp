#include "editor/ui/voice_capture_dlg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <utility>

#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QIODevice>
#include <QtCore/QTimer>
#include <QtMultimedia/QAudioSource>
#include <QtMultimedia/QMediaDevices>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>

#include "editor/ui/button_row.h"
#include "voice/audio_file.h"

namespace tqm {
namespace {

constexpr int kMeterFloorDb = -60;
constexpr int kProgressSteps = 1000;
constexpr int kWatchMs = 1000;
constexpr int kSilentWatchesToEnd = 5;  // a take that gets nothing for this many watches ends

struct ErrorText {
    QAudio::Error error;
    const char* text;
};

constexpr std::array kErrorTexts{
    ErrorText{QAudio::OpenError, "the sound system would not open it"},
    ErrorText{QAudio::IOError, "it stopped giving sound (pulled out or switched off?)"},
    ErrorText{QAudio::UnderrunError, "it stopped giving sound"},
    ErrorText{QAudio::FatalError, "the sound system failed"},
};

QString errorText(QAudio::Error error) {
    const auto* found = std::find_if(kErrorTexts.begin(), kErrorTexts.end(),
                                     [error](const ErrorText& entry) { return entry.error == error; });
    return QString::fromLatin1(found != kErrorTexts.end() ? found->text : "it failed");
}

QString seconds(double value) { return QString::number(value, 'f', 1); }

const QString kNoInput = QStringLiteral(
    "No audio input found. Plug in a microphone or the transceiver's USB audio; it appears here.");
const QString kReady = QStringLiteral("Start, then speak as on the air. The take ends after 20 s.");

}  // namespace

CVoiceCaptureDlg::CVoiceCaptureDlg(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("voice_capture_dialog"));
    setWindowTitle(QStringLiteral("Listen"));
    setUpLayout();
    // Not every sound system tells when inputs come and go: the list is also looked at
    // once a second.
    m_watchTimer = new QTimer(this);
    m_watchTimer->setInterval(kWatchMs);
    connect(m_watchTimer, &QTimer::timeout, this, &CVoiceCaptureDlg::watch);
    connect(new QMediaDevices(this), &QMediaDevices::audioInputsChanged, this, &CVoiceCaptureDlg::refreshInputs);
    refreshInputs();
    m_watchTimer->start();
}

CVoiceCaptureDlg::~CVoiceCaptureDlg() {
    if (m_source) {
        m_source->disconnect(this);
        m_source->stop();
    }
}

void CVoiceCaptureDlg::setUpLayout() {
    auto* grid = new QGridLayout(this);
    m_inputBox = new QComboBox(this);
    m_inputBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* inputLabel = new QLabel(QStringLiteral("&Input:"), this);
    inputLabel->setBuddy(m_inputBox);
    m_level = new QProgressBar(this);
    m_level->setRange(kMeterFloorDb, 0);
    m_level->setValue(kMeterFloorDb);
    m_level->setFormat(QStringLiteral("%v dB"));
    m_level->setToolTip(QStringLiteral("The peak level of the input against full scale"));
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, kProgressSteps);
    m_progress->setValue(0);
    m_progress->setFormat(QStringLiteral("0.0 s of 20 s"));
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    // Room for the longest status, so that the dialog keeps its size as it changes.
    m_status->setMinimumHeight(fontMetrics().lineSpacing() * 3);
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_startButton = new QPushButton(QStringLiteral("&Start"), this);
    m_saveButton = new QPushButton(QStringLiteral("Sa&ve take..."), this);
    m_useButton = new QPushButton(QStringLiteral("&Use"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    grid->addWidget(inputLabel, 0, 0);
    grid->addWidget(m_inputBox, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Level:"), this), 1, 0);
    grid->addWidget(m_level, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Take:"), this), 2, 0);
    grid->addWidget(m_progress, 2, 1);
    grid->addWidget(m_status, 3, 0, 1, 2);
    grid->addLayout(buttonRow({m_startButton, m_saveButton, m_useButton, cancel}), 4, 0, 1, 2);
    connect(m_startButton, &QPushButton::clicked, this, [this] { capturing() ? stop() : start(); });
    connect(m_saveButton, &QPushButton::clicked, this, &CVoiceCaptureDlg::chooseSaveFile);
    connect(m_useButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &CVoiceCaptureDlg::reject);
    setMinimumWidth(460);
}

QStringList CVoiceCaptureDlg::inputs() const {
    QStringList names;
    for (const QAudioDevice& input : m_inputs) names << input.description();
    return names;
}

QString CVoiceCaptureDlg::chosenInput() const { return m_inputBox->currentText(); }

void CVoiceCaptureDlg::chooseInput(const QString& description) {
    if (!capturing()) m_inputBox->setCurrentText(description);
}

void CVoiceCaptureDlg::watch() {
    const QList<QAudioDevice> now = QMediaDevices::audioInputs();
    const bool changed = !std::equal(now.begin(), now.end(), m_inputs.begin(), m_inputs.end(),
                                     [](const QAudioDevice& a, const QAudioDevice& b) { return a.id() == b.id(); });
    if (changed) refreshInputs();
    if (capturing()) watchFlow();
}

void CVoiceCaptureDlg::refreshInputs() {
    const int current = m_inputBox->currentIndex();
    const QByteArray chosen = capturing()                                       ? m_sourceId
                              : current >= 0 && current < m_inputs.size() ? m_inputs.at(current).id()
                                                                          : QByteArray();
    const QByteArray preferred = chosen.isEmpty() ? QMediaDevices::defaultAudioInput().id() : chosen;
    m_inputs = QMediaDevices::audioInputs();
    m_inputBox->clear();
    int select = 0;
    for (int i = 0; i < m_inputs.size(); ++i) {
        m_inputBox->addItem(m_inputs.at(i).description());
        if (m_inputs.at(i).id() == preferred) select = i;
    }
    if (!m_inputs.isEmpty()) m_inputBox->setCurrentIndex(select);
    const bool sourceListed = std::any_of(m_inputs.begin(), m_inputs.end(),
                                          [this](const QAudioDevice& input) { return input.id() == m_sourceId; });
    if (capturing() && !sourceListed) {
        finish(QStringLiteral("%1 went away after %2 s.").arg(m_sourceName, seconds(m_take->seconds())));
    }
    if (!capturing() && (m_status->text().isEmpty() || m_status->text() == kNoInput || m_status->text() == kReady)) {
        m_status->setText(m_inputs.isEmpty() ? kNoInput : kReady);
    }
    updateButtons();
}

void CVoiceCaptureDlg::start() {
    const int index = m_inputBox->currentIndex();
    if (capturing() || index < 0 || index >= m_inputs.size()) return;
    const QAudioDevice device = m_inputs.at(index);
    QAudioFormat format = device.preferredFormat();
    QAudioFormat floating = format;
    floating.setSampleFormat(QAudioFormat::Float);
    if (device.isFormatSupported(floating)) format = floating;
    m_voice.reset();
    m_carry.clear();
    if (!format.isValid()) {
        m_status->setText(QStringLiteral("%1 offers no sound format to take.").arg(device.description()));
        return;
    }
    m_format = format;
    m_sourceName = device.description();
    m_sourceId = device.id();
    m_take = std::make_unique<VoiceCapture>(format.sampleRate(), format.channelCount());
    m_samplesAtLastLook = 0;
    m_silentWatches = 0;
    m_source = new QAudioSource(device, format, this);
    connect(m_source, &QAudioSource::stateChanged, this, &CVoiceCaptureDlg::watchState);
    m_stream = m_source->start();
    if (m_stream == nullptr || m_source->error() != QAudio::NoError) {
        finish(QStringLiteral("%1 could not be opened: %2.").arg(m_sourceName, errorText(m_source->error())));
        return;
    }
    connect(m_stream, &QIODevice::readyRead, this, &CVoiceCaptureDlg::readBlock);
    m_status->setText(QStringLiteral("Listening to %1.").arg(m_sourceName));
    showTake();
    updateButtons();
}

void CVoiceCaptureDlg::stop() {
    if (capturing()) finish(QStringLiteral("Stopped after %1 s.").arg(seconds(m_take->seconds())));
}

void CVoiceCaptureDlg::readBlock() {
    if (m_stream == nullptr) return;
    m_carry += m_stream->readAll();
    const int frameBytes = m_format.bytesPerFrame();
    const int sampleBytes = m_format.bytesPerSample();
    const qsizetype whole = m_carry.size() / frameBytes * frameBytes;
    m_block.resize(static_cast<std::size_t>(whole / sampleBytes));
    for (std::size_t i = 0; i < m_block.size(); ++i) {
        m_block[i] = m_format.normalizedSampleValue(m_carry.constData() + static_cast<qsizetype>(i) * sampleBytes);
    }
    m_carry.remove(0, whole);
    m_take->feed(m_block);
    showTake();
    if (m_take->full()) finish(QStringLiteral("Took %1 s from %2.").arg(seconds(m_take->seconds()), m_sourceName));
}

void CVoiceCaptureDlg::watchState(QAudio::State state) {
    if (state != QAudio::StoppedState || !m_source || m_source->error() == QAudio::NoError) return;
    finish(QStringLiteral("%1 stopped after %2 s: %3.")
               .arg(m_sourceName, seconds(m_take->seconds()), errorText(m_source->error())));
}

void CVoiceCaptureDlg::watchFlow() {
    const std::size_t now = m_take->samples().size();
    const QString waiting = QStringLiteral("No sound arrives from %1.").arg(m_sourceName);
    m_silentWatches = now == m_samplesAtLastLook ? m_silentWatches + 1 : 0;
    m_samplesAtLastLook = now;
    if (m_silentWatches >= kSilentWatchesToEnd) {
        finish(QStringLiteral("%1 gave no sound for %2 s; the take ended after %3 s.")
                   .arg(m_sourceName)
                   .arg(kSilentWatchesToEnd * kWatchMs / 1000)
                   .arg(seconds(m_take->seconds())));
    } else if (m_silentWatches > 0) {
        m_status->setText(waiting);
    } else if (m_status->text() == waiting) {
        m_status->setText(QStringLiteral("Listening to %1.").arg(m_sourceName));
    }
}

void CVoiceCaptureDlg::finish(const QString& status) {
    if (m_source) {
        m_source->disconnect(this);
        if (m_stream != nullptr) m_stream->disconnect(this);
        m_source->stop();
        // Possibly ended from inside one of its own signals: deleted once back in the
        // loop, or with the dialog.
        m_source->deleteLater();
        m_source = nullptr;
        m_stream = nullptr;
    }
    m_voice = m_take ? m_take->spectrum() : std::nullopt;
    QString text = status;
    if (m_voice) {
        text += QStringLiteral(" Use puts the voice under the curves.");
    } else if (m_take) {
        text += QStringLiteral(" It holds no voice: check the input and its level, then Start again.");
    }
    if (m_take && m_take->clipped()) text += QStringLiteral(" Parts reached full scale; a lower input level gives a truer spectrum.");
    m_status->setText(text);
    showTake();
    updateButtons();
    emit takeEnded();
}

void CVoiceCaptureDlg::showTake() {
    if (!m_take) return;
    m_level->setValue(std::clamp(static_cast<int>(std::lround(m_take->levelDb())), kMeterFloorDb, 0));
    m_progress->setValue(static_cast<int>(std::lround(m_take->progress() * kProgressSteps)));
    m_progress->setFormat(QStringLiteral("%1 s of 20 s").arg(seconds(m_take->seconds())));
    if (capturing() && m_take->clipped()) {
        m_status->setText(QStringLiteral("Too loud: %1 reaches full scale. Turn its level down.").arg(m_sourceName));
    }
}

void CVoiceCaptureDlg::chooseSaveFile() {
    if (!m_take || m_take->samples().empty()) return;
    const QString name = QStringLiteral("voice-%1.wav").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QFileDialog dialog(this, QStringLiteral("Save the take"), QDir::home().filePath(name),
                       QStringLiteral("WAV recordings (*.wav)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) saveTake(dialog.selectedFiles().front());
}

bool CVoiceCaptureDlg::saveTake(const QString& path) {
    if (!m_take || capturing()) return false;
    std::string reason;
    const QString name = QFileInfo(path).fileName();
    if (!writeAudioFile(path.toStdString(), m_take->samples(), m_take->rate(), reason)) {
        m_status->setText(QStringLiteral("%1 could not be saved: %2.").arg(name, QString::fromStdString(reason)));
        return false;
    }
    m_status->setText(QStringLiteral("Saved the take as %1.").arg(name));
    return true;
}

QString CVoiceCaptureDlg::statusText() const { return m_status->text(); }

int CVoiceCaptureDlg::levelShown() const { return m_level->value(); }

void CVoiceCaptureDlg::reject() {
    stop();
    QDialog::reject();
}

void CVoiceCaptureDlg::updateButtons() {
    m_startButton->setText(capturing() ? QStringLiteral("&Stop") : QStringLiteral("&Start"));
    m_startButton->setEnabled(capturing() || !m_inputs.isEmpty());
    m_inputBox->setEnabled(!capturing());
    m_saveButton->setEnabled(!capturing() && m_take && !m_take->samples().empty());
    m_useButton->setEnabled(!capturing() && m_voice.has_value());
}

}  // namespace tqm

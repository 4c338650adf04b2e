#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QtCore/QByteArray>
#include <QtMultimedia/QAudio>
#include <QtMultimedia/QAudioDevice>
#include <QtMultimedia/QAudioFormat>
#include <QtWidgets/QDialog>

#include "voice/voice_capture.h"

class QAudioSource;
class QComboBox;
class QIODevice;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tqm {

// The Listen dialog: takes the operator's voice live from an input of the sound system
// (a microphone, or the transceiver's USB audio) for up to 20 s, with a level meter and
// a progress bar. Inputs plugged in or pulled while it is open come and go in its list.
// A take ends after 20 s, on Stop, when its input goes away or fails, or when it gets
// no sound for 5 s; what it heard is kept and can be saved as a WAV file.
// The sound arrives in blocks on the window's thread as the sound system hands them
// over; nothing waits for it, so the window keeps going.
class CVoiceCaptureDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CVoiceCaptureDlg(QWidget* owner);
    ~CVoiceCaptureDlg() override;

    // The inputs listed, by their descriptions, and the one chosen.
    QStringList inputs() const;
    QString chosenInput() const;
    void chooseInput(const QString& description);

    // Starts a take from the chosen input; the take before is dropped.
    void start();
    // Ends the take under way, keeping what it heard.
    void stop();
    // Asks for a file with the file dialog, then saves the take. Blocks on the dialog.
    void chooseSaveFile();
    // Blocks on writing the take to path as a WAV file; false, with the reason shown, on failure.
    bool saveTake(const QString& path);

    bool capturing() const { return m_source != nullptr; }
    // The take so far; null before the first Start.
    const VoiceCapture* take() const { return m_take.get(); }
    // The voice of the ended take; none while taking or when it held no voice.
    const std::optional<VoiceSpectrum>& voice() const { return m_voice; }
    QString statusText() const;
    int levelShown() const;

    // Closing the dialog ends a take.
    void reject() override;

signals:
    void takeEnded();

private:
    void setUpLayout();
    void refreshInputs();
    void readBlock();
    void watchState(QAudio::State state);
    void watch();
    void watchFlow();
    void finish(const QString& status);
    void showTake();
    void updateButtons();

    QList<QAudioDevice> m_inputs;
    QComboBox* m_inputBox = nullptr;
    QProgressBar* m_level = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_useButton = nullptr;
    QTimer* m_watchTimer = nullptr;
    QAudioSource* m_source = nullptr;  // a child of the dialog while a take runs
    QIODevice* m_stream = nullptr;
    QAudioFormat m_format;
    QString m_sourceName;
    QByteArray m_sourceId;
    QByteArray m_carry;  // the part frame a block ended on
    std::unique_ptr<VoiceCapture> m_take;
    std::size_t m_samplesAtLastLook = 0;
    int m_silentWatches = 0;
    std::optional<VoiceSpectrum> m_voice;
    std::vector<float> m_block;
};

}  // namespace tqm

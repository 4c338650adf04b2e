#include "app/equalizer_app.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>

#include "app/engine.h"
#include "app/termination_watch.h"
#include "editor/send_queue_sink.h"
#include "editor/string_table.h"
#include "editor/ui/equalizer_dlg.h"
#include "editor/ui/notice_box.h"
#include "editor/ui/power_watch.h"
#include "editor/ui/program_font.h"
#include "editor/ui/setting_file_actions.h"
#include "platform/settings_folder.h"
#include "serial/comm_setting_file.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/simulated_transceiver.h"

namespace tqm {
namespace {

// While a signal's end of the run waits for nested boxes to unwind, boxes that open
// meanwhile are cancelled this often.
constexpr int kCancelIntervalMs = 50;

struct SaveFailureText {
    CommSettingWrite result;
    const char* text;
};
constexpr SaveFailureText kSaveFailureTexts[] = {
    {CommSettingWrite::PathTooLong, "the path is too long"},
    {CommSettingWrite::NoDirectory, "its folder cannot be created"},
    {CommSettingWrite::Failed, "the file cannot be written"},
};

// Ends every box and dialog open over the window, as a cancel would; the connecting
// box and the splash, which ignore a cancel, end too.
void cancelDialogsOver(const QDialog& window) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog != nullptr && dialog != &window && dialog->isVisible()) dialog->done(QDialog::Rejected);
    }
}

}  // namespace

CEqualizerApp::CEqualizerApp(CommandLine commandLine) : CEqualizerApp(std::move(commandLine), Hooks{}) {}

CEqualizerApp::CEqualizerApp(CommandLine commandLine, Hooks hooks)
    : m_commandLine(std::move(commandLine)), m_hooks(std::move(hooks)) {}

CEqualizerApp::~CEqualizerApp() {
    if (m_simulator) m_simulator->stop();
}

int CEqualizerApp::run() {
    m_endRequested = false;
    useProgramFont();
    SettingsFolder().choose(m_commandLine.settingsDir);
    PortMap portMap;
    portMap.loadDefaultFile();
    for (const std::string& warning : portMap.warnings()) std::fprintf(stderr, "tqm4700-peq: %s\n", warning.c_str());
    for (const auto& entry : m_commandLine.portMap) portMap.setOverride(entry.comNumber, entry.path);
    std::string traceError;
    if (!m_commandLine.traceFile.empty() && !Engine::startTrace(m_commandLine.traceFile, traceError)) {
        std::fprintf(stderr, "tqm4700-peq: cannot write the wire trace: %s\n", traceError.c_str());
        return 1;
    }

    SendQueueSink sink;
    CEqualizerDlg window(sink);
    CPowerWatch powerWatch(&window);
    QTimer canceller;
    canceller.setInterval(kCancelIntervalMs);
    QObject::connect(&canceller, &QTimer::timeout, [&window] { cancelDialogsOver(window); });
    CTerminationWatch termination([&](int) { endBySignal(window, canceller); });

    CEqualizerDlg::StartOptions options;
    options.showSplash = !m_commandLine.noSplash;
    options.startEngine = [this, &window] { startEngine(window); };
    window.initialise(options);
    if (!m_commandLine.settingFile.empty()) {
        // Once the window shows, the file given loads as one chosen in FILE LOAD's dialog.
        QTimer::singleShot(0, &window, [&window, path = m_commandLine.settingFile] {
            loadSettingFile(window, window.model(), path);
        });
    }
    if (m_hooks.beforeExec) m_hooks.beforeExec(window);
    // A signal during the start-up has closed the window already.
    if (!m_endRequested) window.exec();
    canceller.stop();

    shutdown(window);
    return 0;
}

void CEqualizerApp::endBySignal(CEqualizerDlg& window, QTimer& canceller) {
    if (m_endRequested) return;
    m_endRequested = true;
    cancelDialogsOver(window);
    window.reject();  // as EXIT does
    canceller.start();
}

void CEqualizerApp::startEngine(CEqualizerDlg& window) {
    Engine engine;
    engine.initialiseState();
    CommSettingShownSet shownSet;
    const CommSettingRead read = CommSettingFile::load(shownSet);
    // The first start has no file yet: the defaults, quietly; the exit writes it.
    if (read != CommSettingRead::Read && read != CommSettingRead::Missing) {
        showNoticeBox(&window, IDS_COM_FILE_UNREADABLE);
    }
    if (shownSet.present) window.model().selectSet(shownSet.value);
    if (m_commandLine.simulate) startSimulator();
    engine.startLink();
}

void CEqualizerApp::startSimulator() {
    sim::SimConfig config;
    config.baud = Sio_Port().baudRate();
    m_simulator = std::make_unique<sim::SimulatedTransceiver>(config);
    if (!m_simulator->start()) {
        std::fprintf(stderr, "tqm4700-peq: the simulated transceiver did not start: %s\n",
                     m_simulator->errorText().c_str());
        m_simulator.reset();
        return;
    }
    // The current COM number now leads to the simulated transceiver.
    PortMap().setOverride(Sio_Port().portNumber(), m_simulator->devicePath());
    std::fprintf(stderr, "tqm4700-peq: simulated transceiver on COM%d (%s)\n", Sio_Port().portNumber(),
                 m_simulator->devicePath().c_str());
}

void CEqualizerApp::shutdown(CEqualizerDlg& window) {
    m_shutdownSteps.clear();
    const int shownSet = window.model().currentSet();
    Engine().stop([this, shownSet] {
        m_shutdownSteps.push_back("port-closed");
        m_shutdownSteps.push_back(saveSettings(shownSet) ? "settings-written" : "settings-not-written");
    });
    m_shutdownSteps.push_back("threads-stopped");
}

bool CEqualizerApp::saveSettings(int shownSet) {
    errno = 0;
    const CommSettingWrite result = CommSettingFile::save(shownSet);
    const int error = errno;
    if (result == CommSettingWrite::Written) return true;
    const std::filesystem::path file =
        SettingsFolder().path() / CommSettingFile::kDirectoryName / CommSettingFile::kFileName;
    std::ostream& err = m_hooks.err != nullptr ? *m_hooks.err : std::cerr;
    err << "tqm4700-peq: the port settings were not saved to " << file.string() << ": ";
    for (const SaveFailureText& row : kSaveFailureTexts) {
        if (row.result == result) err << row.text;
    }
    if (result == CommSettingWrite::Failed && error != 0) err << " (" << std::strerror(error) << ')';
    err << std::endl;
    return false;
}

}  // namespace tqm

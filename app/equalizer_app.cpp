#include "app/equalizer_app.h"

#include <cstdio>

#include <QtWidgets/QMessageBox>

#include "editor/engine.h"
#include "editor/send_queue_sink.h"
#include "editor/string_table.h"
#include "editor/ui/baud_rate_dlg.h"
#include "editor/ui/com_select_dlg.h"
#include "editor/ui/equalizer_dlg.h"
#include "editor/ui/power_watch.h"
#include "editor/ui/qt_text.h"
#include "editor/ui/setting_file_actions.h"
#include "editor/ui/window_link.h"
#include "platform/main_window_link.h"
#include "serial/comm_setting_file.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/simulated_transceiver.h"

namespace tqm {

CEqualizerApp::CEqualizerApp(CommandLine commandLine, Hooks hooks)
    : m_commandLine(std::move(commandLine)), m_hooks(std::move(hooks)) {}

CEqualizerApp::~CEqualizerApp() {
    if (m_simulator) m_simulator->stop();
}

int CEqualizerApp::run() {
    PortMap portMap;
    portMap.loadDefaultFile();
    for (const auto& entry : m_commandLine.portMap) portMap.setOverride(entry.comNumber, entry.path);

    SendQueueSink sink;
    CEqualizerDlg window(sink);
    MainWindowLink().publish(&window);
    CWindowLink link(window);
    CPowerWatch powerWatch(&window);

    CEqualizerDlg::StartOptions options;
    options.showSplash = !m_commandLine.noSplash;
    options.startEngine = [this, &window] { startEngine(window); };
    options.comAction = [&link] { link.comAction(); };
    options.fileLoadAction = [&window] { fileLoad(window); };
    options.fileSaveAction = [&window] { fileSave(window); };
    options.linkMessage = [&link](const Message& message) { link.linkMessage(message); };
    options.comSelectDialog = [&window] {
        CComSelectDlg dialog(window.model().currentSet(), &window);
        dialog.exec();
    };
    options.baudRateDialog = [&window] {
        CBaudRateDlg dialog(window.model().currentSet(), &window);
        dialog.exec();
    };
    window.initialise(options);
    if (m_hooks.beforeExec) m_hooks.beforeExec(window, link);
    window.exec();

    shutdown(window);
    return 0;
}

void CEqualizerApp::startEngine(CEqualizerDlg& window) {
    Engine engine;
    engine.initialiseState();
    CommSettingShownSet shownSet;
    if (CommSettingFile::load(shownSet) != CommSettingRead::Read) {
        QMessageBox::warning(&window, window.windowTitle(), toQString(loadString(IDS_COM_FILE_UNREADABLE)));
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
        CommSettingFile::save(shownSet);
        m_shutdownSteps.push_back("settings-written");
    });
    m_shutdownSteps.push_back("threads-stopped");
}

}  // namespace tqm

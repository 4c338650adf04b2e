#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"

class QTimer;

namespace tqm {

class CEqualizerDlg;

namespace sim {
class SimulatedTransceiver;
}

// The application object: runs the main window for the whole run and, when it has
// closed, shuts the engine down in order: retract the window, close the port, write
// the port settings, stop the worker threads. SIGTERM, SIGINT and SIGHUP close the
// window as EXIT does, so they end the run the same orderly way.
class CEqualizerApp final {
public:
    // What a run does besides the window (tests set their own).
    struct Hooks {
        // Called with the window after it is set up and before it runs modally.
        std::function<void(CEqualizerDlg&)> beforeExec;
        // Where a settings file that could not be saved at the end is reported
        // (standard error when null).
        std::ostream* err = nullptr;
    };

    explicit CEqualizerApp(CommandLine commandLine);
    CEqualizerApp(CommandLine commandLine, Hooks hooks);
    ~CEqualizerApp();

    // Blocks for the whole run of the window. A QApplication must exist. Returns the
    // process exit code (0).
    int run();

    // The steps of the last shutdown, in order, for tests: "port-closed",
    // "settings-written" (or "settings-not-written"), "threads-stopped".
    const std::vector<std::string>& shutdownSteps() const { return m_shutdownSteps; }

private:
    void startEngine(CEqualizerDlg& window);
    void startSimulator();
    void endBySignal(CEqualizerDlg& window, QTimer& canceller);
    void shutdown(CEqualizerDlg& window);
    // Blocks on writing the port settings file; a failure is reported on err.
    bool saveSettings(int shownSet);

    CommandLine m_commandLine;
    Hooks m_hooks;
    std::unique_ptr<sim::SimulatedTransceiver> m_simulator;
    std::vector<std::string> m_shutdownSteps;
    bool m_endRequested = false;
};

}  // namespace tqm

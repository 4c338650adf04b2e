#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/command_line.h"

namespace tqm {

class CEqualizerDlg;
class CWindowLink;

namespace sim {
class SimulatedTransceiver;
}

// The application object: runs the main window for the whole run and, when it has
// closed, shuts the engine down in order: retract the window, close the port, write
// the port settings, stop the worker threads.
class CEqualizerApp final {
public:
    // What a run does besides the window (tests set their own).
    struct Hooks {
        // Called with the window after it is set up and before it runs modally.
        std::function<void(CEqualizerDlg&, CWindowLink&)> beforeExec;
    };

    explicit CEqualizerApp(CommandLine commandLine, Hooks hooks = {});
    ~CEqualizerApp();

    // Blocks for the whole run of the window. A QApplication must exist. Returns the
    // process exit code (0).
    int run();

    // The steps of the last shutdown, in order, for tests: "port-closed",
    // "settings-written", "threads-stopped".
    const std::vector<std::string>& shutdownSteps() const { return m_shutdownSteps; }

private:
    void startEngine(CEqualizerDlg& window);
    void startSimulator();
    void shutdown(CEqualizerDlg& window);

    CommandLine m_commandLine;
    Hooks m_hooks;
    std::unique_ptr<sim::SimulatedTransceiver> m_simulator;
    std::vector<std::string> m_shutdownSteps;
};

}  // namespace tqm

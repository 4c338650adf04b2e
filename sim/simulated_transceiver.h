#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "sim/front_panel.h"
#include "sim/line_faults.h"
#include "sim/sim_config.h"
#include "sim/sim_line.h"
#include "sim/transceiver_model.h"
#include "sim/wire_log.h"
#include "sim/wire_monitor.h"

namespace tqm::sim {

// A ZR-4700 transceiver on a pseudo-terminal. A serial program opens devicePath()
// (or the symlink of SimConfig::linkPath) and talks to it as to the radio; the
// line is paced at the configured speed in both directions. One thread, "sim-line",
// does all the line work. Tests and tools work the radio through three parts, each
// callable from any thread: radio() its front panel, line() the faults of the line
// and monitor() what went over it.
class SimulatedTransceiver final {
public:
    explicit SimulatedTransceiver(SimConfig config = {});
    ~SimulatedTransceiver();

    SimulatedTransceiver(const SimulatedTransceiver&) = delete;
    SimulatedTransceiver& operator=(const SimulatedTransceiver&) = delete;

    // Checks the configuration, opens the log file, the pseudo-terminal and the
    // symlink, and starts the line thread. False, with errorText() set, on failure
    // or when it was started before.
    bool start();
    // Ends the line thread (blocks until it has ended, one loop pass), closes the
    // pseudo-terminal and removes the symlink.
    void stop();
    // Why start(), or the last LineFaults::plugIn(), failed.
    std::string errorText() const;
    // The slave device's path; empty while the adapter is out or before start().
    std::string devicePath() const;

    FrontPanel& radio() { return m_radio; }
    LineFaults& line() { return m_faults; }
    WireMonitor& monitor() { return m_monitor; }

private:
    void run();

    mutable std::mutex m_mutex;  // guards the model, the line and the two below
    SimConfig m_config;
    bool m_started = false;
    std::string m_errorText;
    WireLog m_log;  // locks itself
    TransceiverModel m_model;
    SimLine m_line;
    FrontPanel m_radio;
    LineFaults m_faults;
    WireMonitor m_monitor;
    std::atomic<bool> m_stopRequested{false};
    std::thread m_thread;
};

}  // namespace tqm::sim

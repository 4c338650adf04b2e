#pragma once

#include <chrono>
#include <functional>
#include <string_view>
#include <vector>

#include "sim/wire_log.h"

namespace tqm::sim {

// What tests and tools read of the line: the wire log, counts and waits. Every
// member may be called from any thread.
class WireMonitor final {
public:
    WireMonitor(const WireMonitor&) = delete;
    WireMonitor& operator=(const WireMonitor&) = delete;

    // Every command received ('>') and everything sent ('<') since the last clear.
    std::vector<WireLogEntry> log() const { return m_log.entries(); }
    void clear() { m_log.clear(); }
    // How often the command (";" included) has been received since the last clear.
    std::size_t commandCount(std::string_view command) const {
        return m_log.count(WireDirection::ToTransceiver, command);
    }
    // Blocks until the command (";" included) has been received `occurrences` times
    // since the last clear, or the timeout passes; true when it has.
    bool waitForCommand(std::string_view command, std::chrono::milliseconds timeout, std::size_t occurrences = 1) const {
        return m_log.waitFor(WireDirection::ToTransceiver, command, timeout, occurrences);
    }
    // Blocks until these bytes have been sent `occurrences` times, or the timeout passes.
    bool waitForReply(std::string_view reply, std::chrono::milliseconds timeout, std::size_t occurrences = 1) const {
        return m_log.waitFor(WireDirection::FromTransceiver, reply, timeout, occurrences);
    }
    // The line speed the program (or a serial server in front) set on the device, in
    // baud; 0 when unknown. The simulator itself paces at its configured speed.
    int deviceSpeed() const { return m_deviceSpeed(); }

private:
    friend class SimulatedTransceiver;

    WireMonitor(WireLog& log, std::function<int()> deviceSpeed) : m_log(log), m_deviceSpeed(std::move(deviceSpeed)) {}

    WireLog& m_log;
    std::function<int()> m_deviceSpeed;
};

}  // namespace tqm::sim

#pragma once

#include <chrono>
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

private:
    friend class SimulatedTransceiver;

    explicit WireMonitor(WireLog& log) : m_log(log) {}

    WireLog& m_log;
};

}  // namespace tqm::sim

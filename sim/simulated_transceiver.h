#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "sim/command_framer.h"
#include "sim/device_link.h"
#include "sim/pty_master.h"
#include "sim/sim_config.h"
#include "sim/transceiver_model.h"
#include "sim/wire_log.h"

namespace tqm::sim {

// A ZR-4700 transceiver on a pseudo-terminal. A serial program opens devicePath()
// (or the symlink of SimConfig::linkPath) and talks to it as to the radio; the
// line is paced at the configured speed in both directions. The member functions
// are the radio's front panel and the test bench around it; every one of them may
// be called from any thread. One thread, "sim-line", does all the line work.
class SimulatedTransceiver final {
public:
    using Clock = std::chrono::steady_clock;
    using Vfo = TransceiverModel::Vfo;

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
    bool isRunning() const { return m_running.load(std::memory_order_acquire); }
    std::string errorText() const;

    // The slave device's path; empty while the master side is closed.
    std::string devicePath() const;
    // The symlink's path, or empty when none was asked for.
    std::string linkPath() const;

    // The equalizer. setPeValue changes a value silently (no report); a front-panel
    // change is reported on the line while auto information is on. Both return
    // false, changing nothing, for a value out of range; a front-panel change also
    // while the power is off.
    int peValue(const PeAddress& address) const;
    bool setPeValue(const PeAddress& address, int value);
    bool frontPanelChange(const PeAddress& address, int value);

    std::optional<int> menuValue(int number) const;
    bool setMenuValue(int number, int value);
    int frequency(Vfo vfo) const;
    bool setFrequency(Vfo vfo, int hertz);

    // Power off drops whatever the radio was about to send and forgets auto
    // information; power on starts with auto information off.
    void powerOff();
    void powerOn();
    bool isPoweredOn() const;
    bool autoInformation() const;

    // Faults that can be switched while it runs.
    void setSilent(bool silent);
    bool setModelCode(const std::string& code);  // four digits
    void setIdSuffix(int suffix);                 // 0..999
    void setRefuseAi(bool refuse);
    void setReplyDelay(std::chrono::milliseconds delay);
    // Chances per sent byte, 0..1; false, changing nothing, outside that range.
    bool setNoiseRate(double rate);
    bool setDropRate(double rate);

    // The adapter pulled out (the program's reads fail with EIO) and put back. A
    // reopened pseudo-terminal has a new device path; the symlink, if any, is
    // removed on close and points at the new device after the reopen.
    bool closeMaster();
    bool reopenMaster();
    bool isMasterOpen() const;

    // The wire log: every command received ('>') and everything sent ('<').
    std::vector<WireLogEntry> wireLog() const { return m_log.entries(); }
    void clearWireLog() { m_log.clear(); }
    std::size_t commandCount(std::string_view command) const;
    // Block until the command (";" included) has been received `occurrences` times
    // since the last clear, or the timeout passes; true when it has.
    bool waitForCommand(std::string_view command, std::chrono::milliseconds timeout, std::size_t occurrences = 1) const;
    // Block until these bytes have been sent `occurrences` times, or the timeout passes.
    bool waitForReply(std::string_view reply, std::chrono::milliseconds timeout, std::size_t occurrences = 1) const;
    // Block until the log holds at least n entries, or the timeout passes.
    bool waitForLogEntries(std::size_t n, std::chrono::milliseconds timeout) const {
        return m_log.waitForSize(n, timeout);
    }

private:
    struct PendingSend {
        Clock::time_point readyAt;
        std::string bytes;
    };

    void run();
    void runSchedule(Clock::time_point now);
    void frontPanelTick();
    void releaseDueSends(Clock::time_point now);
    void transmitDue(Clock::time_point now);
    void receiveDue(Clock::time_point now);
    void handleCommands(Clock::time_point now, std::vector<std::string>& commands);
    void queueSend(Clock::time_point readyAt, std::string bytes);
    std::string applyLineFaults(const std::string& bytes);
    void peerHungUp(Clock::time_point now);
    void dropOutput();
    void resetLineState();
    std::optional<Clock::time_point> nextDeadline() const;
    void pollLine(std::unique_lock<std::mutex>& lock);
    std::chrono::milliseconds sinceStart(Clock::time_point t) const;
    void wake();
    bool fail(std::string text);

    mutable std::mutex m_mutex;  // guards everything below up to m_thread
    SimConfig m_config;
    TransceiverModel m_model;
    PtyMaster m_master;
    DeviceLink m_link;
    CommandFramer m_framer;
    std::deque<PendingSend> m_sends;
    std::string m_txPending;
    Clock::time_point m_txAnchor{};    // when the next byte starts on the line
    Clock::time_point m_txLineFree{};
    std::optional<Clock::time_point> m_rxAnchor;  // when the next incoming byte started
    Clock::time_point m_rxLineFree{};
    bool m_peerGone = false;
    Clock::time_point m_nextPeerCheck{};
    std::uint64_t m_masterGeneration = 0;
    std::optional<Clock::time_point> m_powerOffAt;
    std::optional<Clock::time_point> m_powerOnAt;
    std::optional<Clock::time_point> m_nextFrontPanel;
    std::mt19937_64 m_random;
    std::chrono::nanoseconds m_byteTime;
    Clock::time_point m_startTime{};
    std::string m_errorText;
    bool m_started = false;
    std::thread m_thread;

    WireLog m_log;
    std::atomic<int> m_wakeFd{-1};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_running{false};
};

}  // namespace tqm::sim

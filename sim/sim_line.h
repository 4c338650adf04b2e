#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "sim/command_framer.h"
#include "sim/device_link.h"
#include "sim/pty_master.h"
#include "sim/sim_config.h"
#include "sim/wire_log.h"

namespace tqm::sim {

// The radio's end of the serial line: the pseudo-terminal and its symlink, both
// directions paced at the line speed (11 bits a byte), and the faults of a real
// line: silence, a delay before each reply, noise, dropped bytes, the adapter
// pulled out. Every byte that crosses it goes into the wire log. It takes no lock:
// its owner serialises every call except wake().
class SimLine final {
public:
    using Clock = std::chrono::steady_clock;
    // Answers one command (";" included); an empty text for no answer.
    using Responder = std::function<std::string(std::string_view command)>;

    SimLine(const SimConfig& config, WireLog& log);
    ~SimLine();

    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    // Opens the pseudo-terminal, the symlink (when the configuration names one) and
    // the wake-up signal; the wire log counts its times from startTime. False, with
    // errorText() saying why, when any of them fails.
    bool open(Clock::time_point startTime);
    void close();
    // The adapter pulled out: the program's reads fail with EIO and the symlink
    // goes. False when it is out already.
    bool unplug();
    // A new pseudo-terminal (a new device path) takes the old one's place and the
    // symlink points at it. False while plugged in, before open(), or on failure.
    bool plugIn();
    // The slave device's path; empty while unplugged or closed.
    const std::string& devicePath() const { return m_master.slavePath(); }
    // The line speed the program set on its device, in baud; 0 when unknown.
    int deviceSpeed() const { return m_master.lineSpeed(); }
    const std::string& errorText() const { return m_errorText; }

    // Silence drops whatever was about to be sent and sends nothing until it ends.
    void setSilent(bool silent);
    bool isSilent() const { return m_silent; }
    void setReplyDelay(std::chrono::milliseconds delay) { m_replyDelay = std::max(delay, std::chrono::milliseconds::zero()); }
    // Chances per sent byte, 0..1; false, changing nothing, outside that range.
    bool setNoiseRate(double rate);
    bool setDropRate(double rate);

    // Sends bytes from readyAt on (nothing while silent).
    void send(Clock::time_point readyAt, std::string bytes);
    // Forgets everything not yet on the line.
    void dropOutput();

    // The line work due at `now`: queued bytes go out as their time comes, and each
    // command that arrives complete is answered by respond.
    void service(Clock::time_point now, const Responder& respond);
    // Blocks, with the lock released, until the line needs attention, the deadline
    // passes or wake() is called.
    void wait(std::unique_lock<std::mutex>& lock, std::optional<Clock::time_point> deadline);
    // Ends a wait early; callable from any thread without the lock.
    void wake();

private:
    struct PendingSend {
        Clock::time_point readyAt;
        std::string bytes;
    };

    bool fail(std::string text);
    void releaseDueSends(Clock::time_point now);
    std::string applyFaults(const std::string& bytes);
    void transmitDue(Clock::time_point now);
    void receiveDue(Clock::time_point now, const Responder& respond);
    void peerHungUp(Clock::time_point now);
    void resetLineState();
    std::optional<Clock::time_point> nextDeadline() const;
    void takePollResult(short revents, Clock::time_point now);
    std::chrono::milliseconds sinceStart(Clock::time_point t) const;

    WireLog& m_log;
    std::string m_linkPath;
    PtyMaster m_master;
    DeviceLink m_link;
    CommandFramer m_framer;
    std::deque<PendingSend> m_sends;
    std::string m_txPending;
    Clock::time_point m_txAnchor{};  // when the next byte starts on the line
    Clock::time_point m_txLineFree{};
    std::optional<Clock::time_point> m_rxAnchor;  // when the next incoming byte started
    Clock::time_point m_rxLineFree{};
    bool m_peerGone = false;
    Clock::time_point m_nextPeerCheck{};
    std::uint64_t m_masterGeneration = 0;
    bool m_silent;
    std::chrono::milliseconds m_replyDelay;
    double m_noiseRate;
    double m_dropRate;
    std::mt19937_64 m_random;
    std::chrono::nanoseconds m_byteTime;
    std::optional<Clock::time_point> m_startTime;  // set by open()
    std::string m_errorText;
    std::atomic<int> m_wakeFd{-1};
};

}  // namespace tqm::sim

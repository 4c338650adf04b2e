#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <random>
#include <string>

#include "sim/peq_value_table.h"
#include "sim/sim_config.h"

namespace tqm::sim {

class SimLine;
class TransceiverModel;

// The radio as its operator sees it while the simulator runs: the equalizer, the
// power switch, what it says it is. Every member may be called from any thread.
// The switch times and the random knob turns of the configuration are carried out
// here too, on the simulator's line thread.
class FrontPanel final {
public:
    using Clock = std::chrono::steady_clock;

    FrontPanel(const FrontPanel&) = delete;
    FrontPanel& operator=(const FrontPanel&) = delete;

    // 0 for an address outside the 27 values.
    int peValue(const PeAddress& address) const;
    // Stores a value as if it had always been so, without any report; false,
    // changing nothing, for a value out of range.
    bool setPeValue(const PeAddress& address, int value);
    // The operator turns a knob: the change is reported on the line while auto
    // information is on. False, changing nothing, out of range or with the power off.
    bool change(const PeAddress& address, int value);

    // Power off drops whatever the radio was about to send and forgets auto
    // information; power on starts with auto information off.
    void powerOff();
    void powerOn();
    bool isPoweredOn() const;
    bool autoInformation() const;

    // What the ID replies carry: a four-digit model code (false, changing nothing,
    // for anything else) and the three digits after it (clamped to 0..999).
    bool setModelCode(const std::string& code);
    void setIdSuffix(int suffix);

private:
    friend class SimulatedTransceiver;

    FrontPanel(const SimConfig& config, std::mutex& mutex, TransceiverModel& model, SimLine& line);

    // The rest is for the line thread, which holds the lock.
    // Sets the switch times and the first knob turn, counted from startTime.
    void schedule(Clock::time_point startTime);
    // Carries out what has fallen due by now.
    void runDue(Clock::time_point now);
    // When the next scheduled action falls due; empty when none is left.
    std::optional<Clock::time_point> nextDue() const;

    bool changeLocked(const PeAddress& address, int value);
    void powerOffLocked();
    void turnRandomKnob();

    std::mutex& m_mutex;
    TransceiverModel& m_model;
    SimLine& m_line;
    std::optional<double> m_powerOffAfter;  // seconds from the start, as configured
    std::optional<double> m_powerOnAfter;
    std::optional<double> m_turnPeriod;
    std::optional<Clock::time_point> m_powerOffAt;
    std::optional<Clock::time_point> m_powerOnAt;
    std::optional<Clock::time_point> m_nextTurn;
    std::mt19937_64 m_random;
};

}  // namespace tqm::sim

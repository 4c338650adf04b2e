#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "soak/box_answerer.h"
#include "soak/process_usage.h"

namespace tqm {

class CEqualizerDlg;

namespace sim {
class SimulatedTransceiver;
}

namespace soak {

// Rounds and failed rounds of one kind of fault.
struct FaultTally {
    const char* name = "";
    int rounds = 0;
    int failures = 0;
};

// Runs fault rounds against the running program: each round switches one fault on
// in the simulated transceiver, lets the program react, switches it off, connects
// and checks that the window shows the transceiver's 27 values. User-interface
// thread only; it runs the event loop while it waits.
class SoakDriver final {
public:
    // The last kind, a connect under line noise, runs only when asked for: a start-up
    // reply lost on the line leaves the window stuck with replies outstanding.
    static constexpr int kFaultKinds = 7;
    static constexpr int kDefaultFaultKinds = 6;

    SoakDriver(sim::SimulatedTransceiver& transceiver, CEqualizerDlg& window, std::uint64_t seed);

    // Runs only the named kinds ("silence,adapter-pulled"), in that order. False, changing
    // nothing, when a name is unknown or none is given.
    bool selectFaults(const std::string& names);

    // Blocks, running the event loop, until the time is up and the last round ended.
    void run(std::chrono::seconds duration);

    const std::array<FaultTally, kFaultKinds>& tallies() const { return m_tallies; }
    int failedChecks() const { return m_failedChecks; }
    std::size_t noticesAnswered() const { return m_answerer.answered(); }
    const std::vector<std::string>& noticeTexts() const { return m_answerer.texts(); }
    // Usage after the first round (the warm start) and the largest seen at a round's end.
    const ProcessUsage& warmUsage() const { return m_warm; }
    const ProcessUsage& peakUsage() const { return m_peak; }

private:
    using FaultRun = bool (SoakDriver::*)();
    struct Fault {
        const char* name;
        FaultRun run;
    };
    static const std::array<Fault, kFaultKinds> s_faults;

    bool lineNoise();
    bool silence();
    bool powerCycle();
    bool otherModel();
    bool adapterPulled();
    bool connectChurn();
    bool noisyConnect();

    void runRound(int round, int kind);
    bool settle();
    bool connectAndCheck();
    bool disconnect();
    bool valuesMatch();
    void randomiseRadio();
    void clickCom();
    bool connected() const;
    bool autoInformation() const;
    std::string linkState() const;
    int pendingReplies() const;
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline);
    void hold(std::chrono::milliseconds duration);
    bool fail(std::string reason);
    void checkUsage();

    sim::SimulatedTransceiver& m_sim;
    CEqualizerDlg& m_window;
    BoxAnswerer m_answerer;
    std::mt19937_64 m_random;
    std::array<FaultTally, kFaultKinds> m_tallies{};
    std::string m_reason;
    int m_failedChecks = 0;
    ProcessUsage m_warm;
    ProcessUsage m_peak;
    bool m_warmTaken = false;
    std::vector<int> m_kinds;
};

}  // namespace soak
}  // namespace tqm

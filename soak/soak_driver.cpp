#include "soak/soak_driver.h"

#include <algorithm>
#include <cstdio>

#include <QtCore/QElapsedTimer>
#include <QtTest/QTest>
#include <QtWidgets/QWidget>

#include "editor/ui/equalizer_dlg.h"
#include "editor/ui/control_id.h"
#include "protocol/trx_state.h"
#include "serial/sio_port.h"
#include "sim/peq_value_table.h"
#include "sim/simulated_transceiver.h"

namespace tqm::soak {
namespace {

using namespace std::chrono_literals;

constexpr double kLineFaultRate = 0.01;
constexpr int kChurnCycles = 5;
constexpr int kConnectAttempts = 3;
constexpr auto kConnectDeadline = 20s;
constexpr auto kSettleDeadline = 30s;
constexpr auto kSilence = 5s;

}  // namespace

const std::array<SoakDriver::Fault, SoakDriver::kFaultKinds> SoakDriver::s_faults = {{
    {"line-noise", &SoakDriver::lineNoise},
    {"silence", &SoakDriver::silence},
    {"power-cycle", &SoakDriver::powerCycle},
    {"other-model", &SoakDriver::otherModel},
    {"adapter-pulled", &SoakDriver::adapterPulled},
    {"connect-churn", &SoakDriver::connectChurn},
    {"noisy-connect", &SoakDriver::noisyConnect},
}};

SoakDriver::SoakDriver(sim::SimulatedTransceiver& transceiver, CEqualizerDlg& window,
                       std::uint64_t seed)
    : m_sim(transceiver), m_window(window), m_random(seed) {
    for (int kind = 0; kind < kFaultKinds; ++kind) m_tallies[kind].name = s_faults[kind].name;
    for (int kind = 0; kind < kDefaultFaultKinds; ++kind) m_kinds.push_back(kind);
}

bool SoakDriver::selectFaults(const std::string& names) {
    std::vector<int> kinds;
    std::size_t from = 0;
    while (from <= names.size()) {
        const std::size_t comma = std::min(names.find(',', from), names.size());
        const std::string name = names.substr(from, comma - from);
        const auto found = std::find_if(s_faults.begin(), s_faults.end(),
                                        [&name](const Fault& fault) { return name == fault.name; });
        if (found == s_faults.end()) return false;
        kinds.push_back(static_cast<int>(found - s_faults.begin()));
        from = comma + 1;
    }
    m_kinds = std::move(kinds);
    return true;
}

void SoakDriver::run(std::chrono::seconds duration) {
    QElapsedTimer clock;
    clock.start();
    if (!QTest::qWaitForWindowExposed(&m_window) ||
        !waitUntil([this] { return m_sim.monitor().commandCount("AI0;") > 0; }, 12s)) {
        fail("the window did not come up with the port open");
        ++m_failedChecks;
        return;
    }
    for (int round = 0; clock.elapsed() < std::chrono::milliseconds(duration).count(); ++round) {
        runRound(round, m_kinds[static_cast<std::size_t>(round) % m_kinds.size()]);
    }
}

void SoakDriver::runRound(int round, int kind) {
    FaultTally& tally = m_tallies[kind];
    ++tally.rounds;
    m_reason.clear();
    m_sim.monitor().clear();  // the simulator keeps every line of it in memory
    bool ok = settle();
    ok = (this->*s_faults[kind].run)() && ok;
    ok = settle() && ok;
    ok = connectAndCheck() && ok;
    if (m_random() % 3 == 0) ok = disconnect() && ok;
    if (!ok) {
        ++tally.failures;
        ++m_failedChecks;
    }
    checkUsage();
    std::printf("round %d %-15s %s  notices %zu  %s%s%s\n", round, tally.name, ok ? "ok  " : "FAIL",
                m_answerer.answered(), describe(readProcessUsage()).c_str(),
                ok ? "" : "  -- ", m_reason.c_str());
    std::fflush(stdout);
}

// Faults: each switches its fault on, gives the program time to react, and switches
// it off again. False when the program's reaction was wrong.

// The noise hits a connected link: the poll and the steady-state reads. A connect
// under noise is left out: a start-up reply lost on the line leaves the window
// connected with replies outstanding, where COM does nothing.
bool SoakDriver::lineNoise() {
    const bool ok = connected() || connectAndCheck();
    m_sim.line().setNoiseRate(kLineFaultRate);
    m_sim.line().setDropRate(kLineFaultRate);
    hold(6s);
    m_sim.line().setNoiseRate(0.0);
    m_sim.line().setDropRate(0.0);
    return ok;
}

bool SoakDriver::silence() {
    QElapsedTimer clock;
    clock.start();
    const bool wasConnected = connected();
    m_sim.line().setSilent(true);
    bool ok = true;
    if (wasConnected) {
        // The reply watchdog takes the window offline.
        ok = waitUntil([this] { return !connected(); }, 12s) || fail("still connected 12 s into the silence");
    } else {
        clickCom();
    }
    hold(std::max(std::chrono::milliseconds(0), std::chrono::milliseconds(kSilence) -
                                                     std::chrono::milliseconds(clock.elapsed())));
    m_sim.line().setSilent(false);
    return ok;
}

bool SoakDriver::powerCycle() {
    m_sim.radio().powerOff();
    if (!connected()) clickCom();
    hold(3s);
    m_sim.radio().powerOn();
    return true;
}

bool SoakDriver::otherModel() {
    bool ok = disconnect() && settle();
    const std::size_t notices = m_answerer.answered();
    m_sim.radio().setModelCode("4701");
    clickCom();
    ok = (waitUntil([&] { return m_answerer.answered() > notices && m_window.connectingBox() == nullptr; }, 15s) ||
          fail("no failure notice for another model")) && ok;
    ok = ((settle() && !connected()) || fail("connected to another model")) && ok;
    m_sim.radio().setModelCode("4700");
    return ok;
}

bool SoakDriver::adapterPulled() {
    if (!m_sim.line().unplug()) return fail("the simulator did not close its side");
    if (!connected()) clickCom();
    hold(3s);
    return m_sim.line().plugIn() || fail("the simulator did not reopen its side");
}

bool SoakDriver::connectChurn() {
    bool ok = true;
    for (int cycle = 0; cycle < kChurnCycles; ++cycle) {
        ok = connectAndCheck() && ok;
        ok = disconnect() && ok;
    }
    return ok;
}

// COM pressed with line noise on: the 27 start-up replies must all come in, or the
// window must give up. When it is stuck, silence makes the reply watchdog end the link.
bool SoakDriver::noisyConnect() {
    bool ok = disconnect() && settle();
    m_sim.line().setNoiseRate(kLineFaultRate);
    m_sim.line().setDropRate(kLineFaultRate);
    const std::size_t notices = m_answerer.answered();
    clickCom();
    const bool ended = waitUntil([&] { return (connected() && pendingReplies() == 0) ||
                                              m_answerer.answered() > notices; },
                                 kConnectDeadline);
    m_sim.line().setNoiseRate(0.0);
    m_sim.line().setDropRate(0.0);
    if (ended) return ok;
    ok = fail("start-up reload stuck (" + linkState() + ")");
    if (waitUntil([this] { return pendingReplies() == 0; }, 10s)) return ok;
    m_sim.line().setSilent(true);
    const bool recovered = waitUntil([this] { return !connected(); }, 12s);
    m_sim.line().setSilent(false);
    return recovered ? ok : fail("silence did not end the stuck link");
}

// Waits until no box is open, no start-up reply is outstanding and the link's auto
// information agrees with the window's connected state.
bool SoakDriver::settle() {
    return waitUntil([this] { return m_window.connectingBox() == nullptr && !BoxAnswerer::boxOpen() &&
                                     pendingReplies() == 0 && autoInformation() == connected(); },
                     kSettleDeadline) ||
           fail("did not settle: pending replies " + std::to_string(pendingReplies()) +
                (m_window.connectingBox() ? ", connecting box open" : "") + ", auto information " +
                (autoInformation() ? "on" : "off") + " (" + linkState() + ")");
}

// Connects with values the window has not seen and checks all 27. A failed attempt
// fails the check; later attempts only bring the run back on track.
bool SoakDriver::connectAndCheck() {
    bool ok = true;
    for (int attempt = 1; attempt <= kConnectAttempts; ++attempt) {
        if (!disconnect() || !settle()) {
            ok = false;
            continue;
        }
        randomiseRadio();
        const std::size_t notices = m_answerer.answered();
        clickCom();
        const bool up = waitUntil([&] { return (connected() && pendingReplies() == 0) ||
                                               m_answerer.answered() > notices; },
                                  kConnectDeadline);
        if (up && connected() && pendingReplies() == 0) {
            return valuesMatch() && ok;
        }
        ok = fail("connect attempt " + std::to_string(attempt) + " failed" +
                  (m_answerer.answered() > notices ? ": " + m_answerer.texts().back() : ": timed out") + " (" +
                  linkState() + ")");
        settle();
    }
    return false;
}

bool SoakDriver::disconnect() {
    if (!connected()) return true;
    if (!waitUntil([this] { return pendingReplies() == 0; }, kSettleDeadline)) {
        return fail("connected with " + std::to_string(pendingReplies()) + " start-up replies outstanding");
    }
    // The switch-off direction is decided by the last auto-information state the
    // command thread saw; a press that lands while a refused switch-on is being
    // repeated switches on again. The operator presses once more, and so does the soak.
    for (int press = 0; press < 2; ++press) {
        clickCom();
        if (waitUntil([this] { return !connected(); }, kConnectDeadline / 2)) return true;
        std::fprintf(stderr, "soak: COM press %d did not disconnect (%s)\n", press + 1, linkState().c_str());
    }
    return fail("COM did not disconnect (" + linkState() + ")");
}

bool SoakDriver::valuesMatch() {
    for (std::size_t i = 0; i < sim::kPeCount; ++i) {
        const sim::PeAddress address = sim::peAddressAt(i);
        const int shown = m_window.model().shown(address.set)[static_cast<std::size_t>(address.band * 3 + address.param)];
        const int radio = m_sim.radio().peValue(address);
        if (shown != radio) {
            return fail("value " + std::to_string(i) + ": window " + std::to_string(shown) + ", transceiver " +
                        std::to_string(radio));
        }
    }
    return true;
}

void SoakDriver::randomiseRadio() {
    for (std::size_t i = 0; i < sim::kPeCount; ++i) {
        const sim::PeAddress address = sim::peAddressAt(i);
        const sim::PeRange range = sim::peRange(address);
        std::uniform_int_distribution<int> value(range.min, range.max);
        m_sim.radio().setPeValue(address, value(m_random));
    }
}

// Press and release on the COM button. The release may run the connecting box and
// a notice modally before it returns.
void SoakDriver::clickCom() {
    auto* button = m_window.findChild<QWidget*>(controlName(ControlId::ComButton));
    if (button == nullptr) return;
    const QPoint centre = button->mapTo(&m_window, button->rect().center());
    QTest::mousePress(m_window.windowHandle(), Qt::LeftButton, {}, centre);
    QTest::mouseRelease(m_window.windowHandle(), Qt::LeftButton, {}, centre);
}

bool SoakDriver::connected() const { return m_window.model().connected(); }
// Both sides of the link in a few words, for a failure report.
std::string SoakDriver::linkState() const {
    return std::string(connected() ? "window connected" : "window offline") + ", pending " +
           std::to_string(pendingReplies()) + ", state AI " +
           std::to_string(Trx_StateGuard().get(StateField::AutoInfo)) + ", shadow AI " +
           std::to_string(Trx_ShadowGuard().autoInfo()) + ", port " + (Sio_Port().isOpen() ? "open" : "closed") +
           ", radio AI " + (m_sim.radio().autoInformation() ? "on" : "off") + ", radio power " +
           (m_sim.radio().isPoweredOn() ? "on" : "off");
}

bool SoakDriver::autoInformation() const { return Trx_StateGuard().get(StateField::AutoInfo) != 0; }
int SoakDriver::pendingReplies() const { return m_window.model().pendingReplies(); }

bool SoakDriver::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > deadline.count()) return false;
        QTest::qWait(20);
    }
    return true;
}

void SoakDriver::hold(std::chrono::milliseconds duration) { QTest::qWait(static_cast<int>(duration.count())); }

bool SoakDriver::fail(std::string reason) {
    if (!m_reason.empty()) m_reason += "; ";
    m_reason += reason;
    return false;
}

void SoakDriver::checkUsage() {
    const ProcessUsage now = readProcessUsage();
    if (!m_warmTaken) {
        m_warm = now;
        m_peak = now;
        m_warmTaken = true;
        return;
    }
    m_peak.threads = std::max(m_peak.threads, now.threads);
    m_peak.fds = std::max(m_peak.fds, now.fds);
    m_peak.rssKb = std::max(m_peak.rssKb, now.rssKb);
}

}  // namespace tqm::soak

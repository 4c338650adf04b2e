#include "sim/front_panel.h"

#include <algorithm>

#include "sim/sim_line.h"
#include "sim/transceiver_model.h"

namespace tqm::sim {
namespace {

FrontPanel::Clock::duration seconds(double s) {
    return std::chrono::duration_cast<FrontPanel::Clock::duration>(std::chrono::duration<double>(s));
}

}  // namespace

FrontPanel::FrontPanel(const SimConfig& config, std::mutex& mutex, TransceiverModel& model, SimLine& line)
    : m_mutex(mutex),
      m_model(model),
      m_line(line),
      m_powerOffAfter(config.powerOffAt),
      m_powerOnAfter(config.powerOnAt),
      m_turnPeriod(config.frontPanelPeriod),
      m_random(seedFor(config)) {}

int FrontPanel::peValue(const PeAddress& address) const {
    std::lock_guard lock(m_mutex);
    return isValidPeAddress(address) ? m_model.peValue(address) : 0;
}

bool FrontPanel::setPeValue(const PeAddress& address, int value) {
    std::lock_guard lock(m_mutex);
    return m_model.setPeValue(address, value);
}

bool FrontPanel::change(const PeAddress& address, int value) {
    {
        std::lock_guard lock(m_mutex);
        if (!changeLocked(address, value)) {
            return false;
        }
    }
    m_line.wake();
    return true;
}

void FrontPanel::powerOff() {
    std::lock_guard lock(m_mutex);
    powerOffLocked();
}

void FrontPanel::powerOn() {
    std::lock_guard lock(m_mutex);
    m_model.powerOn();
}

bool FrontPanel::isPoweredOn() const {
    std::lock_guard lock(m_mutex);
    return m_model.isPoweredOn();
}

bool FrontPanel::autoInformation() const {
    std::lock_guard lock(m_mutex);
    return m_model.autoInformation();
}

bool FrontPanel::setModelCode(const std::string& code) {
    if (!isValidModelCode(code)) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_model.setModelCode(code);
    return true;
}

void FrontPanel::setIdSuffix(int suffix) {
    std::lock_guard lock(m_mutex);
    m_model.setIdSuffix(std::clamp(suffix, 0, 999));
}

void FrontPanel::schedule(Clock::time_point startTime) {
    const auto after = [startTime](const std::optional<double>& s) -> std::optional<Clock::time_point> {
        return s ? std::optional(startTime + seconds(*s)) : std::nullopt;
    };
    m_powerOffAt = after(m_powerOffAfter);
    m_powerOnAt = after(m_powerOnAfter);
    m_nextTurn = after(m_turnPeriod);
}

void FrontPanel::runDue(Clock::time_point now) {
    // The power switch, in the order its times fall due.
    for (int pass = 0; pass < 2; ++pass) {
        const bool offDue = m_powerOffAt && *m_powerOffAt <= now;
        const bool onDue = m_powerOnAt && *m_powerOnAt <= now;
        if (offDue && (!onDue || *m_powerOffAt <= *m_powerOnAt)) {
            m_powerOffAt.reset();
            powerOffLocked();
        } else if (onDue) {
            m_powerOnAt.reset();
            m_model.powerOn();
        }
    }
    if (m_nextTurn && *m_nextTurn <= now) {
        m_nextTurn = std::max(*m_nextTurn + seconds(*m_turnPeriod), now);
        turnRandomKnob();
    }
}

std::optional<FrontPanel::Clock::time_point> FrontPanel::nextDue() const {
    std::optional<Clock::time_point> due;
    for (const auto& t : {m_powerOffAt, m_powerOnAt, m_nextTurn}) {
        if (t && (!due || *t < *due)) {
            due = t;
        }
    }
    return due;
}

bool FrontPanel::changeLocked(const PeAddress& address, int value) {
    std::string report;
    if (!m_model.frontPanelChange(address, value, report)) {
        return false;
    }
    if (!report.empty()) {
        m_line.send(Clock::now(), std::move(report));
    }
    return true;
}

void FrontPanel::powerOffLocked() {
    m_model.powerOff();
    m_line.dropOutput();
}

void FrontPanel::turnRandomKnob() {
    if (m_line.isSilent() || !m_model.isPoweredOn() || !m_model.autoInformation()) {
        return;
    }
    const PeAddress address = peAddressAt(std::uniform_int_distribution<std::size_t>(0, kPeCount - 1)(m_random));
    const PeRange range = peRange(address);
    // A value other than the current one: step forward by 1..(span - 1), wrapping.
    const int span = range.max - range.min + 1;
    const int offset = std::uniform_int_distribution<int>(1, span - 1)(m_random);
    changeLocked(address, range.min + (m_model.peValue(address) - range.min + offset) % span);
}

}  // namespace tqm::sim

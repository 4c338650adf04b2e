#include "sim/simulated_transceiver.h"

#include <pthread.h>

namespace tqm::sim {
namespace {

// Why the configuration cannot run; empty when it can.
std::string configProblem(const SimConfig& c) {
    if (!isSupportedBaud(c.baud)) {
        return "unsupported line speed " + std::to_string(c.baud);
    }
    if (!isValidModelCode(c.modelCode)) {
        return "the model code must be four digits";
    }
    if (c.idSuffix < 0 || c.idSuffix > 999 || c.replyDelay.count() < 0 || c.noiseRate < 0 || c.noiseRate > 1 ||
        c.dropRate < 0 || c.dropRate > 1 || (c.frontPanelPeriod && *c.frontPanelPeriod <= 0)) {
        return "a setting is out of its range";
    }
    return {};
}

}  // namespace

SimulatedTransceiver::SimulatedTransceiver(SimConfig config)
    : m_config(std::move(config)),
      m_model(m_config),
      m_line(m_config, m_log),
      m_radio(m_config, m_mutex, m_model, m_line),
      m_faults(m_mutex, m_model, m_line),
      m_monitor(m_log, [this] {
          std::lock_guard lock(m_mutex);
          return m_line.deviceSpeed();
      }) {}

SimulatedTransceiver::~SimulatedTransceiver() { stop(); }

bool SimulatedTransceiver::start() {
    std::lock_guard lock(m_mutex);
    m_errorText = m_started ? "already started" : configProblem(m_config);
    if (m_errorText.empty() && !m_config.logPath.empty() && !m_log.openFile(m_config.logPath, m_config.onLogFailure)) {
        m_errorText = "cannot write the wire log: " + m_log.fileError();
    }
    if (!m_errorText.empty()) {
        return false;
    }
    const SimLine::Clock::time_point startTime = SimLine::Clock::now();
    if (!m_line.open(startTime)) {
        return false;
    }
    m_radio.schedule(startTime);
    m_started = true;
    m_thread = std::thread([this] { run(); });
    pthread_setname_np(m_thread.native_handle(), "sim-line");
    return true;
}

void SimulatedTransceiver::stop() {
    m_stopRequested.store(true, std::memory_order_release);
    m_line.wake();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    std::lock_guard lock(m_mutex);
    m_line.close();
    m_log.closeFile();
}

std::string SimulatedTransceiver::errorText() const {
    std::lock_guard lock(m_mutex);
    return m_errorText.empty() ? m_line.errorText() : m_errorText;
}

std::string SimulatedTransceiver::devicePath() const {
    std::lock_guard lock(m_mutex);
    return m_line.devicePath();
}

void SimulatedTransceiver::run() {
    const SimLine::Responder answer = [this](std::string_view command) { return m_model.handle(command); };
    std::unique_lock lock(m_mutex);
    while (!m_stopRequested.load(std::memory_order_acquire)) {
        const SimLine::Clock::time_point now = SimLine::Clock::now();
        m_radio.runDue(now);
        m_line.service(now, answer);
        m_line.wait(lock, m_radio.nextDue());
    }
}

}  // namespace tqm::sim

#include "sim/simulated_transceiver.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tqm::sim {
namespace {

using namespace std::chrono_literals;

// How often a hung-up line (no program has the device open) is looked at again.
constexpr auto kPeerCheckInterval = 20ms;
// How long a write that found the line's buffer full waits before it tries again.
constexpr auto kWriteRetry = 5ms;
constexpr std::size_t kReadChunk = 256;

std::chrono::nanoseconds seconds(double s) {
    return std::chrono::nanoseconds(static_cast<std::int64_t>(s * 1e9));
}

std::uint64_t freshSeed() {
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

}  // namespace

SimulatedTransceiver::SimulatedTransceiver(SimConfig config)
    : m_config(std::move(config)),
      m_model(m_config),
      m_random(m_config.seed.value_or(freshSeed())),
      m_byteTime(byteTime(isSupportedBaud(m_config.baud) ? m_config.baud : 4800)) {}

SimulatedTransceiver::~SimulatedTransceiver() { stop(); }

bool SimulatedTransceiver::start() {
    std::lock_guard lock(m_mutex);
    if (m_started) {
        return fail("already started");
    }
    const SimConfig& c = m_config;
    if (!isSupportedBaud(c.baud)) {
        return fail("unsupported line speed " + std::to_string(c.baud));
    }
    if (!isValidModelCode(c.modelCode)) {
        return fail("the model code must be four digits");
    }
    if (c.idSuffix < 0 || c.idSuffix > 999 || c.replyDelay.count() < 0 || c.noiseRate < 0 || c.noiseRate > 1 ||
        c.dropRate < 0 || c.dropRate > 1 || (c.frontPanelPeriod && *c.frontPanelPeriod <= 0)) {
        return fail("a setting is out of its range");
    }
    if (!c.logPath.empty() && !m_log.openFile(c.logPath, c.onLogFailure)) {
        return fail("cannot write the wire log: " + m_log.fileError());
    }
    if (!m_master.open()) {
        return fail(m_master.errorText());
    }
    if (!c.linkPath.empty() && !m_link.publish(c.linkPath, m_master.slavePath())) {
        m_master.close();
        return fail(m_link.errorText());
    }
    m_wakeFd.store(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC), std::memory_order_relaxed);
    if (m_wakeFd.load(std::memory_order_relaxed) < 0) {
        m_link.remove();
        m_master.close();
        return fail("eventfd failed");
    }
    m_startTime = Clock::now();
    if (c.powerOffAt) {
        m_powerOffAt = m_startTime + seconds(*c.powerOffAt);
    }
    if (c.powerOnAt) {
        m_powerOnAt = m_startTime + seconds(*c.powerOnAt);
    }
    if (c.frontPanelPeriod) {
        m_nextFrontPanel = m_startTime + seconds(*c.frontPanelPeriod);
    }
    m_started = true;
    m_running.store(true, std::memory_order_release);
    m_thread = std::thread([this] { run(); });
    pthread_setname_np(m_thread.native_handle(), "sim-line");
    return true;
}

void SimulatedTransceiver::stop() {
    m_stopRequested.store(true, std::memory_order_release);
    wake();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    std::lock_guard lock(m_mutex);
    m_link.remove();  // first: the link never leads to a number the kernel hands out again
    m_master.close();
    m_log.closeFile();
    const int wakeFd = m_wakeFd.exchange(-1, std::memory_order_relaxed);
    if (wakeFd >= 0) {
        ::close(wakeFd);
    }
    m_running.store(false, std::memory_order_release);
}

std::string SimulatedTransceiver::errorText() const {
    std::lock_guard lock(m_mutex);
    return m_errorText;
}

std::string SimulatedTransceiver::devicePath() const {
    std::lock_guard lock(m_mutex);
    return m_master.slavePath();
}

std::string SimulatedTransceiver::linkPath() const {
    std::lock_guard lock(m_mutex);
    return m_config.linkPath;
}

int SimulatedTransceiver::peValue(const PeAddress& address) const {
    std::lock_guard lock(m_mutex);
    return isValidPeAddress(address) ? m_model.peValue(address) : 0;
}

bool SimulatedTransceiver::setPeValue(const PeAddress& address, int value) {
    std::lock_guard lock(m_mutex);
    return m_model.setPeValue(address, value);
}

bool SimulatedTransceiver::frontPanelChange(const PeAddress& address, int value) {
    std::string report;
    {
        std::lock_guard lock(m_mutex);
        if (!m_model.frontPanelChange(address, value, report)) {
            return false;
        }
        if (!report.empty()) {
            queueSend(Clock::now(), std::move(report));
        }
    }
    wake();
    return true;
}

std::optional<int> SimulatedTransceiver::menuValue(int number) const {
    std::lock_guard lock(m_mutex);
    return m_model.menuValue(number);
}

bool SimulatedTransceiver::setMenuValue(int number, int value) {
    std::lock_guard lock(m_mutex);
    return m_model.setMenuValue(number, value);
}

int SimulatedTransceiver::frequency(Vfo vfo) const {
    std::lock_guard lock(m_mutex);
    return m_model.frequency(vfo);
}

bool SimulatedTransceiver::setFrequency(Vfo vfo, int hertz) {
    std::lock_guard lock(m_mutex);
    return m_model.setFrequency(vfo, hertz);
}

void SimulatedTransceiver::powerOff() {
    std::lock_guard lock(m_mutex);
    m_model.powerOff();
    dropOutput();
}

void SimulatedTransceiver::powerOn() {
    std::lock_guard lock(m_mutex);
    m_model.powerOn();
}

bool SimulatedTransceiver::isPoweredOn() const {
    std::lock_guard lock(m_mutex);
    return m_model.isPoweredOn();
}

bool SimulatedTransceiver::autoInformation() const {
    std::lock_guard lock(m_mutex);
    return m_model.autoInformation();
}

void SimulatedTransceiver::setSilent(bool silent) {
    std::lock_guard lock(m_mutex);
    m_config.silent = silent;
    if (silent) {
        dropOutput();
    }
}

bool SimulatedTransceiver::setModelCode(const std::string& code) {
    if (!isValidModelCode(code)) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_config.modelCode = code;
    m_model.setModelCode(code);
    return true;
}

void SimulatedTransceiver::setIdSuffix(int suffix) {
    std::lock_guard lock(m_mutex);
    m_config.idSuffix = std::clamp(suffix, 0, 999);
    m_model.setIdSuffix(m_config.idSuffix);
}

void SimulatedTransceiver::setRefuseAi(bool refuse) {
    std::lock_guard lock(m_mutex);
    m_config.refuseAi = refuse;
    m_model.setRefuseAi(refuse);
}

void SimulatedTransceiver::setReplyDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(m_mutex);
    m_config.replyDelay = std::max(delay, std::chrono::milliseconds(0));
}

bool SimulatedTransceiver::setNoiseRate(double rate) {
    if (!(rate >= 0.0 && rate <= 1.0)) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_config.noiseRate = rate;
    return true;
}

bool SimulatedTransceiver::setDropRate(double rate) {
    if (!(rate >= 0.0 && rate <= 1.0)) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_config.dropRate = rate;
    return true;
}

bool SimulatedTransceiver::closeMaster() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_master.isOpen()) {
            return false;
        }
        m_link.remove();  // first: the link never leads to a number the kernel hands out again
        m_master.close();
        ++m_masterGeneration;
        resetLineState();
    }
    wake();
    return true;
}

bool SimulatedTransceiver::reopenMaster() {
    {
        std::lock_guard lock(m_mutex);
        if (m_master.isOpen() || !m_started) {
            return false;
        }
        if (!m_master.open()) {
            return fail(m_master.errorText());
        }
        ++m_masterGeneration;
        resetLineState();
        if (!m_config.linkPath.empty() && !m_link.publish(m_config.linkPath, m_master.slavePath())) {
            return fail(m_link.errorText());
        }
    }
    wake();
    return true;
}

bool SimulatedTransceiver::isMasterOpen() const {
    std::lock_guard lock(m_mutex);
    return m_master.isOpen();
}

std::size_t SimulatedTransceiver::commandCount(std::string_view command) const {
    return m_log.count(WireDirection::ToTransceiver, command);
}

bool SimulatedTransceiver::waitForCommand(std::string_view command, std::chrono::milliseconds timeout,
                                          std::size_t occurrences) const {
    return m_log.waitFor(WireDirection::ToTransceiver, command, timeout, occurrences);
}

bool SimulatedTransceiver::waitForReply(std::string_view reply, std::chrono::milliseconds timeout,
                                        std::size_t occurrences) const {
    return m_log.waitFor(WireDirection::FromTransceiver, reply, timeout, occurrences);
}

// --- the line thread -------------------------------------------------------------

void SimulatedTransceiver::run() {
    std::unique_lock lock(m_mutex);
    while (!m_stopRequested.load(std::memory_order_acquire)) {
        const Clock::time_point now = Clock::now();
        runSchedule(now);
        releaseDueSends(now);
        transmitDue(now);
        receiveDue(now);
        pollLine(lock);
    }
}

void SimulatedTransceiver::runSchedule(Clock::time_point now) {
    // Power events in the order they fall due.
    for (int pass = 0; pass < 2; ++pass) {
        const bool offDue = m_powerOffAt && *m_powerOffAt <= now;
        const bool onDue = m_powerOnAt && *m_powerOnAt <= now;
        if (offDue && (!onDue || *m_powerOffAt <= *m_powerOnAt)) {
            m_powerOffAt.reset();
            m_model.powerOff();
            dropOutput();
        } else if (onDue) {
            m_powerOnAt.reset();
            m_model.powerOn();
        }
    }
    if (m_nextFrontPanel && *m_nextFrontPanel <= now) {
        const auto period = std::chrono::duration_cast<Clock::duration>(seconds(*m_config.frontPanelPeriod));
        m_nextFrontPanel = std::max(*m_nextFrontPanel + period, now);
        frontPanelTick();
    }
}

void SimulatedTransceiver::frontPanelTick() {
    if (m_config.silent || !m_model.isPoweredOn() || !m_model.autoInformation()) {
        return;
    }
    const PeAddress address = peAddressAt(std::uniform_int_distribution<std::size_t>(0, kPeCount - 1)(m_random));
    const PeRange range = peRange(address);
    // A value other than the current one: step forward by 1..(span - 1), wrapping.
    const int span = range.max - range.min + 1;
    const int offset = std::uniform_int_distribution<int>(1, span - 1)(m_random);
    const int value = range.min + (m_model.peValue(address) - range.min + offset) % span;
    std::string report;
    if (m_model.frontPanelChange(address, value, report) && !report.empty()) {
        queueSend(Clock::now(), std::move(report));
    }
}

void SimulatedTransceiver::queueSend(Clock::time_point readyAt, std::string bytes) {
    if (m_config.silent) {
        return;
    }
    m_sends.push_back(PendingSend{readyAt, std::move(bytes)});
}

void SimulatedTransceiver::releaseDueSends(Clock::time_point now) {
    while (!m_sends.empty() && m_sends.front().readyAt <= now) {
        std::string wire = applyLineFaults(m_sends.front().bytes);
        m_sends.pop_front();
        if (wire.empty()) {
            continue;
        }
        m_log.append(sinceStart(now), WireDirection::FromTransceiver, wire);
        if (m_txPending.empty()) {
            m_txAnchor = std::max(now, m_txLineFree);
        }
        m_txPending += wire;
    }
}

std::string SimulatedTransceiver::applyLineFaults(const std::string& bytes) {
    if (m_config.noiseRate <= 0 && m_config.dropRate <= 0) {
        return bytes;
    }
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::string wire;
    for (char c : bytes) {
        if (m_config.noiseRate > 0 && chance(m_random) < m_config.noiseRate) {
            wire += static_cast<char>(anyByte(m_random));
        }
        if (m_config.dropRate > 0 && chance(m_random) < m_config.dropRate) {
            continue;
        }
        wire += c;
    }
    return wire;
}

void SimulatedTransceiver::transmitDue(Clock::time_point now) {
    if (m_txPending.empty() || !m_master.isOpen()) {
        return;
    }
    if (m_peerGone) {
        m_txPending.clear();  // nobody listens: the bytes are lost on the line
        m_txLineFree = now;
        return;
    }
    if (now < m_txAnchor + m_byteTime) {
        return;
    }
    const auto due = static_cast<std::size_t>((now - m_txAnchor) / m_byteTime);
    const std::size_t count = std::min(due, m_txPending.size());
    const ssize_t written = ::write(m_master.fd(), m_txPending.data(), count);
    if (written > 0) {
        m_txPending.erase(0, static_cast<std::size_t>(written));
        m_txAnchor += m_byteTime * written;
        if (m_txPending.empty()) {
            m_txLineFree = m_txAnchor;
        }
    } else if (written < 0 && errno == EAGAIN) {
        m_txAnchor = now + kWriteRetry - m_byteTime;  // the line stalls; try again shortly
    } else if (written < 0 && errno != EINTR) {
        peerHungUp(now);
    }
}

void SimulatedTransceiver::receiveDue(Clock::time_point now) {
    if (!m_rxAnchor || !m_master.isOpen() || now < *m_rxAnchor + m_byteTime) {
        return;
    }
    const auto allowed = std::min(static_cast<std::size_t>((now - *m_rxAnchor) / m_byteTime), kReadChunk);
    char buffer[kReadChunk];
    const ssize_t got = ::read(m_master.fd(), buffer, allowed);
    if (got < 0 && errno != EAGAIN && errno != EINTR) {
        peerHungUp(now);
        return;
    }
    const auto count = static_cast<std::size_t>(std::max<ssize_t>(got, 0));
    *m_rxAnchor += m_byteTime * count;
    if (count < allowed) {
        m_rxLineFree = *m_rxAnchor;  // everything waiting has been taken
        m_rxAnchor.reset();
    }
    if (count > 0) {
        std::vector<std::string> commands;
        m_framer.feed(buffer, count, commands);
        handleCommands(now, commands);
    }
}

void SimulatedTransceiver::handleCommands(Clock::time_point now, std::vector<std::string>& commands) {
    for (std::string& command : commands) {
        std::string reply = m_model.handle(command);
        m_log.append(sinceStart(now), WireDirection::ToTransceiver, std::move(command));
        if (!reply.empty()) {
            queueSend(now + m_config.replyDelay, std::move(reply));
        }
    }
}

void SimulatedTransceiver::peerHungUp(Clock::time_point now) {
    m_peerGone = true;
    m_nextPeerCheck = now + kPeerCheckInterval;
    m_txPending.clear();
    m_txLineFree = now;
    m_rxAnchor.reset();
    m_framer.reset();
}

void SimulatedTransceiver::dropOutput() {
    m_sends.clear();
    m_txPending.clear();
}

void SimulatedTransceiver::resetLineState() {
    dropOutput();
    m_framer.reset();
    m_rxAnchor.reset();
    m_peerGone = false;
}

std::optional<SimulatedTransceiver::Clock::time_point> SimulatedTransceiver::nextDeadline() const {
    std::optional<Clock::time_point> deadline;
    const auto consider = [&deadline](Clock::time_point t) { deadline = deadline ? std::min(*deadline, t) : t; };
    if (m_rxAnchor) {
        consider(*m_rxAnchor + m_byteTime);
    }
    if (!m_txPending.empty()) {
        consider(m_txAnchor + m_byteTime);
    }
    if (!m_sends.empty()) {
        consider(m_sends.front().readyAt);
    }
    for (const auto& t : {m_powerOffAt, m_powerOnAt, m_nextFrontPanel}) {
        if (t) {
            consider(*t);
        }
    }
    if (m_peerGone && m_master.isOpen()) {
        consider(m_nextPeerCheck);
    }
    return deadline;
}

void SimulatedTransceiver::pollLine(std::unique_lock<std::mutex>& lock) {
    const Clock::time_point before = Clock::now();
    const std::optional<Clock::time_point> deadline = nextDeadline();
    // The master is not watched while incoming bytes are being timed (they are read
    // at the deadline), nor while no program holds the device: a hung-up master
    // reports POLLHUP at once, so it is only looked at every kPeerCheckInterval.
    const bool watchMaster = m_master.isOpen() && !m_rxAnchor && (!m_peerGone || before >= m_nextPeerCheck);
    const int wakeFd = m_wakeFd.load(std::memory_order_relaxed);
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {watchMaster ? m_master.fd() : -1, POLLIN, 0}};
    const std::uint64_t generation = m_masterGeneration;
    timespec timeout{};
    timespec* timeoutPointer = nullptr;
    if (deadline) {
        const auto wait = std::max(std::chrono::nanoseconds(0), std::chrono::nanoseconds(*deadline - before));
        timeout.tv_sec = static_cast<time_t>(wait.count() / 1'000'000'000);
        timeout.tv_nsec = static_cast<long>(wait.count() % 1'000'000'000);
        timeoutPointer = &timeout;
    }

    lock.unlock();
    const int ready = ppoll(fds, 2, timeoutPointer, nullptr);
    if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
        std::uint64_t counter = 0;
        [[maybe_unused]] const ssize_t drained = ::read(wakeFd, &counter, sizeof counter);
    }
    lock.lock();

    if (!watchMaster || generation != m_masterGeneration) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if ((fds[1].revents & POLLIN) != 0) {
        // What the program wrote before it closed the device is still taken in.
        m_peerGone = false;
        m_rxAnchor = std::max(now, m_rxLineFree);  // the first byte starts on the line now
    } else if ((fds[1].revents & (POLLHUP | POLLERR)) != 0) {
        peerHungUp(now);
    } else {
        m_peerGone = false;
    }
}

std::chrono::milliseconds SimulatedTransceiver::sinceStart(Clock::time_point t) const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t - m_startTime);
}

void SimulatedTransceiver::wake() {
    const int fd = m_wakeFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
    }
}

bool SimulatedTransceiver::fail(std::string text) {
    m_errorText = std::move(text);
    return false;
}

}  // namespace tqm::sim

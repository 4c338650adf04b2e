#include "sim/sim_line.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace tqm::sim {
namespace {

using namespace std::chrono_literals;

// How often a hung-up line (no program has the device open) is looked at again.
constexpr auto kPeerCheckInterval = 20ms;
// How long a write that found the line's buffer full waits before it tries again.
constexpr auto kWriteRetry = 5ms;
constexpr std::size_t kReadChunk = 256;

bool isRate(double rate) { return rate >= 0.0 && rate <= 1.0; }

}  // namespace

SimLine::SimLine(const SimConfig& config, WireLog& log)
    : m_log(log),
      m_linkPath(config.linkPath),
      m_silent(config.silent),
      m_replyDelay(config.replyDelay),
      m_noiseRate(config.noiseRate),
      m_dropRate(config.dropRate),
      m_random(seedFor(config)),
      m_byteTime(byteTime(isSupportedBaud(config.baud) ? config.baud : 4800)) {}

SimLine::~SimLine() { close(); }

bool SimLine::open(Clock::time_point startTime) {
    if (!m_master.open()) {
        return fail(m_master.errorText());
    }
    if (!m_linkPath.empty() && !m_link.publish(m_linkPath, m_master.slavePath())) {
        m_master.close();
        return fail(m_link.errorText());
    }
    m_wakeFd.store(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC), std::memory_order_relaxed);
    if (m_wakeFd.load(std::memory_order_relaxed) < 0) {
        m_link.remove();
        m_master.close();
        return fail("eventfd failed");
    }
    m_startTime = startTime;
    return true;
}

void SimLine::close() {
    m_link.remove();  // first: the link never leads to a number the kernel hands out again
    m_master.close();
    const int wakeFd = m_wakeFd.exchange(-1, std::memory_order_relaxed);
    if (wakeFd >= 0) {
        ::close(wakeFd);
    }
}

bool SimLine::unplug() {
    if (!m_master.isOpen()) {
        return false;
    }
    m_link.remove();  // first, as in close()
    m_master.close();
    ++m_masterGeneration;
    resetLineState();
    return true;
}

bool SimLine::plugIn() {
    if (m_master.isOpen() || !m_startTime) {
        return false;
    }
    if (!m_master.open()) {
        return fail(m_master.errorText());
    }
    ++m_masterGeneration;
    resetLineState();
    return m_linkPath.empty() || m_link.publish(m_linkPath, m_master.slavePath()) || fail(m_link.errorText());
}

void SimLine::setSilent(bool silent) {
    m_silent = silent;
    if (silent) {
        dropOutput();
    }
}

bool SimLine::setNoiseRate(double rate) {
    if (!isRate(rate)) {
        return false;
    }
    m_noiseRate = rate;
    return true;
}

bool SimLine::setDropRate(double rate) {
    if (!isRate(rate)) {
        return false;
    }
    m_dropRate = rate;
    return true;
}

void SimLine::send(Clock::time_point readyAt, std::string bytes) {
    if (!m_silent) {
        m_sends.push_back(PendingSend{readyAt, std::move(bytes)});
    }
}

void SimLine::dropOutput() {
    m_sends.clear();
    m_txPending.clear();
}

void SimLine::service(Clock::time_point now, const Responder& respond) {
    releaseDueSends(now);
    transmitDue(now);
    receiveDue(now, respond);
}

void SimLine::wake() {
    const int fd = m_wakeFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
    }
}

bool SimLine::fail(std::string text) {
    m_errorText = std::move(text);
    return false;
}

void SimLine::releaseDueSends(Clock::time_point now) {
    while (!m_sends.empty() && m_sends.front().readyAt <= now) {
        std::string wire = applyFaults(m_sends.front().bytes);
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

std::string SimLine::applyFaults(const std::string& bytes) {
    if (m_noiseRate <= 0 && m_dropRate <= 0) {
        return bytes;
    }
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::string wire;
    for (char c : bytes) {
        if (m_noiseRate > 0 && chance(m_random) < m_noiseRate) {
            wire += static_cast<char>(anyByte(m_random));
        }
        if (m_dropRate > 0 && chance(m_random) < m_dropRate) {
            continue;
        }
        wire += c;
    }
    return wire;
}

void SimLine::transmitDue(Clock::time_point now) {
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

void SimLine::receiveDue(Clock::time_point now, const Responder& respond) {
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
    std::vector<std::string> commands;
    m_framer.feed(buffer, count, commands);
    for (std::string& command : commands) {
        std::string reply = respond(command);
        m_log.append(sinceStart(now), WireDirection::ToTransceiver, std::move(command));
        if (!reply.empty()) {
            send(now + m_replyDelay, std::move(reply));
        }
    }
}

void SimLine::peerHungUp(Clock::time_point now) {
    m_peerGone = true;
    m_nextPeerCheck = now + kPeerCheckInterval;
    m_txPending.clear();
    m_txLineFree = now;
    m_rxAnchor.reset();
    m_framer.reset();
}

void SimLine::resetLineState() {
    dropOutput();
    m_framer.reset();
    m_rxAnchor.reset();
    m_peerGone = false;
}

std::optional<SimLine::Clock::time_point> SimLine::nextDeadline() const {
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
    if (m_peerGone && m_master.isOpen()) {
        consider(m_nextPeerCheck);
    }
    return deadline;
}

void SimLine::wait(std::unique_lock<std::mutex>& lock, std::optional<Clock::time_point> deadline) {
    const Clock::time_point before = Clock::now();
    if (const std::optional<Clock::time_point> lineDeadline = nextDeadline()) {
        deadline = deadline ? std::min(*deadline, *lineDeadline) : *lineDeadline;
    }
    // The master is not watched while incoming bytes are being timed (they are read
    // at the deadline), nor while no program holds the device: a hung-up master
    // reports POLLHUP at once, so it is only looked at every kPeerCheckInterval.
    const bool watchMaster = m_master.isOpen() && !m_rxAnchor && (!m_peerGone || before >= m_nextPeerCheck);
    const int wakeFd = m_wakeFd.load(std::memory_order_relaxed);
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {watchMaster ? m_master.fd() : -1, POLLIN, 0}};
    const std::uint64_t generation = m_masterGeneration;
    timespec timeout{};
    if (deadline) {
        const auto wait = std::max(std::chrono::nanoseconds(0), std::chrono::nanoseconds(*deadline - before));
        timeout.tv_sec = static_cast<time_t>(wait.count() / 1'000'000'000);
        timeout.tv_nsec = static_cast<long>(wait.count() % 1'000'000'000);
    }

    lock.unlock();
    const int ready = ppoll(fds, 2, deadline ? &timeout : nullptr, nullptr);
    if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
        std::uint64_t counter = 0;
        [[maybe_unused]] const ssize_t drained = ::read(wakeFd, &counter, sizeof counter);
    }
    lock.lock();

    if (watchMaster && generation == m_masterGeneration) {
        takePollResult(fds[1].revents, Clock::now());
    }
}

void SimLine::takePollResult(short revents, Clock::time_point now) {
    if ((revents & POLLIN) != 0) {
        // What the program wrote before it closed the device is still taken in.
        m_peerGone = false;
        m_rxAnchor = std::max(now, m_rxLineFree);  // the first byte starts on the line now
    } else if ((revents & (POLLHUP | POLLERR)) != 0) {
        peerHungUp(now);
    } else {
        m_peerGone = false;
    }
}

std::chrono::milliseconds SimLine::sinceStart(Clock::time_point t) const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t - m_startTime.value_or(t));
}

}  // namespace tqm::sim

// tqm_connect_bench: the whole engine against the simulated transceiver.
//
//   connect time   COM pressed (the link toggle posted) -> the 27th "PE" reply of the
//                  start-up read taken in, 10 runs at 4800 and at 38400 baud, beside the
//                  line-time bound: the bytes on the wire in both directions at 11 bits a
//                  byte, plus the pauses of the sequence (20 ms after "AI1;", 25 + 25 ms
//                  of the identification) and the two 30 ms read-step ticks before the
//                  reads go out; at 38400 baud also through ser2net on loopback in
//                  front of the transceiver, raw (tcp://) and RFC 2217 (rfc2217://);
//   idle CPU       the process's CPU time over 20 s while connected and idle, with the
//                  transceiver in a process of its own (zr4700-sim);
//   peak memory    the process's peak resident set.
//
// Prints one "key value" line per figure, for scripts/bench.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/engine.h"
#include "bench/sim_process.h"
#include "protocol/protocol_messages.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/sim_config.h"
#include "sim/simulated_transceiver.h"
#include "bench/support/headless_host.h"
#include "tests/support/ser2net_server.h"

namespace tqm {
namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

constexpr int kRuns = 10;
constexpr int kStartupReplies = 27;
constexpr auto kWait = std::chrono::seconds(15);
constexpr auto kIdleSpan = std::chrono::seconds(20);
// The fixed pauses and ticks of the connect sequence.
constexpr double kAfterAiOnMs = 20.0;
constexpr double kIdCheckMs = 25.0 + 25.0;
constexpr double kReadStepTicksMs = 2 * 30.0;
constexpr double kBitsPerByte = 11.0;

// The engine started on the device path at the given speed, with the headless host
// in the main window's place; stopped again on destruction. It times a connect from
// the COM press to the host taking in the 27th reply of the start-up read.
class RunningEngine final {
public:
    RunningEngine(const std::string& devicePath, int baud) {
        PortMap().setOverride(1, devicePath);
        Engine engine;
        engine.initialiseState();
        m_ok = engine.waitMenuListReady(std::chrono::seconds(10));
        Sio_Port port;
        port.setPortNumber(1);
        port.setBaudRate(baud);
        m_host = std::make_unique<test::HeadlessHost>();
        m_host->setAfterMessage([this](const Message& message) { onMessage(message); });
        m_ok = m_ok && engine.startLink();
    }
    ~RunningEngine() {
        Engine().stop();
        m_host.reset();
        PortMap().reset();
    }
    RunningEngine(const RunningEngine&) = delete;
    RunningEngine& operator=(const RunningEngine&) = delete;

    bool ok() const { return m_ok; }

    // Presses COM; returns at once.
    void pressCom() {
        {
            std::lock_guard lock(m_mutex);
            m_pressedAt = Clock::now();
            m_readDoneAt.reset();
            m_armed = true;
        }
        m_host->pressCom();
    }
    // Blocks up to timeout until the start-up read has been taken in; the time from
    // the press to the 27th reply.
    std::optional<Millis> waitConnected(Clock::duration timeout) {
        std::unique_lock lock(m_mutex);
        if (!m_done.wait_for(lock, timeout, [this] { return m_readDoneAt.has_value(); })) return std::nullopt;
        return Millis(*m_readDoneAt - m_pressedAt);
    }
    // Blocks up to timeout until the editor counts as disconnected.
    bool waitDisconnected(Clock::duration timeout) {
        return m_host->waitUntil([this] { return !m_host->connected() && !m_host->connectingShown(); },
                                 std::chrono::duration_cast<std::chrono::milliseconds>(timeout));
    }
    bool connected() { return m_host->connected(); }

private:
    // On the host's thread, after each window message.
    void onMessage(const Message& message) {
        if (message.id != UWM_REPLY_PE || !m_host->connected() || m_host->pendingReplies() != 0) return;
        const Clock::time_point at = Clock::now();
        {
            std::lock_guard lock(m_mutex);
            if (!m_armed) return;
            m_armed = false;
            m_readDoneAt = at;
        }
        m_done.notify_all();
    }

    bool m_ok = false;
    std::unique_ptr<test::HeadlessHost> m_host;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_armed = false;
    Clock::time_point m_pressedAt{};
    std::optional<Clock::time_point> m_readDoneAt;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

bool isPeReply(const sim::WireLogEntry& entry) {
    return entry.direction == sim::WireDirection::FromTransceiver && entry.bytes.rfind("PE", 0) == 0;
}

// The bytes of one connect in the wire log, which starts at the press.
struct ConnectWire {
    // Everything on the wire, both directions, up to and including the 27th "PE" reply.
    std::size_t total = 0;
    // The bytes that must pass one after another: the AI read and its reply (the
    // identification waits for it), the first "PE" read and the 27 "PE" replies. The
    // rest travels while the sequence pauses or while the other direction is busy.
    std::size_t chained = 0;
};

ConnectWire connectWire(const std::vector<sim::WireLogEntry>& log) {
    ConnectWire wire;
    std::size_t aiRead = 0;
    std::size_t aiReply = 0;
    std::size_t peRead = 0;
    std::size_t peReplies = 0;
    int replies = 0;
    for (const sim::WireLogEntry& entry : log) {
        wire.total += entry.bytes.size();
        const bool toTransceiver = entry.direction == sim::WireDirection::ToTransceiver;
        if (toTransceiver && aiRead == 0 && entry.bytes == "AI;") aiRead = entry.bytes.size();
        if (!toTransceiver && aiRead != 0 && aiReply == 0 && entry.bytes.rfind("AI", 0) == 0) aiReply = entry.bytes.size();
        if (toTransceiver && peRead == 0 && entry.bytes.rfind("PE", 0) == 0) peRead = entry.bytes.size();
        if (isPeReply(entry)) {
            peReplies += entry.bytes.size();
            if (++replies == kStartupReplies) {
                if (aiRead != 0 && aiReply != 0 && peRead != 0) wire.chained = aiRead + aiReply + peRead + peReplies;
                return wire;
            }
        }
    }
    return {};
}

struct ConnectFigures {
    double medianMs = 0;
    double boundMs = 0;
    double wireBytes = 0;
    double chainBoundMs = 0;
    double chainBytes = 0;
};

constexpr double kPausesMs = kAfterAiOnMs + kIdCheckMs + kReadStepTicksMs;

double lineMs(std::size_t bytes, int baud) { return static_cast<double>(bytes) * kBitsPerByte * 1000.0 / baud; }

// One connect and disconnect; the time and the bytes of the connect.
std::optional<std::pair<double, ConnectWire>> connectOnce(RunningEngine& engine, sim::SimulatedTransceiver& transceiver) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let the line settle
    transceiver.monitor().clear();
    engine.pressCom();
    const std::optional<Millis> elapsed = engine.waitConnected(kWait);
    if (!elapsed) return std::nullopt;
    const ConnectWire bytes = connectWire(transceiver.monitor().log());
    engine.pressCom();
    if (bytes.chained == 0 || !engine.waitDisconnected(kWait)) return std::nullopt;
    return std::make_pair(elapsed->count(), bytes);
}

// How the program reaches the transceiver's device.
enum class Via { Device, Raw, Rfc2217 };

// Ten connects and disconnects at one speed.
std::optional<ConnectFigures> measureConnect(int baud, Via via) {
    sim::SimConfig config;
    config.baud = baud;
    sim::SimulatedTransceiver transceiver(config);
    if (!transceiver.start()) {
        std::fprintf(stderr, "tqm_connect_bench: simulator: %s\n", transceiver.errorText().c_str());
        return std::nullopt;
    }
    test::Ser2netServer server(transceiver.devicePath());
    if (via != Via::Device && !server.start()) {
        std::fprintf(stderr, "tqm_connect_bench: ser2net did not start\n");
        return std::nullopt;
    }
    const std::string target = via == Via::Device ? transceiver.devicePath()
                               : via == Via::Raw  ? server.rawTarget()
                                                  : server.rfc2217Target();
    RunningEngine engine(target, baud);
    if (!engine.ok() || !transceiver.monitor().waitForCommand("AI0;", kWait)) {
        std::fprintf(stderr, "tqm_connect_bench: the engine did not start at %d baud\n", baud);
        return std::nullopt;
    }
    std::vector<double> times, bounds, wire, chainBounds, chain;
    for (int run = 0; run < kRuns; ++run) {
        const auto sample = connectOnce(engine, transceiver);
        if (!sample) {
            std::fprintf(stderr, "tqm_connect_bench: run %d at %d baud did not connect and disconnect\n", run, baud);
            return std::nullopt;
        }
        const ConnectWire& bytes = sample->second;
        times.push_back(sample->first);
        wire.push_back(static_cast<double>(bytes.total));
        bounds.push_back(lineMs(bytes.total, baud) + kPausesMs);
        chain.push_back(static_cast<double>(bytes.chained));
        chainBounds.push_back(lineMs(bytes.chained, baud) + kPausesMs);
    }
    return ConnectFigures{median(times), median(bounds), median(wire), median(chainBounds), median(chain)};
}

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Percent of one core over the idle span while connected at 38400 baud.
std::optional<double> measureIdleCpu() {
    bench::SimProcess transceiver(TQM_ZR4700_SIM_PATH, 38400);
    if (transceiver.devicePath().empty()) {
        std::fprintf(stderr, "tqm_connect_bench: zr4700-sim did not start\n");
        return std::nullopt;
    }
    RunningEngine engine(transceiver.devicePath(), 38400);
    if (!engine.ok()) return std::nullopt;
    engine.pressCom();
    if (!engine.waitConnected(kWait)) {
        std::fprintf(stderr, "tqm_connect_bench: no connection for the idle measurement\n");
        return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double cpuStart = cpuSeconds();
    const Clock::time_point wallStart = Clock::now();
    std::this_thread::sleep_for(kIdleSpan);
    const double cpu = cpuSeconds() - cpuStart;
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    if (!engine.connected()) {
        std::fprintf(stderr, "tqm_connect_bench: the link went down while idle\n");
        return std::nullopt;
    }
    engine.pressCom();
    engine.waitDisconnected(kWait);
    return 100.0 * cpu / wall;
}

}  // namespace
}  // namespace tqm

int main() {
    using namespace tqm;
    std::signal(SIGPIPE, SIG_IGN);
    int status = 0;
    for (const int baud : {4800, 38400}) {
        const auto figures = measureConnect(baud, Via::Device);
        if (!figures) {
            status = 1;
            continue;
        }
        std::printf("connect_%d_median_ms %.1f\n", baud, figures->medianMs);
        std::printf("connect_%d_bound_ms %.1f\n", baud, figures->boundMs);
        std::printf("connect_%d_ratio %.2f\n", baud, figures->medianMs / figures->boundMs);
        std::printf("connect_%d_wire_bytes %.0f\n", baud, figures->wireBytes);
        std::printf("connect_%d_chain_bound_ms %.1f\n", baud, figures->chainBoundMs);
        std::printf("connect_%d_chain_ratio %.2f\n", baud, figures->medianMs / figures->chainBoundMs);
        std::printf("connect_%d_chain_bytes %.0f\n", baud, figures->chainBytes);
        std::fflush(stdout);
    }
    const struct {
        Via via;
        const char* name;
    } networks[] = {{Via::Raw, "tcp"}, {Via::Rfc2217, "rfc2217"}};
    for (const auto& network : networks) {
        if (const auto figures = measureConnect(38400, network.via)) {
            std::printf("connect_38400_%s_median_ms %.1f\n", network.name, figures->medianMs);
            std::fflush(stdout);
        } else {
            status = 1;
        }
    }
    if (const auto idle = measureIdleCpu()) {
        std::printf("idle_connected_cpu_percent %.3f\n", *idle);
    } else {
        status = 1;
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("peak_rss_mb %.1f\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return status;
}

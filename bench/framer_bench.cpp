// Reply framer throughput and the cost of one idle receive poll.
#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <random>
#include <string>

#include <benchmark/benchmark.h>

#include "protocol/link_flags.h"
#include "protocol/trx_state.h"
#include "serial/frame_rules.h"
#include "serial/port_map.h"
#include "serial/reply_framer.h"
#include "serial/sio_poller.h"
#include "serial/sio_port.h"

namespace tqm {
namespace {

class BenchRules final : public FrameRules {
public:
    std::int32_t menuCount() const override { return 147; }
    std::int32_t menuParameterLength(std::int32_t n) const override { return 1 + n % 8; }
    std::int32_t menuFormatCode(std::int32_t) const override { return 0; }
    std::int32_t modelCode() const override { return 1; }
};

class CountingSink final : public FrameSink {
public:
    void deliver(const char*, std::size_t length) override { bytes += length; ++replies; }
    std::size_t bytes = 0;
    std::size_t replies = 0;
};

// About 1 MB of replies as a transceiver sends them, with some line noise.
std::string mixedStream() {
    std::mt19937 random(4700);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const char* fixed[] = {"PE001+01;", "FA14250000;", "ID4700;", "AI1;", "PS1;", "RM1012;", "KMHELLO WORLD;"};
    std::string stream;
    while (stream.size() < (1u << 20)) {
        const int kind = pick(0, 9);
        if (kind < 7) {
            stream += fixed[kind];
        } else if (kind == 7) {
            const int n = pick(1, 147);
            char head[8];
            std::snprintf(head, sizeof head, "EX%03d", n);
            stream += head + std::string(static_cast<std::size_t>(1 + n % 8), '5') + ";";
        } else {
            stream += "\r\n";
        }
    }
    return stream;
}

void BM_FramerThroughput(benchmark::State& state) {
    const std::string stream = mixedStream();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stream.data());
    const auto chunk = static_cast<std::size_t>(state.range(0));
    BenchRules rules;
    ReplyFramer framer(rules);
    CountingSink sink;
    for (auto _ : state) {
        framer.reset();
        for (std::size_t offset = 0; offset < stream.size();) {
            FrameStep step = FrameStep::Empty;
            offset += framer.feed(bytes + offset, std::min(chunk, stream.size() - offset), 0, sink, &step);
            while (step == FrameStep::Delivered || step == FrameStep::Dropped) step = framer.step(0, sink);
        }
        benchmark::DoNotOptimize(sink.replies);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["replies"] = static_cast<double>(sink.replies) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FramerThroughput)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond);

double threadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// One receive poll on an open pseudo-terminal with nothing arriving.
void BM_IdlePoll(benchmark::State& state) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    char name[128] = {};
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name)) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    Trx_StateGuard().setMenuListReady(1);
    PortMap().setOverride(1, name);
    Sio_Port().initialise();
    if (!Sio_Port().open()) {
        state.SkipWithError("port did not open");
        return;
    }
    BenchRules rules;
    SioPoller poller(rules);
    const double cpuStart = threadCpuSeconds();
    for (auto _ : state) benchmark::DoNotOptimize(poller.poll());
    const double perPoll = (threadCpuSeconds() - cpuStart) / static_cast<double>(state.iterations());
    if (!Sio_Port().isOpen()) state.SkipWithError("the port closed while polling");
    constexpr double kPollsPerHour = 3600.0 / 0.005;
    state.counters["cpu_us_per_poll"] = perPoll * 1e6;
    state.counters["cpu_s_per_hour"] = perPoll * kPollsPerHour;
    Sio_Port().close();
    PortMap().reset();
    ::close(master);
}
BENCHMARK(BM_IdlePoll)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tqm

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "sim/simulated_transceiver.h"
#include "tests/sim/slave_client.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;
using sim::SimConfig;
using Clock = std::chrono::steady_clock;

SimConfig fast() {
    SimConfig config;
    config.baud = 38400;
    config.seed = 1;
    return config;
}

// A running simulator with a client on its line.
struct Bench {
    explicit Bench(const SimConfig& config = fast()) : sim(config) {
        connected = sim.start() && client.open(sim.devicePath());
    }
    sim::SimulatedTransceiver sim;
    test::SlaveClient client;
    bool connected = false;
};

// Waits until the power reads have seen this sequence of replies; a reply cut short
// by the switch ends without ";" and is passed over.
bool powerRepliesSeen(test::SlaveClient& line, const std::string& expected) {
    std::string seen;
    const auto deadline = Clock::now() + 5s;
    while (Clock::now() < deadline && seen != expected) {
        const std::string reply = line.ask("PS;", 100ms);
        const bool repeated = seen.size() >= 4 && seen.compare(seen.size() - 4, 4, reply) == 0;
        if (!repeated && reply.size() == 4 && reply.back() == ';') seen += reply;
    }
    return seen == expected;
}

bool isSubsequence(const std::string& part, const std::string& whole) {
    std::size_t at = 0;
    for (char c : whole) at += at < part.size() && part[at] == c ? 1 : 0;
    return at == part.size();
}

struct FaultCase {
    const char* name;
    std::function<void(SimConfig&)> configure;
    std::function<void(Bench&, const SimConfig&)> check;
};

const FaultCase kFaults[] = {
    {"noise", [](SimConfig& c) { c.noiseRate = 1.0; },
     [](Bench& b, const SimConfig&) {
         ASSERT_TRUE(b.client.write("ID;"));
         const std::string wire = b.client.readBytes(14);
         std::string clean;
         for (std::size_t i = 1; i < wire.size(); i += 2) clean += wire[i];
         EXPECT_EQ(clean, "ID4700;") << "a garbage byte before each byte";
     }},
    {"same seed, same noise", [](SimConfig& c) { c.noiseRate = 0.5; c.seed = 5; },
     [](Bench& b, const SimConfig& config) {
         Bench twin(config);
         ASSERT_TRUE(twin.connected && b.client.write("FA;") && twin.client.write("FA;"));
         const std::string wire = b.client.readBytes(40, 500ms);
         EXPECT_GT(wire.size(), std::string("FA14200000;").size());
         EXPECT_EQ(twin.client.readBytes(wire.size(), 5s), wire) << "read by count: a busy machine may be late";
     }},
    {"drop", [](SimConfig& c) { c.dropRate = 0.5; },
     [](Bench& b, const SimConfig&) {
         std::string reads;
         for (int i = 0; i < 20; ++i) reads += "PE000;";
         ASSERT_TRUE(b.client.write(reads) && b.sim.monitor().waitForCommand("PE000;", 2s, 20));
         const std::string received = b.client.readBytes(20 * 9, 1000ms);
         std::string logged;
         for (const sim::WireLogEntry& e : b.sim.monitor().log()) {
             if (e.direction != sim::WireDirection::FromTransceiver) continue;
             EXPECT_TRUE(isSubsequence(e.bytes, "PE000003;")) << e.bytes;
             logged += e.bytes;
         }
         EXPECT_EQ(received, logged);
         EXPECT_GT(received.size(), 0u);
         EXPECT_LT(received.size(), 20 * 9u);
     }},
    {"power off and on at times", [](SimConfig& c) { c.powerOffAt = 0.5; c.powerOnAt = 1.0; },
     [](Bench& b, const SimConfig&) {
         ASSERT_TRUE(b.client.write("AI1;"));
         EXPECT_TRUE(powerRepliesSeen(b.client, "PS1;PS0;PS1;"));
         ASSERT_TRUE(b.client.write("AI;"));
         std::string reply = b.client.readReply();
         while (reply.rfind("PS", 0) == 0) reply = b.client.readReply();  // late answers to the power reads
         EXPECT_EQ(reply, "AI0;") << "the power cycle forgot auto information";
     }},
    {"power on time alone, at the slowest line speed", [](SimConfig& c) { c.powerOnAt = 1.0; c.baud = 4800; },
     [](Bench& b, const SimConfig&) { EXPECT_TRUE(powerRepliesSeen(b.client, "PS0;PS1;")); }},
    {"front panel", [](SimConfig& c) { c.frontPanelPeriod = 0.05; },
     [](Bench& b, const SimConfig&) {
         // Without auto information only replies come back.
         for (const auto quietUntil = Clock::now() + 300ms; Clock::now() < quietUntil;) {
             EXPECT_EQ(b.client.ask("PS;"), "PS1;");
         }
         ASSERT_TRUE(b.client.write("AI1;"));
         for (int i = 0; i < 3; ++i) {
             const std::string report = b.client.readReply();
             ASSERT_EQ(report.size(), 9u) << report;
             const sim::PeAddress a{report[2] - '0', report[3] - '0', report[4] - '0'};
             const std::optional<int> value = sim::parsePeValue(a, report.substr(5, 3));
             EXPECT_TRUE(report.rfind("PE", 0) == 0 && value && sim::peValueInRange(a, *value)) << report;
         }
     }},
};

TEST(SimulatedTransceiverTest, EachFaultOption) {
    for (const FaultCase& fault : kFaults) {
        SCOPED_TRACE(fault.name);
        SimConfig config = fast();
        fault.configure(config);
        Bench bench(config);
        ASSERT_TRUE(bench.connected) << bench.sim.errorText();
        fault.check(bench, config);
    }
}

// Silence and a refused AI1; set at the start are switched off while running, as the
// other faults and the radio's identity are switched.
TEST(SimulatedTransceiverTest, TheLineFaultsAndTheIdentitySwitchWhileRunning) {
    SimConfig config = fast();
    config.silent = config.refuseAi = true;
    Bench bench(config);
    ASSERT_TRUE(bench.connected);
    test::SlaveClient& client = bench.client;
    sim::LineFaults& line = bench.sim.line();
    ASSERT_TRUE(client.write("AI1;PS;"));
    ASSERT_TRUE(bench.sim.monitor().waitForCommand("PS;", 2s));
    EXPECT_EQ(client.readBytes(1, 300ms), "") << "silent";
    line.setSilent(false);
    EXPECT_EQ(client.ask("AI;"), "AI0;") << "the PS read was never answered, AI1; refused";
    line.setRefuseAi(false);
    EXPECT_EQ(client.ask("AI1;AI;"), "AI1;");
    EXPECT_FALSE(line.setNoiseRate(1.5));
    ASSERT_TRUE(line.setDropRate(1.0));
    ASSERT_TRUE(client.write("ID;"));
    ASSERT_TRUE(bench.sim.monitor().waitForCommand("ID;", 2s));
    EXPECT_EQ(client.readBytes(1, 300ms), "") << "every byte dropped";
    ASSERT_TRUE(line.setDropRate(0.0));
    EXPECT_FALSE(bench.sim.radio().setModelCode("48a0"));
    ASSERT_TRUE(bench.sim.radio().setModelCode("4800"));
    bench.sim.radio().setIdSuffix(42);
    EXPECT_EQ(client.ask("ID4700;"), "ID4800042;");
    // Garbage is skipped, an overlong command dropped, and sets are answered by nothing:
    // a set that answered would show up before the read's reply.
    EXPECT_EQ(client.ask(std::string("\x00\x13xx;;1", 7) + "PS;"), "PS1;");
    EXPECT_EQ(client.ask("PE" + std::string(200, '0') + ";AI;"), "AI1;");
    ASSERT_TRUE(client.write("PE011-05;PE011+11;"));
    EXPECT_EQ(client.ask("PE011;"), "PE011-05;");
}

}  // namespace
}  // namespace tqm

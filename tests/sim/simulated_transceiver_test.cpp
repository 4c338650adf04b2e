#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "sim/simulated_transceiver.h"
#include "sim/transceiver_model.h"
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
    explicit Bench(const SimConfig& config = fast()) : sim(config) {}
    sim::SimulatedTransceiver sim;
    test::SlaveClient client;
    bool connected = sim.start() && client.open(sim.devicePath());
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


struct Exchange {
    const char* command;
    const char* reply;  // "" for a set, which is answered by nothing
};

// Each row runs on the same radio in order, so a set is checked by the read after it.
constexpr Exchange kExchanges[] = {
    {"AI;", "AI0;"}, {"AI1;", ""}, {"AI;", "AI1;"}, {"AI0;", ""}, {"AI;", "AI0;"}, {"AI2;", "?;"}, {"AI11;", "?;"},
    {"ID;", "ID4700;"}, {"ID4700;", "ID4700001;"}, {"ID47;", "?;"}, {"ID47x0;", "?;"},
    {"PS;", "PS1;"}, {"PS1;", "?;"}, {"ZZ;", "?;"}, {"MD0;", "?;"},
    // Equalizer reads in the wire format, then every range at both ends.
    {"PE000;", "PE000003;"}, {"PE001;", "PE001-02;"}, {"PE011;", "PE011+03;"}, {"PE101;", "PE101000;"},
    {"PE220;", "PE220014;"},
    {"PE000007;", ""}, {"PE000008;", ""}, {"PE000;", "PE000007;"},    // EQ1 FREQ 0..7
    {"PE010009;", ""}, {"PE010010;", ""}, {"PE010;", "PE010009;"},    // EQ2 FREQ 0..9
    {"PE020018;", ""}, {"PE020019;", ""}, {"PE020;", "PE020018;"},    // EQ3 FREQ 0..18
    {"PE111-20;", ""}, {"PE111-21;", ""}, {"PE111;", "PE111-20;"},    // LEVEL -20..+10
    {"PE111+10;", ""}, {"PE111+11;", ""}, {"PE111;", "PE111+10;"},
    {"PE222001;", ""}, {"PE222000;", ""}, {"PE222;", "PE222001;"},    // BWTH 1..10
    {"PE222010;", ""}, {"PE222011;", ""}, {"PE222;", "PE222010;"},
    {"PE300;", "?;"}, {"PE0A0;", "?;"}, {"PE00;", "?;"}, {"PE0000;", "?;"}, {"PE000x07;", "?;"},
    {"PE001*05;", "?;"}, {"PE0010005;", "?;"}, {"PE;", "?;"},
    // Menu values have their own widths and ranges.
    {"EX001;", "EX0010300;"}, {"EX008;", "EX00804;"}, {"EX031;", "EX031+05;"}, {"EX090;", "EX090-15;"},
    {"EX0012000;", ""}, {"EX0010010;", ""}, {"EX001;", "EX0012000;"}, {"EX042-1000;", ""},
    {"EX042;", "EX042-1000;"}, {"EX031+21;", ""}, {"EX031;", "EX031+05;"}, {"EX00112;", "?;"},
    {"EX03105;", "?;"}, {"EX002;", "?;"}, {"EX0x1;", "?;"},
    // VFO frequencies: eight digits, 30 kHz .. 60 MHz.
    {"FA;", "FA14200000;"}, {"FB;", "FB07050000;"}, {"FA00030000;", ""}, {"FA;", "FA00030000;"},
    {"FB60000001;", ""}, {"FB00029999;", ""}, {"FB;", "FB07050000;"}, {"FB1425000;", "?;"}, {"FA1425000x;", "?;"},
};

TEST(TransceiverModelTest, AnswersEachCommandAndKeepsValuesInTheirRanges) {
    sim::TransceiverModel radio{SimConfig{}};
    for (const Exchange& e : kExchanges) EXPECT_EQ(radio.handle(e.command), e.reply) << e.command;
}

TEST(TransceiverModelTest, FrontPanelChangesAndThePowerSwitch) {
    sim::TransceiverModel radio{SimConfig{}};
    std::string report = "old";
    EXPECT_TRUE(radio.frontPanelChange({2, 1, 1}, -7, report));
    EXPECT_EQ(report, "") << "reported only with auto information";
    EXPECT_EQ(radio.handle("PE211;"), "PE211-07;");
    radio.handle("AI1;");
    EXPECT_TRUE(radio.frontPanelChange({2, 1, 1}, 9, report));
    EXPECT_EQ(report, "PE211+09;");
    EXPECT_FALSE(radio.frontPanelChange({0, 0, 0}, 8, report)) << "out of range";
    radio.powerOff();
    EXPECT_FALSE(radio.frontPanelChange({0, 0, 0}, 2, report)) << "power off";
    // Off, only the power read is answered.
    EXPECT_EQ(radio.handle("PS;"), "PS0;");
    for (const char* command : {"AI;", "ID;", "PE000;", "ZZ;", "PS1;", "FA;"}) {
        EXPECT_EQ(radio.handle(command), "") << command;
    }
    radio.powerOn();
    EXPECT_EQ(radio.handle("PS;"), "PS1;");
    EXPECT_EQ(radio.handle("AI;"), "AI0;") << "the power cycle forgot auto information";
    EXPECT_EQ(radio.handle("PE000;"), "PE000003;") << "neither refused change was stored";
}


}  // namespace
}  // namespace tqm

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "sim/simulated_transceiver.h"
#include "tests/sim/slave_client.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;
using sim::SimConfig;
using sim::SimulatedTransceiver;
using sim::WireDirection;
using test::SlaveClient;
using Clock = std::chrono::steady_clock;

std::string tempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("zr4700-sim-test-" + std::to_string(getpid()) + "-" + name)).string();
}

// A running simulator at 38400 baud (unless told otherwise) with a client on its line.
struct Bench {
    explicit Bench(SimConfig config = fast()) : radio(std::move(config)) {
        started = radio.start();
        connected = started && client.open(radio.devicePath());
    }
    static SimConfig fast() {
        SimConfig config;
        config.baud = 38400;
        config.seed = 1;
        return config;
    }
    SimulatedTransceiver radio;
    SlaveClient client;
    bool started = false;
    bool connected = false;
};

TEST(SimulatedTransceiverTest, AnswersEachCommandOnTheLine) {
    Bench bench;
    ASSERT_TRUE(bench.connected) << bench.radio.errorText();
    SlaveClient& line = bench.client;
    EXPECT_EQ(line.ask("AI;"), "AI0;");
    EXPECT_EQ(line.ask("ID;"), "ID4700;");
    EXPECT_EQ(line.ask("ID4700;"), "ID4700001;");
    EXPECT_EQ(line.ask("PE000;"), "PE000003;");
    EXPECT_EQ(line.ask("PE221;"), "PE221+01;");
    EXPECT_EQ(line.ask("PS;"), "PS1;");
    EXPECT_EQ(line.ask("EX008;"), "EX00804;");
    EXPECT_EQ(line.ask("FA;"), "FA14200000;");
    EXPECT_EQ(line.ask("FB;"), "FB07050000;");
    EXPECT_EQ(line.ask("QQ1;"), "?;");
}

TEST(SimulatedTransceiverTest, SetsGiveNoReplyAndOutOfRangeSetsAreIgnored) {
    Bench bench;
    ASSERT_TRUE(bench.connected);
    SlaveClient& line = bench.client;
    // Each read answers with exactly one reply, so a set that answered would show up first.
    ASSERT_TRUE(line.write("PE011-05;AI1;FA07100000;EX015015;"));
    EXPECT_EQ(line.ask("PE011;"), "PE011-05;");
    EXPECT_EQ(line.ask("AI;"), "AI1;");
    EXPECT_EQ(line.ask("FA;"), "FA07100000;");
    EXPECT_EQ(line.ask("EX015;"), "EX015015;");
    EXPECT_EQ(line.unread(), "");
    // Out of range: ignored without a word; malformed: "?;".
    ASSERT_TRUE(line.write("PE011+11;PE020019;PE002000;EX0081;"));
    EXPECT_EQ(line.ask("PE011;"), "?;");
    EXPECT_EQ(line.readReply(), "PE011-05;");
    EXPECT_EQ(bench.radio.peValue({0, 2, 0}), 11);
    EXPECT_EQ(bench.radio.peValue({0, 0, 2}), 5);
}

TEST(SimulatedTransceiverTest, SkipsGarbageAndOverLongInput) {
    Bench bench;
    ASSERT_TRUE(bench.connected);
    SlaveClient& line = bench.client;
    EXPECT_EQ(line.ask(std::string("\x00\x13xx;;1", 7) + "PS;"), "PS1;");
    EXPECT_EQ(line.ask("PE" + std::string(200, '0') + ";AI;"), "AI0;");
    EXPECT_EQ(bench.radio.commandCount("AI;"), 1u);
}

TEST(SimulatedTransceiverTest, PacesBothDirectionsAtTheLineSpeed) {
    SimConfig config;  // 4800 baud: 2.29 ms a byte
    Bench bench(config);
    ASSERT_TRUE(bench.connected);
    // Out: a 9-byte report takes 20.6 ms to arrive.
    ASSERT_TRUE(bench.client.write("AI1;"));
    ASSERT_TRUE(bench.radio.waitForCommand("AI1;", 2s));
    const auto changed = Clock::now();
    ASSERT_TRUE(bench.radio.frontPanelChange({0, 0, 0}, 6));
    EXPECT_EQ(bench.client.readBytes(9), "PE000006;");
    const auto reported = Clock::now();
    EXPECT_GE(reported - changed, 18ms);
    EXPECT_LT(reported - changed, 3s);
    // In: six bytes take 13.7 ms before the command is complete, and the reply's
    // first byte needs 2.3 ms more.
    const auto sent = Clock::now();
    ASSERT_TRUE(bench.client.write("PE001;"));
    const std::string first = bench.client.readBytes(1);
    const auto firstByte = Clock::now();
    EXPECT_EQ(first + bench.client.readBytes(8), "PE001-02;");
    const auto lastByte = Clock::now();
    EXPECT_GE(firstByte - sent, 13ms);
    EXPECT_GE(lastByte - sent, 31ms);
    EXPECT_LT(lastByte - sent, 3s);
}

TEST(SimulatedTransceiverTest, ReportsFrontPanelChangesOnlyInAutoInformationMode) {
    Bench bench;
    ASSERT_TRUE(bench.connected);
    SlaveClient& line = bench.client;
    EXPECT_TRUE(bench.radio.frontPanelChange({1, 2, 0}, 17));
    EXPECT_EQ(line.ask("AI;"), "AI0;");  // no report came before the reply
    ASSERT_TRUE(line.write("AI1;"));
    ASSERT_TRUE(bench.radio.waitForCommand("AI1;", 2s));
    EXPECT_TRUE(bench.radio.frontPanelChange({1, 2, 0}, 4));
    EXPECT_EQ(line.readReply(), "PE120004;");
    EXPECT_FALSE(bench.radio.frontPanelChange({1, 2, 0}, 19));
    // A set over the line is never reported back.
    ASSERT_TRUE(line.write("PE121-09;"));
    EXPECT_EQ(line.ask("AI;"), "AI1;");
    EXPECT_EQ(line.ask("PE121;"), "PE121-09;");
    EXPECT_EQ(bench.radio.peValue({1, 2, 1}), -9);
}

TEST(SimulatedTransceiverTest, PowerOffAnswersOnlyThePowerRead) {
    Bench bench;
    ASSERT_TRUE(bench.connected);
    SlaveClient& line = bench.client;
    ASSERT_TRUE(line.write("AI1;"));
    EXPECT_EQ(line.ask("AI;"), "AI1;");
    bench.radio.powerOff();
    EXPECT_FALSE(bench.radio.isPoweredOn());
    ASSERT_TRUE(line.write("AI;ID;PE000;ZZ;"));
    EXPECT_EQ(line.ask("PS;"), "PS0;");
    bench.radio.powerOn();
    EXPECT_EQ(line.ask("PS;"), "PS1;");
    EXPECT_EQ(line.ask("AI;"), "AI0;");
}

TEST(SimulatedTransceiverTest, SilentAndModelFaultsSwitchWhileRunning) {
    Bench bench;
    ASSERT_TRUE(bench.connected);
    SlaveClient& line = bench.client;
    bench.radio.setSilent(true);
    ASSERT_TRUE(line.write("PS;"));
    ASSERT_TRUE(bench.radio.waitForCommand("PS;", 2s));
    bench.radio.setSilent(false);
    EXPECT_EQ(line.ask("AI;"), "AI0;");  // the PS read was never answered
    EXPECT_TRUE(bench.radio.setModelCode("4800"));
    EXPECT_FALSE(bench.radio.setModelCode("48a0"));
    bench.radio.setIdSuffix(123);
    EXPECT_EQ(line.ask("ID;"), "ID4800;");
    EXPECT_EQ(line.ask("ID4700;"), "ID4800123;");
}

TEST(SimulatedTransceiverTest, RefusedAutoInformationReadsOff) {
    SimConfig config = Bench::fast();
    config.refuseAi = true;
    Bench bench(config);
    ASSERT_TRUE(bench.connected);
    ASSERT_TRUE(bench.client.write("AI1;"));
    EXPECT_EQ(bench.client.ask("AI;"), "AI0;");
    EXPECT_FALSE(bench.radio.autoInformation());
}

TEST(SimulatedTransceiverTest, DelaysEachReply) {
    SimConfig config = Bench::fast();
    config.replyDelay = 150ms;
    Bench bench(config);
    ASSERT_TRUE(bench.connected);
    const auto sent = Clock::now();
    EXPECT_EQ(bench.client.ask("PS;"), "PS1;");
    EXPECT_GE(Clock::now() - sent, 150ms);
}

TEST(SimulatedTransceiverTest, NoiseAddsGarbageBeforeBytes) {
    SimConfig config = Bench::fast();
    config.noiseRate = 1.0;
    Bench bench(config);
    ASSERT_TRUE(bench.connected);
    ASSERT_TRUE(bench.client.write("ID;"));
    const std::string wire = bench.client.readBytes(14);
    ASSERT_EQ(wire.size(), 14u);
    std::string clean;
    for (std::size_t i = 1; i < wire.size(); i += 2) {
        clean += wire[i];
    }
    EXPECT_EQ(clean, "ID4700;");
    ASSERT_TRUE(bench.radio.waitForReply(wire, 2s));  // the log holds the bytes as sent
}

TEST(SimulatedTransceiverTest, TheSameSeedGivesTheSameNoise) {
    SimConfig config = Bench::fast();
    config.noiseRate = 0.5;
    config.seed = 5;
    std::string wires[2];
    for (std::string& wire : wires) {
        Bench bench(config);
        ASSERT_TRUE(bench.connected);
        ASSERT_TRUE(bench.client.write("FA;"));
        ASSERT_TRUE(bench.radio.waitForLogEntries(2, 2s));
        wire = bench.radio.wireLog()[1].bytes;
        EXPECT_EQ(bench.client.readBytes(wire.size()), wire);
    }
    EXPECT_EQ(wires[0], wires[1]);
    EXPECT_GT(wires[0].size(), std::string("FA14200000;").size());
}

TEST(SimulatedTransceiverTest, DroppedBytesAreMissingFromTheReplies) {
    SimConfig config = Bench::fast();
    config.dropRate = 0.5;
    Bench bench(config);
    ASSERT_TRUE(bench.connected);
    constexpr int kReads = 20;
    for (int i = 0; i < kReads; ++i) {
        ASSERT_TRUE(bench.client.write("PE000;"));
        ASSERT_TRUE(bench.radio.waitForCommand("PE000;", 2s, static_cast<std::size_t>(i + 1)));
    }
    const auto isSubsequence = [](const std::string& part, const std::string& whole) {
        std::size_t at = 0;
        for (char c : whole) {
            at += at < part.size() && part[at] == c ? 1 : 0;
        }
        return at == part.size();
    };
    std::string logged;
    std::string received;
    const auto deadline = Clock::now() + 3s;
    do {
        logged.clear();
        for (const sim::WireLogEntry& e : bench.radio.wireLog()) {
            if (e.direction == WireDirection::FromTransceiver) {
                EXPECT_TRUE(isSubsequence(e.bytes, "PE000003;")) << e.bytes;
                logged += e.bytes;
            }
        }
        received += bench.client.readBytes(logged.size() - std::min(logged.size(), received.size()), 50ms);
    } while (received != logged && Clock::now() < deadline);
    EXPECT_EQ(received, logged);
    EXPECT_GT(logged.size(), 0u);
    EXPECT_LT(logged.size(), kReads * 9u);
}

TEST(SimulatedTransceiverTest, NoiseAndDropsSwitchWhileRunning) {
    Bench bench;
    ASSERT_TRUE(bench.connected);
    EXPECT_FALSE(bench.radio.setNoiseRate(1.5));
    EXPECT_FALSE(bench.radio.setDropRate(-0.1));
    ASSERT_TRUE(bench.client.write("ID;"));
    EXPECT_EQ(bench.client.readBytes(7), "ID4700;") << "the refused rates changed nothing";

    ASSERT_TRUE(bench.radio.setNoiseRate(1.0));
    ASSERT_TRUE(bench.client.write("ID;"));
    EXPECT_EQ(bench.client.readBytes(14).size(), 14u) << "a garbage byte before each byte";

    ASSERT_TRUE(bench.radio.setNoiseRate(0.0));
    ASSERT_TRUE(bench.radio.setDropRate(1.0));
    bench.radio.clearWireLog();
    ASSERT_TRUE(bench.client.write("ID;"));
    ASSERT_TRUE(bench.radio.waitForCommand("ID;", 2s));
    EXPECT_EQ(bench.client.readBytes(1, 300ms), "") << "every byte dropped";

    ASSERT_TRUE(bench.radio.setDropRate(0.0));
    ASSERT_TRUE(bench.client.write("ID;"));
    EXPECT_EQ(bench.client.readBytes(7), "ID4700;") << "a clean line again";
}

TEST(SimulatedTransceiverTest, PowerSwitchesOffAndOnAtTheGivenTimes) {
    SimConfig config = Bench::fast();
    config.powerOffAt = 0.3;
    config.powerOnAt = 0.6;
    Bench bench(config);
    ASSERT_TRUE(bench.connected);
    SlaveClient& line = bench.client;
    ASSERT_TRUE(line.write("AI1;"));
    std::string seen;
    const auto deadline = Clock::now() + 5s;
    while (Clock::now() < deadline && seen != "PS1;PS0;PS1;") {
        // A reply that the power switch cut short ends without ";"; it is passed over.
        const std::string reply = line.ask("PS;", 100ms);
        const bool repeated = seen.size() >= 4 && seen.compare(seen.size() - 4, 4, reply) == 0;
        if (!repeated && reply.size() == 4 && reply.back() == ';') {
            seen += reply;
        }
    }
    EXPECT_EQ(seen, "PS1;PS0;PS1;");
    EXPECT_EQ(line.ask("AI;"), "AI0;");  // the power cycle forgot auto information
}

TEST(SimulatedTransceiverTest, PowerOnTimeAloneStartsPoweredOff) {
    SimConfig config = Bench::fast();
    config.powerOnAt = 0.2;
    Bench bench(config);
    ASSERT_TRUE(bench.connected);
    EXPECT_EQ(bench.client.ask("PS;"), "PS0;");
    std::string reply;
    const auto deadline = Clock::now() + 5s;
    while (Clock::now() < deadline && reply != "PS1;") {
        reply = bench.client.ask("PS;");
    }
    EXPECT_EQ(reply, "PS1;");
    EXPECT_TRUE(bench.radio.isPoweredOn());
}

TEST(SimulatedTransceiverTest, FrontPanelPeriodReportsRandomChangesInAutoInformationMode) {
    SimConfig config = Bench::fast();
    config.frontPanelPeriod = 0.05;
    Bench bench(config);
    ASSERT_TRUE(bench.connected);
    SlaveClient& line = bench.client;
    // Without auto information the panel stays quiet: only replies come back.
    const auto quietUntil = Clock::now() + 300ms;
    while (Clock::now() < quietUntil) {
        EXPECT_EQ(line.ask("PS;"), "PS1;");
    }
    ASSERT_TRUE(line.write("AI1;"));
    for (int i = 0; i < 3; ++i) {
        const std::string report = line.readReply();
        ASSERT_EQ(report.size(), 9u) << report;
        ASSERT_EQ(report.substr(0, 2), "PE");
        const sim::PeAddress a{report[2] - '0', report[3] - '0', report[4] - '0'};
        const std::optional<int> value = sim::parsePeValue(a, report.substr(5, 3));
        ASSERT_TRUE(value.has_value()) << report;
        EXPECT_TRUE(sim::peValueInRange(a, *value));
    }
}

TEST(SimulatedTransceiverTest, WritesTheWireLogFile) {
    SimConfig config = Bench::fast();
    config.logPath = tempPath("wire.log");
    {
        Bench bench(config);
        ASSERT_TRUE(bench.connected);
        EXPECT_EQ(bench.client.ask("AI;"), "AI0;");
        ASSERT_TRUE(bench.client.write("PE011+02;"));
        EXPECT_EQ(bench.client.ask("ZZ;"), "?;");
        const auto log = bench.radio.wireLog();
        ASSERT_EQ(log.size(), 5u);
        EXPECT_EQ(log[0].direction, WireDirection::ToTransceiver);
        EXPECT_EQ(log[1].bytes, "AI0;");
        EXPECT_LE(log[0].time, log[4].time);
        bench.radio.clearWireLog();
        EXPECT_TRUE(bench.radio.wireLog().empty());
    }
    std::ifstream file(config.logPath);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    std::filesystem::remove(config.logPath);
    ASSERT_EQ(lines.size(), 5u);
    for (const std::string& line : lines) {
        // "<milliseconds> <direction> <bytes>"
        const std::size_t space = line.find(' ');
        ASSERT_NE(space, std::string::npos) << line;
        EXPECT_GT(space, 0u);
        EXPECT_EQ(line.find_first_not_of("0123456789"), space) << line;
        ASSERT_GT(line.size(), space + 3) << line;
        EXPECT_TRUE(line[space + 1] == '<' || line[space + 1] == '>') << line;
        EXPECT_EQ(line[space + 2], ' ') << line;
        EXPECT_EQ(line.find(' ', space + 3), std::string::npos) << line;
    }
    EXPECT_NE(lines[0].find(" > AI;"), std::string::npos);
    EXPECT_NE(lines[1].find(" < AI0;"), std::string::npos);
    EXPECT_NE(lines[2].find(" > PE011+02;"), std::string::npos);
    EXPECT_EQ(sim::WireLog::formatLine({12ms, WireDirection::FromTransceiver, std::string("A\x01\\;", 4)}),
              "12 < A\\x01\\x5C;");
}

TEST(SimulatedTransceiverTest, AdapterPulledAndPutBackGetsANewDeviceBehindTheSameLink) {
    SimConfig config = Bench::fast();
    config.linkPath = tempPath("link");
    Bench bench(config);
    ASSERT_TRUE(bench.connected);
    const std::string firstDevice = bench.radio.devicePath();
    EXPECT_EQ(std::filesystem::read_symlink(config.linkPath).string(), firstDevice);
    ASSERT_TRUE(bench.client.write("AI1;"));
    EXPECT_EQ(bench.client.ask("AI;"), "AI1;");

    ASSERT_TRUE(bench.radio.closeMaster());
    EXPECT_TRUE(bench.client.waitForHangup(2s));
    EXPECT_EQ(bench.radio.devicePath(), "");
    EXPECT_FALSE(std::filesystem::is_symlink(config.linkPath));
    EXPECT_FALSE(bench.radio.closeMaster());

    ASSERT_TRUE(bench.radio.reopenMaster());
    EXPECT_NE(bench.radio.devicePath(), firstDevice);
    EXPECT_EQ(std::filesystem::read_symlink(config.linkPath).string(), bench.radio.devicePath());
    SlaveClient again;
    ASSERT_TRUE(again.open(config.linkPath));
    EXPECT_EQ(again.ask("AI;"), "AI1;");  // the radio itself kept its state
    bench.radio.stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(config.linkPath)));
}

TEST(SimulatedTransceiverTest, ServesAClientThatComesBackAfterClosing) {
    Bench bench;
    ASSERT_TRUE(bench.connected);
    EXPECT_EQ(bench.client.ask("PS;"), "PS1;");
    const std::string path = bench.radio.devicePath();
    // What was written just before the close still reaches the radio.
    ASSERT_TRUE(bench.client.write("AI1;ID;"));
    bench.client.close();
    EXPECT_TRUE(bench.radio.waitForCommand("ID;", 2s));
    EXPECT_TRUE(bench.radio.autoInformation());
    ASSERT_TRUE(bench.client.open(path));
    // The reply to the ID read may still be on its way, as on a real line.
    std::string reply = bench.client.ask("PS;");
    if (reply != "PS1;") {
        EXPECT_NE(std::string("ID4700;").find(reply), std::string::npos) << reply;
        reply = bench.client.readReply();
    }
    EXPECT_EQ(reply, "PS1;");
}

TEST(SimulatedTransceiverTest, StartChecksItsSettingsAndRunsANamedThread) {
    SimConfig bad = Bench::fast();
    bad.baud = 1200;
    SimulatedTransceiver refused(bad);
    EXPECT_FALSE(refused.start());
    EXPECT_NE(refused.errorText().find("1200"), std::string::npos);

    SimConfig occupied = Bench::fast();
    occupied.linkPath = tempPath("plain-file");
    std::ofstream(occupied.linkPath) << "keep me";
    SimulatedTransceiver blocked(occupied);
    EXPECT_FALSE(blocked.start());
    EXPECT_TRUE(std::filesystem::is_regular_file(occupied.linkPath));
    std::filesystem::remove(occupied.linkPath);

    SimulatedTransceiver radio(Bench::fast());
    ASSERT_TRUE(radio.start());
    EXPECT_TRUE(radio.isRunning());
    EXPECT_FALSE(radio.start());
    bool named = false;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        named = named || name == "sim-line";
    }
    EXPECT_TRUE(named);
    radio.stop();
    EXPECT_FALSE(radio.isRunning());
}

}  // namespace
}  // namespace tqm

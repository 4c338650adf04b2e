#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/engine.h"
#include "editor/string_table.h"
#include "platform/sio_queue.h"
#include "platform/thread_directory.h"
#include "protocol/protocol_messages.h"
#include "protocol/trx_state.h"
#include "serial/port_dialog_controller.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/simulated_transceiver.h"
#include "tests/integration/headless_host.h"
#include "tests/support/scratch_directory.h"
#include "tests/support/ser2net_server.h"

namespace tqm::test {
namespace {

constexpr std::chrono::milliseconds kLinkTimeout{10000};

enum class Line { Local, Raw, Rfc2217 };
constexpr Line kLines[] = {Line::Local, Line::Raw, Line::Rfc2217};
const char* lineName(Line line) { return line == Line::Local ? "local" : line == Line::Raw ? "tcp" : "rfc2217"; }

// The engine against the simulated transceiver, on its device or through a real
// ser2net in front of it, with the headless host in the window's place. COM1 is
// mapped to the simulator's symlink, a path no other test can reuse.
class RemoteStation : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimConfig config;
        config.baud = 38400;
        config.linkPath = (m_dir / "radio").string();
        m_sim = std::make_unique<sim::SimulatedTransceiver>(config);
        ASSERT_TRUE(m_sim->start()) << m_sim->errorText();
        if (!Ser2netServer::installed()) GTEST_SKIP() << "ser2net is not installed (scripts/install-deps)";
        m_server = std::make_unique<Ser2netServer>(config.linkPath);
        ASSERT_TRUE(m_server->start());
    }
    void TearDown() override {
        stopEngine();
        m_server.reset();
        if (m_sim) m_sim->stop();
        PortMap().reset();
    }

    std::string target(Line line) const {
        if (line == Line::Raw) return m_server->rawTarget();
        return line == Line::Rfc2217 ? m_server->rfc2217Target() : (m_dir / "radio").string();
    }
    // Starts the engine on COM1 mapped to the target (which writes "AI0;" when it opens).
    void startEngine(const std::string& target) {
        ASSERT_TRUE(PortMap().setOverride(1, target));
        Engine engine;
        engine.initialiseState();
        ASSERT_TRUE(engine.waitMenuListReady(kLinkTimeout));
        Sio_Port().setPortNumber(1);
        Sio_Port().setBaudRate(38400);
        m_host = std::make_unique<HeadlessHost>();
        ASSERT_TRUE(engine.startLink());
    }
    void stopEngine() {
        if (!m_host) return;
        EXPECT_TRUE(Engine().stop());
        m_host.reset();
    }
    void connect() {
        m_host->pressCom();
        ASSERT_TRUE(m_host->waitUntil([this] { return m_host->connected() && m_host->pendingReplies() == 0; }, kLinkTimeout));
    }
    // What crossed the line, one "> command" or "< reply" each, as the simulator saw it.
    std::vector<std::string> wire() const {
        std::vector<std::string> lines;
        for (const auto& entry : m_sim->monitor().log()) lines.push_back(withoutTime(sim::WireLog::formatLine(entry)));
        return lines;
    }
    static std::string withoutTime(const std::string& line) { return line.substr(line.find(' ') + 1); }

    ScratchDirectory m_dir;
    std::unique_ptr<sim::SimulatedTransceiver> m_sim;
    std::unique_ptr<Ser2netServer> m_server;
    std::unique_ptr<HeadlessHost> m_host;
};

// The lines of one direction ('>' or '<'): the line is full duplex, so the two
// directions interleave a little differently from run to run.
std::vector<std::string> direction(const std::vector<std::string>& lines, char mark) {
    std::vector<std::string> picked;
    for (const std::string& line : lines) {
        if (line.starts_with(mark)) picked.push_back(line);
    }
    return picked;
}

// Both directions, without the once-a-second power poll, which slips in at a place
// that differs from run to run.
std::vector<std::string> withoutPolls(std::vector<std::string> lines) {
    const auto poll = [](const std::string& l) { return l == "> PS;" || l == "< PS1;" || l == "> AI;" || l == "< AI1;"; };
    lines.erase(std::remove_if(lines.begin(), lines.end(), poll), lines.end());
    std::vector<std::string> sequence = direction(lines, '>');
    for (std::string& line : direction(lines, '<')) sequence.push_back(std::move(line));
    return sequence;
}

TEST_F(RemoteStation, ConnectAndStepGoOverBothKindsOfServerAsOverTheDevice) {
    std::vector<std::string> local;
    for (Line line : kLines) {
        SCOPED_TRACE(lineName(line));
        m_sim->monitor().clear();
        startEngine(target(line));
        ASSERT_TRUE(m_sim->monitor().waitForCommand("AI0;", kLinkTimeout));
        connect();
        const std::vector<std::string> sequence = withoutPolls(wire());
        if (line == Line::Local) local = sequence;
        EXPECT_EQ(sequence, local) << "the connect sequence on the line, byte for byte";

        // A step of EQ1 LEVEL and its read-back, and back, so that every run reads the same.
        const int before = m_sim->radio().peValue({0, 0, 1});
        for (const int level : {before == 5 ? 4 : 5, before}) {
            const std::string set = "PE001" + std::string(level < 0 ? "-" : "+") + "0" + std::to_string(std::abs(level)) + ";";
            for (const std::string& command : {set, std::string("PE001;")}) {
                ASSERT_GT(SioSendQueue().push(command.size(), command.data()), 0);
                ThreadDirectory().post(WorkerRole::SioSend, UWM_SIO_SEND);
            }
            EXPECT_TRUE(m_host->waitUntil([&] { return Trx_StateGuard().getPeq(0, 0, PeqParam::Level) == level; }, kLinkTimeout));
            EXPECT_EQ(m_sim->radio().peValue({0, 0, 1}), level);
        }
        stopEngine();
    }
}

TEST_F(RemoteStation, TheBaudRateDialogSetsTheFarPortOverRfc2217) {
    startEngine(target(Line::Rfc2217));
    connect();
    EXPECT_EQ(m_sim->monitor().deviceSpeed(), 38400);

    ScratchDirectory settings;
    PortDialogController dialog(PortSetting::BaudRate, 0, settings.path());
    const auto& rows = dialog.rows();
    const auto row = std::find_if(rows.begin(), rows.end(), [](const PortDialogRow& r) { return r.value == 9600; });
    dialog.select(static_cast<int>(row - rows.begin()));
    EXPECT_EQ(dialog.ok(), PortDialogOk::Close);
    EXPECT_FALSE(Sio_Port().isOpen());
    connect();
    EXPECT_EQ(m_sim->monitor().deviceSpeed(), 9600);
}

TEST_F(RemoteStation, AServerThatStopsTakesTheLinkOfflineAndARestartConnectsAgain) {
    for (Line line : {Line::Raw, Line::Rfc2217}) {
        SCOPED_TRACE(lineName(line));
        startEngine(target(line));
        connect();
        m_server->stop();
        EXPECT_TRUE(m_host->waitUntil([] { return !Sio_Port().isOpen(); }, kLinkTimeout)) << "a line fault";
        EXPECT_TRUE(m_host->waitUntil([this] { return !m_host->connected(); }, kLinkTimeout)) << "the watchdog";
        ASSERT_TRUE(m_server->start());
        connect();
        stopEngine();
    }
}

TEST_F(RemoteStation, APortWithNothingListeningIsRefusedAtOnce) {
    startEngine("rfc2217://127.0.0.1:" + std::to_string(freeLoopbackPort()));
    EXPECT_FALSE(Sio_Port().isOpen());
    const SerialFault fault = Sio_Port().lastFault();
    EXPECT_EQ(fault.code, SerialError::ConnectionRefused) << "not left to the connect time-out";
    EXPECT_NE(fault.reason.find("COM1 (rfc2217://127.0.0.1:"), std::string::npos) << fault.reason;
    EXPECT_NE(fault.reason.find("connection refused"), std::string::npos) << fault.reason;
    EXPECT_TRUE(m_host->waitUntil([this] {
        const auto notices = m_host->notices();
        return std::count(notices.begin(), notices.end(), IDS_PORT_OPEN_FAILED) == 1;
    }, kLinkTimeout));
}

TEST_F(RemoteStation, TheWireTraceOfAConnectIsTheSimulatorsWireLog) {
    const std::string file = (m_dir / "trace.txt").string();
    std::string error;
    ASSERT_TRUE(Engine::startTrace(file, error)) << error;
    startEngine(target(Line::Local));
    connect();
    std::vector<std::string> trace;
    std::vector<std::string> comments;
    const auto same = [&] {
        trace.clear();
        comments.clear();
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) (line.starts_with('#') ? comments : trace).push_back(line);
        for (std::string& line : trace) line = withoutTime(line);
        return direction(trace, '>') == direction(wire(), '>') && direction(trace, '<') == direction(wire(), '<');
    };
    EXPECT_TRUE(m_host->waitUntil(same, kLinkTimeout));
    EXPECT_EQ(direction(trace, '>'), direction(wire(), '>'));
    EXPECT_EQ(direction(trace, '<'), direction(wire(), '<'));
    EXPECT_GT(trace.size(), 60u) << "the whole start-up read";
    ASSERT_FALSE(comments.empty());
    EXPECT_NE(comments.front().find("COM1 open: " + target(Line::Local) + " at 38400 baud"), std::string::npos);
}

}  // namespace
}  // namespace tqm::test

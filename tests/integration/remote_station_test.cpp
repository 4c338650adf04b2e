#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/string_table.h"
#include "platform/sio_queue.h"
#include "platform/thread_directory.h"
#include "protocol/protocol_messages.h"
#include "serial/port_dialog_controller.h"
#include "tests/integration/engine_fixture.h"
#include "tests/support/ser2net_server.h"

namespace tqm::test {
namespace {

enum class Line { Local, Raw, Rfc2217 };
const char* lineName(Line line) { return line == Line::Local ? "local" : line == Line::Raw ? "tcp" : "rfc2217"; }

// The engine on the simulator's device or through a real ser2net in front of it.
class RemoteStation : public EngineFixture {
protected:
    void SetUp() override {
        startSim();
        if (!Ser2netServer::installed()) GTEST_SKIP() << "ser2net is not installed (scripts/install-deps)";
        m_server = std::make_unique<Ser2netServer>(m_link.string());
        ASSERT_TRUE(m_server->start());
    }
    std::string target(Line line) const {
        if (line == Line::Raw) return m_server->rawTarget();
        return line == Line::Rfc2217 ? m_server->rfc2217Target() : m_link.string();
    }
    // What crossed the line, one "> command" or "< reply" each, as the simulator saw it.
    std::vector<std::string> wire() const {
        std::vector<std::string> lines;
        for (const auto& entry : m_sim->monitor().log()) lines.push_back(withoutTime(sim::WireLog::formatLine(entry)));
        return lines;
    }
    static std::string withoutTime(const std::string& line) { return line.substr(line.find(' ') + 1); }

    std::unique_ptr<Ser2netServer> m_server;
};

// The commands, then the replies (full duplex: the directions interleave differently
// from run to run), without the once-a-second poll, which slips in anywhere.
std::vector<std::string> withoutPolls(const std::vector<std::string>& lines) {
    const auto poll = [](const std::string& l) { return l == "> PS;" || l == "< PS1;" || l == "> AI;" || l == "< AI1;"; };
    std::vector<std::string> sequence;
    for (const char mark : {'>', '<'}) {
        for (const std::string& line : lines) {
            if (line.starts_with(mark) && !poll(line)) sequence.push_back(line);
        }
    }
    return sequence;
}

// The local run also writes a wire trace, which must be what the simulator saw.
TEST_F(RemoteStation, ConnectAndStepGoOverBothKindsOfServerAsOverTheDeviceAndSurviveAServerRestart) {
    const std::string traceFile = (m_dir / "trace.txt").string();
    std::vector<std::string> local;
    for (Line line : {Line::Local, Line::Raw, Line::Rfc2217}) {
        SCOPED_TRACE(lineName(line));
        std::string error;
        ASSERT_TRUE(line != Line::Local || Engine::startTrace(traceFile, error)) << error;
        m_sim->monitor().clear();
        startEngine(target(line));
        ASSERT_TRUE(waitForCommand("AI0;"));
        connect();
        const std::vector<std::string> sequence = withoutPolls(wire());
        if (line == Line::Local) local = sequence;
        EXPECT_EQ(sequence, local) << "the connect sequence on the line, byte for byte";

        if (line != Line::Local) {  // a server that stops takes the link offline; a restart connects again
            m_server->stop();
            EXPECT_TRUE(waitUntil([] { return !Sio_Port().isOpen(); })) << "a line fault";
            EXPECT_TRUE(waitUntil([this] { return !connected(); })) << "the watchdog";
            ASSERT_TRUE(m_server->start());
            connect();
        }
        // A step of EQ1 LEVEL and its read-back, and back, so that every run reads the same.
        const int before = m_sim->radio().peValue({0, 0, 1});
        for (const int level : {before == 5 ? 4 : 5, before}) {
            const std::string set = "PE001" + std::string(level < 0 ? "-" : "+") + "0" + std::to_string(std::abs(level)) + ";";
            for (const std::string& command : {set, std::string("PE001;")}) {
                ASSERT_GT(SioSendQueue().push(command.size(), command.data()), 0);
                ThreadDirectory().post(WorkerRole::SioSend, UWM_SIO_SEND);
            }
            EXPECT_TRUE(waitUntil([&] { return Trx_StateGuard().getPeq(0, 0, PeqParam::Level) == level; }));
            EXPECT_EQ(m_sim->radio().peValue({0, 0, 1}), level);
        }
        const std::vector<std::string> seen = wire();
        stopEngine();  // ends the trace too
        if (line != Line::Local) continue;
        std::vector<std::string> trace[2];  // comments, then the wire
        std::ifstream in(traceFile);
        for (std::string l; std::getline(in, l);) trace[l.starts_with('#') ? 0 : 1].push_back(withoutTime(l));
        EXPECT_EQ(withoutPolls(trace[1]), withoutPolls(seen)) << "the trace, line for line";
        ASSERT_FALSE(trace[0].empty());
        EXPECT_NE(trace[0].front().find("COM1 open: " + target(Line::Local) + " at 38400 baud"), std::string::npos);
    }
}

TEST_F(RemoteStation, TheBaudRateDialogSetsTheFarPortOverRfc2217) {
    startEngine(target(Line::Rfc2217));
    connect();
    EXPECT_EQ(m_sim->monitor().deviceSpeed(), 38400);

    PortDialogController dialog(PortSetting::BaudRate, 0, (m_dir / "settings").string());
    const auto& rows = dialog.rows();
    const auto row = std::find_if(rows.begin(), rows.end(), [](const PortDialogRow& r) { return r.value == 9600; });
    dialog.select(static_cast<int>(row - rows.begin()));
    EXPECT_EQ(dialog.ok(), PortDialogOk::Close);
    EXPECT_FALSE(Sio_Port().isOpen());
    connect();
    EXPECT_EQ(m_sim->monitor().deviceSpeed(), 9600);
}

TEST_F(RemoteStation, APortWithNothingListeningIsRefusedAtOnce) {
    startEngine("rfc2217://127.0.0.1:" + std::to_string(freeLoopbackPort()));
    EXPECT_FALSE(Sio_Port().isOpen());
    const SerialFault fault = Sio_Port().lastFault();
    EXPECT_EQ(fault.code, SerialError::ConnectionRefused) << "not left to the connect time-out";
    EXPECT_NE(fault.reason.find("COM1 (rfc2217://127.0.0.1:"), std::string::npos) << fault.reason;
    EXPECT_NE(fault.reason.find("connection refused"), std::string::npos) << fault.reason;
    EXPECT_TRUE(waitUntil([this] { return std::ranges::count(m_window->notices(), IDS_PORT_OPEN_FAILED) == 1; }));
}

}  // namespace
}  // namespace tqm::test

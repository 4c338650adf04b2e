#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/engine.h"
#include "platform/sio_queue.h"
#include "protocol/anl_recv.h"
#include "protocol/trx_state.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/simulated_transceiver.h"
#include "tests/integration/headless_host.h"
#include "tests/support/scratch_directory.h"

namespace tqm::test {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kLinkTimeout{10000};

// The whole engine over a pseudo-terminal against the simulated transceiver, with
// the headless host in the main window's place.
class ConnectionSequence : public ::testing::Test {
protected:
    // COM1 leads to the simulator's link when it publishes one, else to its device.
    void startAll(sim::SimConfig config = {}) {
        config.baud = 38400;
        // Through a symlink of the test's own: a pulled adapter's old /dev/pts path,
        // which the engine keeps trying, may belong to another test's transceiver by then.
        config.linkPath = (m_dir / "radio").string();
        m_sim = std::make_unique<sim::SimulatedTransceiver>(config);
        ASSERT_TRUE(m_sim->start()) << m_sim->errorText();
        ASSERT_TRUE(PortMap().setOverride(1, config.linkPath));
        Engine engine;
        engine.initialiseState();
        ASSERT_TRUE(engine.waitMenuListReady(kLinkTimeout));
        Sio_Port().setPortNumber(1);
        Sio_Port().setBaudRate(38400);
        m_host = std::make_unique<HeadlessHost>();
        ASSERT_TRUE(engine.startLink());
        ASSERT_TRUE(m_sim->monitor().waitForCommand("AI0;", kLinkTimeout)) << "the port opened";
    }
    void TearDown() override {
        EXPECT_TRUE(Engine().stop());
        m_host.reset();
        if (m_sim) m_sim->stop();
        PortMap().reset();
    }

    // The commands the transceiver received since the log was cleared, in order.
    std::vector<std::string> commands() const {
        std::vector<std::string> result;
        for (const auto& entry : m_sim->monitor().log()) {
            if (entry.direction == sim::WireDirection::ToTransceiver) result.push_back(entry.bytes);
        }
        return result;
    }
    bool stateMatchesTransceiver() const {
        Trx_StateGuard state;
        for (int p = 0; p < 27; ++p) {
            if (state.getPeq(p / 9, p % 9 / 3, static_cast<PeqParam>(p % 3)) != m_sim->radio().peValue({p / 9, p % 9 / 3, p % 3})) {
                return false;
            }
        }
        return true;
    }
    // Presses COM and waits until the start-up read has ended with the power reply.
    void connect() {
        m_host->pressCom();
        ASSERT_TRUE(m_host->waitUntil([this] { return m_host->connected() && m_host->pendingReplies() == 0; }, kLinkTimeout));
        ASSERT_TRUE(m_host->waitUntil([] { return Trx_ShadowGuard().powerState() == 1; }, kLinkTimeout));
    }
    void waitForPowerOff() {
        m_sim->radio().powerOff();
        ASSERT_TRUE(m_host->waitUntil([] { return Trx_ShadowGuard().powerState() == 0; }, kLinkTimeout));
    }

    // Writes a read of VFO A to the device from outside the program and waits until the
    // transceiver has taken it: whatever the program wrote before has arrived by then.
    void flushLine() {
        const int fd = ::open(m_sim->devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0) << m_sim->devicePath();
        const std::size_t before = m_sim->monitor().commandCount("FA;");
        EXPECT_EQ(::write(fd, "FA;", 3), 3);
        EXPECT_TRUE(m_sim->monitor().waitForCommand("FA;", kLinkTimeout, before + 1));
        ::close(fd);
    }

    ScratchDirectory m_dir;
    std::unique_ptr<sim::SimulatedTransceiver> m_sim;
    std::unique_ptr<HeadlessHost> m_host;
};

TEST_F(ConnectionSequence, OpeningThePortWritesAiOffOnlyAndAConnectOnAClosedPortOpensItFirst) {
    startAll();
    std::this_thread::sleep_for(1500ms);  // more than a poll period: the poll stays silent
    EXPECT_EQ(commands(), (std::vector<std::string>{"AI0;"}));

    Sio_Port().close();
    m_sim->monitor().clear();
    m_host->pressCom();
    ASSERT_TRUE(m_sim->monitor().waitForCommand("AI1;", kLinkTimeout));
    const auto wire = commands();
    ASSERT_GE(wire.size(), 2u);
    EXPECT_EQ(wire[0], "AI0;");
    EXPECT_EQ(wire[1], "AI1;");
}

TEST_F(ConnectionSequence, NormalConnectReadsEverythingThenPollsEverySecond) {
    startAll();
    m_host->pressCom();
    ASSERT_TRUE(m_sim->monitor().waitForCommand("PS;", kLinkTimeout, 3)) << "start-up read and two polls";
    ASSERT_TRUE(m_sim->monitor().waitForCommand("AI;", kLinkTimeout, 3));

    std::vector<std::string> expected = {"AI0;", "AI1;", "AI;", "ID;", "ID4700;"};
    for (int i = 0; i < 27; ++i) {
        expected.push_back("PE" + std::to_string(i / 9) + std::to_string(i % 9 / 3) + std::to_string(i % 3) + ";");
    }
    expected.push_back("PS;");
    // The once-a-second poll may slip in anywhere after the link is up; take it out.
    std::vector<std::string> sequence;
    for (const std::string& command : commands()) {
        const bool poll = command == "PS;" || command == "AI;";
        if (sequence.size() == expected.size() || (poll && sequence.size() > 2 && sequence.size() + 1 < expected.size())) {
            continue;
        }
        sequence.push_back(command);
    }
    EXPECT_EQ(sequence, expected);
    EXPECT_TRUE(m_host->lampOn());
    EXPECT_TRUE(m_host->waitUntil([this] { return stateMatchesTransceiver(); }, kLinkTimeout));
}

TEST_F(ConnectionSequence, RefusedAutoInformationRepeatsTheSwitchOn) {
    sim::SimConfig config;
    config.refuseAi = true;
    startAll(config);
    m_host->pressCom();
    ASSERT_TRUE(m_sim->monitor().waitForCommand("AI1;", kLinkTimeout, 3)) << "every AI0 reply brings another AI1;";
    EXPECT_GE(m_sim->monitor().commandCount("AI;"), 2u);
    EXPECT_EQ(m_sim->monitor().commandCount("ID;"), 0u);
    // After 5 s the operator is told, and the link stays down.
    ASSERT_TRUE(m_host->waitUntil([this] { return !m_host->notices().empty(); }, kLinkTimeout));
    EXPECT_EQ(m_host->notices().front(), 111);
    EXPECT_FALSE(m_host->connected());
}

TEST_F(ConnectionSequence, AnotherModelGetsNoStartupReadAndIsSwitchedOff) {
    sim::SimConfig config;
    config.modelCode = "4701";
    startAll(config);
    m_host->pressCom();
    ASSERT_TRUE(m_sim->monitor().waitForCommand("ID4700;", kLinkTimeout));
    ASSERT_TRUE(m_host->waitUntil([this] { return !m_host->notices().empty(); }, kLinkTimeout));
    EXPECT_EQ(m_host->notices(), (std::vector<int>{111}));
    EXPECT_TRUE(m_sim->monitor().waitForCommand("AI0;", kLinkTimeout, 2)) << "the link is switched off again";
    EXPECT_EQ(m_sim->monitor().commandCount("PE000;"), 0u);
    EXPECT_FALSE(m_host->connected());
}

TEST_F(ConnectionSequence, PowerOffKeepsPollingPowerThenPowerOnReconnects) {
    startAll();
    connect();
    waitForPowerOff();
    std::this_thread::sleep_for(200ms);  // the AI read of the poll that saw the power go
    m_sim->monitor().clear();
    std::this_thread::sleep_for(2200ms);
    auto wire = commands();
    EXPECT_GE(std::count(wire.begin(), wire.end(), "PS;"), 2);
    EXPECT_EQ(std::count(wire.begin(), wire.end(), "AI;"), 0) << "power off: only the power read";

    m_sim->monitor().clear();
    m_sim->radio().powerOn();
    ASSERT_TRUE(m_sim->monitor().waitForCommand("ID;", kLinkTimeout));
    wire = commands();
    auto ai1 = std::find(wire.begin(), wire.end(), "AI1;");
    auto aiRead = std::find(ai1, wire.end(), "AI;");
    auto id = std::find(aiRead, wire.end(), "ID;");
    EXPECT_NE(ai1, wire.end());
    EXPECT_NE(aiRead, wire.end());
    EXPECT_NE(id, wire.end()) << "AI1;, the AI read, then the identification";
}

TEST_F(ConnectionSequence, SwitchingOffWhilePoweredOffKeepsAutoInformationOffAtPowerOn) {
    startAll();
    connect();
    waitForPowerOff();
    m_host->pressCom();
    ASSERT_TRUE(m_host->waitUntil([this] { return !m_host->connected(); }, kLinkTimeout));
    EXPECT_EQ(Trx_StateGuard().savedAutoInfo(), 0);
    m_sim->monitor().clear();
    m_sim->radio().powerOn();
    std::this_thread::sleep_for(2500ms);
    EXPECT_EQ(m_sim->monitor().commandCount("AI1;"), 0u);
}

TEST_F(ConnectionSequence, SwitchOffSendsAiOffAndTakesTheWindowOffline) {
    startAll();
    connect();
    m_sim->monitor().clear();
    m_host->pressCom();
    ASSERT_TRUE(m_host->waitUntil([this] { return !m_host->connected(); }, kLinkTimeout));
    ASSERT_TRUE(m_sim->monitor().waitForCommand("AI;", kLinkTimeout));
    auto wire = commands();
    ASSERT_GE(wire.size(), 2u);
    EXPECT_EQ(wire[0], "AI0;");
    EXPECT_FALSE(m_host->lampOn());
    EXPECT_FALSE(m_sim->radio().autoInformation());
}

// The port is the simulator's link, as an adapter's /dev/serial/by-id name: it goes
// with the adapter and comes back with it. The program retries the port while the
// adapter is out; a bare /dev/pts number would by then lead to whichever terminal
// the kernel gave that number next, another test's simulator among them.
TEST_F(ConnectionSequence, PulledAdapterClosesThePortAndAReconnectWorks) {
    ScratchDirectory directory;
    sim::SimConfig config;
    config.linkPath = (directory / "ttyUSB").string();
    startAll(config);
    connect();
    ASSERT_TRUE(m_sim->line().unplug());
    ASSERT_TRUE(m_host->waitUntil([this] { return !m_host->connected(); }, kLinkTimeout));
    ASSERT_TRUE(m_host->waitUntil([] { return !Sio_Port().isOpen(); }, kLinkTimeout));
    ASSERT_TRUE(m_sim->line().plugIn());
    m_sim->monitor().clear();
    m_sim->radio().setPeValue({2, 2, 1}, -9);
    connect();
    EXPECT_TRUE(m_host->waitUntil([this] { return stateMatchesTransceiver(); }, kLinkTimeout));
    EXPECT_EQ(Trx_StateGuard().getPeq(2, 2, PeqParam::Level), -9);
}

// The end of a run while connected, at several distances (ms) after a poll: once the
// stop has closed the port nothing reopens it, which would show as "AI1;" or "AI0;".
class ShutdownAfterAPoll : public ConnectionSequence, public ::testing::WithParamInterface<int> {};

TEST_P(ShutdownAfterAPoll, NothingReachesTheTransceiverOnceThePortHasClosed) {
    startAll();
    connect();
    m_sim->monitor().clear();
    ASSERT_TRUE(m_sim->monitor().waitForCommand("PS;", kLinkTimeout));
    std::this_thread::sleep_for(std::chrono::milliseconds(GetParam()));
    bool closed = false;
    EXPECT_TRUE(Engine().stop([&closed] { closed = !Sio_Port().isOpen(); }));
    EXPECT_TRUE(closed);
    EXPECT_FALSE(Sio_Port().isOpen());
    flushLine();
    EXPECT_EQ(m_sim->monitor().commandCount("AI1;") + m_sim->monitor().commandCount("AI0;"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Offsets, ShutdownAfterAPoll, ::testing::Values(300, 800, 950));

TEST_F(ConnectionSequence, AWindowThatHandlesNoMoreMessagesDoesNotHoldTheStopBack) {
    startAll();
    m_host->closeWindow();
    // Auto information reported on: the reply thread sends UWM_POWER_ON and waits.
    ASSERT_GT(SioReceiveQueue().push(3, "AI1"), 0);
    ASSERT_TRUE(Anl_Recv().postReply());
    EXPECT_TRUE(Engine().stop()) << "every thread ended; none was abandoned";
}

}  // namespace
}  // namespace tqm::test

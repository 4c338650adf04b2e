#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/sio_queue.h"
#include "protocol/anl_recv.h"
#include "tests/integration/engine_fixture.h"

namespace tqm::test {
namespace {

using namespace std::chrono_literals;

// The connect, poll and switch-off sequences on the line, COM1 opened at the start.
class ConnectionSequence : public EngineFixture {
protected:
    void startAll() {
        startSim();
        startEngine();
        ASSERT_TRUE(waitForCommand("AI0;")) << "the port opened";
    }
};

// Before a connect nothing polls; a connect on a closed port opens it first.
TEST_F(ConnectionSequence, OpeningThePortWritesAiOffOnlyAndAConnectReadsEverythingThenPollsEverySecond) {
    startAll();
    runFor(1500ms);  // more than a poll period
    EXPECT_EQ(commands(), (std::vector<std::string>{"AI0;"}));
    Sio_Port().close();
    m_sim->monitor().clear();
    pressCom();
    ASSERT_TRUE(waitForCommand("PS;", 3)) << "start-up read and two polls";
    ASSERT_TRUE(waitForCommand("AI;", 3));

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
    EXPECT_TRUE(m_window->lampOn());
    EXPECT_TRUE(waitUntil([this] { return stateMatchesTransceiver(); }));
}

TEST_F(ConnectionSequence, SwitchOffSendsAiOffAndTakesTheWindowOffline) {
    startAll();
    connect();
    m_sim->monitor().clear();
    pressCom();
    ASSERT_TRUE(waitUntil([this] { return !connected(); }));
    ASSERT_TRUE(waitForCommand("AI;"));
    EXPECT_EQ(commands().front(), "AI0;");
    EXPECT_FALSE(m_window->lampOn());
    EXPECT_FALSE(m_sim->radio().autoInformation());
}

// The port is the simulator's link, as an adapter's /dev/serial/by-id name: it goes
// with the adapter and comes back with it.
TEST_F(ConnectionSequence, PulledAdapterClosesThePortAndAReconnectWorks) {
    m_link = m_dir / "ttyUSB";
    startAll();
    connect();
    ASSERT_TRUE(m_sim->line().unplug());
    ASSERT_TRUE(waitUntil([this] { return !connected() && !Sio_Port().isOpen(); }));
    ASSERT_TRUE(m_sim->line().plugIn());
    ASSERT_TRUE(m_sim->radio().setPeValue({2, 2, 1}, -9));
    connect();
    EXPECT_TRUE(waitUntil([this] { return stateMatchesTransceiver(); })) << "EQ3 LEVEL of P read back as -9";
}

// The end of a run while connected, at several distances (ms) after a poll: once the
// stop has closed the port nothing reopens it, which would show as "AI1;" or "AI0;".
class ShutdownAfterAPoll : public ConnectionSequence, public ::testing::WithParamInterface<int> {};

TEST_P(ShutdownAfterAPoll, NothingReachesTheTransceiverOnceThePortHasClosed) {
    startAll();
    connect();
    m_sim->monitor().clear();
    ASSERT_TRUE(waitForCommand("PS;"));
    runFor(std::chrono::milliseconds(GetParam()));
    bool closed = false;
    EXPECT_TRUE(Engine().stop([&closed] { closed = !Sio_Port().isOpen(); }));
    EXPECT_TRUE(closed);
    // A read of VFO A written from outside: whatever the program wrote before has
    // arrived once the transceiver has taken it.
    const int fd = ::open(m_sim->devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0) << m_sim->devicePath();
    EXPECT_EQ(::write(fd, "FA;", 3), 3);
    EXPECT_TRUE(m_sim->monitor().waitForCommand("FA;", kLinkTimeout));
    ::close(fd);
    EXPECT_EQ(m_sim->monitor().commandCount("AI1;") + m_sim->monitor().commandCount("AI0;"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Offsets, ShutdownAfterAPoll, ::testing::Values(300, 800, 950));

TEST_F(ConnectionSequence, AWindowThatHandlesNoMoreMessagesDoesNotHoldTheStopBack) {
    startAll();
    // Auto information reported on: the reply thread sends UWM_POWER_ON and waits for
    // the window, which handles nothing outside a wait.
    ASSERT_GT(SioReceiveQueue().push(3, "AI1"), 0);
    ASSERT_TRUE(Anl_Recv().postReply());
    EXPECT_TRUE(Engine().stop()) << "every thread ended; none was abandoned";
}

}  // namespace
}  // namespace tqm::test

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "platform/serial_device.h"
#include "protocol/trx_state.h"
#include "serial/port_map.h"
#include "serial/serial_messages.h"
#include "serial/sio_port.h"
#include "tests/serial/serial_fixture.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;
using SioPortTest = test::SerialLinkTest;

constexpr const char* kMissing = "/dev/tqm-no-such-device";

TEST_F(SioPortTest, OpenWritesTheAutoInformationStateOnceAndCloseEndsIt) {
    EXPECT_FALSE(Sio_Port().close()) << "closing a closed port";
    ASSERT_TRUE(Sio_Port().open());
    EXPECT_TRUE(Sio_Port().isOpen());
    EXPECT_FALSE(Sio_Port().open()) << "a second open";
    EXPECT_EQ(m_peer->readFor(100ms), "AI0;") << "written once";
    EXPECT_TRUE(Sio_Port().close());
    EXPECT_FALSE(Sio_Port().isOpen());

    Sio_Port().setNoticeBoxShown(true);
    EXPECT_FALSE(Sio_Port().open()) << "no open while a notice box is up";
    Sio_Port().setNoticeBoxShown(false);
    Trx_ShadowGuard().setAutoInfo(1);
    ASSERT_TRUE(Sio_Port().open());
    EXPECT_EQ(m_peer->readAtLeast(4), "AI1;");
    EXPECT_EQ(m_window.count(UWM_COM_FAILED), 0u);
}

TEST_F(SioPortTest, FailedOpensSayWhyAndTellTheWindowOncePerLoss) {
    // told: whether this failure posts a notice; the reason is always kept.
    const auto expectFailure = [&](SerialError code, const std::string& words, bool told, const char* com = "COM1") {
        m_window.clear();
        EXPECT_FALSE(Sio_Port().open());
        EXPECT_FALSE(Sio_Port().isOpen());
        ASSERT_EQ(m_window.count(UWM_COM_FAILED), told ? 1u : 0u);
        const Message notice = told ? m_window.entries().at(0).message : Message{};
        EXPECT_TRUE(notice.wParam == 0 && notice.lParam == 0) << "the port notice, (0, 0)";
        const SerialFault fault = Sio_Port().lastFault();
        EXPECT_EQ(fault.code, code);
        EXPECT_TRUE(fault.reason.find(com) != std::string::npos && fault.reason.find(words) != std::string::npos)
            << fault.reason;
    };
    PortMap().setOverride(1, kMissing);
    expectFailure(SerialError::NotFound, "no such device", true);
    expectFailure(SerialError::NotFound, "no such device", false);
    // Another program holds the device.
    PortMap().setOverride(1, m_peer->slavePath());
    const int holder = ::open(m_peer->slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    expectFailure(SerialError::Busy, "in use", false);
    Sio_Port().rearmFailureNotice();  // the operator asks for the port again
    expectFailure(SerialError::Busy, "in use", true);
    ::close(holder);
    EXPECT_TRUE(Sio_Port().open()) << "free again";
    // A loss after a successful open is told again.
    Sio_Port().close();
    PortMap().setOverride(1, kMissing);
    expectFailure(SerialError::NotFound, "no such device", true);

    // A map file line that cannot be used never leads to the default device.
    test::ScratchDirectory directory;
    ASSERT_TRUE(test::writeFile(directory / "PortMap.csv", "5=/dev/pts/1\n"));
    PortMap().loadFile(directory / "PortMap.csv");
    Sio_Port().setPortNumber(5);
    expectFailure(SerialError::Unusable, "unusable entry in PortMap.csv", false, "COM5");
}

TEST_F(SioPortTest, SettersFallBackToPortOneAnd4800Baud) {
    Sio_Port port;
    for (const auto& [baud, valid, result] : {std::tuple(38400, true, 38400), std::tuple(57600, false, 4800),
                                              std::tuple(0, false, 4800), std::tuple(9600, true, 9600)}) {
        EXPECT_EQ(port.setBaudRate(baud), valid) << baud;
        EXPECT_EQ(port.baudRate(), result) << baud;
    }
    for (const auto& [number, valid, result] :
         {std::tuple(20, true, 20), std::tuple(0, false, 1), std::tuple(7, true, 7), std::tuple(21, false, 1)}) {
        EXPECT_EQ(port.setPortNumber(number), valid) << number;
        EXPECT_EQ(port.portNumber(), result) << number;
    }
    Sio_Port().setPortNumber(20);
    EXPECT_EQ(Sio_Port().devicePath(), "/dev/ttyACM7");
}

TEST_F(SioPortTest, ProbeTellsOpenablePortsAndLeavesTheOpenPortAlone) {
    test::PtyPeer other;
    PortMap().setOverride(2, other.slavePath());
    PortMap().setOverride(3, kMissing);
    ASSERT_TRUE(Sio_Port().open());
    EXPECT_EQ(m_peer->readAtLeast(4), "AI0;");
    EXPECT_FALSE(Sio_Port().probe(0)) << "COM1 is busy: we hold it";
    EXPECT_TRUE(Sio_Port().probe(1)) << "COM2 is free";
    EXPECT_FALSE(Sio_Port().probe(2)) << "COM3 is missing";
    EXPECT_FALSE(Sio_Port().probe(20)) << "the end row";
    EXPECT_EQ(other.readFor(50ms), "") << "a probe writes nothing";
    SerialFault fault;
    EXPECT_EQ(Sio_Port().write("PS;", 3, fault), 3u);
    EXPECT_EQ(m_peer->readAtLeast(3), "PS;") << "the open port still works";
    EXPECT_TRUE(Sio_Port().isOpen());
    EXPECT_EQ(m_window.count(UWM_COM_FAILED), 0u);
}

// A terminal that someone else holds (a shell, say) is left as it was found by
// every way the port lets go of it: its settings back, exclusive use released.
TEST_F(SioPortTest, LettingGoOfADeviceLeavesItAsItWasFound) {
    const std::function<void(const std::string&)> ways[] = {
        [&](const std::string&) {
            ASSERT_TRUE(Sio_Port().open());
            EXPECT_EQ(m_peer->readAtLeast(4), "AI0;");
            Sio_Port().close();
        },
        [](const std::string&) { EXPECT_TRUE(Sio_Port().probe(0)); },
        [](const std::string& path) {  // an open refused for its speed
            SerialDevice device;
            SerialFault fault;
            EXPECT_FALSE(device.open(path, 300, fault));
            EXPECT_EQ(fault.code, SerialError::BadSpeed);
        },
        [](const std::string& path) {
            SerialDevice device;
            SerialFault fault;
            ASSERT_TRUE(device.open(path, 4800, fault)) << fault.reason;
            device.abort();
            EXPECT_FALSE(device.isOpen());
        },
    };
    const auto settings = [](const termios& t) {
        return std::tuple(t.c_iflag, t.c_oflag, t.c_cflag, t.c_lflag, std::to_array(t.c_cc), ::cfgetispeed(&t),
                          ::cfgetospeed(&t));
    };
    for (std::size_t way = 0; way < std::size(ways); ++way) {
        SCOPED_TRACE(way);
        replacePeer();
        const int owner = ::open(m_peer->slavePath().c_str(), O_RDWR | O_NOCTTY);
        termios before{};
        termios after{};
        ASSERT_EQ(::tcgetattr(owner, &before), 0);
        ASSERT_TRUE(before.c_lflag & ECHO) << "a terminal as a shell has it";
        ways[way](m_peer->slavePath());
        ASSERT_EQ(::tcgetattr(owner, &after), 0);
        EXPECT_EQ(settings(before), settings(after));
        int exclusive = -1;
        EXPECT_EQ(::ioctl(owner, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0) << "exclusive use released";
        const int again = ::open(m_peer->slavePath().c_str(), O_RDWR | O_NOCTTY);
        EXPECT_GE(again, 0) << "opened again";
        ::close(again);
        ::close(owner);
    }
}

}  // namespace
}  // namespace tqm

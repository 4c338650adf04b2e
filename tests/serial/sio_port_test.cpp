#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "platform/serial_device.h"
#include "protocol/trx_state.h"
#include "serial/port_map.h"
#include "serial/serial_messages.h"
#include "serial/sio_port.h"
#include "tests/serial/pty_peer.h"
#include "tests/serial/serial_link_fixture.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;
using test::PtyPeer;
using test::SerialLinkTest;

using SioPortTest = SerialLinkTest;

TEST_F(SioPortTest, OpenWritesTheAutoInformationStateOnceAndCloseEndsIt) {
    EXPECT_FALSE(Sio_Port().close()) << "closing a closed port";
    ASSERT_TRUE(Sio_Port().open());
    EXPECT_TRUE(Sio_Port().isOpen());
    EXPECT_EQ(m_peer->readAtLeast(4), "AI0;");
    EXPECT_FALSE(Sio_Port().open()) << "a second open";
    EXPECT_EQ(m_peer->readFor(100ms), "") << "the second open writes nothing";
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
        if (told) {
            const auto entry = m_window.entries().at(0);
            EXPECT_EQ(entry.message.wParam, 0u);
            EXPECT_EQ(entry.message.lParam, 0);
        }
        const SerialFault fault = Sio_Port().lastFault();
        EXPECT_EQ(fault.code, code);
        EXPECT_NE(fault.reason.find(com), std::string::npos) << fault.reason;
        EXPECT_NE(fault.reason.find(words), std::string::npos) << fault.reason;
    };

    PortMap().setOverride(1, "/dev/tqm-no-such-device");
    expectFailure(SerialError::NotFound, "no such device", true);
    expectFailure(SerialError::NotFound, "no such device", false);
    // Another program holds the device.
    PortMap().setOverride(1, m_peer->slavePath());
    const int holder = ::open(m_peer->slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    expectFailure(SerialError::Busy, "in use", false);
    Sio_Port().rearmFailureNotice();  // the operator asks for the port again
    expectFailure(SerialError::Busy, "in use", true);
    ::close(holder);
    EXPECT_TRUE(Sio_Port().open()) << "free again";
    // A loss after a successful open is told again.
    Sio_Port().close();
    PortMap().setOverride(1, "/dev/tqm-no-such-device");
    expectFailure(SerialError::NotFound, "no such device", true);

    // A map file line that cannot be used never leads to the default device.
    test::ScratchDirectory directory;
    ASSERT_TRUE(test::writeFile(directory / "PortMap.csv", "5=/dev/pts/1\n"));
    PortMap().loadFile(directory / "PortMap.csv");
    Sio_Port().setPortNumber(5);
    expectFailure(SerialError::Unusable, "unusable entry in PortMap.csv", false, "COM5");
}

TEST_F(SioPortTest, SettersFallBackToPortOneAnd4800Baud) {
    EXPECT_TRUE(Sio_Port().setBaudRate(38400));
    EXPECT_EQ(Sio_Port().baudRate(), 38400);
    EXPECT_FALSE(Sio_Port().setBaudRate(57600));
    EXPECT_EQ(Sio_Port().baudRate(), 4800);
    EXPECT_TRUE(Sio_Port().setPortNumber(20));
    EXPECT_EQ(Sio_Port().portNumber(), 20);
    EXPECT_EQ(Sio_Port().devicePath(), "/dev/ttyACM7");
    EXPECT_FALSE(Sio_Port().setPortNumber(0));
    EXPECT_EQ(Sio_Port().portNumber(), 1);
    Sio_Port().setPortNumber(7);
    EXPECT_FALSE(Sio_Port().setPortNumber(21));
    EXPECT_EQ(Sio_Port().portNumber(), 1);
}

TEST_F(SioPortTest, ProbeTellsOpenablePortsAndLeavesTheOpenPortAlone) {
    PtyPeer other;
    ASSERT_TRUE(other.valid());
    PortMap().setOverride(2, other.slavePath());
    PortMap().setOverride(3, "/dev/tqm-no-such-device");
    ASSERT_TRUE(Sio_Port().open());
    EXPECT_EQ(m_peer->readAtLeast(4), "AI0;");

    EXPECT_FALSE(Sio_Port().probe(0)) << "COM1 is busy: we hold it";
    EXPECT_TRUE(Sio_Port().probe(1)) << "COM2 is free";
    EXPECT_FALSE(Sio_Port().probe(2)) << "COM3 is missing";
    EXPECT_FALSE(Sio_Port().probe(20)) << "the end row";
    EXPECT_EQ(other.readFor(50ms), "") << "a probe writes nothing";

    EXPECT_TRUE(Sio_Port().isOpen());
    SerialFault fault;
    EXPECT_EQ(Sio_Port().write("PS;", 3, fault), 3u);
    EXPECT_EQ(m_peer->readAtLeast(3), "PS;") << "the open port still works";
    EXPECT_EQ(m_window.count(UWM_COM_FAILED), 0u);
}

bool sameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc)) &&
           ::cfgetispeed(&a) == ::cfgetispeed(&b) && ::cfgetospeed(&a) == ::cfgetospeed(&b);
}

// A terminal that someone else holds (a shell, say) is left as it was found by
// every way the port lets go of it: its settings back, exclusive use released.
TEST_F(SioPortTest, LettingGoOfADeviceLeavesItAsItWasFound) {
    const struct {
        const char* how;
        std::function<void(const std::string&)> useAndLetGo;
    } rows[] = {
        {"open and close",
         [&](const std::string&) {
             ASSERT_TRUE(Sio_Port().open());
             EXPECT_EQ(m_peer->readAtLeast(4), "AI0;");
             Sio_Port().close();
         }},
        {"probe", [](const std::string&) { EXPECT_TRUE(Sio_Port().probe(0)); }},
        {"an open refused for its speed",
         [](const std::string& path) {
             SerialDevice device;
             SerialFault fault;
             EXPECT_FALSE(device.open(path, 300, fault));
             EXPECT_EQ(fault.code, SerialError::BadSpeed);
         }},
        {"abort, then close",
         [](const std::string& path) {
             SerialDevice device;
             SerialFault fault;
             ASSERT_TRUE(device.open(path, 4800, fault)) << fault.reason;
             device.abort();
             EXPECT_FALSE(device.isOpen());
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.how);
        replacePeer();
        const int owner = ::open(m_peer->slavePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(owner, 0);
        termios before{};
        ASSERT_EQ(::tcgetattr(owner, &before), 0);
        ASSERT_TRUE(before.c_lflag & ECHO) << "a terminal as a shell has it";

        row.useAndLetGo(m_peer->slavePath());

        termios after{};
        ASSERT_EQ(::tcgetattr(owner, &after), 0);
        EXPECT_TRUE(sameSettings(before, after));
        int exclusive = -1;
        EXPECT_EQ(::ioctl(owner, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0) << "exclusive use released";
        const int again = ::open(m_peer->slavePath().c_str(), O_RDWR | O_NOCTTY);
        EXPECT_GE(again, 0) << "opened again";
        if (again >= 0) ::close(again);
        ::close(owner);
    }
}

}  // namespace
}  // namespace tqm

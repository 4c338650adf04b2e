#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <tuple>

#include <gtest/gtest.h>

#include "menulist/default_menu_list.h"
#include "platform/serial_device.h"
#include "platform/sio_queue.h"
#include "serial/port_dialog_controller.h"
#include "serial/port_map.h"
#include "serial/serial_messages.h"
#include "serial/sio_port.h"
#include "serial/sio_thread_proxies.h"
#include "tests/protocol/protocol_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/queue_drain.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;

// The far end of a pseudo-terminal: the program opens slavePath() as its serial
// device; the test writes the transceiver's bytes here and reads what the program sent.
class PtyPeer final {
public:
    PtyPeer() {
        char name[128] = {};
        if (m_fd >= 0 && ::grantpt(m_fd) == 0 && ::unlockpt(m_fd) == 0 && ::ptsname_r(m_fd, name, sizeof name) == 0)
            m_slavePath = name;
    }
    ~PtyPeer() { ::close(m_fd); }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& slavePath() const { return m_slavePath; }
    bool write(std::string_view bytes) { return ::write(m_fd, bytes.data(), bytes.size()) == ssize_t(bytes.size()); }

    // Blocks until at least count bytes came or the timeout passed; returns what came.
    std::string readAtLeast(std::size_t count, std::chrono::milliseconds timeout = 5000ms) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string received;
        while (received.size() < count && std::chrono::steady_clock::now() < deadline) {
            char buffer[512];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);  // EAGAIN, or EIO with no slave open
            if (n > 0) received.append(buffer, static_cast<std::size_t>(n));
            pollfd entry{m_fd, POLLIN, 0};
            if (n <= 0 && ::poll(&entry, 1, 5) > 0 && (entry.revents & POLLHUP)) ::usleep(5000);  // no slave open
        }
        return received;
    }
    // Blocks for the whole window; returns everything that arrived (to show that nothing did).
    std::string readFor(std::chrono::milliseconds window) { return readAtLeast(SIZE_MAX, window); }

private:
    int m_fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    std::string m_slavePath;
};

// A clean engine side for serial tests: state with the menu list ready, COM1 mapped
// to a fresh pseudo-terminal, a recording main window and a reply collector.
class SioPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::resetLinkState();
        Trx_StateGuard().setMenuListReady(1);
        Sio_Port().initialise();
        PortMap().reset();
        SioSendQueue().reset();
        SioReceiveQueue().reset();
        replacePeer();
        ASSERT_TRUE(ThreadDirectory().startAs(WorkerRole::AnlRecv, m_collector));
    }
    void TearDown() override {
        Sio_Port().close();
        ThreadDirectory().stop(WorkerRole::AnlRecv);
        ThreadDirectory().detach(WorkerRole::AnlRecv);
        PortMap().reset();
        Sio_Port().initialise();
    }

    // A fresh far end mapped to COM1 (the old one is closed).
    void replacePeer() {
        m_peer = std::make_unique<PtyPeer>();
        ASSERT_FALSE(m_peer->slavePath().empty());
        ASSERT_TRUE(PortMap().setOverride(1, m_peer->slavePath()));
    }

    test::RecordingWindow m_window;
    std::unique_ptr<PtyPeer> m_peer;
    std::shared_ptr<test::QueueDrain> m_collector =
        std::make_shared<test::QueueDrain>(test::QueueDrain::Queue::Receive);
};

constexpr const char* kMissing = "/dev/tqm-no-such-device";

TEST_F(SioPortTest, OpenWritesTheAutoInformationStateOnceAndAProbeLeavesTheOpenPortAlone) {
    PtyPeer other;
    PortMap().setOverride(2, other.slavePath());
    PortMap().setOverride(3, kMissing);
    EXPECT_FALSE(Sio_Port().close()) << "closing a closed port";
    ASSERT_TRUE(Sio_Port().open());
    EXPECT_TRUE(Sio_Port().isOpen() && !Sio_Port().open()) << "a second open is refused";
    EXPECT_EQ(m_peer->readFor(100ms), "AI0;") << "written once";
    EXPECT_EQ(std::vector({Sio_Port().probe(0), Sio_Port().probe(1), Sio_Port().probe(2), Sio_Port().probe(20)}),
              std::vector({false, true, false, false}))
        << "COM1 is busy (we hold it), COM2 free, COM3 missing, 20 the end row";
    EXPECT_EQ(other.readFor(50ms), "") << "a probe writes nothing";
    SerialFault fault;
    EXPECT_EQ(Sio_Port().write("PS;", 3, fault), 3u);
    EXPECT_EQ(m_peer->readAtLeast(3), "PS;") << "the open port still works";
    EXPECT_TRUE(Sio_Port().close() && !Sio_Port().isOpen());
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
        EXPECT_FALSE(Sio_Port().open() || Sio_Port().isOpen());
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

// A terminal that someone else holds (a shell, say) is left as it was found by
// every way the port lets go of it: its settings back, exclusive use released.
TEST_F(SioPortTest, LettingGoOfADeviceLeavesItAsItWasFound) {
    const auto openAt = [&](SerialDevice& device, int baud) {
        SerialFault fault;
        return device.open(m_peer->slavePath(), baud, fault) ? SerialError::None : fault.code;
    };
    const std::function<void(SerialDevice&)> ways[] = {
        [&](SerialDevice&) {
            ASSERT_TRUE(Sio_Port().open());
            EXPECT_EQ(m_peer->readAtLeast(4), "AI0;");
            Sio_Port().close();
        },
        [](SerialDevice&) { EXPECT_TRUE(Sio_Port().probe(0)); },
        [&](SerialDevice& device) { EXPECT_EQ(openAt(device, 300), SerialError::BadSpeed); },
        [&](SerialDevice& device) {
            SerialDevice next;
            ASSERT_EQ(openAt(device, 4800), SerialError::None);
            device.abort();
            EXPECT_FALSE(device.isOpen());
            // Given up, it holds the port no longer; a reply its user left unread is
            // not the next user's.
            const int watcher = ::open(m_peer->slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            pollfd waiting{watcher, POLLIN, 0};
            ASSERT_TRUE(m_peer->write("AI0;\n") && ::poll(&waiting, 1, 5000) == 1);  // a line: the terminal is canonical
            ASSERT_EQ(openAt(next, 4800), SerialError::None) << "reopened at once";
            SerialStatus status;
            SerialFault fault;
            EXPECT_TRUE(next.status(status, fault) && status.inQueue == 0) << "the waiting input dropped";
            ::close(watcher);
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
        termios before{}, after{};
        ASSERT_TRUE(::tcgetattr(owner, &before) == 0 && (before.c_lflag & ECHO)) << "a terminal as a shell has it";
        SerialDevice device;
        ways[way](device);
        ASSERT_EQ(::tcgetattr(owner, &after), 0);
        EXPECT_EQ(settings(before), settings(after));
        int exclusive = -1;
        EXPECT_TRUE(::ioctl(owner, TIOCGEXCL, &exclusive) == 0 && exclusive == 0) << "exclusive use released";
        const int again = ::open(m_peer->slavePath().c_str(), O_RDWR | O_NOCTTY);
        EXPECT_GE(again, 0) << "opened again";
        ::close(again);
        ::close(owner);
    }
}

// COM1 is open at the row's speed, with the link on or off, when the dialog's choice
// is taken; COM5 cannot be opened. The link is switched off (through the command
// thread, the port still open) before a change that closes the port.
TEST_F(SioPortTest, ADialogChoiceRewritesTheFileAndSwitchesTheLinkOffOnlyWhenThePortMustClose) {
    const struct {
        PortSetting setting;
        int shownSet, choice, baud, autoInfo;
        PortDialogOk ok;
        bool openAfter;
        int baudAfter;
        const char* file;
    } rows[] = {
        {PortSetting::ComPort, 2, 1, 9600, 0, PortDialogOk::Close, true, 9600, "1,9600,2\r\n"},  // the port in use
        {PortSetting::ComPort, 0, 5, 4800, 1, PortDialogOk::ProbeFailed, true, 4800, ""},
        {PortSetting::BaudRate, 0, 19200, 4800, 1, PortDialogOk::Close, false, 19200, "1,19200,0\r\n"},
    };
    PortMap().setOverride(5, kMissing);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.choice);
        test::ScratchDirectory settings;
        Sio_Port().close();
        ASSERT_TRUE(Sio_Port().setBaudRate(row.baud) && Sio_Port().open());
        Trx_StateGuard().set(StateField::AutoInfo, row.autoInfo);
        std::atomic<int> openAtToggle{-1};
        test::FiledCommandRecorder commands([&](const Message& message) {
            if (message.id != UWM_CMD_LINK_TOGGLE) return;
            openAtToggle = Sio_Port().isOpen() ? 1 : 0;
            Trx_StateGuard().set(StateField::AutoInfo, 0);  // the transceiver's "AI0" reply, as stored
        });
        PortDialogController controller(row.setting, row.shownSet, settings.path());
        const auto& choices = controller.rows();
        const auto chosen = std::ranges::find(choices, row.choice, &PortDialogRow::value);
        controller.select(static_cast<int>(chosen - choices.begin()));
        EXPECT_EQ(controller.ok(), row.ok);
        EXPECT_EQ(std::tuple(Sio_Port().isOpen(), Sio_Port().portNumber(), Sio_Port().baudRate()),
                  std::tuple(row.openAfter, 1, row.baudAfter));
        EXPECT_EQ(openAtToggle.load(), row.openAfter ? -1 : 1);
        EXPECT_EQ(commands->count(UWM_CMD_LINK_TOGGLE), row.openAfter ? 0u : 1u);
        EXPECT_EQ(test::readFile(settings / "CommoFiles" / "CommSetting.csv"), row.file);
    }
}

using Texts = std::vector<std::string>;

bool eventually(const std::function<bool()>& condition) { return test::waitUntil(condition, 5000ms); }

class SerialThreadsTest : public SioPortTest {
protected:
    void SetUp() override {
        SioPortTest::SetUp();
        ASSERT_TRUE(SioRecvThreadProxy().start());
        ASSERT_TRUE(SioSendThreadProxy().start());
    }
    void TearDown() override {
        SioRecvThreadProxy().stop();
        SioSendThreadProxy().stop();
        TimerService().reset();
        SioPortTest::TearDown();
    }

    // Blocks until the receive thread has handled at least count more polls.
    static void waitPolls(unsigned long count) {
        auto receiver = ThreadDirectory().find(WorkerRole::SioRecv);
        for (unsigned long i = 0; i < count; ++i) ASSERT_TRUE(receiver->post(UWM_SIO_POLL));
        ASSERT_TRUE(eventually([&] { return receiver->pendingCount() == 0; }));
    }
    static void send(const std::string& command) {
        ASSERT_GT(SioSendQueue().push(command.size(), command.data()), 0);
        ASSERT_TRUE(ThreadDirectory().post(WorkerRole::SioSend, UWM_SIO_SEND));
    }
    void openAndDrain() {
        ASSERT_TRUE(Sio_Port().open());
        ASSERT_EQ(m_peer->readAtLeast(4), "AI0;");
    }
};

// A menu reply is cut by its item's width in the state (one shorter for model code 0).
TEST_F(SerialThreadsTest, AReplyInTwoPiecesIsDeliveredOnceAndRepliesAreCutBehindLineNoise) {
    Trx_StateGuard state;
    MenuItemRecord record{};
    ASSERT_TRUE(state.set(StateField::MenuCount, kDefaultMenuItemCount) && defaultMenuItem(126, record) &&
                record.formatCode == MENU_FORMAT_EQ2_FREQ && state.storeMenuRecord(126, &record));
    const std::string menuReply = "EX126" + std::string(static_cast<std::size_t>(record.parameterLength) - 1, '3');
    openAndDrain();
    LinkFlags().setReplyPending(1);
    ASSERT_TRUE(m_peer->write("FA142"));
    waitPolls(4);
    EXPECT_TRUE(m_collector->texts().empty() && LinkFlags().replyPending() == 1) << "nothing delivered yet";
    ASSERT_TRUE(m_peer->write("50000;"));
    ASSERT_TRUE(m_collector->waitCount(1));
    EXPECT_EQ(LinkFlags().replyPending(), 0);

    const std::string oversized = "ZZ" + std::string(600, '7') + ";";
    ASSERT_TRUE(m_peer->write("\r\nID4700;ZZ123;PS12;AI1;" + oversized + menuReply + ";EX000;KMHELLO;"));
    ASSERT_TRUE(m_collector->waitCount(6));
    waitPolls(4);
    EXPECT_EQ(m_collector->texts(), (Texts{"FA14250000", "ID4700", "ZZ123", "AI1", menuReply, "KMHELLO"}))
        << "PS12 has no ';' where it should end; a reply of 512 bytes or more is removed, not queued";
}

TEST_F(SerialThreadsTest, NothingMovesUntilTheMenuListIsReady) {
    openAndDrain();
    Trx_StateGuard().setMenuListReady(0);
    ASSERT_TRUE(m_peer->write("PS1;"));
    send("PS;");
    waitPolls(5);
    ASSERT_TRUE(eventually([] { return ThreadDirectory().find(WorkerRole::SioSend)->pendingCount() == 0; }));
    EXPECT_EQ(m_peer->readFor(100ms), "") << "nothing written";
    EXPECT_TRUE(m_collector->texts().empty()) << "nothing read";
    EXPECT_EQ(SioSendQueue().size(), 1u) << "the command stays queued";

    Trx_StateGuard().setMenuListReady(1);
    ASSERT_TRUE(m_collector->waitCount(1));
    EXPECT_EQ(m_collector->texts(), Texts{"PS1"}) << "left in the driver, read now";
    ASSERT_TRUE(ThreadDirectory().post(WorkerRole::SioSend, UWM_SIO_SEND));
    EXPECT_EQ(m_peer->readAtLeast(3), "PS;");
}

TEST_F(SerialThreadsTest, ASendOnAClosedPortOpensItAndTracksAutoInformation) {
    Trx_ShadowGuard().setAutoInfo(1);
    send("AI1;");
    EXPECT_EQ(m_peer->readAtLeast(8), "AI1;AI1;") << "the open writes first, then the command";
    ASSERT_TRUE(eventually([] { return LinkFlags().replyPending() == 1; }));
    EXPECT_EQ(LinkFlags().aiOnSent(), 1);
    send("AI0;");
    EXPECT_EQ(m_peer->readAtLeast(4), "AI0;") << "no second open";
    ASSERT_TRUE(eventually([] { return LinkFlags().aiOnSent() == 0; }));
    send("ID;");
    EXPECT_EQ(m_peer->readAtLeast(3), "ID;");
    EXPECT_EQ(LinkFlags().aiOnSent(), 0) << "other commands leave it";
}


}  // namespace
}  // namespace tqm

#include "serial/port_dialog_controller.h"

#include <atomic>
#include <string>

#include <gtest/gtest.h>

#include "protocol/protocol_messages.h"
#include "protocol/trx_state.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "tests/serial/pty_peer.h"
#include "tests/support/command_thread_recorder.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

using test::FiledCommandRecorder;
using test::readFile;
using test::ScratchDirectory;

constexpr const char* kMissingDevice = "/nonexistent/tqm-no-such-tty";

class PortDialogControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_device.slavePath().empty());
        Sio_Port().initialise();
        Trx_StateGuard().initialise();
        Trx_ShadowGuard().reset();
        PortMap map;
        map.reset();
        map.setOverride(3, m_device.slavePath());
        map.setOverride(5, kMissingDevice);
    }
    void TearDown() override {
        Sio_Port().initialise();
        PortMap().reset();
        Trx_StateGuard().initialise();
    }

    // COM3 at the given speed, opened.
    static void givenOpenPort(int baud) {
        Sio_Port port;
        ASSERT_TRUE(port.setPortNumber(3));
        ASSERT_TRUE(port.setBaudRate(baud));
        ASSERT_TRUE(port.open());
    }
    static void givenAutoInfo(int on) { Trx_StateGuard().set(StateField::AutoInfo, on); }
    static int rowOf(const PortDialogController& controller, int value) {
        const auto& rows = controller.rows();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].value == value) return static_cast<int>(i);
        }
        return -1;
    }
    std::string savedFile() const { return readFile(m_settings.path() / "CommoFiles" / "CommSetting.csv"); }

    test::PtyPeer m_device;
    ScratchDirectory m_settings;
};

TEST_F(PortDialogControllerTest, ChoosingThePortInUseRewritesTheFileAndKeepsThePortOpen) {
    givenOpenPort(9600);
    FiledCommandRecorder commands;
    PortDialogController controller(PortSetting::ComPort, 2, m_settings.path());
    controller.select(rowOf(controller, 3));
    EXPECT_EQ(controller.ok(), PortDialogOk::Close);
    EXPECT_TRUE(Sio_Port().isOpen());
    EXPECT_EQ(commands->count(UWM_CMD_LINK_TOGGLE), 0u);
    EXPECT_EQ(savedFile(), "3,9600,2\r\n");
}

TEST_F(PortDialogControllerTest, APortThatCannotBeOpenedChangesNothing) {
    givenOpenPort(4800);
    givenAutoInfo(1);
    FiledCommandRecorder commands;
    PortDialogController controller(PortSetting::ComPort, 0, m_settings.path());
    controller.select(rowOf(controller, 5));
    EXPECT_EQ(controller.ok(), PortDialogOk::ProbeFailed);
    EXPECT_EQ(Sio_Port().portNumber(), 3);
    EXPECT_TRUE(Sio_Port().isOpen());
    EXPECT_EQ(commands->count(UWM_CMD_LINK_TOGGLE), 0u);
    EXPECT_EQ(savedFile(), "");
}

TEST_F(PortDialogControllerTest, ANewBaudRateWithTheLinkOnSwitchesItOffBeforeThePortCloses) {
    givenOpenPort(4800);
    givenAutoInfo(1);
    std::atomic<bool> openAtToggle{false};
    // The transceiver's "AI0" reply, as the reply analysis would store it.
    FiledCommandRecorder commands([&](const Message& message) {
        if (message.id != UWM_CMD_LINK_TOGGLE) return;
        openAtToggle.store(Sio_Port().isOpen());
        givenAutoInfo(0);
    });
    PortDialogController controller(PortSetting::BaudRate, 0, m_settings.path());
    controller.select(rowOf(controller, 19200));
    EXPECT_EQ(controller.ok(), PortDialogOk::Close);
    EXPECT_EQ(commands->count(UWM_CMD_LINK_TOGGLE), 1u);
    EXPECT_TRUE(openAtToggle.load());
    EXPECT_FALSE(Sio_Port().isOpen());
    EXPECT_EQ(Sio_Port().baudRate(), 19200);
    EXPECT_EQ(savedFile(), "3,19200,0\r\n");
}

}  // namespace
}  // namespace tqm

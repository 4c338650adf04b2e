#include "serial/port_dialog_controller.h"

#include <atomic>
#include <string>

#include <gtest/gtest.h>

#include "protocol/protocol_messages.h"
#include "protocol/trx_state.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "tests/serial/serial_fixture.h"
#include "tests/support/command_thread_recorder.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

// COM3 is open at the row's speed, with the link on or off, when the dialog's choice
// is taken; COM5 cannot be opened. The link is switched off (through the command
// thread, the port still open) before a change that closes the port.
TEST(PortDialogController, AChoiceRewritesTheFileAndSwitchesTheLinkOffOnlyWhenThePortMustClose) {
    const struct {
        PortSetting setting;
        int shownSet;
        int choice;
        int baud;
        int autoInfo;
        PortDialogOk ok;
        bool openAfter;
        int baudAfter;
        const char* file;
    } rows[] = {
        {PortSetting::ComPort, 2, 3, 9600, 0, PortDialogOk::Close, true, 9600, "3,9600,2\r\n"},  // the port in use
        {PortSetting::ComPort, 0, 5, 4800, 1, PortDialogOk::ProbeFailed, true, 4800, ""},
        {PortSetting::BaudRate, 0, 19200, 4800, 1, PortDialogOk::Close, false, 19200, "3,19200,0\r\n"},
    };
    test::PtyPeer device;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.choice);
        test::ScratchDirectory settings;
        Trx_StateGuard().initialise();
        Sio_Port port;
        port.initialise();
        PortMap().reset();
        PortMap().setOverride(3, device.slavePath());
        PortMap().setOverride(5, "/nonexistent/tqm-no-such-tty");
        ASSERT_TRUE(port.setPortNumber(3) && port.setBaudRate(row.baud) && port.open());
        Trx_StateGuard().set(StateField::AutoInfo, row.autoInfo);
        std::atomic<int> openAtToggle{-1};
        test::FiledCommandRecorder commands([&](const Message& message) {
            if (message.id != UWM_CMD_LINK_TOGGLE) return;
            openAtToggle = Sio_Port().isOpen() ? 1 : 0;
            Trx_StateGuard().set(StateField::AutoInfo, 0);  // the transceiver's "AI0" reply, as stored
        });
        PortDialogController controller(row.setting, row.shownSet, settings.path());
        int choice = -1;
        for (std::size_t i = 0; i < controller.rows().size(); ++i) {
            if (controller.rows()[i].value == row.choice) choice = static_cast<int>(i);
        }
        controller.select(choice);
        EXPECT_EQ(controller.ok(), row.ok);
        EXPECT_EQ(port.isOpen(), row.openAfter);
        EXPECT_EQ(port.portNumber(), 3);
        EXPECT_EQ(port.baudRate(), row.baudAfter);
        EXPECT_EQ(openAtToggle.load(), row.openAfter ? -1 : 1);
        EXPECT_EQ(commands->count(UWM_CMD_LINK_TOGGLE), row.openAfter ? 0u : 1u);
        EXPECT_EQ(test::readFile(settings / "CommoFiles" / "CommSetting.csv"), row.file);
    }
    Sio_Port().initialise();
    PortMap().reset();
    Trx_StateGuard().initialise();
}

}  // namespace
}  // namespace tqm

#include "platform/serial_port_discovery.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/fake_device_tree.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

TEST(SerialPortDiscovery, UsbAdaptersByTheirStableNamesAndOnlyTheOnBoardPortsWithAUart) {
    test::ScratchDirectory root;
    ASSERT_TRUE(test::makeFakeDeviceTree(root.path()));
    struct Row {
        const char* path;
        const char* device;
        const char* description;
    };
    const Row kExpected[] = {
        {test::kFtdiById, "/dev/ttyUSB0", "FTDI FT232R USB UART, serial A10K1234 (ttyUSB0, ftdi_sio)"},
        {"/dev/ttyUSB2", "/dev/ttyUSB2", "serial port (ttyUSB2)"},
        {"/dev/ttyUSB10", "/dev/ttyUSB10", "serial port (ttyUSB10)"},
        {test::kAcmById, "/dev/ttyACM0", "Radio Maker CDC Radio, serial 0042 (ttyACM0, cdc_acm)"},
        {"/dev/ttyS0", "/dev/ttyS0", "serial port (ttyS0)"},
    };
    const std::vector<FoundSerialPort> found = SerialPortDiscovery(root.path()).find();
    ASSERT_EQ(found.size(), std::size(kExpected)) << "ttyS1 (type 0) and ttyS2 (no UART known) are left out";
    for (std::size_t i = 0; i < found.size(); ++i) {
        SCOPED_TRACE(kExpected[i].device);
        EXPECT_EQ(found[i].path, kExpected[i].path);
        EXPECT_EQ(found[i].device, kExpected[i].device);
        EXPECT_EQ(found[i].description(), kExpected[i].description);
    }
    EXPECT_EQ(found[0].usbId, "0403:6001");
    EXPECT_TRUE(SerialPortDiscovery(root / "nothing-here").find().empty());
}

}  // namespace
}  // namespace tqm

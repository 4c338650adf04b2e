#include "tests/support/fake_device_tree.h"

#include <initializer_list>
#include <string>
#include <system_error>
#include <utility>

#include "tests/support/scratch_directory.h"

namespace tqm::test {
namespace {

namespace fs = std::filesystem;

bool makeFiles(const fs::path& folder, std::initializer_list<std::pair<const char*, const char*>> files) {
    std::error_code error;
    fs::create_directories(folder, error);
    bool made = !error;
    for (const auto& [name, content] : files) made = writeFile(folder / name, std::string(content) + "\n") && made;
    return made;
}

bool link(const fs::path& at, const char* target) {
    std::error_code error;
    fs::create_directories(at.parent_path(), error);
    fs::create_symlink(target, at, error);
    return !error;
}

}  // namespace

bool makeFakeDeviceTree(const fs::path& root) {
    const fs::path usb = root / "sys/devices/pci0000:00/0000:00:14.0/usb1";
    bool made = makeFiles(root / "dev", {{"ttyUSB0", ""}, {"ttyUSB2", ""}, {"ttyUSB10", ""}, {"ttyACM0", ""},
                                         {"ttyS0", ""}, {"ttyS1", ""}, {"ttyS2", ""}, {"tty0", ""}});
    // Below root: the names are the machine's own, absolute paths.
    made = link(root / fs::path(kFtdiById).relative_path(), "../../ttyUSB0") && made;
    made = link(root / fs::path(kAcmById).relative_path(), "../../ttyACM0") && made;
    // FTDI: tty -> usb-serial port -> interface -> USB device.
    made = makeFiles(usb / "1-1", {{"idVendor", "0403"}, {"idProduct", "6001"}, {"manufacturer", "FTDI"},
                                   {"product", "FT232R USB UART"}, {"serial", "A10K1234"}}) && made;
    made = makeFiles(usb / "1-1/1-1:1.0/ttyUSB0", {{"port_number", "0"}}) && made;
    made = link(usb / "1-1/1-1:1.0/ttyUSB0/driver", "../../../../../../../bus/usb-serial/drivers/ftdi_sio") && made;
    made = link(root / "sys/class/tty/ttyUSB0/device", "../../../devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0") &&
           made;
    // CDC-ACM: tty -> interface -> USB device.
    made = makeFiles(usb / "1-2", {{"idVendor", "1fc9"}, {"idProduct", "0083"}, {"manufacturer", "Radio Maker"},
                                   {"product", "CDC Radio"}, {"serial", "0042"}}) && made;
    made = makeFiles(usb / "1-2/1-2:1.0", {{"bInterfaceClass", "02"}}) && made;
    made = link(usb / "1-2/1-2:1.0/driver", "../../../../../../bus/usb/drivers/cdc_acm") && made;
    made = link(root / "sys/class/tty/ttyACM0/device", "../../../devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0") &&
           made;
    // On-board: a UART behind ttyS0 only.
    made = makeFiles(root / "sys/devices/pnp0/00:04/tty/ttyS0", {{"type", "4"}}) && made;
    made = makeFiles(root / "sys/devices/platform/serial8250/tty/ttyS1", {{"type", "0"}}) && made;
    made = link(root / "sys/class/tty/ttyS0", "../../devices/pnp0/00:04/tty/ttyS0") && made;
    made = link(root / "sys/class/tty/ttyS1", "../../devices/platform/serial8250/tty/ttyS1") && made;
    return made;
}

}  // namespace tqm::test

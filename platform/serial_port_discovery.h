#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tqm {

// One serial device found on the machine.
struct FoundSerialPort {
    std::string path;    // the name to keep: its /dev/serial/by-id/ link where it has one
    std::string device;  // the kernel's device node, /dev/ttyUSB0
    std::string driver;  // the kernel driver bound to it (ftdi_sio, cdc_acm, ...), if known
    // Of a USB adapter, as it reports itself; empty for others or when it does not say.
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
    std::string usbId;  // vendor:product in hexadecimal, "0403:6001"

    // One line for the operator: maker, product, serial number, node and driver.
    std::string description() const;
};

// Finds the serial devices of the machine: every /dev/serial/by-id/ link with the
// device it leads to, /dev/ttyUSB*, /dev/ttyACM*, and the /dev/ttyS* behind which
// the kernel found a UART (its sysfs "type" is not 0: the others are placeholders
// that every PC kernel registers). USB details come from sysfs. Everything is read
// below a root folder ("/" on the machine; tests give a made-up tree); the paths
// reported are the machine's own ("/dev/...").
class SerialPortDiscovery final {
public:
    explicit SerialPortDiscovery(std::filesystem::path root = "/");

    // Blocks on reading /dev and /sys. USB adapters first, then the on-board ports,
    // each kind in the order of its number.
    std::vector<FoundSerialPort> find() const;

private:
    FoundSerialPort describe(const std::string& kernelName) const;
    bool hasUart(const std::string& kernelName) const;

    std::filesystem::path m_root;
};

}  // namespace tqm

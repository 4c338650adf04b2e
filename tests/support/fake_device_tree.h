#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "tests/support/scratch_directory.h"

namespace tqm::test {

// The stable names of the two USB adapters of the made-up machine.
inline constexpr const char* kFtdiById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0";
inline constexpr const char* kAcmById = "/dev/serial/by-id/usb-Radio_Maker_CDC_Radio_0042-if00";

// A made-up /dev and /sys below root, linked as the kernel links them: an FTDI
// adapter on ttyUSB0 and a CDC-ACM radio on ttyACM0 (each with its by-id link and its
// USB device in sysfs), two USB nodes without sysfs (ttyUSB2, ttyUSB10), an on-board
// UART on ttyS0, a ttyS1 placeholder without a UART (type 0) and a ttyS2 the kernel
// says nothing about. False when the tree could not be made.
inline bool makeFakeDeviceTree(const std::filesystem::path& root) {
    struct Entry {
        const char* path;     // below root
        const char* content;  // a file's text, or where a symbolic link points (link set)
        bool link = false;
    };
#define USB "sys/devices/pci0000:00/0000:00:14.0/usb1/"
    static constexpr Entry kTree[] = {
        {"dev/ttyUSB0", ""}, {"dev/ttyUSB2", ""}, {"dev/ttyUSB10", ""}, {"dev/ttyACM0", ""},
        {"dev/ttyS0", ""}, {"dev/ttyS1", ""}, {"dev/ttyS2", ""}, {"dev/tty0", ""},
        {"dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0", "../../ttyUSB0", true},
        {"dev/serial/by-id/usb-Radio_Maker_CDC_Radio_0042-if00", "../../ttyACM0", true},
        // FTDI: tty -> usb-serial port -> interface -> USB device.
        {USB "1-1/idVendor", "0403"}, {USB "1-1/idProduct", "6001"}, {USB "1-1/manufacturer", "FTDI"},
        {USB "1-1/product", "FT232R USB UART"}, {USB "1-1/serial", "A10K1234"},
        {USB "1-1/1-1:1.0/ttyUSB0/driver", "../../../../../../../bus/usb-serial/drivers/ftdi_sio", true},
        {"sys/class/tty/ttyUSB0/device", "../../../devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0", true},
        // CDC-ACM: tty -> interface -> USB device.
        {USB "1-2/idVendor", "1fc9"}, {USB "1-2/idProduct", "0083"}, {USB "1-2/manufacturer", "Radio Maker"},
        {USB "1-2/product", "CDC Radio"}, {USB "1-2/serial", "0042"},
        {USB "1-2/1-2:1.0/driver", "../../../../../../bus/usb/drivers/cdc_acm", true},
        {"sys/class/tty/ttyACM0/device", "../../../devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0", true},
        // On-board: a UART behind ttyS0 only.
        {"sys/devices/pnp0/00:04/tty/ttyS0/type", "4"}, {"sys/devices/platform/serial8250/tty/ttyS1/type", "0"},
        {"sys/class/tty/ttyS0", "../../devices/pnp0/00:04/tty/ttyS0", true},
        {"sys/class/tty/ttyS1", "../../devices/platform/serial8250/tty/ttyS1", true},
    };
#undef USB
    bool made = true;
    for (const auto& entry : kTree) {
        const std::filesystem::path at = root / entry.path;
        std::error_code error;
        std::filesystem::create_directories(at.parent_path(), error);
        if (entry.link) {
            std::filesystem::create_symlink(entry.content, at, error);
            made = made && !error;
        } else {
            made = writeFile(at, std::string(entry.content) + "\n") && made && !error;
        }
    }
    return made;
}

}  // namespace tqm::test

#pragma once

#include <filesystem>

namespace tqm::test {

// The stable names of the two USB adapters of the made-up machine.
inline constexpr const char* kFtdiById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0";
inline constexpr const char* kAcmById = "/dev/serial/by-id/usb-Radio_Maker_CDC_Radio_0042-if00";

// A made-up /dev and /sys below root, linked as the kernel links them: an FTDI
// adapter on ttyUSB0 and a CDC-ACM radio on ttyACM0 (each with its by-id link and its
// USB device in sysfs), two USB nodes without sysfs (ttyUSB2, ttyUSB10), an on-board
// UART on ttyS0, a ttyS1 placeholder without a UART (type 0) and a ttyS2 the kernel
// says nothing about. False when the tree could not be made.
bool makeFakeDeviceTree(const std::filesystem::path& root);

}  // namespace tqm::test

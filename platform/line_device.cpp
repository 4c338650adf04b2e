#include "platform/line_device.h"

#include <cstring>

#include "platform/rfc2217_line_device.h"
#include "platform/serial_device.h"
#include "platform/tcp_line_device.h"

namespace tqm {
namespace {

struct ErrorWords {
    SerialError code;
    const char* text;
};

constexpr ErrorWords kErrorWords[] = {
    {SerialError::None, "no error"},
    {SerialError::NotFound, "no such device. Check that it is plugged in, or map the port to another device"},
    {SerialError::Busy, "the device is in use by another program"},
    {SerialError::PermissionDenied,
     "Permission denied. Join the 'dialout' group (sudo usermod -aG dialout $USER) and log in again"},
    {SerialError::NotATty, "this is not a serial device"},
    {SerialError::BadSpeed, "the device does not offer this line speed"},
    {SerialError::LineFault, "the device went away or hung up"},
    {SerialError::TimedOut, "the device did not take the data in time"},
    {SerialError::NotOpen, "the device is not open"},
    {SerialError::Unusable, "the port map entry cannot be used"},
    {SerialError::ConnectionRefused, "connection refused. Check that the serial server (ser2net) runs and serves this port"},
    {SerialError::HostNotFound, "host not found. Check the host name"},
    {SerialError::Unreachable, "host unreachable. Check the network and the address"},
    {SerialError::ConnectTimedOut, "timed out: the host did not answer within 2 s"},
    {SerialError::ComPortRefused,
     "the server refused COM Port Control (RFC 2217): serve the port with ser2net's telnet(rfc2217) "
     "accepter, or use tcp:// for a raw port"},
    {SerialError::Other, "the device could not be used"},
};

}  // namespace

const char* serialErrorText(SerialError code) {
    for (const auto& row : kErrorWords) {
        if (row.code == code) return row.text;
    }
    return "unknown error";
}

void fillFault(SerialFault& fault, SerialError code, int osError, const std::string& name) {
    fault.code = code;
    fault.osError = osError;
    fault.reason = name + ": " + serialErrorText(code);
    if (osError != 0 && code == SerialError::Other) fault.reason += std::string(" (") + std::strerror(osError) + ")";
}

std::shared_ptr<LineDevice> makeLineDevice(const PortTarget& target) {
    switch (target.kind) {
    case PortTargetKind::RawTcp: return std::make_shared<TcpLineDevice>(target);
    case PortTargetKind::Rfc2217: return std::make_shared<Rfc2217LineDevice>(target);
    case PortTargetKind::Device: break;
    }
    return std::make_shared<SerialDevice>(target.path);
}

}  // namespace tqm

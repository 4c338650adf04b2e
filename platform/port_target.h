#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tqm {

// What a COM number leads to: a serial device, or a serial port served on the
// network (ser2net and the like).
enum class PortTargetKind : std::uint8_t {
    Device,   // a device path: /dev/ttyUSB0, /dev/serial/by-id/..., a pseudo-terminal
    RawTcp,   // tcp://HOST:PORT, a plain byte stream
    Rfc2217,  // rfc2217://HOST:PORT, Telnet with the COM Port Control option
};

struct PortTarget {
    PortTargetKind kind = PortTargetKind::Device;
    std::string text;       // as written, without surrounding blanks; what messages name
    std::string path;       // Device: the path
    std::string host;       // network: a name or an address (an IPv6 address without brackets)
    std::uint16_t port = 0; // network: 1..65535
};

// Longer device paths cannot be opened (the system's limit, less the terminator).
inline constexpr std::size_t kMaxDevicePathLength = 4095;

// One port target read from text, or what is wrong with it.
struct PortTargetParse {
    PortTarget target;
    std::string problem;  // empty when the text is usable
    bool ok() const { return problem.empty(); }
};

// The one reader of port targets, for the port map file, --port-map, the Ports
// dialog and the control tool's --device: "tcp://HOST:PORT", "rfc2217://HOST:PORT"
// (HOST a name, an IPv4 address, or an IPv6 address in brackets) or a device path.
// Any other "word://" is refused rather than taken for a path.
PortTargetParse parsePortTarget(std::string_view text);

}  // namespace tqm

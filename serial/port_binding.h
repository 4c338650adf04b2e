#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/serial_port_discovery.h"

namespace tqm {

enum class PortBindResult : std::uint8_t {
    Bound,        // the file holds the new entry and the port map uses it
    BadTarget,    // the map file's reader would not take the line; nothing written
    PathTooLong,  // the map file's path cannot be used
    Unreadable,   // the file is there but cannot be read: it is not replaced
    Failed,       // the folder or the file could not be written; the old file stays
};

// Binds a COM number to a device (any target the port map takes) in the port map
// file, as an operator would edit it by hand: the COM number's line is replaced, or
// added at the end; every other line, comments included, stays as it was. Once the
// file is written the port map reads it again, and the COM number's override for
// this run (the command line, --simulate) gives way to the operator's new choice.
// User-interface thread (or a command-line tool).
class PortBinding final {
public:
    // Blocks on reading and writing the file. An empty target removes the COM
    // number's line: it goes back to its default device. problem says what the map
    // file's reader found wrong with a target it refuses.
    static PortBindResult bind(const std::filesystem::path& file, int comNumber, std::string_view target,
                               std::string& problem);
    // The same with the map file in the settings folder.
    static PortBindResult bind(int comNumber, std::string_view target, std::string& problem);

    // The name to store for what the operator chose or typed: a device's stable
    // /dev/serial/by-id/ name where the machine has one for it (a USB adapter keeps
    // its name whichever ttyUSB number it gets), else the text as it is.
    static std::string stableName(std::string_view chosen, const std::vector<FoundSerialPort>& found);
};

}  // namespace tqm

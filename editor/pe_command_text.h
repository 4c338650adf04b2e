#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tqm {

// The text of one "PE" command: a read request (6 bytes) or a set command (9 bytes),
// ";" included, no terminating zero counted.
struct PeCommandText {
    std::array<char, 10> bytes{};
    std::size_t length = 0;

    std::string_view view() const { return {bytes.data(), length}; }
};

// "PE", the set digit, the two base-3 digits of p, the value for a set command
// (FREQ and BWTH "%03d"; LEVEL "000", "+%02d" or "-%02d"), then ";".
PeCommandText formatPeCommand(int set, int p, std::optional<std::int32_t> value);

}  // namespace tqm

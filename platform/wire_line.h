#pragma once

#include <string>
#include <string_view>

namespace tqm {

// Which way a recorded text went: '>' to the transceiver, '<' from it.
inline constexpr char kWireToTransceiver = '>';
inline constexpr char kWireFromTransceiver = '<';

// One line of a wire record, as the simulator's wire log and the program's trace
// write it, without the line end: "<milliseconds> <direction> <bytes>", e.g.
// "1523 > PE001;". Bytes outside 0x20..0x7E and the backslash are written as \xNN.
std::string formatWireLine(long long milliseconds, char direction, std::string_view bytes);

}  // namespace tqm

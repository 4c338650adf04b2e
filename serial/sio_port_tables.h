#pragma once

#include <array>
#include <cstdint>

namespace tqm {

// One row of the COM port name table.
struct Sio_PortName {
    char name[12];
    std::int32_t number;
};

// One row of the baud rate table.
struct Sio_BaudRow {
    char name[12];
    std::int32_t baud;
};

inline constexpr std::int32_t kFirstComPort = 1;
inline constexpr std::int32_t kLastComPort = 20;
inline constexpr std::int32_t kDefaultComPort = 1;
inline constexpr std::int32_t kDefaultBaudRate = 4800;

// "COM1" .. "COM20" in order, then an all-zero row that ends the table.
inline constexpr std::array<Sio_PortName, 21> kSioPortNames = {{
    {"COM1", 1},   {"COM2", 2},   {"COM3", 3},   {"COM4", 4},   {"COM5", 5},   {"COM6", 6},   {"COM7", 7},
    {"COM8", 8},   {"COM9", 9},   {"COM10", 10}, {"COM11", 11}, {"COM12", 12}, {"COM13", 13}, {"COM14", 14},
    {"COM15", 15}, {"COM16", 16}, {"COM17", 17}, {"COM18", 18}, {"COM19", 19}, {"COM20", 20}, {"", 0},
}};

// The line speeds offered, then an all-zero row.
inline constexpr std::array<Sio_BaudRow, 5> kSioBaudRates = {{
    {"4800", 4800},
    {"9600", 9600},
    {"19200", 19200},
    {"38400", 38400},
    {"", 0},
}};

}  // namespace tqm

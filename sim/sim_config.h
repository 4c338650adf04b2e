#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "sim/peq_value_table.h"

namespace tqm::sim {

// Everything the simulated transceiver is told before it starts.
struct SimConfig {
    int baud = 4800;                        // 4800, 9600, 19200 or 38400
    std::string linkPath;                   // symlink to the device, kept while running
    std::string modelCode = "4700";         // four digits, in every ID reply
    int idSuffix = 1;                       // 0..999, after the model code
    bool silent = false;                    // never transmits
    bool refuseAi = false;                  // ignores AI1;
    std::chrono::milliseconds replyDelay{0};
    double noiseRate = 0.0;                 // chance of a garbage byte before each sent byte
    double dropRate = 0.0;                  // chance that a sent byte is lost
    std::optional<double> powerOffAt;       // seconds after start
    std::optional<double> powerOnAt;        // seconds after start
    std::optional<double> frontPanelPeriod; // seconds between spontaneous changes
    std::string logPath;                    // wire log file
    std::function<void(const std::string&)> onLogFailure;  // told once why the log file failed
    std::optional<std::uint64_t> seed;      // random source; a fresh seed when empty
    PeqValues peq = radioStartValues();
};

// True for the four line speeds the transceiver supports.
constexpr bool isSupportedBaud(int baud) {
    return baud == 4800 || baud == 9600 || baud == 19200 || baud == 38400;
}

// Time of one byte on the line: 11 bits (start, 8 data, 2 stop).
constexpr std::chrono::nanoseconds byteTime(int baud) {
    return std::chrono::nanoseconds(11LL * 1'000'000'000LL / baud);
}

// True when the model code is exactly four decimal digits.
bool isValidModelCode(const std::string& code);

// True when the radio starts with its power off: a power-on time is given and
// no power-off time comes before it.
bool startsPoweredOff(const SimConfig& config);

// The configured seed, or a fresh one from the system's random source.
std::uint64_t seedFor(const SimConfig& config);

}  // namespace tqm::sim

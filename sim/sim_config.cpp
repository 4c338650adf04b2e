#include "sim/sim_config.h"

#include <algorithm>
#include <random>

namespace tqm::sim {

bool isValidModelCode(const std::string& code) {
    return code.size() == 4 && std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool startsPoweredOff(const SimConfig& config) {
    if (!config.powerOnAt) {
        return false;
    }
    return !config.powerOffAt || *config.powerOffAt >= *config.powerOnAt;
}

std::uint64_t seedFor(const SimConfig& config) {
    if (config.seed) {
        return *config.seed;
    }
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

}  // namespace tqm::sim

#include "sim/sim_config.h"

#include <algorithm>

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

}  // namespace tqm::sim

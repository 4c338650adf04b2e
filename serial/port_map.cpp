#include "serial/port_map.h"

#include <array>
#include <charconv>
#include <fstream>
#include <mutex>
#include <sstream>
#include <system_error>

#include "serial/sio_port_tables.h"

namespace tqm {
namespace {

// 20 lines of a number and a path of at most 4096 characters, with room to spare.
constexpr std::uintmax_t kMaxMapFileBytes = 128 * 1024;
constexpr std::size_t kMaxPathLength = 4096;
constexpr std::size_t kMapPathLimit = 260;  // the directory rule for data files

struct DefaultRange {
    int first;
    int last;
    const char* prefix;
};

constexpr DefaultRange kDefaultRanges[] = {
    {1, 4, "/dev/ttyS"},
    {5, 12, "/dev/ttyUSB"},
    {13, 20, "/dev/ttyACM"},
};

struct MapState {
    std::mutex mutex;
    std::array<std::string, kLastComPort + 1> fromFile;
    std::array<std::string, kLastComPort + 1> overrides;
};

MapState& state() {
    static MapState* s_state = new MapState;  // outlives every thread
    return *s_state;
}

bool validNumber(int n) { return n >= kFirstComPort && n <= kLastComPort; }

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// "n<sep>path" with 1 <= n <= 20 and a non-empty path.
bool splitEntry(std::string_view text, char separator, int& n, std::string& path) {
    const auto split = text.find(separator);
    if (split == std::string_view::npos) return false;
    const std::string_view number = trim(text.substr(0, split));
    const std::string_view rest = trim(text.substr(split + 1));
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), n);
    if (error != std::errc() || end != number.data() + number.size() || !validNumber(n)) return false;
    if (rest.empty() || rest.size() > kMaxPathLength) return false;
    path.assign(rest);
    return true;
}

}  // namespace

std::string PortMap::defaultPath(int n) {
    for (const auto& range : kDefaultRanges) {
        if (n >= range.first && n <= range.last) return range.prefix + std::to_string(n - range.first);
    }
    return {};
}

std::string PortMap::path(int n) const {
    if (!validNumber(n)) return {};
    MapState& s = state();
    std::lock_guard lock(s.mutex);
    const auto slot = static_cast<std::size_t>(n);
    if (!s.overrides[slot].empty()) return s.overrides[slot];
    if (!s.fromFile[slot].empty()) return s.fromFile[slot];
    return defaultPath(n);
}

bool PortMap::deviceExists(int n) const {
    const std::string device = path(n);
    std::error_code error;
    return !device.empty() && std::filesystem::exists(device, error);
}

bool PortMap::loadFile(const std::filesystem::path& file) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error || size > kMaxMapFileBytes) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::array<std::string, kLastComPort + 1> entries;
    std::string line;
    while (std::getline(in, line)) {
        const std::string_view text = trim(line);
        if (text.empty() || text.front() == '#') continue;
        int n = 0;
        std::string device;
        if (splitEntry(text, ',', n, device)) entries[static_cast<std::size_t>(n)] = std::move(device);
    }
    MapState& s = state();
    std::lock_guard lock(s.mutex);
    s.fromFile = std::move(entries);
    return true;
}

bool PortMap::loadDefaultFile() {
    std::error_code error;
    const auto file = std::filesystem::current_path(error) / "CommoFiles" / kFileName;
    if (error || file.native().size() >= kMapPathLimit) return false;
    return loadFile(file);
}

bool PortMap::setOverride(int n, std::string path) {
    if (!validNumber(n) || path.empty() || path.size() > kMaxPathLength) return false;
    MapState& s = state();
    std::lock_guard lock(s.mutex);
    s.overrides[static_cast<std::size_t>(n)] = std::move(path);
    return true;
}

bool PortMap::parseOverride(std::string_view text) {
    int n = 0;
    std::string device;
    return splitEntry(text, '=', n, device) && setOverride(n, std::move(device));
}

void PortMap::clearOverride(int n) {
    if (!validNumber(n)) return;
    MapState& s = state();
    std::lock_guard lock(s.mutex);
    s.overrides[static_cast<std::size_t>(n)].clear();
}

void PortMap::reset() {
    MapState& s = state();
    std::lock_guard lock(s.mutex);
    for (auto& entry : s.fromFile) entry.clear();
    for (auto& entry : s.overrides) entry.clear();
}

}  // namespace tqm

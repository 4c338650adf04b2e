#include "serial/port_map.h"

#include <array>
#include <charconv>
#include <mutex>
#include <system_error>

#include "platform/decimal_int.h"
#include "platform/regular_file.h"
#include "platform/settings_folder.h"
#include "serial/sio_port_tables.h"

namespace tqm {
namespace {

// 20 lines of a number and a path of the longest length, with room to spare.
constexpr std::size_t kMaxMapFileBytes = 128 * 1024;
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

// One entry of the file: the target as written, or why it cannot be used.
struct FileEntry {
    std::string target;
    std::string problem;
};

using MapEntries = std::array<FileEntry, kLastComPort + 1>;
using Overrides = std::array<std::string, kLastComPort + 1>;

struct MapState {
    std::mutex mutex;
    MapEntries fromFile;
    Overrides overrides;
    std::vector<std::string> warnings;  // of the last file load
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

bool usableTarget(std::string_view text) { return parsePortTarget(text).ok(); }

// "n=target" as the command line writes it, with 1 <= n <= 20 and a usable target.
bool splitOverride(std::string_view text, int& n, std::string& path) {
    const auto split = text.find('=');
    if (split == std::string_view::npos) return false;
    const std::string_view number = trim(text.substr(0, split));
    const std::string_view rest = trim(text.substr(split + 1));
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), n);
    if (error != std::errc() || end != number.data() + number.size() || !validNumber(n)) return false;
    if (!usableTarget(rest)) return false;
    path.assign(rest);
    return true;
}

// One line "n,path" of the map file: the COM number it names (0 when it names none)
// and the path, or what is wrong with it.
struct MapLine {
    int comNumber = 0;
    std::string path;
    std::string problem;
};

MapLine parseMapLine(std::string_view text) {
    MapLine line;
    const DecimalInt number = readDecimalInt(text);
    if (!number.hasDigits) {
        line.problem = "it does not start with a COM number";
        return line;
    }
    if (!number.inRange || !validNumber(number.value)) {
        line.problem = "the COM number is not one of 1 to 20";
        return line;
    }
    line.comNumber = number.value;
    const std::string_view rest = trim(text.substr(number.end));
    if (rest.empty() || rest.front() != ',') {
        line.problem = "expected N,PATH";
        return line;
    }
    PortTargetParse target = parsePortTarget(rest.substr(1));
    line.problem = std::move(target.problem);
    if (line.problem.empty()) line.path = std::move(target.target.text);
    return line;
}

// The entries of the file's text; every line that cannot be used is named in warnings.
void readMapText(const std::string& fileName, std::string_view text, MapEntries& entries,
                 std::vector<std::string>& warnings) {
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const auto lineEnd = text.find('\n');
        const std::string_view raw = text.substr(0, lineEnd);
        text = lineEnd == std::string_view::npos ? std::string_view() : text.substr(lineEnd + 1);
        const std::string_view content = trim(raw);
        if (content.empty() || content.front() == '#') continue;
        MapLine line = parseMapLine(content);
        if (line.problem.empty()) {
            entries[static_cast<std::size_t>(line.comNumber)] = FileEntry{std::move(line.path), {}};
            continue;
        }
        std::string warning = fileName + ":" + std::to_string(lineNumber) + ": " + line.problem;
        if (line.comNumber != 0) {
            entries[static_cast<std::size_t>(line.comNumber)] =
                FileEntry{{}, std::string("unusable entry in ") + PortMap::kFileName + " line " +
                                  std::to_string(lineNumber) + ": " + line.problem};
            warning += "; COM" + std::to_string(line.comNumber) + " will not open";
        } else {
            warning += "; the line is ignored";
        }
        warnings.push_back(std::move(warning));
    }
}

}  // namespace

std::string PortMap::defaultPath(int n) {
    for (const auto& range : kDefaultRanges) {
        if (n >= range.first && n <= range.last) return range.prefix + std::to_string(n - range.first);
    }
    return {};
}

PortMapEntry PortMap::entry(int n) const {
    PortMapEntry result;
    if (!validNumber(n)) {
        result.problem = "COM" + std::to_string(n) + " is not one of COM1 to COM20";
        return result;
    }
    std::string text;
    {
        MapState& s = state();
        std::lock_guard lock(s.mutex);
        const auto slot = static_cast<std::size_t>(n);
        const FileEntry& file = s.fromFile[slot];
        if (!s.overrides[slot].empty()) {
            text = s.overrides[slot];
        } else if (!file.problem.empty()) {
            result.problem = file.problem;
            return result;
        } else {
            text = file.target.empty() ? defaultPath(n) : file.target;
        }
    }
    PortTargetParse parsed = parsePortTarget(text);
    result.target = std::move(parsed.target);
    result.problem = std::move(parsed.problem);
    return result;
}

std::string PortMap::path(int n) const {
    const PortMapEntry mapped = entry(n);
    return mapped.usable() ? mapped.target.text : std::string();
}

bool PortMap::deviceExists(int n) const {
    const PortMapEntry mapped = entry(n);
    if (!mapped.usable()) return false;
    if (mapped.target.kind != PortTargetKind::Device) return true;
    std::error_code error;
    return std::filesystem::exists(mapped.target.path, error);
}

bool PortMap::loadFile(const std::filesystem::path& file) {
    std::string text;
    const FileRead read = readRegularFile(file.c_str(), kMaxMapFileBytes, text);
    MapEntries entries;
    std::vector<std::string> warnings;
    if (read == FileRead::Read) {
        readMapText(file.string(), text, entries, warnings);
    } else if (read != FileRead::Missing) {
        // Which devices it names is unknown: none of the defaults may stand in for them.
        entries.fill(FileEntry{{}, std::string(kFileName) + " cannot be read: " + fileReadText(read)});
        warnings.push_back(file.string() + ": " + fileReadText(read) + "; no COM number will open until it is fixed");
    }
    MapState& s = state();
    std::lock_guard lock(s.mutex);
    s.fromFile = std::move(entries);
    s.warnings = std::move(warnings);
    return read == FileRead::Read;
}

bool PortMap::settingsFile(std::filesystem::path& file) {
    const auto whole = SettingsFolder().path() / "CommoFiles" / kFileName;
    if (whole.native().size() >= kMapPathLimit) return false;
    file = whole;
    return true;
}

bool PortMap::loadDefaultFile() {
    std::filesystem::path file;
    return settingsFile(file) && loadFile(file);
}

bool PortMap::parseEntry(std::string_view line, int& comNumber, std::string& path, std::string& problem) {
    MapLine entry = parseMapLine(trim(line));
    comNumber = entry.comNumber;
    if (!entry.problem.empty()) {
        problem = std::move(entry.problem);
        return false;
    }
    path = std::move(entry.path);
    return true;
}

std::vector<std::string> PortMap::warnings() const {
    MapState& s = state();
    std::lock_guard lock(s.mutex);
    return s.warnings;
}

bool PortMap::setOverride(int n, std::string path) {
    if (!validNumber(n) || !usableTarget(path)) return false;
    MapState& s = state();
    std::lock_guard lock(s.mutex);
    s.overrides[static_cast<std::size_t>(n)] = std::move(path);
    return true;
}

bool PortMap::parseOverride(std::string_view text) {
    int n = 0;
    std::string device;
    return splitOverride(text, n, device) && setOverride(n, std::move(device));
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
    for (auto& entry : s.fromFile) entry = FileEntry{};
    for (auto& entry : s.overrides) entry.clear();
    s.warnings.clear();
}

}  // namespace tqm

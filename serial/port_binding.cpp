#include "serial/port_binding.h"

#include <system_error>

#include "platform/atomic_file.h"
#include "platform/regular_file.h"
#include "serial/port_map.h"
#include "serial/sio_port_tables.h"

namespace tqm {
namespace {

constexpr std::size_t kMaxMapFileBytes = 128 * 1024;  // as the port map's reader allows
constexpr std::string_view kNewFileHeader =
    "# COM number,device: the device each COM number opens (Setup > Ports... writes this file)\n";

// The COM number a line of the file names, 0 when it names none.
int lineComNumber(std::string_view line) {
    int number = 0;
    std::string path;
    std::string problem;
    PortMap::parseEntry(line, number, path, problem);
    return number;
}

// The text with COM n's lines replaced by entry (its first one) or removed.
std::string replaceEntry(std::string_view text, int comNumber, const std::string& entry) {
    std::string result;
    bool placed = entry.empty();
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        // Comments and blank lines name no COM number.
        if (lineComNumber(line) == comNumber) {
            if (!placed) result += entry + "\n";
            placed = true;
            continue;
        }
        result.append(line);
        result += '\n';
    }
    if (!placed) result += entry + "\n";
    return result;
}

}  // namespace

PortBindResult PortBinding::bind(const std::filesystem::path& file, int comNumber, std::string_view target,
                                 std::string& problem) {
    problem.clear();
    std::string entry;
    if (!target.empty()) {
        entry = std::to_string(comNumber) + "," + std::string(target);
        int number = 0;
        std::string path;
        if (!PortMap::parseEntry(entry, number, path, problem)) return PortBindResult::BadTarget;
    } else if (comNumber < kFirstComPort || comNumber > kLastComPort) {
        problem = "the COM number is not one of 1 to 20";
        return PortBindResult::BadTarget;
    }
    std::string text;
    const FileRead read = readRegularFile(file.c_str(), kMaxMapFileBytes, text);
    if (read == FileRead::Missing) {
        text = kNewFileHeader;
    } else if (read != FileRead::Read) {
        problem = file.string() + ": " + fileReadText(read);
        return PortBindResult::Unreadable;
    }
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error || !writeFileAtomically(file, replaceEntry(text, comNumber, entry))) {
        problem = file.string() + ": cannot be written";
        return PortBindResult::Failed;
    }
    PortMap map;
    map.clearOverride(comNumber);
    map.loadFile(file);
    return PortBindResult::Bound;
}

std::string PortBinding::stableName(std::string_view chosen, const std::vector<FoundSerialPort>& found) {
    for (const FoundSerialPort& port : found) {
        if (port.device == chosen) return port.path;
    }
    return std::string(chosen);
}

PortBindResult PortBinding::bind(int comNumber, std::string_view target, std::string& problem) {
    std::filesystem::path file;
    if (!PortMap::settingsFile(file)) {
        problem = "the path of the port map file is too long";
        return PortBindResult::PathTooLong;
    }
    return bind(file, comNumber, target, problem);
}

}  // namespace tqm

#pragma once

#include <filesystem>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/port_target.h"

namespace tqm {

// What a COM number leads to: a usable port target, or why its entry cannot be used.
struct PortMapEntry {
    PortTarget target;
    std::string problem;  // empty when the entry is usable
    bool usable() const { return problem.empty(); }
};

// Resolves COM numbers 1..20 to port targets: device paths, tcp://HOST:PORT or
// rfc2217://HOST:PORT. Defaults: COM1-4 -> /dev/ttyS0-3, COM5-12 -> /dev/ttyUSB0-7,
// COM13-20 -> /dev/ttyACM0-7. Lines "n,target" of the port map file override single
// entries; overrides set for one run (the command line, tests) win over both. A COM
// number whose line in the file cannot be used (or every COM number, when the file
// cannot be read) never falls back to its default device: its entry is unusable and
// says why.
//
// Data-less access object to the process-wide map; any thread may use it.
class PortMap final {
public:
    static constexpr const char* kFileName = "PortMap.csv";
    // Longer device paths cannot be opened (the system's limit, less the terminator).
    static constexpr std::size_t kMaxPathLength = kMaxDevicePathLength;

    // What COM n leads to, or why it cannot be used.
    PortMapEntry entry(int n) const;
    // The target of COM n as written; empty for a number outside 1..20 or an unusable entry.
    std::string path(int n) const;
    // The default path of COM n, whatever is mapped over it.
    static std::string defaultPath(int n);
    // True when something exists at COM n's device path; a network target counts as
    // there (only a connect could tell), an unusable entry never does.
    bool deviceExists(int n) const;

    // Blocks on reading "n,target" lines (blank lines and lines starting with '#' are
    // skipped); never on a pipe or device: only a regular file is read. Replaces the
    // entries and warnings of an earlier file. A line that cannot be used (a COM
    // number that is not 1..20 or too large, a missing comma, a target that is not a
    // device path or network target) is a warning, and the COM number it names will
    // not open. A file that is
    // there but cannot be read (not a regular file, too large, unreadable) is a
    // warning, and no COM number will open through the file. True when the file was read.
    bool loadFile(const std::filesystem::path& file);
    // Loads CommoFiles/PortMap.csv in the settings folder, if it is there.
    bool loadDefaultFile();
    // The path of that file; false when it is too long to be used.
    static bool settingsFile(std::filesystem::path& file);
    // Reads one line of the map file as loadFile() does: true with the COM number and
    // the device path it maps, else false with what is wrong in problem.
    static bool parseEntry(std::string_view line, int& comNumber, std::string& path, std::string& problem);
    // What the last load found wrong, one line each, naming the file and the line
    // number; for the operator at start-up.
    std::vector<std::string> warnings() const;

    // Maps COM n to a target for this run. False for a number outside 1..20 or a
    // target that cannot be used.
    bool setOverride(int n, std::string target);
    // Takes "n=target" as the command line writes it.
    bool parseOverride(std::string_view text);
    void clearOverride(int n);
    // Back to the defaults: forgets file entries, warnings and overrides.
    void reset();
};

}  // namespace tqm

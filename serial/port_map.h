#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tqm {

// Resolves COM numbers 1..20 to device paths. Defaults: COM1-4 -> /dev/ttyS0-3,
// COM5-12 -> /dev/ttyUSB0-7, COM13-20 -> /dev/ttyACM0-7. Lines "n,path" of the
// port map file override single entries; overrides set for one run (the command
// line, tests) win over both.
//
// Data-less access object to the process-wide map; any thread may use it.
class PortMap final {
public:
    static constexpr const char* kFileName = "PortMap.csv";

    // The device path of COM n; empty for a number outside 1..20.
    std::string path(int n) const;
    // The default path of COM n, whatever is mapped over it.
    static std::string defaultPath(int n);
    // True when something exists at COM n's path.
    bool deviceExists(int n) const;

    // Reads "n,path" lines (blank lines and lines starting with '#' are skipped).
    // Replaces the entries of an earlier file. False when the file cannot be read or
    // is larger than any valid map; malformed lines are skipped.
    bool loadFile(const std::filesystem::path& file);
    // Loads CommoFiles/PortMap.csv below the current directory, if it is there.
    bool loadDefaultFile();

    // Maps COM n to path for this run. False for a number outside 1..20 or an empty path.
    bool setOverride(int n, std::string path);
    // Takes "n=path" as the command line writes it.
    bool parseOverride(std::string_view text);
    void clearOverride(int n);
    // Back to the defaults: forgets file entries and overrides.
    void reset();
};

}  // namespace tqm

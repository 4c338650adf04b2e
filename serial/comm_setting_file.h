#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tqm {

enum class CommSettingRead : std::uint8_t {
    Read,         // the file was read; its leading cells (up to three) were taken
    Missing,      // there is no file yet (the first start); defaults were set
    PathTooLong,  // the path is not used; nothing changed
    Unreadable,   // there but unreadable, or larger than any valid file; defaults were set
};

enum class CommSettingWrite : std::uint8_t {
    Written,
    PathTooLong,  // the path is not used; nothing was written
    NoDirectory,  // the directory is missing and cannot be created
    Failed,       // the file could not be written; an earlier file is left as it was
};

// The leading cells of the file in reading order (row by row, left to right), each
// converted like atoi but without wrapping (a number too large for 32 bits gives the
// fallback: port 1, 4800 baud, set 0): count says how many of port, baud rate and
// shown set it held.
struct CommSettingCells {
    int count = 0;
    std::int32_t values[3] = {};
};

// The shown equalizer set after a read; the window takes it only when the read
// produced one.
struct CommSettingShownSet {
    bool present = false;
    std::int32_t value = 0;
};

// The port settings file CommoFiles/CommSetting.csv under a base directory (the
// settings folder in the program): one line "port,baud,set" ended by CR LF.
// Port and baud rate go to and come from the serial port's setters and getters;
// the shown set belongs to the main window and is passed in and out.
class CommSettingFile final {
public:
    static constexpr const char* kDirectoryName = "CommoFiles";
    static constexpr const char* kFileName = "CommSetting.csv";
    // Paths of this length or longer (the whole path of the file) are not used.
    static constexpr std::size_t kMaxPathLength = 260;
    // Far above the longest line that carries a meaning ("20,38400,2" with blanks,
    // signs and leading zeros); larger files are refused as unreadable.
    static constexpr std::uintmax_t kMaxFileBytes = 256;
    static constexpr std::int32_t kSetCount = 3;

    // The file's path under base; false when it is too long to be used.
    static bool pathUnder(const std::filesystem::path& base, std::filesystem::path& file);
    // The file's text: "port,baud,set" and CR LF.
    static std::string format(std::int32_t port, std::int32_t baud, std::int32_t shownSet);

    // Blocks on reading the file. Missing (nothing there), Unreadable (not a file,
    // unreadable or too large) or Read with the leading cells, of which there may be none.
    static CommSettingRead parse(const std::filesystem::path& file, CommSettingCells& cells);

    // Blocks on reading the file under base. Read: the leading cells go in this order
    // to the port-number setter, the baud-rate setter and shownSet (a set outside
    // 0..2 becomes 0). Missing and Unreadable: port 1, 4800 and set 0. PathTooLong:
    // nothing. The start-up initialises the serial port first; Unreadable and
    // PathTooLong are failed reads, for which the window shows the settings-file
    // notice; Missing is the quiet first start.
    static CommSettingRead load(const std::filesystem::path& base, CommSettingShownSet& shownSet);
    // The same under the settings folder.
    static CommSettingRead load(CommSettingShownSet& shownSet);

    // Blocks on writing: creates the directories when missing and replaces the file
    // through a temporary file beside it and a rename. A file the user may not write
    // is not replaced (Failed); a replaced file keeps its permissions.
    static CommSettingWrite write(const std::filesystem::path& base, std::int32_t port, std::int32_t baud,
                                  std::int32_t shownSet);
    // Blocks on writing the serial port's port number and baud rate with shownSet under base.
    static CommSettingWrite save(const std::filesystem::path& base, std::int32_t shownSet);
    // The same under the settings folder.
    static CommSettingWrite save(std::int32_t shownSet);
};

}  // namespace tqm

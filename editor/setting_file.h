#pragma once

#include <ctime>
#include <string>

#include "editor/equalizer_values.h"

namespace tqm {

class EqualizerModel;

// Paths of this length or longer are not used.
inline constexpr std::size_t kMaxPathLength = 260;

enum class SaveResult {
    Saved,
    Busy,         // replies are awaited: nothing was done
    PathTooLong,  // nothing was written
    Failed,       // the file could not be written; an earlier file is left as it was
};

enum class LoadResult {
    Loaded,
    Busy,      // replies are awaited: nothing was done
    Rejected,  // the file is missing, unreadable or out of range; nothing changed
};

// The equalizer setting file (".pef"): one set as three lines "Hz,level,bandwidth",
// each ended by CR LF.
class SettingFile final {
public:
    // The default name of a saved file: the local time as YYYYMMDDhhmmss.pef.
    static std::string defaultName(const std::tm& localTime);
    static std::string defaultNameNow();

    // The file's text for one set of values.
    static std::string format(const EqualizerValues& values);

    // Blocks on writing the file. Writes the current set's shown values into a
    // temporary file beside the target and renames it over the target; a target the
    // user may not write is not replaced (Failed).
    static SaveResult save(const std::string& path, const EqualizerModel& model);
    // Blocks on reading the file, and connected on the paced apply. Stages the
    // values, then makes them the current set's reference and applies them.
    static LoadResult load(const std::string& path, EqualizerModel& model);
    // load() past the reading: stages nine values already checked and applies them
    // the same way. Blocks, connected, on the paced apply.
    static LoadResult loadValues(const EqualizerValues& values, EqualizerModel& model);
    // Blocks on reading the file. Checks it by the same rules as load() without
    // touching any model: true with the nine values, or false with why the file is
    // refused (the first thing found wrong, for the operator).
    static bool check(const std::string& path, EqualizerValues& values, std::string& reason);
};

}  // namespace tqm

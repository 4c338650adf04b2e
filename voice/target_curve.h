#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tqm {

struct TargetPoint {
    double hz = 0.0;
    double db = 0.0;
};

// A named target for voice x equalizer: points by rising frequency, joined by straight
// lines on the logarithmic frequency axis and level beyond the first and last.
struct TargetCurve {
    std::string name;
    std::vector<TargetPoint> points;

    double at(double hz) const;
};

// The targets that come with the program.
std::vector<TargetCurve> builtInTargets();

// A target file: one "hz db" pair per line by rising frequency, '#' starts a comment.
// False (and why in error) for a line that is not a pair, a frequency that is not
// positive or not rising, or a file without points.
bool parseTargetText(std::string_view text, TargetCurve& curve, std::string& error);
std::string targetText(const TargetCurve& curve);

// The folder of the operator's targets: targets/ in the settings folder.
std::filesystem::path targetFolder();

// Blocks on reading the files of the targets folder: the built-ins, then each readable
// file there as a target named after the file without its extension (a file named
// like a built-in replaces it). Files that do not parse are skipped.
std::vector<TargetCurve> loadTargets();

// Blocks on writing a target to <targets folder>/<name>.txt; false on failure.
bool saveTarget(const TargetCurve& curve);

// The target of that name, or null.
const TargetCurve* findTarget(const std::vector<TargetCurve>& targets, std::string_view name);

}  // namespace tqm

#include "voice/target_curve.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/regular_file.h"
#include "platform/settings_folder.h"

namespace tqm {

namespace {

constexpr std::size_t kMaxTargetFileBytes = 64 * 1024;

struct BuiltInPoint {
    double hz;
    double db;
};

struct BuiltInTarget {
    std::string_view name;
    std::initializer_list<BuiltInPoint> points;
};

// Flat across the band a voice channel passes, rolled off outside it; a contest
// voice with the lows cut and the presence region lifted; a warm, full voice.
const BuiltInTarget kBuiltInTargets[] = {
    {"Flat 100-2900 Hz", {{50, -12}, {100, 0}, {2900, 0}, {4000, -12}}},
    {"DX: low cut, presence boost", {{50, -24}, {200, -12}, {500, -3}, {1000, 0}, {2000, 4}, {2700, 6},
                                     {3200, 0}, {4000, -12}}},
    {"Rag chew: warm", {{50, -8}, {100, 0}, {300, 2}, {1000, 0}, {2000, -2}, {3000, -5}, {5000, -15}}},
};

bool parsePoint(std::string_view line, TargetPoint& point) {
    const std::string copy(line);
    char rest = 0;
    return std::sscanf(copy.c_str(), "%lf %lf %c", &point.hz, &point.db, &rest) == 2 &&
           std::isfinite(point.hz) && std::isfinite(point.db) && point.hz > 0.0;
}

std::string_view trimmed(std::string_view line) {
    line = line.substr(0, line.find('#'));
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

double TargetCurve::at(double hz) const {
    if (points.empty()) {
        return 0.0;
    }
    if (hz <= points.front().hz) {
        return points.front().db;
    }
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (hz <= points[i].hz) {
            const TargetPoint& a = points[i - 1];
            const TargetPoint& b = points[i];
            const double t = std::log(hz / a.hz) / std::log(b.hz / a.hz);
            return a.db + t * (b.db - a.db);
        }
    }
    return points.back().db;
}

std::vector<TargetCurve> builtInTargets() {
    std::vector<TargetCurve> targets;
    for (const BuiltInTarget& builtIn : kBuiltInTargets) {
        TargetCurve& curve = targets.emplace_back();
        curve.name = builtIn.name;
        for (const BuiltInPoint& p : builtIn.points) {
            curve.points.push_back({p.hz, p.db});
        }
    }
    return targets;
}

bool parseTargetText(std::string_view text, TargetCurve& curve, std::string& error) {
    curve.points.clear();
    int number = 0;
    while (!text.empty()) {
        ++number;
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty()) {
            continue;
        }
        TargetPoint point;
        if (!parsePoint(line, point) || (!curve.points.empty() && point.hz <= curve.points.back().hz)) {
            error = "line " + std::to_string(number) + " is not a rising \"hz db\" pair";
            return false;
        }
        curve.points.push_back(point);
    }
    if (curve.points.empty()) {
        error = "no points";
        return false;
    }
    return true;
}

std::string targetText(const TargetCurve& curve) {
    std::ostringstream text;
    text << "# " << curve.name << ": frequency in Hz, level in dB\n";
    for (const TargetPoint& p : curve.points) {
        text << p.hz << ' ' << p.db << '\n';
    }
    return text.str();
}

std::filesystem::path targetFolder() { return SettingsFolder().path() / "targets"; }

std::vector<TargetCurve> loadTargets() {
    std::vector<TargetCurve> targets = builtInTargets();
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(targetFolder(), ec)) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::string content;
        std::string error;
        TargetCurve curve;
        curve.name = file.stem().string();
        if (readRegularFile(file.c_str(), kMaxTargetFileBytes, content) != FileRead::Read ||
            !parseTargetText(content, curve, error)) {
            continue;
        }
        auto same = std::find_if(targets.begin(), targets.end(), [&](const auto& t) { return t.name == curve.name; });
        if (same != targets.end()) {
            *same = std::move(curve);
        } else {
            targets.push_back(std::move(curve));
        }
    }
    return targets;
}

bool saveTarget(const TargetCurve& curve) {
    std::error_code ec;
    std::filesystem::create_directories(targetFolder(), ec);
    return writeFileAtomically(targetFolder() / (curve.name + ".txt"), targetText(curve));
}

const TargetCurve* findTarget(const std::vector<TargetCurve>& targets, std::string_view name) {
    const auto found = std::find_if(targets.begin(), targets.end(), [&](const auto& t) { return t.name == name; });
    return found == targets.end() ? nullptr : &*found;
}

}  // namespace tqm

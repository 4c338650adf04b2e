#include "editor/setting_file.h"

#include <cstdio>

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "editor/equalizer_model.h"
#include "editor/equalizer_tables.h"
#include "platform/atomic_file.h"
#include "platform/decimal_int.h"
#include "serial/csv_table.h"

namespace tqm {

namespace {

constexpr std::int32_t kFileRows = 3;
constexpr std::int32_t kFileColumns = 3;

// The table index of a frequency in Hz for a band; -1 when it is not in the table.
std::int32_t freqIndex(int band, std::int32_t hz) {
    const auto table = kFreqTables[static_cast<std::size_t>(band)];
    const auto found = std::find(table.begin(), table.end(), hz);
    return found == table.end() ? -1 : static_cast<std::int32_t>(found - table.begin());
}

// The value to store for one cell, or nullopt when it is out of range.
std::optional<std::int32_t> checkCell(int band, PeqParam kind, std::int32_t value) {
    switch (kind) {
        case PeqParam::Freq: {
            const std::int32_t index = freqIndex(band, value);
            return index < 0 ? std::nullopt : std::optional<std::int32_t>(index);
        }
        case PeqParam::Level:
            return (value >= kLevelMin && value <= kLevelMax) ? std::optional<std::int32_t>(value) : std::nullopt;
        case PeqParam::Bwth:
            return (value >= kBwthMin && value <= kBwthMax) ? std::optional<std::int32_t>(value) : std::nullopt;
    }
    return std::nullopt;
}

// What is wrong with one cell's number, for the operator.
std::string cellProblem(int band, PeqParam kind, std::int32_t number, bool fits) {
    std::string text = std::string(kBandNames[static_cast<std::size_t>(band)]) + " " +
                       std::string(kParamNames[static_cast<std::size_t>(kind)]) + ": ";
    if (!fits) return text + "the number is too large";
    text += std::to_string(number);
    switch (kind) {
        case PeqParam::Freq: {
            text += " Hz is not one of the band's frequencies (0 for OFF";
            for (std::int32_t hz : kFreqTables[static_cast<std::size_t>(band)].subspan(1)) text += ", " + std::to_string(hz);
            return text + ")";
        }
        case PeqParam::Level:
            return text + " is outside " + std::to_string(kLevelMin) + ".." + std::to_string(kLevelMax);
        case PeqParam::Bwth:
            return text + " is outside " + std::to_string(kBwthMin) + ".." + std::to_string(kBwthMax);
    }
    return text;
}

// Checks the table row by row, left to right, handing each valid value to store;
// false at the first invalid cell (a number too large for 32 bits included) or when
// the table is not 3 x 3, with what was wrong in reason.
template <typename Store>
bool stageTable(const CsvTable& table, Store store, std::string& reason) {
    if (table.rows() != kFileRows || table.columns() != kFileColumns) {
        reason = "the file has " + std::to_string(table.rows()) + " lines of up to " + std::to_string(table.columns()) +
                 " numbers; it must have 3 lines of 3 numbers, each line ended by a line break";
        return false;
    }
    for (int p = 0; p < kEqualizerParams; ++p) {
        const int band = bandOfParam(p);
        const PeqParam kind = kindOfParam(p);
        std::int32_t number = 0;
        const bool fits = readDecimalInt(table.cell(band, static_cast<std::int32_t>(kind)), number);
        const auto value = fits ? checkCell(band, kind, number) : std::nullopt;
        if (!value) {
            reason = cellProblem(band, kind, number, fits);
            return false;
        }
        store(p, *value);
    }
    return true;
}

// Reads the file's table and hands each valid value to store; false with the reason
// as stageTable.
template <typename Store>
bool readFile(const std::string& path, Store store, std::string& reason) {
    if (path.size() >= kMaxPathLength) {
        reason = "the path is " + std::to_string(kMaxPathLength) + " characters or longer";
        return false;
    }
    CsvTable table;
    if (!table.load(path.c_str())) {
        reason = "the file is missing, unreadable or too large";
        return false;
    }
    return stageTable(table, store, reason);
}

}  // namespace

std::string SettingFile::defaultName(const std::tm& localTime) {
    char name[64];
    std::snprintf(name, sizeof name, "%04d%02d%02d%02d%02d%02d%s", localTime.tm_year + 1900, localTime.tm_mon + 1,
                  localTime.tm_mday, localTime.tm_hour, localTime.tm_min, localTime.tm_sec, ".pef");
    return name;
}

std::string SettingFile::defaultNameNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return defaultName(local);
}

std::string SettingFile::format(const EqualizerValues& values) {
    std::string text;
    for (int band = 0; band < kEqualizerBands; ++band) {
        char line[48];
        std::snprintf(line, sizeof line, "%d,%d,%d\r\n", static_cast<int>(freqHz(band, values.get(band, PeqParam::Freq))),
                      static_cast<int>(values.get(band, PeqParam::Level)),
                      static_cast<int>(values.get(band, PeqParam::Bwth)));
        text += line;
    }
    return text;
}

SaveResult SettingFile::save(const std::string& path, const EqualizerModel& model) {
    if (model.pendingReplies() != 0) {
        return SaveResult::Busy;
    }
    if (path.size() >= kMaxPathLength) {
        return SaveResult::PathTooLong;
    }
    return writeFileAtomically(path, format(model.shown(model.currentSet()))) ? SaveResult::Saved : SaveResult::Failed;
}

LoadResult SettingFile::load(const std::string& path, EqualizerModel& model) {
    if (model.pendingReplies() != 0) {
        return LoadResult::Busy;
    }
    EqualizerValues values;
    std::string reason;
    if (!check(path, values, reason)) {
        return LoadResult::Rejected;
    }
    return loadValues(values, model);
}

LoadResult SettingFile::loadValues(const EqualizerValues& values, EqualizerModel& model) {
    if (model.pendingReplies() != 0) {
        return LoadResult::Busy;
    }
    for (int p = 0; p < kEqualizerParams; ++p) {
        model.stageValue(p, values[p]);
    }
    model.applyStaged();
    return LoadResult::Loaded;
}

bool SettingFile::check(const std::string& path, EqualizerValues& values, std::string& reason) {
    EqualizerValues read;
    if (!readFile(path, [&read](int p, std::int32_t value) { read[p] = value; }, reason)) {
        return false;
    }
    values = read;
    return true;
}

}  // namespace tqm

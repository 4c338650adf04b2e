#include "serial/comm_setting_file.h"

#include <cstdio>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/decimal_int.h"
#include "platform/settings_folder.h"
#include "serial/csv_table.h"
#include "serial/sio_port.h"
#include "serial/sio_port_tables.h"

namespace tqm {
namespace {

constexpr std::int32_t kDefaultShownSet = 0;

// What each of port, baud rate and shown set becomes when its number does not fit in
// 32 bits: the value the setters give to any value they refuse.
constexpr std::int32_t kOutOfRangeFallback[3] = {kDefaultComPort, kDefaultBaudRate, kDefaultShownSet};

bool validSet(std::int32_t set) { return set >= 0 && set < CommSettingFile::kSetCount; }

std::filesystem::path fileUnder(const std::filesystem::path& base) {
    return base / CommSettingFile::kDirectoryName / CommSettingFile::kFileName;
}

void applyDefaults(CommSettingShownSet& shownSet) {
    Sio_Port port;
    port.setPortNumber(kDefaultComPort);
    port.setBaudRate(kDefaultBaudRate);
    shownSet = {true, kDefaultShownSet};
}

void applyCells(const CommSettingCells& cells, CommSettingShownSet& shownSet) {
    Sio_Port port;
    if (cells.count > 0) port.setPortNumber(cells.values[0]);
    if (cells.count > 1) port.setBaudRate(cells.values[1]);
    if (cells.count > 2) shownSet = {true, validSet(cells.values[2]) ? cells.values[2] : kDefaultShownSet};
}

}  // namespace

bool CommSettingFile::pathUnder(const std::filesystem::path& base, std::filesystem::path& file) {
    const std::filesystem::path whole = fileUnder(base);
    if (base.empty() || whole.native().size() >= kMaxPathLength) return false;
    file = whole;
    return true;
}

std::string CommSettingFile::format(std::int32_t port, std::int32_t baud, std::int32_t shownSet) {
    char line[48];
    const int length = std::snprintf(line, sizeof line, "%d,%d,%d\r\n", port, baud, shownSet);
    return std::string(line, static_cast<std::size_t>(length));
}

CommSettingRead CommSettingFile::parse(const std::filesystem::path& file, CommSettingCells& cells) {
    cells = {};
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(file, error);
    if (status.type() == std::filesystem::file_type::not_found) return CommSettingRead::Missing;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size > kMaxFileBytes) return CommSettingRead::Unreadable;
    CsvTable table;
    if (!table.load(file.c_str())) return CommSettingRead::Unreadable;
    for (std::int32_t row = 0; row < table.rows() && cells.count < 3; ++row) {
        for (std::int32_t column = 0; column < table.columns() && cells.count < 3; ++column) {
            std::int32_t value = 0;
            if (!readDecimalInt(table.cell(row, column), value)) value = kOutOfRangeFallback[cells.count];
            cells.values[cells.count++] = value;
        }
    }
    return CommSettingRead::Read;
}

CommSettingRead CommSettingFile::load(const std::filesystem::path& base, CommSettingShownSet& shownSet) {
    shownSet = {};
    std::filesystem::path file;
    if (!pathUnder(base, file)) return CommSettingRead::PathTooLong;
    CommSettingCells cells;
    const CommSettingRead result = parse(file, cells);
    if (result == CommSettingRead::Read) {
        applyCells(cells, shownSet);
    } else {
        applyDefaults(shownSet);
    }
    return result;
}

CommSettingRead CommSettingFile::load(CommSettingShownSet& shownSet) {
    return load(SettingsFolder().path(), shownSet);
}

CommSettingWrite CommSettingFile::write(const std::filesystem::path& base, std::int32_t port, std::int32_t baud,
                                        std::int32_t shownSet) {
    std::filesystem::path file;
    if (!pathUnder(base, file)) return CommSettingWrite::PathTooLong;
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error) return CommSettingWrite::NoDirectory;
    return writeFileAtomically(file, format(port, baud, shownSet)) ? CommSettingWrite::Written
                                                                  : CommSettingWrite::Failed;
}

CommSettingWrite CommSettingFile::save(const std::filesystem::path& base, std::int32_t shownSet) {
    const Sio_Port port;
    return write(base, port.portNumber(), port.baudRate(), shownSet);
}

CommSettingWrite CommSettingFile::save(std::int32_t shownSet) { return save(SettingsFolder().path(), shownSet); }

}  // namespace tqm

#include "serial/comm_setting_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "serial/csv_table.h"
#include "serial/sio_port.h"
#include "serial/sio_port_tables.h"

namespace tqm {
namespace {

constexpr std::int32_t kDefaultShownSet = 0;

bool validSet(std::int32_t set) { return set >= 0 && set < CommSettingFile::kSetCount; }

// Closes a descriptor when it goes, unless released.
class FdGuard final {
public:
    explicit FdGuard(int fd) : m_fd(fd) {}
    ~FdGuard() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int get() const { return m_fd; }
    // Closes now and reports whether the close succeeded.
    bool closeNow() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes text into a new temporary file beside target; the file's name on success.
bool writeTemporary(const std::filesystem::path& target, const std::string& text, std::string& temporary) {
    std::string pattern = target.string() + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return false;
    temporary = pattern;
    FdGuard guard(fd);
    const bool written = ::fchmod(fd, 0644) == 0 && writeAll(fd, text) && ::fsync(fd) == 0;
    return guard.closeNow() && written;
}

// The parent directory is flushed so that the rename survives a crash; a failure
// here does not undo the rename, so it is not reported.
void syncDirectory(const std::filesystem::path& directory) {
    const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool lengthUsable(const std::filesystem::path& base) {
    const std::size_t length = base.string().size() + std::strlen(CommSettingFile::kDirectoryName) +
                               std::strlen(CommSettingFile::kFileName);
    return length < CommSettingFile::kMaxPathLength;
}

bool currentDirectory(std::filesystem::path& base) {
    std::error_code error;
    base = std::filesystem::current_path(error);
    return !error;
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
    if (!lengthUsable(base)) return false;
    file = base / kDirectoryName / kFileName;
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
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size > kMaxFileBytes) return CommSettingRead::Unreadable;
    CsvTable table;
    if (!table.load(file.c_str())) return CommSettingRead::Unreadable;
    for (std::int32_t row = 0; row < table.rows() && cells.count < 3; ++row) {
        for (std::int32_t column = 0; column < table.columns() && cells.count < 3; ++column) {
            cells.values[cells.count++] = static_cast<std::int32_t>(std::atoi(table.cell(row, column)));
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
    std::filesystem::path base;
    if (!currentDirectory(base)) {
        shownSet = {};
        return CommSettingRead::PathTooLong;
    }
    return load(base, shownSet);
}

CommSettingWrite CommSettingFile::write(const std::filesystem::path& base, std::int32_t port, std::int32_t baud,
                                        std::int32_t shownSet) {
    std::filesystem::path file;
    if (!pathUnder(base, file)) return CommSettingWrite::PathTooLong;
    std::error_code error;
    std::filesystem::create_directory(file.parent_path(), error);
    if (error) return CommSettingWrite::NoDirectory;
    return writeReplacing(file, format(port, baud, shownSet)) ? CommSettingWrite::Written
                                                              : CommSettingWrite::Failed;
}

CommSettingWrite CommSettingFile::save(const std::filesystem::path& base, std::int32_t shownSet) {
    const Sio_Port port;
    return write(base, port.portNumber(), port.baudRate(), shownSet);
}

CommSettingWrite CommSettingFile::save(std::int32_t shownSet) {
    std::filesystem::path base;
    if (!currentDirectory(base)) return CommSettingWrite::PathTooLong;
    return save(base, shownSet);
}

bool CommSettingFile::writeReplacing(const std::filesystem::path& file, const std::string& text) {
    std::string temporary;
    if (!writeTemporary(file, text, temporary)) {
        if (!temporary.empty()) ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    syncDirectory(file.parent_path());
    return true;
}

}  // namespace tqm

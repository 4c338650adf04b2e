#include "sim/wire_log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/wire_line.h"

namespace tqm::sim {

WireLog::~WireLog() { closeFile(); }

bool WireLog::openFile(const std::string& path, FailureReport onFailure) {
    std::lock_guard lock(m_mutex);
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
    m_filePath = path;
    m_fileError.clear();
    m_onFailure = std::move(onFailure);
    m_file = std::fopen(path.c_str(), "w");
    if (m_file == nullptr) {
        m_fileError = path + ": " + std::strerror(errno);
    }
    return m_file != nullptr;
}

void WireLog::closeFile() {
    std::lock_guard lock(m_mutex);
    if (m_file != nullptr && std::fclose(m_file) != 0) {
        m_file = nullptr;
        giveUpFileLocked(errno);
    }
    m_file = nullptr;
}

std::string WireLog::fileError() const {
    std::lock_guard lock(m_mutex);
    return m_fileError;
}

// Closes the file after a failed write and tells why; later entries stay in memory only.
void WireLog::giveUpFileLocked(int error) {
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_fileError = m_filePath + ": " + std::strerror(error);
    if (m_onFailure) {
        m_onFailure(m_fileError);
    }
}

void WireLog::append(std::chrono::milliseconds time, WireDirection direction, std::string bytes) {
    {
        std::lock_guard lock(m_mutex);
        m_entries.push_back(WireLogEntry{time, direction, std::move(bytes)});
        if (m_file != nullptr) {
            const std::string line = formatLine(m_entries.back()) + "\n";
            if (std::fwrite(line.data(), 1, line.size(), m_file) != line.size() || std::fflush(m_file) != 0) {
                giveUpFileLocked(errno);
            }
        }
    }
    m_changed.notify_all();
}

std::vector<WireLogEntry> WireLog::entries() const {
    std::lock_guard lock(m_mutex);
    return m_entries;
}

void WireLog::clear() {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

std::size_t WireLog::count(WireDirection direction, std::string_view bytes) const {
    std::lock_guard lock(m_mutex);
    return countLocked(direction, bytes);
}

bool WireLog::waitFor(WireDirection direction, std::string_view bytes, std::chrono::milliseconds timeout,
                      std::size_t occurrences) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout,
                              [&] { return countLocked(direction, bytes) >= occurrences; });
}

std::string WireLog::formatLine(const WireLogEntry& entry) {
    return formatWireLine(entry.time.count(), static_cast<char>(entry.direction), entry.bytes);
}

std::size_t WireLog::countLocked(WireDirection direction, std::string_view bytes) const {
    return static_cast<std::size_t>(std::count_if(m_entries.begin(), m_entries.end(), [&](const WireLogEntry& e) {
        return e.direction == direction && e.bytes == bytes;
    }));
}

}  // namespace tqm::sim

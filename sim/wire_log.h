#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wire_line.h"

namespace tqm::sim {

// Which way a logged text went: '>' to the transceiver, '<' from it.
enum class WireDirection : char { ToTransceiver = kWireToTransceiver, FromTransceiver = kWireFromTransceiver };

struct WireLogEntry {
    std::chrono::milliseconds time;  // since the simulator started
    WireDirection direction;
    std::string bytes;
};

// The record of every command received and every reply or report sent, kept in
// memory and optionally written to a file, one line per entry in the wire line
// format (platform/wire_line.h): "<milliseconds> <direction> <bytes>".
// A file that cannot be written is given up at the first failure, which is
// reported once; the entries in memory go on. Thread-safe.
class WireLog final {
public:
    WireLog() = default;
    ~WireLog();

    WireLog(const WireLog&) = delete;
    WireLog& operator=(const WireLog&) = delete;

    // Told, once, why the file could not be written ("PATH: reason").
    using FailureReport = std::function<void(const std::string&)>;

    // Opens (truncates) the log file; false when it cannot be opened, fileError()
    // saying why. A write or close that fails later goes to onFailure (if set).
    bool openFile(const std::string& path, FailureReport onFailure = {});
    // Blocks on flushing and closing the file.
    void closeFile();
    // Why the file could not be opened or written ("PATH: reason"); empty while all is well.
    std::string fileError() const;

    void append(std::chrono::milliseconds time, WireDirection direction, std::string bytes);

    std::vector<WireLogEntry> entries() const;
    void clear();

    // Number of entries with exactly these bytes in this direction.
    std::size_t count(WireDirection direction, std::string_view bytes) const;

    // Blocks until at least `occurrences` entries with exactly these bytes have
    // been logged in this direction, or the timeout passes; true when they have.
    bool waitFor(WireDirection direction, std::string_view bytes, std::chrono::milliseconds timeout,
                 std::size_t occurrences = 1) const;

    // The file line of one entry, without the line end.
    static std::string formatLine(const WireLogEntry& entry);

private:
    std::size_t countLocked(WireDirection direction, std::string_view bytes) const;
    void giveUpFileLocked(int error);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<WireLogEntry> m_entries;
    std::FILE* m_file = nullptr;
    std::string m_filePath;
    std::string m_fileError;
    FailureReport m_onFailure;
};

}  // namespace tqm::sim

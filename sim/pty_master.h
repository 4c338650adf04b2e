#pragma once

#include <string>

namespace tqm::sim {

// The master side of a pseudo-terminal in raw mode. The slave device (its path is
// slavePath()) is what a serial program opens. Closing the master is what pulling
// out a USB adapter looks like to the program: its reads fail with EIO.
class PtyMaster final {
public:
    PtyMaster() = default;
    ~PtyMaster();

    PtyMaster(const PtyMaster&) = delete;
    PtyMaster& operator=(const PtyMaster&) = delete;

    // Opens a new pseudo-terminal (non-blocking, raw). False, with errorText set,
    // when any step fails. An open master is closed first.
    bool open();
    void close();

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const std::string& slavePath() const { return m_slavePath; }
    const std::string& errorText() const { return m_errorText; }
    // The line speed the program on the slave side set, in baud; 0 when unknown.
    int lineSpeed() const;

private:
    bool fail(const char* step);

    int m_fd = -1;
    std::string m_slavePath;
    std::string m_errorText;
};

}  // namespace tqm::sim

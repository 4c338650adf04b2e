#pragma once

#include <chrono>
#include <string>

namespace tqm::test {

// The program's end of the simulated line, with nothing but POSIX calls: opens
// the slave device raw, non-blocking and locked, writes commands and collects replies.
class SlaveClient final {
public:
    SlaveClient() = default;
    ~SlaveClient();

    SlaveClient(const SlaveClient&) = delete;
    SlaveClient& operator=(const SlaveClient&) = delete;

    bool open(const std::string& path);
    void close();

    bool write(const std::string& bytes);

    // Blocks until one reply (everything up to and including the next ";") has
    // arrived, or the timeout passes; returns it, or what came so far.
    std::string readReply(std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    // Blocks until at least n bytes have arrived, or the timeout passes.
    std::string readBytes(std::size_t n, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    // Writes a command and returns the reply.
    std::string ask(const std::string& command, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));

private:
    // Reads what is there, waiting at most until the deadline; false on a line error.
    bool fill(std::chrono::steady_clock::time_point deadline);

    int m_fd = -1;
    std::string m_buffer;
};

}  // namespace tqm::test

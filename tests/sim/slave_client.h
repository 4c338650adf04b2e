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
    bool write(const std::string& bytes);
    // Blocks until one reply (everything up to and including the next ";") has
    // arrived, or the timeout passes; returns it, or what came so far.
    std::string readReply(std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    // Blocks until at least n bytes have arrived, or the timeout passes; the first n.
    std::string readBytes(std::size_t n, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    // Writes a command and returns the reply.
    std::string ask(const std::string& command, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) {
        return write(command) ? readReply(timeout) : std::string();
    }

private:
    // Reads until the buffer holds n bytes, or a ";" when n is 0, then takes them.
    std::string take(std::size_t n, std::chrono::milliseconds timeout);

    int m_fd = -1;
    std::string m_buffer;
};

}  // namespace tqm::test

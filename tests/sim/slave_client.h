#pragma once

#include <chrono>
#include <string>

namespace tqm::test {

// The program's end of the simulated line with nothing but POSIX calls: the slave
// device opened raw, non-blocking and locked as the program locks its port (a program
// of another test process that retries a recycled terminal number finds it busy).
class SlaveClient final {
public:
    using Timeout = std::chrono::milliseconds;
    SlaveClient() = default;
    ~SlaveClient();
    SlaveClient(const SlaveClient&) = delete;
    SlaveClient& operator=(const SlaveClient&) = delete;

    bool open(const std::string& path);
    bool write(const std::string& bytes);
    // Blocks until n bytes have arrived (n == 0: one reply, up to and including the next
    // ";") or the timeout passes; returns them, or what came so far.
    std::string readBytes(std::size_t n, Timeout timeout = Timeout(2000));
    std::string readReply(Timeout timeout = Timeout(2000)) { return readBytes(0, timeout); }
    // Writes a command and returns the reply.
    std::string ask(const std::string& command, Timeout timeout = Timeout(2000)) {
        return write(command) ? readReply(timeout) : std::string();
    }

private:
    int m_fd = -1;
    std::string m_buffer;
};

}  // namespace tqm::test

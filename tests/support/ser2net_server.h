#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/child_process.h"

namespace tqm::test {

// A real ser2net serving one device on 127.0.0.1, in the foreground with a generated
// configuration: a raw accepter (tcp) and an RFC 2217 accepter (telnet(rfc2217)) on
// free ports. It is ended by stop() or on destruction. (No test framework: the
// benchmarks use it too.)
class Ser2netServer final {
public:
    // Picks the ports and writes the configuration; nothing runs yet.
    explicit Ser2netServer(const std::string& device);
    ~Ser2netServer();
    Ser2netServer(const Ser2netServer&) = delete;
    Ser2netServer& operator=(const Ser2netServer&) = delete;

    static bool installed();
    // Blocks until both ports listen (up to 10 s); false when they do not.
    bool start();
    // Blocks until the server has ended (SIGTERM).
    void stop();

    std::string rawTarget() const { return "tcp://127.0.0.1:" + std::to_string(m_rawPort); }
    std::string rfc2217Target() const { return "rfc2217://127.0.0.1:" + std::to_string(m_rfc2217Port); }

private:
    std::filesystem::path m_dir;
    int m_rawPort = 0;
    int m_rfc2217Port = 0;
    std::unique_ptr<ChildProcess> m_process;
};

// A TCP port on 127.0.0.1 that nothing listens on (now).
int freeLoopbackPort();

}  // namespace tqm::test

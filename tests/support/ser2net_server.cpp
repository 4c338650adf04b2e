#include "tests/support/ser2net_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace tqm::test {
namespace {

constexpr const char* kProgram = "/usr/sbin/ser2net";

// True when /proc/net/tcp shows a listening socket on 127.0.0.1:port.
bool listening(int port) {
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    std::ifstream table("/proc/net/tcp");
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string slot, address, remote, state;
        fields >> slot >> address >> remote >> state;
        if (address == local && state == "0A") return true;
    }
    return false;
}

}  // namespace

int freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

Ser2netServer::Ser2netServer(const std::string& device) : m_rawPort(freeLoopbackPort()), m_rfc2217Port(freeLoopbackPort()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tqm-ser2net-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) m_dir = pattern;
    const std::string connector = "    connector: serialdev," + device + ",38400n82,local\n";
    std::ofstream(m_dir / "ser2net.yaml") << "%YAML 1.1\n---\n"
                                          << "connection: &raw\n    accepter: tcp,127.0.0.1," << m_rawPort << "\n"
                                          << connector
                                          << "connection: &rfc2217\n    accepter: telnet(rfc2217),tcp,127.0.0.1,"
                                          << m_rfc2217Port << "\n"
                                          << connector;
}

Ser2netServer::~Ser2netServer() {
    stop();
    std::error_code ignored;
    if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ignored);
}

bool Ser2netServer::installed() { return ::access(kProgram, X_OK) == 0; }

bool Ser2netServer::start() {
    stop();
    const std::string config = (m_dir / "ser2net.yaml").string();
    const std::string log = (m_dir / "ser2net.log").string();
    m_process = std::make_unique<ChildProcess>([&] {
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        // -u: no UUCP lock files, which a user may not write.
        ::execl(kProgram, kProgram, "-n", "-d", "-u", "-c", config.c_str(), static_cast<char*>(nullptr));
        return 127;
    });
    return m_process->started() &&
           waitUntil([this] { return listening(m_rawPort) && listening(m_rfc2217Port); }, std::chrono::seconds(10));
}

void Ser2netServer::stop() {
    if (!m_process) return;
    m_process->signal(SIGTERM);
    m_process->waitStatus(std::chrono::seconds(10));
    m_process.reset();
}

}  // namespace tqm::test

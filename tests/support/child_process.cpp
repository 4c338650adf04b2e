#include "tests/support/child_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

namespace tqm::test {

ChildProcess::ChildProcess(const std::function<int()>& body) {
    std::fflush(nullptr);  // nothing buffered twice
    m_pid = ::fork();
    if (m_pid == 0) {
        const int code = body();
        std::fflush(nullptr);
        ::_exit(code & 0xff);
    }
}

ChildProcess::~ChildProcess() {
    if (m_pid <= 0 || m_status) return;
    ::kill(m_pid, SIGKILL);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
}

bool ChildProcess::signal(int signalNumber) const {
    return m_pid > 0 && ::kill(m_pid, signalNumber) == 0;
}

bool ChildProcess::running() {
    if (m_pid <= 0 || m_status) return false;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) != m_pid) return true;
    m_status = status;
    return false;
}

std::optional<int> ChildProcess::waitStatus(std::chrono::milliseconds timeout) {
    waitUntil([this] { return !running(); }, timeout);
    return m_status;
}

bool waitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace tqm::test

#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

namespace tqm::test {

ChildProcess::ChildProcess(const std::function<int()>& body) {
    std::fflush(nullptr);  // nothing buffered twice
    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid == 0) {
        // The child goes with the test: a test process killed half-way (a hang, a
        // mutation run stopping at the first failure) leaves no program behind that
        // keeps opening a recycled pseudo-terminal of another test.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
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

bool ChildProcess::running() {
    if (m_pid <= 0 || m_status) return false;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) != m_pid) return true;
    m_status = status;
    return false;
}

std::optional<int> ChildProcess::exitCode(std::chrono::milliseconds timeout) {
    const std::optional<int> status = waitStatus(timeout);
    if (!status || !WIFEXITED(*status)) return std::nullopt;
    return WEXITSTATUS(*status);
}

ChildProcess runProgram(const std::string& program, std::vector<std::string> arguments,
                        const std::filesystem::path& out, const std::filesystem::path& err) {
    std::string path = program;
    std::vector<char*> argv{path.data()};
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const std::string outPath = out.string();
    const std::string errPath = err.empty() ? outPath : err.string();
    // Emptied before the child starts, so that nothing of an earlier run is read as its.
    for (const std::string& file : {outPath, errPath}) ::close(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    // Between fork and exec the child makes only async-signal-safe calls: the test
    // process has threads of its own.
    return ChildProcess([&] {
        const int in = ::open("/dev/null", O_RDONLY);
        const int outFd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int errFd = errPath == outPath ? outFd : ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(in, STDIN_FILENO);
        ::dup2(outFd, STDOUT_FILENO);
        ::dup2(errFd, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
        return 127;
    });
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

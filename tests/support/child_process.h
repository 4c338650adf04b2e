#pragma once

#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tqm::test {

// Polls the predicate every few milliseconds until it holds or the timeout passes.
bool waitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout);

// Runs a function in a forked copy of the test process. The child ends with the
// function's result as its exit code and never returns into the test runner.
// A child that still runs when the object goes is killed and reaped.
class ChildProcess final {
public:
    explicit ChildProcess(const std::function<int()>& body);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return m_pid > 0; }
    bool signal(int signalNumber) const { return m_pid > 0 && ::kill(m_pid, signalNumber) == 0; }
    // Polls up to timeout for the child's end; the wait status, or nothing on time-out.
    std::optional<int> waitStatus(std::chrono::milliseconds timeout) {
        waitUntil([this] { return !running(); }, timeout);
        return m_status;
    }
    // True while the child has not ended.
    bool running();
    // Polls up to timeout for the child's end; its exit code, or nothing when it is still
    // running then or was ended by a signal.
    std::optional<int> exitCode(std::chrono::milliseconds timeout);

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// Runs the program with these arguments in a child, standard input from /dev/null,
// standard output to the file out and standard error to err (to out when empty).
ChildProcess runProgram(const std::string& program, std::vector<std::string> arguments,
                        const std::filesystem::path& out, const std::filesystem::path& err = {});

}  // namespace tqm::test

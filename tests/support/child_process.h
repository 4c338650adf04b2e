#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>

namespace tqm::test {

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
    pid_t pid() const { return m_pid; }
    bool signal(int signalNumber) const;
    // Polls up to timeout for the child's end; the wait status, or nothing on time-out.
    std::optional<int> waitStatus(std::chrono::milliseconds timeout);
    // True while the child has not ended.
    bool running();

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// Polls the predicate every few milliseconds until it holds or the timeout passes.
bool waitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout);

}  // namespace tqm::test

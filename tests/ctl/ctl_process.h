#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tqm::test {

// tqm4700-ctl as a child process, its standard output and error collected as they come.
// A child that still runs when the object goes is killed.
class CtlProcess final {
public:
    explicit CtlProcess(const std::vector<std::string>& arguments);
    ~CtlProcess();
    CtlProcess(const CtlProcess&) = delete;
    CtlProcess& operator=(const CtlProcess&) = delete;

    // Blocks until standard output holds the text, or the timeout passes.
    bool waitForOutput(std::string_view text, std::chrono::milliseconds timeout);
    bool signal(int signalNumber) const;
    // Blocks until the child has ended and its output is read; its exit code, or
    // nothing when it did not end in time (it is killed then) or did not exit normally.
    std::optional<int> finish(std::chrono::milliseconds timeout);

    std::string out() const;
    std::string err() const;

private:
    void collect(int outFd, int errFd);

    pid_t m_pid = -1;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_out;
    std::string m_err;
    std::thread m_reader;
};

}  // namespace tqm::test

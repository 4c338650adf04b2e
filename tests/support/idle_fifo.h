#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>

namespace tqm::test {

// Makes a named pipe that nobody writes to; false when it cannot be made.
inline bool makeIdleFifo(const std::filesystem::path& path) { return ::mkfifo(path.c_str(), 0644) == 0; }

// Runs action (which reads the pipe) on a thread of its own and waits a generous
// while for it to end. A reader still blocked on the pipe then is released by a
// writer that opens and closes it, so a failing test ends too. True when the action
// ended without that help.
inline bool endsWithoutAWriter(const std::filesystem::path& fifo, const std::function<void()>& action) {
    auto done = std::async(std::launch::async, action);
    if (done.wait_for(std::chrono::seconds(30)) == std::future_status::ready) return true;
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writer >= 0) ::close(writer);
    done.wait();
    return false;
}

}  // namespace tqm::test

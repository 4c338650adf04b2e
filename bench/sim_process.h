#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

extern char** environ;

namespace tqm::bench {

// zr4700-sim as a child process at one speed; its first output line is the device
// path of the transceiver's end. The process is ended with SIGTERM on destruction.
class SimProcess final {
public:
    // Blocks until the simulator has printed its device path (or has ended).
    SimProcess(const char* program, int baud) {
        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const std::string speed = std::to_string(baud);
        const char* argv[] = {program, "--baud", speed.c_str(), nullptr};
        const int spawned = ::posix_spawn(&m_pid, program, &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (spawned != 0) {
            m_pid = -1;
            ::close(out[0]);
            return;
        }
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n') m_path.push_back(c);
        ::close(out[0]);
    }
    // Blocks until the simulator has ended.
    ~SimProcess() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Empty when the simulator did not start.
    const std::string& devicePath() const { return m_path; }

private:
    pid_t m_pid = -1;
    std::string m_path;
};

}  // namespace tqm::bench

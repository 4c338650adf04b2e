#include "tests/ctl/ctl_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>

extern char** environ;

namespace tqm::test {

CtlProcess::CtlProcess(const std::vector<std::string>& arguments) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<char*> argv;
    std::string program = TQM_CTL_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    m_reader = std::thread([this, outFd = out[0], errFd = err[0]] { collect(outFd, errFd); });
}

CtlProcess::~CtlProcess() {
    if (m_pid > 0) finish(std::chrono::milliseconds(0));
    if (m_reader.joinable()) m_reader.join();
}

void CtlProcess::collect(int outFd, int errFd) {
    std::array<pollfd, 2> fds{{{outFd, POLLIN, 0}, {errFd, POLLIN, 0}}};
    std::array<std::string*, 2> sinks{&m_out, &m_err};
    int open = 2;
    while (open > 0 && ::poll(fds.data(), fds.size(), -1) > 0) {
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[512];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
                continue;
            }
            std::lock_guard lock(m_mutex);
            sinks[i]->append(buffer, static_cast<std::size_t>(n));
        }
        m_changed.notify_all();
    }
}

bool CtlProcess::waitForOutput(std::string_view text, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_out.find(text) != std::string::npos; });
}

bool CtlProcess::signal(int signalNumber) const { return m_pid > 0 && ::kill(m_pid, signalNumber) == 0; }

std::optional<int> CtlProcess::finish(std::chrono::milliseconds timeout) {
    if (m_pid <= 0) return std::nullopt;
    const auto end = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    pid_t ended = 0;
    while ((ended = ::waitpid(m_pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ended == 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
    if (m_reader.joinable()) m_reader.join();
    if (ended == 0 || !WIFEXITED(status)) return std::nullopt;
    return WEXITSTATUS(status);
}

std::string CtlProcess::out() const {
    std::lock_guard lock(m_mutex);
    return m_out;
}

std::string CtlProcess::err() const {
    std::lock_guard lock(m_mutex);
    return m_err;
}

}  // namespace tqm::test

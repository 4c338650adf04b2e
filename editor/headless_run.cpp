#include "editor/headless_run.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>

#include "editor/app_registration.h"
#include "platform/registry.h"

namespace tqm {

namespace {

constexpr std::array<int, 2> kTerminationSignals{SIGTERM, SIGINT};

// The wake pipe lives as long as the process, so a handler running late on another
// thread never writes into a descriptor that was closed and reused.
std::atomic<int> s_wakeFd{-1};
int s_wakeReadFd = -1;
std::once_flag s_wakeOnce;

bool openWakePipe() {
    std::call_once(s_wakeOnce, [] {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
        s_wakeReadFd = fds[0];
        s_wakeFd.store(fds[1], std::memory_order_release);
    });
    return s_wakeReadFd >= 0;
}

void drainWakePipe() {
    char bytes[64];
    while (::read(s_wakeReadFd, bytes, sizeof bytes) > 0) {
    }
}

extern "C" void onTerminationSignal(int signal) {
    const int savedErrno = errno;
    const int fd = s_wakeFd.load(std::memory_order_acquire);
    if (fd >= 0) {
        const char byte = static_cast<char>(signal);
        [[maybe_unused]] const ssize_t ignored = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

// Reads the first wake byte; retries when a signal interrupts the poll.
int awaitWakeByte(int fd) {
    for (;;) {
        pollfd entry{fd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, -1);
        if (ready < 0 && errno != EINTR) return 0;
        char byte = 0;
        if (ready > 0 && ::read(fd, &byte, 1) == 1) return static_cast<unsigned char>(byte);
    }
}

int runServerSwitch(RegistrationResult (*action)(), std::ostream& err) {
    const RegistrationResult result = action();
    if (result.done) return kExitSuccess;
    err << kProgramName << ": " << result.reason << '\n';
    return kExitRegistrationFailed;
}

}  // namespace

int waitForTermination() {
    if (!openWakePipe()) return 0;
    drainWakePipe();  // wakes left from an earlier wait

    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    std::array<struct sigaction, kTerminationSignals.size()> previous{};
    sigset_t unblock;
    sigemptyset(&unblock);
    for (std::size_t i = 0; i < kTerminationSignals.size(); ++i) {
        ::sigaction(kTerminationSignals[i], &action, &previous[i]);
        sigaddset(&unblock, kTerminationSignals[i]);
    }
    // A signal that arrived while blocked is taken here, once the handler is in place.
    sigset_t previousMask;
    ::pthread_sigmask(SIG_UNBLOCK, &unblock, &previousMask);

    const int signal = awaitWakeByte(s_wakeReadFd);

    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    for (std::size_t i = 0; i < kTerminationSignals.size(); ++i) {
        ::sigaction(kTerminationSignals[i], &previous[i], nullptr);
    }
    return signal;
}

int runHeadless(const CommandLine& commandLine, std::ostream& out, std::ostream& err) {
    for (const std::string& warning : commandLine.warnings) err << kProgramName << ": " << warning << '\n';
    switch (commandLine.action) {
    case CommandAction::RegServer: return runServerSwitch(registerServer, err);
    case CommandAction::UnregServer: return runServerSwitch(unregisterServer, err);
    case CommandAction::Automation: waitForTermination(); return kExitSuccess;
    case CommandAction::Help: out << usageText() << std::flush; return kExitSuccess;
    case CommandAction::Version: out << kVersionText << '\n' << std::flush; return kExitSuccess;
    case CommandAction::Error:
        err << kProgramName << ": " << commandLine.error << '\n'
            << "Try '" << kProgramName << " --help' for more information.\n";
        return kExitUsage;
    case CommandAction::RunWindow: break;
    }
    return kRunWindow;
}

}  // namespace tqm

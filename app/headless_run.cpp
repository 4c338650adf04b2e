#include "app/headless_run.h"

#include <pthread.h>

#include <array>
#include <cerrno>

#include "app/app_registration.h"
#include "platform/registry.h"

namespace tqm {

namespace {

constexpr std::array<int, 2> kHeadlessSignals{SIGTERM, SIGINT};
constexpr std::array<int, 3> kWindowSignals{SIGTERM, SIGINT, SIGHUP};

template <std::size_t N>
sigset_t signalSet(const std::array<int, N>& signals) {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : signals) sigaddset(&set, signal);
    return set;
}

int runServerSwitch(RegistrationResult (*action)(), std::ostream& err) {
    const RegistrationResult result = action();
    if (result.done) return kExitSuccess;
    err << kProgramName << ": " << result.reason << '\n';
    return kExitRegistrationFailed;
}

}  // namespace

sigset_t terminationSignals(CommandAction action) {
    switch (action) {
    case CommandAction::Automation: return signalSet(kHeadlessSignals);
    case CommandAction::RunWindow: return signalSet(kWindowSignals);
    default: return signalSet(std::array<int, 0>{});
    }
}

bool blockSignals(const sigset_t& set) { return ::pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0; }

int waitForTermination() {
    const sigset_t signals = terminationSignals(CommandAction::Automation);
    sigset_t previousMask;
    if (::pthread_sigmask(SIG_BLOCK, &signals, &previousMask) != 0) return 0;
    int signal = -1;
    while (signal < 0) {
        signal = ::sigwaitinfo(&signals, nullptr);
        if (signal < 0 && errno != EINTR) signal = 0;
    }
    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
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

// zr4700-sim: the simulated ZR-4700 transceiver as a program of its own.

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/sim_options.h"
#include "sim/simulated_transceiver.h"
#include "tqm_version.h"

namespace {

// Blocks the end signals in this thread (and so in every thread started later)
// so that main can wait for them with sigwait.
sigset_t blockEndSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    return set;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    tqm::sim::SimConfig config;
    std::string error;
    switch (tqm::sim::parseSimOptions(args, config, error)) {
    case tqm::sim::OptionsResult::Help:
        std::fputs(tqm::sim::simUsageText().c_str(), stdout);
        return 0;
    case tqm::sim::OptionsResult::Version:
        std::puts("zr4700-sim " TQM_VERSION);
        return 0;
    case tqm::sim::OptionsResult::Error:
        std::fprintf(stderr, "zr4700-sim: %s\nTry 'zr4700-sim --help'.\n", error.c_str());
        return 2;
    case tqm::sim::OptionsResult::Run:
        break;
    }

    // A wire log that fails while running is reported at once; the run goes on and
    // ends with status 1, as its log is incomplete.
    static std::atomic<bool> s_logFailed{false};
    config.onLogFailure = [](const std::string& reason) {
        std::fprintf(stderr, "zr4700-sim: the wire log stops here: %s\n", reason.c_str());
        s_logFailed.store(true);
    };

    std::signal(SIGPIPE, SIG_IGN);
    const sigset_t endSignals = blockEndSignals();
    tqm::sim::SimulatedTransceiver transceiver(config);
    if (!transceiver.start()) {
        std::fprintf(stderr, "zr4700-sim: %s\n", transceiver.errorText().c_str());
        return 1;
    }
    std::printf("%s\n", transceiver.devicePath().c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&endSignals, &signal);
    transceiver.stop();
    return s_logFailed.load() ? 1 : 0;
}

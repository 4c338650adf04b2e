// tqm_soak DURATION [SEED]: the whole program, its window offscreen and its engine
// threads real, against the simulated transceiver with faults switched on in turn
// for DURATION seconds. Prints one line per round, one per fault kind, and the
// process's threads, descriptors and memory at start and end. Exits 1 on a failed
// check, on threads or descriptors left after the final stop, or on memory growth.
// TQM_SOAK_FAULTS=name,name... runs only those kinds of round, in that order; among
// them "noisy-connect" (a connect under line noise), which the default set leaves out.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <unistd.h>

#include <QtCore/QDir>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>

#include "app/command_line.h"
#include "app/equalizer_app.h"
#include "editor/ui/equalizer_dlg.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/simulated_transceiver.h"
#include "soak/process_usage.h"
#include "soak/soak_driver.h"

namespace {

using namespace tqm;
using namespace tqm::soak;

constexpr int kBaud = 38400;
// The toolkit starts threads of its own once the window is up (the D-Bus
// connection of the suspend watch, the thread pool), each with an event descriptor,
// and keeps them to the end; the D-Bus connection adds a socket, the MIME database
// a file under /usr/share.
constexpr int kToolkitFdsBesideThreads = 2;
#if defined(__SANITIZE_ADDRESS__)
constexpr long kRssGrowthKb = 512L * 1024;  // the sanitizer's quarantine holds freed memory
#else
constexpr long kRssGrowthKb = 64L * 1024;
#endif

// A working directory with the port settings (COM1 at 38400 baud, set F).
std::filesystem::path makeWorkDirectory() {
    const auto directory = std::filesystem::temp_directory_path() / ("tqm-soak-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory / "CommoFiles");
    std::ofstream(directory / "CommoFiles" / "CommSetting.csv", std::ios::binary) << "1," << kBaud << ",0\r\n";
    return directory;
}

void printList(const char* title, const std::vector<std::string>& items) {
    std::printf("%s:", title);
    for (const auto& item : items) std::printf(" [%s]", item.c_str());
    std::printf("\n");
}

// What `after` holds beyond `before` (both sorted).
std::vector<std::string> added(const std::vector<std::string>& before, const std::vector<std::string>& after) {
    std::vector<std::string> extra;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(extra));
    return extra;
}

bool isToolkitThread(const std::string& name) { return name.rfind('Q', 0) == 0 || name == "Thread (pooled)"; }
bool isToolkitDescriptor(const std::string& target) {
    return target.rfind("socket:", 0) == 0 || target == "anon_inode:[eventfd]" || target.rfind("/usr/share/", 0) == 0;
}

// Threads and descriptors left after the final stop that the toolkit does not
// account for; printed, and true when there are none.
bool nothingLeftBehind(const std::vector<std::string>& startThreads, const std::vector<std::string>& startFds) {
    const auto threads = added(startThreads, threadNames());
    const auto fds = added(startFds, descriptorTargets());
    const auto toolkitThreads = std::count_if(threads.begin(), threads.end(), isToolkitThread);
    const auto toolkitFds = std::count_if(fds.begin(), fds.end(), isToolkitDescriptor);
    printList("threads added", threads);
    printList("descriptors added", fds);
    bool clean = true;
    if (toolkitThreads != static_cast<long>(threads.size())) {
        std::printf("FAIL: threads left behind after the stop\n");
        clean = false;
    }
    if (toolkitFds != static_cast<long>(fds.size()) || toolkitFds > toolkitThreads + kToolkitFdsBesideThreads) {
        std::printf("FAIL: descriptors left behind after the stop\n");
        clean = false;
    }
    return clean;
}

struct UsageMarks {
    ProcessUsage processStart;
    ProcessUsage toolkitUp;
    ProcessUsage end;
};

void printSummary(const SoakDriver& driver, std::chrono::seconds seconds, const UsageMarks& marks) {
    for (const FaultTally& tally : driver.tallies()) {
        std::printf("fault %-15s rounds %4d  failures %d\n", tally.name, tally.rounds, tally.failures);
    }
    std::printf("duration %lld s, notices answered %zu\n", static_cast<long long>(seconds.count()),
                driver.noticesAnswered());
    std::map<std::string, int> notices;
    for (const auto& text : driver.noticeTexts()) ++notices[text];
    for (const auto& [text, count] : notices) std::printf("notice %4d x \"%s\"\n", count, text.c_str());
    std::printf("process start: %s\n", describe(marks.processStart).c_str());
    std::printf("toolkit up:    %s\n", describe(marks.toolkitUp).c_str());
    std::printf("warm:          %s\n", describe(driver.warmUsage()).c_str());
    std::printf("peak running:  %s\n", describe(driver.peakUsage()).c_str());
    std::printf("end:           %s\n", describe(marks.end).c_str());
}

// 0 when every round passed, nothing was left behind and memory stayed bounded.
int verdict(const SoakDriver& driver, bool portOpenAfterStop, const std::vector<std::string>& startThreads,
            const std::vector<std::string>& startFds) {
    int status = driver.failedChecks() == 0 ? 0 : 1;
    if (!nothingLeftBehind(startThreads, startFds)) status = 1;
    if (portOpenAfterStop) {
        std::printf("FAIL: the serial port is open after the final stop\n");
        status = 1;
    }
    const long growth = driver.peakUsage().rssKb - driver.warmUsage().rssKb;
    if (growth > kRssGrowthKb) {
        std::printf("FAIL: resident memory grew by %ld kB while running (bound %ld kB)\n", growth, kRssGrowthKb);
        status = 1;
    }
    if (driver.failedChecks() != 0) std::printf("FAIL: %d rounds failed\n", driver.failedChecks());
    std::printf("soak: %s\n", status == 0 ? "passed" : "FAILED");
    return status;
}

int runSoak(std::chrono::seconds duration, std::uint64_t seed, int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const ProcessUsage processStart = readProcessUsage();
    QApplication application(argc, argv);
    const ProcessUsage start = readProcessUsage();
    const auto startThreads = threadNames();
    const auto startFds = descriptorTargets();

    const auto directory = makeWorkDirectory();
    const QString previous = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(directory.string()));

    sim::SimConfig config;
    config.baud = kBaud;
    config.linkPath = (directory / "ttySOAK").string();
    config.seed = seed;
    auto radio = std::make_unique<sim::SimulatedTransceiver>(config);
    if (!radio->start()) {
        std::fprintf(stderr, "tqm_soak: the simulated transceiver did not start: %s\n", radio->errorText().c_str());
        return 1;
    }

    CommandLine commandLine;
    commandLine.noSplash = true;
    commandLine.settingsDir = directory.string();
    commandLine.portMap.push_back({1, config.linkPath});
    SoakDriver* driver = nullptr;
    std::unique_ptr<SoakDriver> ownedDriver;
    CEqualizerApp::Hooks hooks;
    hooks.beforeExec = [&](CEqualizerDlg& window) {
        ownedDriver = std::make_unique<SoakDriver>(*radio, window, seed);
        const QByteArray faults = qgetenv("TQM_SOAK_FAULTS");
        if (!faults.isEmpty() && !ownedDriver->selectFaults(faults.toStdString())) {
            std::fprintf(stderr, "tqm_soak: unknown fault in TQM_SOAK_FAULTS=%s\n", faults.constData());
        }
        driver = ownedDriver.get();
        QTimer::singleShot(0, &window, [&window, driver, duration] {
            driver->run(duration);
            window.reject();
        });
    };
    std::printf("soak: %lld s, seed %llu, %s at %d baud\n", static_cast<long long>(duration.count()),
                static_cast<unsigned long long>(seed), config.linkPath.c_str(), kBaud);
    std::fflush(stdout);
    const auto began = std::chrono::steady_clock::now();
    CEqualizerApp app(commandLine, hooks);
    app.run();
    const bool portOpenAfterStop = Sio_Port().isOpen();
    radio->stop();
    radio.reset();
    PortMap().reset();
    QDir::setCurrent(previous);
    std::filesystem::remove_all(directory);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - began);

    const ProcessUsage end = readProcessUsage();
    if (driver == nullptr) {
        std::fprintf(stderr, "tqm_soak: the window never ran\n");
        return 1;
    }
    printSummary(*driver, seconds, {processStart, start, end});
    const int status = verdict(*driver, portOpenAfterStop, startThreads, startFds);
    ownedDriver.reset();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::atoi(argv[1]) <= 0) {
        std::fprintf(stderr, "usage: tqm_soak DURATION_SECONDS [SEED]\n");
        return 2;
    }
    const std::chrono::seconds duration(std::atoi(argv[1]));
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : std::random_device{}();
    return runSoak(duration, seed, argc, argv);
}

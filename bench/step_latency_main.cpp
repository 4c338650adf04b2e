// tqm_step_latency_bench: the whole program - the main window on the offscreen
// platform, the link handling and the engine threads - against zr4700-sim running as
// a process of its own, at 38400 baud, connected with the COM button.
//
//   step latency   press of EQ1 LEVEL up or down -> the EQ1 level static showing
//                  the value that came back from the transceiver. While connected the
//                  press only sends the set command and its read-back; the static
//                  changes when the reply is taken in. Up and down in turn, so the
//                  value stays in range; 200 steps after 10 unmeasured ones, a pause
//                  between steps so that the poll runs again as it does between clicks;
//   drag latency   EQ1's handle on the graph pressed (unmeasured: the press stops the
//                  poll), then moved by one dB (8 pixels) up or down -> the EQ1 level
//                  static showing the value that came back; released, the same pause.
//                  Up and down in turn, 200 drags after 10 unmeasured ones;
//   idle CPU       the process's CPU time over 60 s while connected and idle (the
//                  window polls the shown set), percent of one core.
//
//   --via tcp|rfc2217   reach the transceiver through a ser2net on loopback in front
//                       of it instead of on its device
//   --steps-only        leave out the idle measurement
//
// Prints one "key value" line per figure, for scripts/bench.
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <QtCore/QEventLoop>
#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>

#include "app/command_line.h"
#include "app/equalizer_app.h"
#include "bench/sim_process.h"
#include "editor/graph_handles.h"
#include "editor/ui/control_id.h"
#include "editor/ui/equalizer_dlg.h"
#include "serial/comm_setting_file.h"
#include "tests/support/ser2net_server.h"

namespace tqm {
namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;
using namespace std::chrono_literals;

constexpr int kBaud = 38400;
constexpr int kComNumber = 1;
constexpr int kLevelIndex = 1;  // EQ1 LEVEL among the nine values of a set
constexpr int kLevelMax = 10;
constexpr int kWarmUpSteps = 10;
constexpr int kSteps = 200;
constexpr auto kStepGap = 100ms;
constexpr auto kWait = 15s;
constexpr auto kSettle = 1s;
constexpr auto kIdleSpan = 60s;

// A fresh working directory with the port settings (COM1, 38400 baud, set F) for the
// program to read at start-up; the previous directory is restored and the scratch
// one removed on destruction.
class ScratchWorkDir final {
public:
    ScratchWorkDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tqm-step-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) return;
        m_path = pattern;
        std::error_code error;
        m_previous = std::filesystem::current_path(error);
        if (error || CommSettingFile::write(m_path, kComNumber, kBaud, 0) != CommSettingWrite::Written) return;
        std::filesystem::current_path(m_path, error);
        m_ok = !error;
    }
    ~ScratchWorkDir() {
        std::error_code error;
        if (!m_previous.empty()) std::filesystem::current_path(m_previous, error);
        if (!m_path.empty()) std::filesystem::remove_all(m_path, error);
    }
    ScratchWorkDir(const ScratchWorkDir&) = delete;
    ScratchWorkDir& operator=(const ScratchWorkDir&) = delete;

    bool ok() const { return m_ok; }

private:
    std::filesystem::path m_path;
    std::filesystem::path m_previous;
    bool m_ok = false;
};

struct Figures {
    std::vector<double> stepsMs;
    std::vector<double> dragsMs;
    double idleCpuPercent = 0;
    double idleSeconds = 0;
};

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs the event loop for the span, as the program's own loop runs.
void runEventLoopFor(std::chrono::milliseconds span) {
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop, sleeping until events come, until the condition holds or the
// deadline passes. The condition is checked after every batch of events, so the time
// of the change is seen as soon as the handler that made it has returned.
bool runEventLoopUntil(const std::function<bool()>& condition, Clock::duration deadline) {
    const Clock::time_point end = Clock::now() + deadline;
    QTimer guard;  // wakes the loop now and then so that the deadline is noticed
    guard.start(50);
    while (!condition()) {
        if (Clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Drives the running window with mouse presses, as a user does.
class WindowDriver final {
public:
    explicit WindowDriver(CEqualizerDlg& window) : m_window(window) {}

    bool connect() {
        click(ControlId::ComButton);
        return runEventLoopUntil([this] { return connected() && m_window.model().pendingReplies() == 0; }, kWait);
    }

    bool disconnect() {
        click(ControlId::ComButton);
        return runEventLoopUntil([this] { return !connected(); }, kWait);
    }

    bool connected() const { return m_window.model().connected(); }

    // One step on EQ1 LEVEL; the time from the press to the static showing the value
    // that came back, or nothing when it did not come or was not the stepped value.
    std::optional<double> step(bool up) {
        QLabel* const text = m_window.findChild<QLabel*>(controlName(ControlId::Eq1LevelValue));
        const QString before = text->text();
        const int set = m_window.model().currentSet();
        const int expected = m_window.model().shown(set)[kLevelIndex] + (up ? 1 : -1);
        const Clock::time_point pressed = Clock::now();
        click(up ? ControlId::Eq1LevelUp : ControlId::Eq1LevelDown);
        if (!runEventLoopUntil([&] { return text->text() != before; }, kWait)) return std::nullopt;
        const Clock::time_point shown = Clock::now();
        if (m_window.model().shown(set)[kLevelIndex] != expected) {
            std::fprintf(stderr, "tqm_step_latency_bench: the static showed %s, not level %d\n",
                         text->text().toUtf8().constData(), expected);
            return std::nullopt;
        }
        return Millis(shown - pressed).count();
    }

    // One drag of EQ1's handle by one dB; the time from the move to the static showing
    // the value that came back, or nothing when it did not come.
    std::optional<double> drag(bool up) {
        QLabel* const text = m_window.findChild<QLabel*>(controlName(ControlId::Eq1LevelValue));
        QWidget* const editor = m_window.findChild<QWidget*>(QStringLiteral("graph_editor"));
        const QString before = text->text();
        const int expected = level() + (up ? 1 : -1);
        const HandleSpot spot = handleSpot(0, m_window.model().shown(m_window.model().currentSet()));
        const QPoint from = editor->mapTo(&m_window, QPointF(spot.x, spot.y).toPoint());
        const QPoint to = from + QPoint(0, up ? -8 : 8);
        QTest::mousePress(m_window.windowHandle(), Qt::LeftButton, {}, from);
        const Clock::time_point moved = Clock::now();
        QTest::mouseMove(m_window.windowHandle(), to);
        const bool came = runEventLoopUntil([&] { return text->text() != before; }, kWait);
        const Clock::time_point shown = Clock::now();
        QTest::mouseRelease(m_window.windowHandle(), Qt::LeftButton, {}, to);
        if (!came || level() != expected) {
            std::fprintf(stderr, "tqm_step_latency_bench: the drag showed %s, not level %d\n",
                         text->text().toUtf8().constData(), expected);
            return std::nullopt;
        }
        return Millis(shown - moved).count();
    }

    int level() const { return m_window.model().shown(m_window.model().currentSet())[kLevelIndex]; }

private:
    // Press and release at the control's centre.
    void click(ControlId id) {
        QWidget* const widget = m_window.findChild<QWidget*>(controlName(id));
        const QPoint centre = widget->mapTo(&m_window, widget->rect().center());
        QTest::mousePress(m_window.windowHandle(), Qt::LeftButton, {}, centre);
        QTest::mouseRelease(m_window.windowHandle(), Qt::LeftButton, {}, centre);
    }

    CEqualizerDlg& m_window;
};

bool measureSteps(WindowDriver& driver, Figures& figures) {
    // Up first unless the level is at its top; then down and up in turn.
    bool up = driver.level() < kLevelMax;
    for (int i = 0; i < kWarmUpSteps + kSteps; ++i) {
        const std::optional<double> ms = driver.step(up);
        if (!ms) {
            std::fprintf(stderr, "tqm_step_latency_bench: step %d (%s) got no reply on the display\n", i,
                         up ? "up" : "down");
            return false;
        }
        if (i >= kWarmUpSteps) figures.stepsMs.push_back(*ms);
        up = !up;
        runEventLoopFor(kStepGap);
    }
    return true;
}

bool measureDrags(WindowDriver& driver, Figures& figures) {
    bool up = driver.level() < kLevelMax;
    for (int i = 0; i < kWarmUpSteps + kSteps; ++i) {
        const std::optional<double> ms = driver.drag(up);
        if (!ms) return false;
        if (i >= kWarmUpSteps) figures.dragsMs.push_back(*ms);
        up = !up;
        runEventLoopFor(kStepGap);
    }
    return true;
}

bool measureIdle(WindowDriver& driver, Figures& figures) {
    runEventLoopFor(kSettle);
    const double cpuStart = cpuSeconds();
    const Clock::time_point wallStart = Clock::now();
    runEventLoopFor(kIdleSpan);
    const double cpu = cpuSeconds() - cpuStart;
    figures.idleSeconds = std::chrono::duration<double>(Clock::now() - wallStart).count();
    figures.idleCpuPercent = 100.0 * cpu / figures.idleSeconds;
    if (!driver.connected()) {
        std::fprintf(stderr, "tqm_step_latency_bench: the link went down while idle\n");
        return false;
    }
    return true;
}

bool runBench(CEqualizerDlg& window, Figures& figures, bool stepsOnly) {
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "tqm_step_latency_bench: the window was not shown\n");
        return false;
    }
    runEventLoopFor(kSettle);  // the port is open and the simulator has seen "AI0;"
    WindowDriver driver(window);
    if (!driver.connect()) {
        std::fprintf(stderr, "tqm_step_latency_bench: COM did not connect\n");
        return false;
    }
    runEventLoopFor(kSettle);
    const bool ok = measureSteps(driver, figures) && (stepsOnly || (measureDrags(driver, figures) && measureIdle(driver, figures)));
    if (!driver.disconnect()) std::fprintf(stderr, "tqm_step_latency_bench: COM did not disconnect\n");
    return ok;
}

// The value below which the given share of the sorted samples lies (nearest rank).
double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(share * static_cast<double>(values.size())));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

}  // namespace
}  // namespace tqm

int main(int argc, char** argv) {
    using namespace tqm;
    std::signal(SIGPIPE, SIG_IGN);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    const QStringList arguments = QApplication::arguments();
    const bool stepsOnly = arguments.contains(QStringLiteral("--steps-only"));
    const qsizetype viaAt = arguments.indexOf(QStringLiteral("--via"));
    const QString via = viaAt >= 0 && viaAt + 1 < arguments.size() ? arguments[viaAt + 1] : QString();

    bench::SimProcess transceiver(TQM_ZR4700_SIM_PATH, kBaud);
    if (transceiver.devicePath().empty()) {
        std::fprintf(stderr, "tqm_step_latency_bench: zr4700-sim did not start\n");
        return 1;
    }
    test::Ser2netServer server(transceiver.devicePath());
    if (!via.isEmpty() && !server.start()) {
        std::fprintf(stderr, "tqm_step_latency_bench: ser2net did not start\n");
        return 1;
    }
    const std::string target = via == QStringLiteral("tcp")       ? server.rawTarget()
                               : via == QStringLiteral("rfc2217") ? server.rfc2217Target()
                                                                  : transceiver.devicePath();
    ScratchWorkDir workDir;
    if (!workDir.ok()) {
        std::fprintf(stderr, "tqm_step_latency_bench: no working directory for the port settings\n");
        return 1;
    }

    CommandLine commandLine;
    commandLine.noSplash = true;
    commandLine.settingsDir = std::filesystem::current_path().string();  // the scratch folder
    commandLine.portMap.push_back({kComNumber, target});
    Figures figures;
    bool ok = false;
    CEqualizerApp::Hooks hooks;
    hooks.beforeExec = [&](CEqualizerDlg& window) {
        // Runs inside the window's own modal loop, then closes it (EXIT).
        QTimer::singleShot(0, &window, [&] {
            ok = runBench(window, figures, stepsOnly);
            window.reject();
        });
    };
    CEqualizerApp program(commandLine, hooks);
    program.run();
    if (!ok) return 1;

    // Every sample in order on stderr, to look into the slow ones.
    for (std::size_t i = 0; i < figures.stepsMs.size(); ++i) std::fprintf(stderr, "step %zu %.1f\n", i, figures.stepsMs[i]);

    std::printf("step_count %zu\n", figures.stepsMs.size());
    std::printf("step_median_ms %.1f\n", median(figures.stepsMs));
    std::printf("step_p99_ms %.1f\n", percentile(figures.stepsMs, 0.99));
    std::printf("step_min_ms %.1f\n", percentile(figures.stepsMs, 0.0));
    std::printf("step_max_ms %.1f\n", percentile(figures.stepsMs, 1.0));
    if (!stepsOnly) {
        std::printf("drag_count %zu\n", figures.dragsMs.size());
        std::printf("drag_median_ms %.1f\n", median(figures.dragsMs));
        std::printf("drag_p99_ms %.1f\n", percentile(figures.dragsMs, 0.99));
        std::printf("drag_min_ms %.1f\n", percentile(figures.dragsMs, 0.0));
        std::printf("drag_max_ms %.1f\n", percentile(figures.dragsMs, 1.0));
        std::printf("idle_span_s %.0f\n", figures.idleSeconds);
        std::printf("idle_cpu_percent %.3f\n", figures.idleCpuPercent);
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("peak_rss_mb %.1f\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtWidgets/QMessageBox>

#include "app/engine.h"
#include "app/equalizer_app.h"
#include "editor/send_queue_sink.h"
#include "platform/main_window_link.h"
#include "platform/thread_directory.h"
#include "protocol/trx_state.h"
#include "serial/port_dialog_controller.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/simulated_transceiver.h"
#include "tests/gui/main_window_fixture.h"
#include "tests/gui/modal_answerer.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;

constexpr auto kLong = 12000ms;
using enum ControlId;

// The real window with the real engine threads, a pseudo-terminal and the simulated
// transceiver at the far end.
class LinkEndToEnd : public test::MainWindowFixture {
protected:
    void start(sim::SimConfig config = {}) {
        config.baud = 38400;
        m_sim = std::make_unique<sim::SimulatedTransceiver>(config);
        ASSERT_TRUE(m_sim->start()) << m_sim->errorText();
        ASSERT_TRUE(PortMap().setOverride(1, m_sim->devicePath()));

        create(m_queue);
        CEqualizerDlg::StartOptions options;
        options.startEngine = [] {
            Engine engine;
            engine.initialiseState();
            engine.waitMenuListReady(5000ms);
            Sio_Port().setPortNumber(1);
            Sio_Port().setBaudRate(38400);
            engine.startLink();
        };
        MainWindowFixture::start(options);
        ASSERT_TRUE(m_sim->monitor().waitForCommand("AI0;", kLong)) << "the port opened";
    }

    void TearDown() override {
        if (m_window) m_window->hide();
        EXPECT_TRUE(Engine().stop());
        MainWindowLink().retract();
        m_window.reset();
        if (m_sim) m_sim->stop();
        PortMap().reset();
    }

    bool connected() const { return m_window->model().connected(); }
    bool stateMatchesSimulator() const {
        for (int p = 0; p < 27; ++p) {
            if (m_window->model().shown(p / 9)[p % 9] != m_sim->radio().peValue({p / 9, p % 9 / 3, p % 3})) return false;
        }
        return true;
    }
    // Connects and waits until the 27 start-up values are shown.
    void connect() {
        click(ComButton);
        ASSERT_TRUE(test::waitUntil([this] { return connected() && m_window->model().pendingReplies() == 0; }, kLong));
    }
    // The commands the transceiver received since the log was cleared that start so.
    std::vector<std::string> received(const std::string& prefix, std::size_t length) const {
        std::vector<std::string> commands;
        for (const auto& entry : m_sim->monitor().log()) {
            if (entry.direction == sim::WireDirection::ToTransceiver && entry.bytes.size() == length &&
                entry.bytes.rfind(prefix, 0) == 0)
                commands.push_back(entry.bytes);
        }
        return commands;
    }

    SendQueueSink m_queue;
    std::unique_ptr<sim::SimulatedTransceiver> m_sim;
};

TEST_F(LinkEndToEnd, ComConnectsReloadsAllSetsAndStepsGoToTheTransceiver) {
    start();
    bool boxSeen = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { boxSeen = boxSeen || m_window->connectingBox() != nullptr; });
    watch.start(5);
    connect();
    EXPECT_TRUE(boxSeen && m_window->connectingBox() == nullptr) << "the connecting box came and went";
    EXPECT_TRUE(m_window->lampOn());
    EXPECT_TRUE(stateMatchesSimulator()) << "the 27th reply reloads all three sets";

    // A connected step: the set command and its read-back, then the display follows.
    const int level = m_sim->radio().peValue({0, 0, 1}) + 1;
    ASSERT_LE(level, 10);
    click(Eq1LevelUp);
    ASSERT_TRUE(m_sim->monitor().waitForCommand("PE001" + sim::formatPeValue({0, 0, 1}, level) + ";", kLong));
    EXPECT_TRUE(test::waitUntil([&] { return text(Eq1LevelValue) == QStringLiteral("%1 dB").arg(level); }, kLong));

    // The poll reads the parameters of the shown set, one every 50 ms.
    m_sim->monitor().clear();
    QTest::qWait(1000);
    const std::vector<std::string> reads = received("PE0", 6);
    EXPECT_EQ(std::set<std::string>(reads.begin(), reads.end()).size(), 9u) << "all nine of set F within a second";
}

TEST_F(LinkEndToEnd, ComWithNoTransceiverFailsAfterFiveSecondsAndStaysOffline) {
    sim::SimConfig config;
    config.silent = true;
    start(config);
    test::ModalAnswerer answers;
    QString notice;
    QString detail;
    QString status;
    bool portHeld = true;
    answers.then<QMessageBox>([&](QMessageBox& box) {
        notice = box.text();
        detail = box.informativeText();
        status = text(StatusLine);
        portHeld = Sio_Port().noticeBoxShown();
        box.accept();
    });
    // The COM action runs the box modally: watch it from inside its event loop.
    QString boxText;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (m_window->connectingBox() != nullptr && !answers.finished()) {
            boxText = m_window->connectingBox()->findChild<QLabel*>(controlName(ConnectingText))->text();
        }
    });
    watch.start(20);
    QElapsedTimer clock;
    clock.start();
    click(ComButton);
    ASSERT_TRUE(test::waitUntil([&] { return answers.finished(); }, kLong));
    EXPECT_EQ(boxText, "Connecting the COM port now.");
    EXPECT_GE(clock.elapsed(), 4500);
    EXPECT_EQ(notice, "Failed to connect the COM port.");
    const QString device = QString::fromStdString(m_sim->devicePath());
    EXPECT_TRUE(detail.startsWith("No ZR-4700 answered on COM1 (" + device +
                                  ") at 38400 baud. Check that the transceiver is switched on and set to 38400 baud"))
        << detail.toStdString();
    EXPECT_TRUE(status.endsWith("Offline")) << "the attempt is over: " << status.toStdString();
    EXPECT_FALSE(portHeld) << "only a port failure notice holds the port closed";
    EXPECT_TRUE(!connected() && !m_window->lampOn());

    const QString before = text(Eq1LevelValue);
    click(Eq1LevelUp);
    EXPECT_TRUE(test::waitUntil([&] { return text(Eq1LevelValue) != before; }, 2000ms)) << "steps work offline";
}

TEST_F(LinkEndToEnd, AnotherModelIsSwitchedOffWithTheFailureNotice) {
    sim::SimConfig config;
    config.modelCode = "4701";
    start(config);
    test::ModalAnswerer answers;
    click(ComButton);
    ASSERT_TRUE(test::waitUntil([&] { return !answers.unscripted().empty(); }, kLong));
    EXPECT_EQ(answers.unscripted().front(), "Failed to connect the COM port.");
    EXPECT_TRUE(test::waitUntil([&] { return !m_sim->radio().autoInformation(); }, kLong));
    EXPECT_FALSE(connected());
}

TEST_F(LinkEndToEnd, ComWhileConnectedOrASilentTransceiverTakesTheWindowOffline) {
    start();
    connect();
    click(ComButton);
    ASSERT_TRUE(test::waitUntil([&] { return !connected() && !m_window->lampOn(); }, kLong));
    m_sim->monitor().clear();
    QTest::qWait(400);
    EXPECT_TRUE(received("PE", 6).empty()) << "the poll stopped";

    connect();
    m_sim->line().setSilent(true);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(test::waitUntil([&] { return !connected() && !m_window->lampOn(); }, kLong));
    EXPECT_GE(clock.elapsed(), 2500) << "the watchdog waits about 3 s";
}

TEST_F(LinkEndToEnd, ALinkLossDuringTheIdentificationLeavesComWorking) {
    sim::SimConfig config;
    config.replyDelay = 2000ms;  // time to fall silent between the AI and the ID reply
    start(config);
    click(ComButton);
    // Auto information came on; the transceiver falls silent before it answers ID.
    ASSERT_TRUE(test::waitUntil([] { return Trx_StateGuard().get(StateField::AutoInfo) != 0; }, kLong));
    m_sim->line().setSilent(true);
    ASSERT_FALSE(connected());
    EXPECT_TRUE(test::waitUntil(
        [&] { return !m_window->linkHandler().connectRequested() && m_window->model().pendingReplies() == 0; }, kLong))
        << "the watchdog's loss ends the waiting";
    m_sim->line().setSilent(false);
    m_sim->line().setReplyDelay(0ms);
    connect();
    EXPECT_TRUE(m_window->lampOn());
}

TEST_F(LinkEndToEnd, TheStatusLineNamesThePortAndFollowsEveryLinkState) {
    sim::SimConfig config;
    config.replyDelay = 300ms;  // each state lasts long enough to be seen
    start(config);
    std::vector<QString> shown;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const QString now = text(StatusLine);
        if (shown.empty() || shown.back() != now) shown.push_back(now);
    });
    watch.start(2);
    click(ComButton);
    ASSERT_TRUE(test::waitUntil([&] { return connected(); }, kLong));
    m_sim->radio().powerOff();
    ASSERT_TRUE(test::waitUntil([&] { return shown.back().endsWith("Transceiver switched off"); }, kLong));
    m_sim->radio().powerOn();
    ASSERT_TRUE(test::waitUntil([&] { return shown.back().endsWith("|   Connected"); }, kLong));
    const QString port = "COM1   |   " + QString::fromStdString(m_sim->devicePath()) + "   |   38400 baud   |   ";
    QStringList states;
    for (const QString& line : shown) states << (line.startsWith(port) ? line.mid(port.size()) : line);
    EXPECT_EQ(states.join(", "), "Offline, Connecting, Waiting for identification, Connected, "
                                 "Transceiver switched off, Connected");
}

TEST_F(LinkEndToEnd, CancelWhileConnectedSendsOnlyTheChangedValues) {
    start();
    connect();
    const int before = m_sim->radio().peValue({0, 0, 1});
    ASSERT_LE(before, 9);
    click(Eq1LevelUp);
    ASSERT_TRUE(test::waitUntil([&] { return m_window->model().shown(0)[1] == before + 1; }, kLong));
    m_sim->monitor().clear();
    click(CancelButton);
    ASSERT_TRUE(test::waitUntil([&] { return m_window->model().shown(0)[1] == before; }, kLong));
    EXPECT_EQ(received("PE", 9), (std::vector<std::string>{"PE001" + sim::formatPeValue({0, 0, 1}, before) + ";"}))
        << "only the value that differs is sent";
    EXPECT_GE(m_sim->monitor().commandCount("PE001;"), 1u) << "with its read-back";
}

TEST_F(LinkEndToEnd, NewBaudRateWhileConnectedSwitchesAutoInformationOffBeforeTheClose) {
    start();
    connect();
    test::ScratchDirectory settings;
    PortDialogController dialog(PortSetting::BaudRate, 0, settings.path());
    const auto row = std::find_if(dialog.rows().begin(), dialog.rows().end(), [](auto& r) { return r.value == 9600; });
    ASSERT_NE(row, dialog.rows().end());
    dialog.select(static_cast<int>(row - dialog.rows().begin()));
    m_sim->monitor().clear();
    EXPECT_EQ(dialog.ok(), PortDialogOk::Close);
    EXPECT_TRUE(!Sio_Port().isOpen() && Sio_Port().baudRate() == 9600);
    EXPECT_GE(m_sim->monitor().commandCount("AI0;"), 1u) << "auto information went off on the wire first";
}

// How a run of the whole application ends: EXIT or a signal from the desktop, with
// the settings file writable or not.
struct RunEnding {
    const char* name;
    int signal;  // 0: EXIT
    bool settingsWritable;
    bool overABox = false;  // the signal comes while a notice box is open over the window
};

void PrintTo(const RunEnding& ending, std::ostream* out) { *out << ending.name; }

class ApplicationShutdown : public ::testing::TestWithParam<RunEnding> {};

// Start-up on a pseudo-terminal, a change of the shown set and the baud rate, the end,
// and the shutdown order.
TEST_P(ApplicationShutdown, ClosesThePortWritesTheSettingsThenStopsTheThreads) {
    const RunEnding ending = GetParam();
    test::guiApp();
    sim::SimulatedTransceiver radio;
    ASSERT_TRUE(radio.start());
    test::ScratchDirectory directory;
    const std::filesystem::path settings = directory / "CommoFiles" / "CommSetting.csv";
    std::filesystem::create_directories(settings.parent_path());
    ASSERT_TRUE(test::writeFile(settings, "3,9600,2\r\n"));

    CommandLine commandLine;
    commandLine.noSplash = true;
    commandLine.settingsDir = directory.path().string();
    commandLine.portMap.push_back({3, radio.devicePath()});
    bool portWasOpen = false;
    bool boxOutlived = false;
    std::ostringstream err;
    CEqualizerApp::Hooks hooks;
    hooks.err = &err;
    hooks.beforeExec = [&](CEqualizerDlg& window) {
        QTimer::singleShot(300, &window, [&] {
            portWasOpen = Sio_Port().isOpen();
            window.model().selectSet(1);
            Sio_Port().setBaudRate(19200);
            if (!ending.settingsWritable) {  // a folder in the file's place
                std::filesystem::remove(settings);
                std::filesystem::create_directories(settings / "inside");
            }
            if (ending.signal == 0) {
                window.reject();  // EXIT
            } else if (!ending.overABox) {
                ::raise(ending.signal);
            } else {
                QMessageBox box(QMessageBox::Warning, "", "", QMessageBox::Ok, &window);
                QTimer::singleShot(50, &box, [&] { ::raise(ending.signal); });
                QTimer::singleShot(10000, &box, [&] {
                    boxOutlived = true;
                    box.accept();
                });
                box.exec();
            }
        });
    };
    CEqualizerApp app(commandLine, hooks);
    EXPECT_EQ(app.run(), 0);

    EXPECT_TRUE(portWasOpen) << "COM3 from the settings file led to the simulated transceiver";
    EXPECT_FALSE(boxOutlived) << "the signal ended the box as well";
    const char* saved = ending.settingsWritable ? "settings-written" : "settings-not-written";
    EXPECT_EQ(app.shutdownSteps(), (std::vector<std::string>{"port-closed", saved, "threads-stopped"}));
    for (auto role : {WorkerRole::AnlRecv, WorkerRole::SioRecv, WorkerRole::SioSend, WorkerRole::AnlSend}) {
        EXPECT_FALSE(ThreadDirectory().isAlive(role));
    }
    const std::string report = err.str();
    if (ending.settingsWritable) {
        EXPECT_EQ(test::readFile(settings), "3,19200,1\r\n");
        EXPECT_EQ(report, "");
    } else {
        EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
        EXPECT_NE(report.find(settings.string() + ": "), std::string::npos) << report;
    }
    radio.stop();
    PortMap().reset();
}

INSTANTIATE_TEST_SUITE_P(Endings, ApplicationShutdown,
                         ::testing::Values(RunEnding{"Exit", 0, true}, RunEnding{"Sigterm", SIGTERM, true},
                                           RunEnding{"Sigint", SIGINT, true}, RunEnding{"Sighup", SIGHUP, true},
                                           RunEnding{"SigtermOverABox", SIGTERM, true, true},
                                           RunEnding{"ExitUnwritable", 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tqm

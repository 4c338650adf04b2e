#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <QtCore/QDir>
#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>

#include "app/equalizer_app.h"
#include "editor/engine.h"
#include "editor/send_queue_sink.h"
#include "editor/ui/equalizer_dlg.h"
#include "editor/ui/window_link.h"
#include "platform/main_window_link.h"
#include "platform/thread_directory.h"
#include "protocol/trx_state.h"
#include "serial/port_dialog_controller.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/simulated_transceiver.h"
#include "tests/gui/gui_app.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;

constexpr auto kLong = 12000ms;
constexpr int kComButton = 1167;
constexpr int kCancelButton = 1026;
constexpr int kEq1LevelUp = 1157;
constexpr int kEq1LevelText = 1077;

// Answers every message box that opens (OK) and keeps its text; runs inside the
// boxes' own nested event loops.
class BoxAnswerer final {
public:
    BoxAnswerer() {
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(widget);
                if (box != nullptr && box->isVisible()) {
                    m_texts.push_back(box->text().toStdString());
                    box->accept();
                }
            }
        });
        m_timer.start();
    }
    const std::vector<std::string>& texts() const { return m_texts; }

private:
    QTimer m_timer;
    std::vector<std::string> m_texts;
};

// The real window with the real engine threads, a pseudo-terminal and the simulated
// transceiver at the far end.
class LinkEndToEnd : public ::testing::Test {
protected:
    void start(sim::SimConfig config = {}) {
        config.baud = 38400;
        m_sim = std::make_unique<sim::SimulatedTransceiver>(config);
        ASSERT_TRUE(m_sim->start()) << m_sim->errorText();
        ASSERT_TRUE(PortMap().setOverride(1, m_sim->devicePath()));

        m_window = std::make_unique<CEqualizerDlg>(m_sink);
        MainWindowLink().publish(m_window.get());
        m_link = std::make_unique<CWindowLink>(*m_window);
        CEqualizerDlg::StartOptions options;
        options.showSplash = false;
        options.startEngine = [] {
            Engine engine;
            engine.initialiseState();
            engine.waitMenuListReady(5000ms);
            Sio_Port().setPortNumber(1);
            Sio_Port().setBaudRate(38400);
            engine.startLink();
        };
        options.comAction = [this] { m_link->comAction(); };
        options.linkMessage = [this](const Message& message) { m_link->linkMessage(message); };
        m_window->initialise(options);
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        ASSERT_TRUE(m_sim->waitForCommand("AI0;", kLong)) << "the port opened";
    }

    void TearDown() override {
        if (m_window) m_window->hide();
        EXPECT_TRUE(Engine().stop());
        MainWindowLink().retract();
        m_link.reset();
        m_window.reset();
        if (m_sim) m_sim->stop();
        PortMap().reset();
    }

    QWidget* control(int id) const { return m_window->findChild<QWidget*>(QStringLiteral("id_%1").arg(id)); }
    QString text(int id) const { return static_cast<QLabel*>(control(id))->text(); }
    void click(int id) {
        QWidget* widget = control(id);
        const QPoint centre = widget->mapTo(m_window.get(), widget->rect().center());
        QTest::mousePress(m_window->windowHandle(), Qt::LeftButton, {}, centre);
        QTest::mouseRelease(m_window->windowHandle(), Qt::LeftButton, {}, centre);
    }
    bool connected() const { return m_window->model().connected(); }
    bool stateMatchesSimulator() const {
        for (int set = 0; set < 3; ++set) {
            for (int p = 0; p < 9; ++p) {
                if (m_window->model().shown(set)[p] != m_sim->peValue({set, p / 3, p % 3})) return false;
            }
        }
        return true;
    }
    // Connects and waits until the 27 start-up values are shown.
    void connect() {
        click(kComButton);
        ASSERT_TRUE(test::waitUntil([this] { return connected() && m_window->model().pendingReplies() == 0; }, kLong));
    }

    QApplication& m_app = test::guiApp();
    SendQueueSink m_sink;
    std::unique_ptr<sim::SimulatedTransceiver> m_sim;
    std::unique_ptr<CEqualizerDlg> m_window;
    std::unique_ptr<CWindowLink> m_link;
};

TEST_F(LinkEndToEnd, ComConnectsReloadsAllSetsAndStepsGoToTheTransceiver) {
    start();
    bool boxSeen = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { boxSeen = boxSeen || m_link->connectingBox() != nullptr; });
    watch.start(5);
    connect();
    EXPECT_TRUE(boxSeen) << "the connecting box was open while the link came up";
    EXPECT_EQ(m_link->connectingBox(), nullptr);
    EXPECT_TRUE(m_window->lampOn());
    EXPECT_TRUE(stateMatchesSimulator()) << "the 27th reply reloads all three sets";

    // A connected step: the set command and its read-back, then the display follows.
    const int before = m_sim->peValue({0, 0, 1});
    ASSERT_LT(before, 10);
    m_sim->clearWireLog();
    click(kEq1LevelUp);
    char command[32];
    std::snprintf(command, sizeof command, "PE001%c%02d;", before + 1 < 0 ? '-' : (before + 1 == 0 ? '0' : '+'),
                  std::abs(before + 1));
    ASSERT_TRUE(m_sim->waitForCommand(command, kLong)) << command;
    ASSERT_TRUE(test::waitUntil([&] { return m_sim->peValue({0, 0, 1}) == before + 1; }, kLong));
    EXPECT_TRUE(test::waitUntil(
        [&] { return text(kEq1LevelText) == QStringLiteral("%1 dB").arg(before + 1); }, kLong));

    // The poll reads the parameters of the shown set, one every 50 ms.
    m_sim->clearWireLog();
    QTest::qWait(1000);
    std::set<std::string> reads;
    for (const auto& entry : m_sim->wireLog()) {
        if (entry.direction == sim::WireDirection::ToTransceiver && entry.bytes.size() == 6 &&
            entry.bytes.rfind("PE0", 0) == 0) {
            reads.insert(entry.bytes);
        }
    }
    EXPECT_EQ(reads.size(), 9u) << "all nine parameters of set F within a second";
}

TEST_F(LinkEndToEnd, ComWithNoTransceiverFailsAfterFiveSecondsAndStaysOffline) {
    sim::SimConfig config;
    config.silent = true;
    start(config);
    BoxAnswerer answerer;
    // The COM action runs the box modally: watch it from inside its event loop.
    QString boxText;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (m_link->connectingBox() != nullptr && answerer.texts().empty()) {
            boxText = m_link->connectingBox()->findChild<QLabel*>(QStringLiteral("id_1053"))->text();
        }
    });
    watch.start(20);
    QElapsedTimer clock;
    clock.start();
    click(kComButton);
    ASSERT_TRUE(test::waitUntil([&] { return !answerer.texts().empty(); }, kLong));
    EXPECT_EQ(boxText, "Connecting the COM port now.");
    EXPECT_GE(clock.elapsed(), 4500);
    EXPECT_EQ(answerer.texts().front(), "Failed to connect the COM port.");
    EXPECT_FALSE(connected());
    EXPECT_FALSE(m_window->lampOn());

    // Steps work offline afterwards.
    const QString before = text(kEq1LevelText);
    click(kEq1LevelUp);
    EXPECT_TRUE(test::waitUntil([&] { return text(kEq1LevelText) != before; }, 2000ms));
}

TEST_F(LinkEndToEnd, AnotherModelIsSwitchedOffWithTheFailureNotice) {
    sim::SimConfig config;
    config.modelCode = "4701";
    start(config);
    BoxAnswerer answerer;
    click(kComButton);
    ASSERT_TRUE(test::waitUntil([&] { return !answerer.texts().empty(); }, kLong));
    EXPECT_EQ(answerer.texts().front(), "Failed to connect the COM port.");
    EXPECT_TRUE(test::waitUntil([&] { return !m_sim->autoInformation(); }, kLong));
    EXPECT_FALSE(connected());
}

TEST_F(LinkEndToEnd, ComWhileConnectedGoesOffline) {
    start();
    connect();
    click(kComButton);
    ASSERT_TRUE(test::waitUntil([&] { return !connected(); }, kLong));
    EXPECT_FALSE(m_window->lampOn());
    m_sim->clearWireLog();
    QTest::qWait(400);
    for (const auto& entry : m_sim->wireLog()) {
        EXPECT_FALSE(entry.direction == sim::WireDirection::ToTransceiver && entry.bytes.rfind("PE", 0) == 0)
            << "the poll stopped: " << entry.bytes;
    }
}

TEST_F(LinkEndToEnd, SilentTransceiverTakesTheWindowOfflineAfterTheWatchdog) {
    start();
    connect();
    m_sim->setSilent(true);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(test::waitUntil([&] { return !connected(); }, kLong));
    EXPECT_GE(clock.elapsed(), 2500);
    EXPECT_FALSE(m_window->lampOn());
}

TEST_F(LinkEndToEnd, CancelWhileConnectedSendsOnlyTheChangedValues) {
    start();
    connect();
    // Two steps on EQ1 LEVEL, then CANCEL takes them back with one set and one read.
    const int before = m_sim->peValue({0, 0, 1});
    ASSERT_LE(before, 8);
    click(kEq1LevelUp);
    ASSERT_TRUE(test::waitUntil([&] { return m_sim->peValue({0, 0, 1}) == before + 1; }, kLong));
    ASSERT_TRUE(test::waitUntil([&] { return m_window->model().shown(0)[1] == before + 1; }, kLong));
    m_sim->clearWireLog();
    click(kCancelButton);
    ASSERT_TRUE(test::waitUntil([&] { return m_sim->peValue({0, 0, 1}) == before; }, kLong));
    ASSERT_TRUE(test::waitUntil([&] { return m_window->model().shown(0)[1] == before; }, kLong));
    std::vector<std::string> sets;
    for (const auto& entry : m_sim->wireLog()) {
        if (entry.direction == sim::WireDirection::ToTransceiver && entry.bytes.size() == 9) sets.push_back(entry.bytes);
    }
    ASSERT_EQ(sets.size(), 1u) << "only the value that differs is sent";
    EXPECT_EQ(sets[0].substr(0, 5), "PE001");
}

TEST_F(LinkEndToEnd, NewBaudRateWhileConnectedSwitchesAutoInformationOffBeforeTheClose) {
    start();
    connect();
    const auto base = std::filesystem::temp_directory_path() / ("tqm-baud-" + std::to_string(::getpid()));
    std::filesystem::create_directories(base);
    PortDialogController dialog(PortSetting::BaudRate, 0, base);
    int row = -1;
    for (std::size_t i = 0; i < dialog.rows().size(); ++i) {
        if (dialog.rows()[i].value == 9600) row = static_cast<int>(i);
    }
    ASSERT_GE(row, 0);
    dialog.select(row);
    m_sim->clearWireLog();
    EXPECT_EQ(dialog.ok(), PortDialogOk::Close);
    EXPECT_FALSE(Sio_Port().isOpen());
    EXPECT_EQ(Sio_Port().baudRate(), 9600);
    EXPECT_GE(m_sim->commandCount("AI0;"), 1u) << "auto information went off on the wire first";
    EXPECT_FALSE(m_sim->autoInformation());
    std::filesystem::remove_all(base);
}

// The whole application: start-up on a pseudo-terminal, EXIT, and the shutdown order.
TEST(ApplicationShutdown, ClosesThePortWritesTheSettingsThenStopsTheThreads) {
    test::guiApp();
    sim::SimulatedTransceiver radio;
    ASSERT_TRUE(radio.start());
    const auto directory = std::filesystem::temp_directory_path() / ("tqm-app-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory / "CommoFiles");
    {
        std::FILE* file = std::fopen((directory / "CommoFiles" / "CommSetting.csv").c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("3,9600,2\r\n", file);
        std::fclose(file);
    }
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(directory.string())));

    CommandLine commandLine;
    commandLine.noSplash = true;
    commandLine.portMap.push_back({3, radio.devicePath()});
    bool portWasOpen = false;
    CEqualizerApp::Hooks hooks;
    hooks.beforeExec = [&](CEqualizerDlg& window, CWindowLink&) {
        QTimer::singleShot(300, &window, [&window, &portWasOpen] {
            portWasOpen = Sio_Port().isOpen();
            window.reject();  // EXIT
        });
    };
    CEqualizerApp app(commandLine, hooks);
    EXPECT_EQ(app.run(), 0);

    EXPECT_TRUE(portWasOpen) << "COM3 from the settings file led to the simulated transceiver";
    EXPECT_EQ(app.shutdownSteps(), (std::vector<std::string>{"port-closed", "settings-written", "threads-stopped"}));
    EXPECT_FALSE(Sio_Port().isOpen());
    for (auto role : {WorkerRole::AnlRecv, WorkerRole::SioRecv, WorkerRole::SioSend, WorkerRole::AnlSend}) {
        EXPECT_FALSE(ThreadDirectory().isAlive(role));
    }
    std::FILE* file = std::fopen((directory / "CommoFiles" / "CommSetting.csv").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    char written[32] = {};
    std::fread(written, 1, sizeof written - 1, file);
    std::fclose(file);
    EXPECT_STREQ(written, "3,9600,2\r\n");

    QDir::setCurrent(previous);
    std::filesystem::remove_all(directory);
    radio.stop();
    PortMap().reset();
}

}  // namespace
}  // namespace tqm

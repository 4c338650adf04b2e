#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QtCore/QTimer>
#include <QtWidgets/QMessageBox>

#include "app/engine.h"
#include "editor/send_queue_sink.h"
#include "platform/main_window_link.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/simulated_transceiver.h"
#include "tests/gui/main_window_fixture.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;

constexpr auto kLong = 12000ms;
using enum ControlId;

// The real window with the real engine threads, a pseudo-terminal and the simulated
// transceiver at the far end.
class LinkEndToEnd : public test::MainWindowFixture {
protected:
    void start(std::chrono::milliseconds replyDelay, bool silent = false) {
        sim::SimConfig config;
        config.baud = 38400;
        config.replyDelay = replyDelay;
        config.silent = silent;
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
        // Every change of the status line and the connecting box's text, as they show.
        QObject::connect(&m_watch, &QTimer::timeout, [this] {
            const QString now = text(StatusLine);
            if (m_status.empty() || m_status.back() != now) m_status.push_back(now);
            if (auto* box = m_window->connectingBox()) m_boxText = requireControl<QLabel>(*box, ConnectingText).text();
        });
        m_watch.start(2);
    }

    void TearDown() override {
        m_watch.stop();
        if (m_window) m_window->hide();
        EXPECT_TRUE(Engine().stop());
        MainWindowLink().retract();
        m_window.reset();
        if (m_sim) m_sim->stop();
        PortMap().reset();
    }

    bool connected() const { return m_window->model().connected(); }
    // The status line's link states, without the port part they start with.
    QString states() const {
        const QString port = "COM1   |   " + QString::fromStdString(m_sim->devicePath()) + "   |   38400 baud   |   ";
        QStringList shown;
        for (const QString& line : m_status) shown << (line.startsWith(port) ? line.mid(port.size()) : line);
        return shown.join(", ");
    }

    SendQueueSink m_queue;
    std::unique_ptr<sim::SimulatedTransceiver> m_sim;
    QTimer m_watch;
    std::vector<QString> m_status;
    QString m_boxText;
};

TEST_F(LinkEndToEnd, ComConnectsThroughEveryStatusReloadsAllSetsAndAStepGoesToTheTransceiver) {
    start(300ms);  // each state lasts long enough to be seen
    click(ComButton);
    ASSERT_TRUE(test::waitUntil([&] { return connected() && m_window->model().pendingReplies() == 0; }, kLong));
    EXPECT_TRUE(m_boxText == "Connecting the COM port now." && m_window->connectingBox() == nullptr &&
                m_window->lampOn());
    for (int p = 0; p < 27; ++p) {
        EXPECT_EQ(m_window->model().shown(p / 9)[p % 9], m_sim->radio().peValue({p / 9, p % 9 / 3, p % 3})) << p;
    }
    // A connected step: the set command and its read-back, then the display follows.
    const int level = m_sim->radio().peValue({0, 0, 1}) + 1;
    ASSERT_LE(level, 10);
    click(Eq1LevelUp);
    ASSERT_TRUE(m_sim->monitor().waitForCommand("PE001" + sim::formatPeValue({0, 0, 1}, level) + ";", kLong));
    EXPECT_TRUE(test::waitUntil([&] { return text(Eq1LevelValue) == QStringLiteral("%1 dB").arg(level); }, kLong));

    m_sim->radio().powerOff();
    ASSERT_TRUE(test::waitUntil([&] { return m_status.back().endsWith("Transceiver switched off"); }, kLong));
    m_sim->radio().powerOn();
    ASSERT_TRUE(test::waitUntil([&] { return m_status.back().endsWith("|   Connected"); }, kLong));
    EXPECT_EQ(states(), "Offline, Connecting, Waiting for identification, Connected, Transceiver switched off, "
                        "Connected");
}

TEST_F(LinkEndToEnd, ComWithNoTransceiverEndsInTheFailureNoticeWithItsReasonAndOffline) {
    start(0ms, true);
    test::ModalAnswerer answers;
    QString notice;  // text, status line, port held (only a port failure notice holds it), reason
    answers.then<QMessageBox>([&](QMessageBox& box) {
        notice = QStringList{box.text(), text(StatusLine).section("   |   ", -1),
                             Sio_Port().noticeBoxShown() ? "held" : "free", box.informativeText()}
                     .join('|');
        box.accept();
    });
    click(ComButton);
    ASSERT_TRUE(test::waitUntil([&] { return answers.finished(); }, kLong));
    EXPECT_TRUE(notice.startsWith("Failed to connect the COM port.|Offline|free|No ZR-4700 answered on COM1 (" +
                                  QString::fromStdString(m_sim->devicePath()) +
                                  ") at 38400 baud. Check that the transceiver is switched on and set to 38400 baud"))
        << notice.toStdString();
    EXPECT_TRUE(!connected() && !m_window->lampOn());
}

}  // namespace
}  // namespace tqm

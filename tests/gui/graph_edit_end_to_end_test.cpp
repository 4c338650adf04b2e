#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/engine.h"
#include "editor/graph_axes.h"
#include "editor/graph_handles.h"
#include "editor/send_queue_sink.h"
#include "platform/main_window_link.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/simulated_transceiver.h"
#include "tests/gui/main_window_fixture.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;
using enum ControlId;

constexpr auto kLong = 15000ms;
constexpr int kBaud = 4800;

// The real window and engine threads against the simulated transceiver at 4800 baud.
class GraphEditEndToEnd : public test::MainWindowFixture {
protected:
    void SetUp() override {
        sim::SimConfig config;
        config.baud = kBaud;
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
            Sio_Port().setBaudRate(kBaud);
            engine.startLink();
        };
        start(options);
        ASSERT_TRUE(m_sim->monitor().waitForCommand("AI0;", kLong)) << "the port opened";
        click(ComButton);
        ASSERT_TRUE(test::waitUntil(
            [&] { return m_window->model().connected() && m_window->model().pendingReplies() == 0; }, kLong));
    }
    void TearDown() override {
        if (m_window) m_window->hide();
        EXPECT_TRUE(Engine().stop());
        MainWindowLink().retract();
        m_window.reset();
        if (m_sim) m_sim->stop();
        PortMap().reset();
    }

    // EQ2 of set F, FREQ and LEVEL, on the transceiver and on the display.
    bool eq2Is(int freq, int level, const char* freqText, const char* levelText) const {
        return m_sim->radio().peValue({0, 1, 0}) == freq && m_sim->radio().peValue({0, 1, 1}) == level &&
               text(Eq2FreqValue) == freqText && text(Eq2LevelValue) == levelText;
    }
    QPoint graphPoint(double hertz, double db) const {
        QWidget* graph = m_window->findChild<QWidget*>(QStringLiteral("graph_editor"));
        return graph->mapTo(m_window.get(), QPointF(graphX(hertz), graphY(db)).toPoint());
    }

    SendQueueSink m_queue;
    std::unique_ptr<sim::SimulatedTransceiver> m_sim;
};

// EQ2 starts at 1000 Hz, +3 dB. Its table ends at 1500 Hz, so a drag towards 2000 Hz
// stops there.
TEST_F(GraphEditEndToEnd, AFastDragKeepsOnePairPerValueOnTheLineEndsOnTheFinalValueAndCancelUndoesIt) {
    ASSERT_TRUE(eq2Is(4, 3, "1000 Hz", "3 dB"));
    QTimer* poll = timer(TIMER_PARAM_POLL);
    QWindow* window = m_window->windowHandle();
    m_sim->monitor().clear();
    QTest::mousePress(window, Qt::LeftButton, {}, graphPoint(1000, 3));
    EXPECT_FALSE(poll->isActive()) << "the poll rests during the drag";
    // To 2000 Hz, back to 500 Hz and to 2000 Hz again, rising to +8 dB; no waiting.
    const double legs[][2] = {{1000, 2000}, {2000, 500}, {500, 2000}};
    int asked = 0;
    for (const auto& leg : legs) {
        for (int i = 1; i <= 20; ++i) {
            const double hertz = leg[0] * std::pow(leg[1] / leg[0], i / 20.0);
            QTest::mouseMove(window, graphPoint(hertz, 3 + (asked++) * 5.0 / 60));
        }
    }
    QTest::mouseRelease(window, Qt::LeftButton, {}, graphPoint(2000, 8));
    EXPECT_TRUE(poll->isActive()) << "and runs again at the release";
    ASSERT_TRUE(test::waitUntil([&] { return eq2Is(9, 8, "1500 Hz", "8 dB"); }, kLong));

    // Per value: no set command while a read of that value is unanswered.
    std::map<std::string, int> readsOut;
    for (const sim::WireLogEntry& entry : m_sim->monitor().log()) {
        if (entry.bytes.rfind("PE", 0) != 0) continue;
        const std::string value = entry.bytes.substr(0, 5);
        if (entry.direction == sim::WireDirection::FromTransceiver) {
            readsOut[value] = std::max(0, readsOut[value] - 1);
        } else if (entry.bytes.size() == 6) {
            ++readsOut[value];
        } else {
            EXPECT_EQ(readsOut[value], 0) << entry.time.count() << " ms: " << entry.bytes;
        }
    }

    click(CancelButton);
    EXPECT_TRUE(test::waitUntil([&] { return eq2Is(4, 3, "1000 Hz", "3 dB"); }, kLong)) << "back to the reference";
}

}  // namespace
}  // namespace tqm

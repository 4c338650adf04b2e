#include <gtest/gtest.h>
#include <QtGui/QWheelEvent>

#include "editor/graph_axes.h"
#include "editor/graph_handles.h"
#include "editor/ui/graph_editor.h"
#include "platform/main_window_link.h"
#include "protocol/protocol_messages.h"
#include "tests/gui/main_window_fixture.h"

namespace tqm {
namespace {

using enum ControlId;

// The main window offline (every band off, +5 dB, BWTH 10), edited on its graph.
class GraphEditorTest : public test::MainWindowFixture {
protected:
    void SetUp() override {
        open();
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        editor = m_window->findChild<CGraphEditor*>(QStringLiteral("graph_editor"));
        ASSERT_NE(editor, nullptr);
    }
    const EqualizerValues& shown() const { return m_window->model().shown(0); }
    // A point of the graph, in the window's coordinates.
    QPoint at(double x, double y) const { return editor->mapTo(m_window.get(), QPointF(x, y).toPoint()); }
    QPoint handle(int band) const {
        const HandleSpot spot = handleSpot(band, shown());
        return at(spot.x, spot.y);
    }
    void mouse(QEvent::Type type, QPoint point) {
        QWindow* window = m_window->windowHandle();
        if (type == QEvent::MouseButtonPress) QTest::mousePress(window, Qt::LeftButton, {}, point);
        if (type == QEvent::MouseMove) QTest::mouseMove(window, point);
        if (type == QEvent::MouseButtonRelease) QTest::mouseRelease(window, Qt::LeftButton, {}, point);
    }
    void wheel(QPoint point, int notches) {
        const QPoint local = editor->mapFrom(m_window.get(), point);
        QWheelEvent event(local, editor->mapToGlobal(local), {}, QPoint(0, 120 * notches), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(editor, &event);
    }
    std::string eq2Texts() const { return (text(Eq2FreqValue) + ", " + text(Eq2LevelValue)).toStdString(); }

    CGraphEditor* editor = nullptr;
};

TEST_F(GraphEditorTest, DragSnapsToTableEntriesStaysWithinTheLimitsAndCancelTakesItBack) {
    mouse(QEvent::MouseButtonPress, handle(1));
    EXPECT_EQ(m_window->model().activeBand(), 2) << "the grabbed band comes on top";
    const double parked = handleSpot(1, shown()).x;
    struct Move {
        double x;
        double db;
        const char* texts;
    };
    const Move moves[] = {
        {parked, 3, "OFF, 3 dB"},  // up or down only: an off band stays off
        {graphX(1040), 3, "1000 Hz, 3 dB"},
        {graphX(1060), 3.4, "1100 Hz, 3 dB"},
        {graphX(4000), 14, "1500 Hz, 10 dB"},  // past the table's end and above +10
        {graphX(55), -25, "700 Hz, -20 dB"},   // a drag never switches the band off
    };
    for (const Move& move : moves) {
        mouse(QEvent::MouseMove, at(move.x, graphY(move.db)));
        EXPECT_EQ(eq2Texts(), move.texts) << move.x;
    }
    EXPECT_EQ(editor->labelText(), "EQ2 700 Hz -20 dB BWTH 10");
    mouse(QEvent::MouseButtonRelease, at(graphX(55), graphY(-25)));
    EXPECT_EQ(editor->draggedBand(), -1);
    EXPECT_EQ(m_window->model().reference(0)[3], 0) << "a drag changes only the shown values, as the buttons do";
    click(CancelButton);
    EXPECT_TRUE(test::waitUntil([&] { return eq2Texts() == "OFF, 5 dB"; })) << "after the repaint";
    EXPECT_TRUE(m_sink.commands.empty());
}

TEST_F(GraphEditorTest, HoverShowsTheValuesTheWheelStepsBwthAndKeysStepTheActiveBand) {
    mouse(QEvent::MouseMove, handle(0));
    EXPECT_EQ(editor->labelText(), "EQ1 OFF +5 dB BWTH 10");
    mouse(QEvent::MouseMove, at(450, 300));
    EXPECT_EQ(editor->labelText(), "");
    wheel(handle(2), -1);
    EXPECT_EQ(text(Eq3BwthValue), "9");
    EXPECT_EQ(m_window->model().activeBand(), 3);
    wheel(at(450, 300), 2);  // the active band; the second notch is past the limit
    EXPECT_EQ(text(Eq3BwthValue), "10");

    editor->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(editor->hasFocus());
    EXPECT_EQ(m_window->model().activeBand(), 1) << "tabbing in starts at EQ1";
    struct Key {
        Qt::Key key;
        int activeBand;
        int p;
        std::int32_t value;
    };
    const Key keys[] = {
        {Qt::Key_Right, 1, 0, 1},  {Qt::Key_Left, 1, 0, 0},     {Qt::Key_Left, 1, 0, 0},
        {Qt::Key_Tab, 2, 4, 5},    {Qt::Key_Up, 2, 4, 6},       {Qt::Key_Tab, 3, 8, 10},
        {Qt::Key_PageDown, 3, 8, 9}, {Qt::Key_PageUp, 3, 8, 10}, {Qt::Key_Backtab, 2, 4, 6},
        {Qt::Key_Down, 2, 4, 5},
    };
    for (const Key& key : keys) {
        QTest::keyClick(editor, key.key);
        EXPECT_EQ(m_window->model().activeBand(), key.activeBand) << key.key;
        EXPECT_EQ(shown()[key.p], key.value) << key.key;
    }
    EXPECT_EQ(editor->labelText(), "EQ2 OFF +5 dB BWTH 10") << "with the focus the active band is labelled";
    QTest::keyClick(editor, Qt::Key_Tab);
    QTest::keyClick(editor, Qt::Key_Tab);
    EXPECT_FALSE(editor->hasFocus()) << "past EQ3 the focus moves on";
}

TEST_F(GraphEditorTest, ConnectedADragPutsOnePairOnTheLineAndItsReadBackLetsTheLatestValueGo) {
    m_window->model().setConnected(true);
    const double y = handleSpot(0, shown()).y;
    mouse(QEvent::MouseButtonPress, handle(0));
    mouse(QEvent::MouseMove, at(graphX(300), y));
    mouse(QEvent::MouseMove, at(graphX(500), y));
    mouse(QEvent::MouseButtonRelease, at(graphX(500), y));
    m_window->stopPoll();
    EXPECT_EQ(m_sink.commands, (std::vector<std::string>{"PE000003;", "PE000;"}));
    EXPECT_EQ(text(Eq1FreqValue), "OFF") << "the display waits for the transceiver";
    // The read-back of EQ1 FREQ (set F, value 1) lets the value that waited go out.
    ASSERT_TRUE(MainWindowLink().send(UWM_REPLY_PE, 1));
    EXPECT_EQ(m_sink.commands, (std::vector<std::string>{"PE000003;", "PE000;", "PE000005;", "PE000;"}));
}

}  // namespace
}  // namespace tqm

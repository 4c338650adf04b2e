#include <functional>
#include <vector>

#include <gtest/gtest.h>
#include <QtGui/QAction>

#include "editor/notice_table.h"
#include "editor/response_graph.h"
#include "editor/ui/color_group_box.h"
#include "editor/ui/color_static.h"
#include "editor/ui/window_link.h"
#include "tests/gui/main_window_fixture.h"

namespace tqm {
namespace {

class EqualizerDlgTest : public test::MainWindowFixture {
protected:
    void SetUp() override { open(); }
};

TEST_F(EqualizerDlgTest, EnterDoesNothingAndEscCloseBoxFileExitAndExitClose) {
    QTest::keyClick(m_window.get(), Qt::Key_Return);
    QTest::keyClick(m_window.get(), Qt::Key_Enter);
    EXPECT_TRUE(m_window->isVisible());
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"Esc", [&] { QTest::keyClick(m_window.get(), Qt::Key_Escape); }},
        {"close box", [&] { m_window->close(); }},
        {"File Exit", [&] { control<QAction>(32779)->trigger(); }},
        {"EXIT", [&] {
             press(1172);
             EXPECT_TRUE(m_window->isVisible()) << "EXIT closes on release";
             release(1172);
         }},
    };
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        open();
        close();
        EXPECT_TRUE(!m_window->isVisible() && m_window->result() == QDialog::Rejected);
        EXPECT_FALSE(timer(TIMER_REPAINT)->isActive());
    }
}

TEST_F(EqualizerDlgTest, HeldLevelButtonStepsAtOnceThenRepeatsUntilTheLimit) {
    EXPECT_EQ(timer(TIMER_AUTO_REPEAT)->interval(), 200);
    press(1157);  // EQ1 LEVEL up, from +5 dB
    EXPECT_EQ(text(1077), "6 dB");
    ASSERT_TRUE(test::waitUntil([&] { return text(1077) == "10 dB"; }));
    // At the limit the repeat goes on but nothing changes.
    QTest::qWait(250);
    EXPECT_EQ(m_window->model().shown(0)[1], 10);
    EXPECT_TRUE(timer(TIMER_AUTO_REPEAT)->isActive());
    release(1157);
    EXPECT_FALSE(timer(TIMER_AUTO_REPEAT)->isActive());
    EXPECT_EQ(m_window->model().reference(0)[1], 5);
    EXPECT_TRUE(m_sink.commands.empty() && !timer(TIMER_PARAM_POLL)->isActive()) << "offline: no command, no poll";
}

TEST_F(EqualizerDlgTest, ReleaseOutsideTheButtonEndsTheRepeat) {
    press(1165);  // EQ3 LEVEL up
    EXPECT_EQ(text(1103), "6 dB");
    QTest::mouseRelease(m_window->windowHandle(), Qt::LeftButton, {}, centreOf(1071));
    EXPECT_FALSE(timer(TIMER_AUTO_REPEAT)->isActive());
}

TEST_F(EqualizerDlgTest, CancelRestoresTheReferenceAndIgnoresASecondPressWithin500Ms) {
    click(1161, 3);  // EQ2 LEVEL up
    EXPECT_EQ(text(1090), "8 dB");
    click(1026);
    EXPECT_EQ(m_window->model().shown(0)[4], 5);
    // The buttons' own path with no event loop in between: the tick that ends the
    // CANCEL sequence cannot come before the second press, however slow the machine.
    const auto button = [&](int code) {
        for (const int pressed : {1, 0}) {
            m_window->handleNow(Message{UWM_BUTTON_EVENT, static_cast<std::uintptr_t>(code), pressed});
        }
    };
    button(12);  // EQ2 LEVEL up
    button(22);  // CANCEL
    EXPECT_EQ(m_window->model().shown(0)[4], 6) << "the second CANCEL was ignored";
    ASSERT_TRUE(test::waitUntil([&] { return !m_window->cancelBusy(); }));
    click(1026);
    EXPECT_EQ(m_window->model().shown(0)[4], 5) << "after the sequence CANCEL works again";
    EXPECT_TRUE(test::waitUntil([&] { return text(1090) == "5 dB"; }));
}

TEST_F(EqualizerDlgTest, SetChangeShowsCaptionsValuesAndColoursAndKeepsTheOtherSets) {
    const EqualizerValues r{{3, -7, 2, 9, 0, 4, 18, 10, 1}};  // 300 Hz, 1500 Hz, 3200 Hz
    m_window->model().setShown(1, r);
    const int ids[] = {1076, 1077, 1081, 1089, 1090, 1094, 1102, 1103, 1107};
    const auto showsSet = [&](const char* caption, std::vector<const char*> texts) {
        SCOPED_TRACE(caption);
        EXPECT_EQ(control<QGroupBox>(1097)->title(), caption);
        ASSERT_TRUE(test::waitUntil([&] { return text(1076) == texts[0]; }));
        for (int i = 0; i < 9; ++i) EXPECT_EQ(text(ids[i]), texts[static_cast<std::size_t>(i)]) << ids[i];
    };
    control<QAction>(32783)->trigger();  // Prmtrc > R-Prmtrc
    showsSet("R-PRMTRC EQ2", {"300 Hz", "-7 dB", "2", "1500 Hz", "0 dB", "4", "3200 Hz", "10 dB", "1"});
    // Band colours on the group captions and row labels, values on white.
    const QColor colours[] = {QColor(255, 0, 0), QColor(0, 0, 255), QColor(0, 255, 0)};
    const int labels[3][4] = {{1082, 1074, 1075, 1080}, {1097, 1087, 1088, 1093}, {1110, 1100, 1101, 1106}};
    for (int band = 0; band < 3; ++band) {
        EXPECT_EQ(control<CColorGroupBox>(labels[band][0])->textColor(), colours[band]);
        for (int k = 1; k < 4; ++k) EXPECT_EQ(control<CColorStatic>(labels[band][k])->textColor(), colours[band]);
    }
    for (int id : ids) EXPECT_EQ(control<CColorStatic>(id)->backgroundColor(), QColor(Qt::white));
    control<QAction>(32784)->trigger();  // P-Prmtrc: still the defaults
    showsSet("P-PRMTRC EQ2", {"OFF", "5 dB", "10", "OFF", "5 dB", "10", "OFF", "5 dB", "10"});
    EXPECT_EQ(m_window->model().shown(1), r);
}

TEST_F(EqualizerDlgTest, PollWaitsForCountedRepliesUntilTheCountStandsStillEachTimeAfresh) {
    EqualizerModel& model = m_window->model();
    int ticks = 0;
    QObject::connect(timer(TIMER_PARAM_POLL), &QTimer::timeout, [&] { ++ticks; });
    const auto tickOn = [&](int n) {
        const int until = ticks + n;
        return test::waitUntil([&] { return ticks >= until; });
    };
    model.setConnected(true);
    model.setPendingReplies(3);
    m_window->startPoll();
    ASSERT_TRUE(test::waitUntil([&] { return !m_sink.commands.empty(); }, std::chrono::milliseconds(20000)));
    EXPECT_GE(ticks, 40) << "a count that stands still for 2 s lets the poll read";
    model.setPendingReplies(0);
    ASSERT_TRUE(tickOn(2));
    // A later apply: its count is waited for again from the start.
    model.setPendingReplies(3);
    m_sink.commands.clear();
    ASSERT_TRUE(tickOn(5));
    EXPECT_TRUE(m_sink.commands.empty());
    m_window->stopPoll();
}

TEST_F(EqualizerDlgTest, TheLinkHasTheOneConnectTimerAndRepaintsThroughTheRefreshTimer) {
    CWindowLink link(*m_window);
    EXPECT_EQ(m_window->findChildren<QTimer*>(QStringLiteral("timer_22")).size(), 1);
    ASSERT_TRUE(test::waitUntil([&] { return !timer(TIMER_REPAINT)->isActive(); }));
    link.linkMessage(Message{UWM_COM_FAILED, 0, kNoticeMenuFile});  // never shown; resets and repaints
    EXPECT_TRUE(timer(TIMER_REPAINT)->isActive());
}

TEST_F(EqualizerDlgTest, GraphAfterStepsIsTheRenderersPicture) {
    click(1156, 3);  // EQ1 FREQ up to 300 Hz
    click(1157, 5);  // EQ1 LEVEL up to +10 dB
    click(1079, 9);  // EQ1 BWTH down to 1
    click(1163);     // EQ3 FREQ down: stays OFF
    ASSERT_EQ(m_window->model().shown(0), (EqualizerValues{{3, 10, 1, 0, 5, 10, 0, 5, 10}}));

    ResponseGraph expected;
    ASSERT_TRUE(expected.open());
    expected.drawCurves(m_window->model().shown(0), 1);
    expected.close();
    const QImage reference(reinterpret_cast<const uchar*>(expected.picture()), kGraphWidth, kGraphHeight,
                           kGraphWidth * 4, QImage::Format_ARGB32);
    const QImage shown = control(1071)->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(shown, reference);
    EXPECT_EQ(shown.pixel(350, 96), 0xFFFF0000u) << "EQ1 at 300 Hz, +10 dB, drawn last";
}

}  // namespace
}  // namespace tqm

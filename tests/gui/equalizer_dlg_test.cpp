#include <functional>

#include <gtest/gtest.h>
#include <QtCore/QElapsedTimer>
#include <QtGui/QAction>

#include "editor/response_graph.h"
#include "editor/ui/color_group_box.h"
#include "editor/ui/color_static.h"
#include "tests/gui/main_window_fixture.h"

namespace tqm {
namespace {

class EqualizerDlgTest : public test::MainWindowFixture {
protected:
    void SetUp() override { open(); }
    bool closed() const { return !m_window->isVisible() && m_window->result() == QDialog::Rejected; }
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
        m_window.reset();
        open();
        close();
        EXPECT_TRUE(closed());
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
    // Offline no command goes anywhere and no poll starts.
    EXPECT_TRUE(m_sink.commands.empty());
    EXPECT_FALSE(timer(TIMER_PARAM_POLL)->isActive());
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
    QElapsedTimer sinceCancel;
    click(1026);
    sinceCancel.start();
    EXPECT_EQ(m_window->model().shown(0)[4], 5);
    ASSERT_TRUE(test::waitUntil([&] { return text(1090) == "5 dB"; }, std::chrono::milliseconds(2000)));

    click(1161);
    EXPECT_EQ(text(1090), "6 dB");
    if (sinceCancel.elapsed() > 350) GTEST_SKIP() << "the machine was too slow to press twice within 500 ms";
    click(1026);
    EXPECT_EQ(m_window->model().shown(0)[4], 6);

    // Once the CANCEL sequence has ended, CANCEL works again, back to applied values.
    ASSERT_TRUE(test::waitUntil([&] { return !m_window->cancelBusy(); }));
    click(1114);  // APPLI
    click(1161);
    click(1026);
    EXPECT_EQ(m_window->model().shown(0)[4], 6);
    EXPECT_TRUE(test::waitUntil([&] { return text(1090) == "6 dB"; }));
}

TEST_F(EqualizerDlgTest, SetChangeShowsCaptionsValuesAndColoursAndKeepsTheOtherSets) {
    EXPECT_EQ(m_window->windowTitle(), "TQM-4700 Parametric Equalizer Control");
    EXPECT_EQ(control<QGroupBox>(1082)->title(), "F-PRMTRC EQ1");
    const EqualizerValues r{{3, -7, 2, 9, 0, 4, 18, 10, 1}};  // 300 Hz, 1500 Hz, 3200 Hz
    m_window->model().setShown(1, r);
    control<QAction>(32783)->trigger();  // Prmtrc > R-Prmtrc
    EXPECT_EQ(control<QGroupBox>(1082)->title(), "R-PRMTRC EQ1");
    EXPECT_EQ(control<QGroupBox>(1110)->title(), "R-PRMTRC EQ3");
    ASSERT_TRUE(test::waitUntil([&] { return text(1076) == "300 Hz"; }));
    const char* texts[] = {"300 Hz", "-7 dB", "2", "1500 Hz", "0 dB", "4", "3200 Hz", "10 dB", "1"};
    const int ids[] = {1076, 1077, 1081, 1089, 1090, 1094, 1102, 1103, 1107};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(text(ids[i]), texts[i]) << ids[i];

    const QColor colours[] = {QColor(255, 0, 0), QColor(0, 0, 255), QColor(0, 255, 0)};
    const int groups[] = {1082, 1097, 1110};
    const int rowLabels[3][3] = {{1074, 1075, 1080}, {1087, 1088, 1093}, {1100, 1101, 1106}};
    for (int band = 0; band < 3; ++band) {
        EXPECT_EQ(control<CColorGroupBox>(groups[band])->textColor(), colours[band]);
        for (int id : rowLabels[band]) EXPECT_EQ(control<CColorStatic>(id)->textColor(), colours[band]);
    }
    for (int id : ids) EXPECT_EQ(control<CColorStatic>(id)->backgroundColor(), QColor(Qt::white));

    control<QAction>(32784)->trigger();  // P-Prmtrc: still the defaults, OFF, +5 dB, 10
    EXPECT_EQ(control<QGroupBox>(1097)->title(), "P-PRMTRC EQ2");
    ASSERT_TRUE(test::waitUntil([&] { return text(1076) == "OFF"; }));
    const char* defaults[] = {"OFF", "5 dB", "10", "OFF", "5 dB", "10", "OFF", "5 dB", "10"};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(text(ids[i]), defaults[i]) << ids[i];
    EXPECT_EQ(m_window->model().shown(1), r);
}

TEST_F(EqualizerDlgTest, ConnectedStepsSendCommandsAndThePollReadsTheSetInTurn) {
    m_window->model().setConnected(true);
    control<QAction>(32783)->trigger();  // set R
    m_sink.commands.clear();

    press(1162);  // EQ2 LEVEL down: +5 -> +4 is sent, the display waits for the reply
    EXPECT_EQ((std::vector<std::string>{"PE111+04;", "PE111;"}), m_sink.commands);
    EXPECT_EQ(m_window->model().shown(1)[4], 5);
    EXPECT_FALSE(timer(TIMER_PARAM_POLL)->isActive());
    release(1162);
    ASSERT_TRUE(timer(TIMER_PARAM_POLL)->isActive());

    // The poll reads the current set's nine parameters one per tick, then starts again.
    const auto before = static_cast<std::ptrdiff_t>(m_sink.commands.size());
    ASSERT_TRUE(test::waitUntil([&] { return m_sink.commands.size() >= static_cast<std::size_t>(before) + 11; }));
    const std::vector<std::string> polled(m_sink.commands.begin() + before, m_sink.commands.begin() + before + 11);
    EXPECT_EQ(polled, (std::vector<std::string>{"PE100;", "PE101;", "PE102;", "PE110;", "PE111;", "PE112;",
                                                "PE120;", "PE121;", "PE122;", "PE100;", "PE101;"}));
    // A command button's press stops the poll; its release starts it again.
    press(1114);
    EXPECT_FALSE(timer(TIMER_PARAM_POLL)->isActive());
    release(1114);
    EXPECT_TRUE(timer(TIMER_PARAM_POLL)->isActive());
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
    const auto shown = [&] {
        return control(1071)->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    };
    EXPECT_EQ(shown(), reference);
    // EQ1 at 300 Hz, +10 dB: its curve, drawn last, passes (350, 96).
    EXPECT_EQ(shown().pixel(350, 96), 0xFFFF0000u);
    // A full repaint draws the same picture again.
    m_window->update();
    ASSERT_TRUE(test::waitUntil([&] { return timer(TIMER_REPAINT)->isActive(); }));
    ASSERT_TRUE(test::waitUntil([&] { return !timer(TIMER_REPAINT)->isActive(); }));
    EXPECT_EQ(shown(), reference);
}

}  // namespace
}  // namespace tqm

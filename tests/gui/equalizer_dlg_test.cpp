#include <atomic>
#include <memory>
#include <thread>

#include <gtest/gtest.h>
#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtTest/QTest>
#include <QtWidgets/QLabel>

#include "editor/equalizer_tables.h"
#include "editor/step_table.h"
#include "editor/response_graph.h"
#include "editor/ui/color_group_box.h"
#include "editor/ui/color_static.h"
#include "editor/ui/equalizer_dlg.h"
#include "editor/ui/graph_static.h"
#include "editor/ui/step_button.h"
#include "platform/main_window_link.h"
#include "protocol/trx_state.h"
#include "tests/gui/gui_app.h"
#include "tests/support/recording_sink.h"

namespace tqm {
namespace {

QString idName(int id) { return QStringLiteral("id_%1").arg(id); }

class EqualizerDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_window = std::make_unique<CEqualizerDlg>(m_sink);
        CEqualizerDlg::StartOptions options;
        options.showSplash = false;
        m_window->initialise(options);
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        // The first full repaint writes the value texts.
        ASSERT_TRUE(test::waitUntil([&] { return !text(1077).isEmpty(); }));
    }

    template <typename T = QWidget>
    T* control(int id) const {
        T* found = m_window->findChild<T*>(idName(id));
        EXPECT_NE(found, nullptr) << "control " << id;
        return found;
    }
    QString text(int id) const { return control<QLabel>(id)->text(); }
    QTimer* timer(TimerId id) const { return m_window->findChild<QTimer*>(QStringLiteral("timer_%1").arg(id)); }
    QPoint centreOf(int id) const {
        QWidget* widget = control(id);
        return widget->mapTo(m_window.get(), widget->rect().center());
    }
    void press(int id) { QTest::mousePress(m_window->windowHandle(), Qt::LeftButton, {}, centreOf(id)); }
    void release(int id) { QTest::mouseRelease(m_window->windowHandle(), Qt::LeftButton, {}, centreOf(id)); }
    void click(int id) {
        press(id);
        release(id);
    }
    bool closed() const { return !m_window->isVisible() && m_window->result() == QDialog::Rejected; }

    QApplication& m_app = test::guiApp();
    test::RecordingSink m_sink;
    std::unique_ptr<CEqualizerDlg> m_window;
};

TEST_F(EqualizerDlgTest, StartsWithCaptionFixedSizeAndDefaultValues) {
    EXPECT_EQ(m_window->windowTitle(), "TQM-4700 Parametric Equalizer Control");
    EXPECT_EQ(m_window->minimumSize(), m_window->maximumSize());
    EXPECT_EQ(control(1071)->size(), QSize(902, 352));
    // The transceiver state's defaults: every band OFF, +5 dB, bandwidth 10.
    for (int id : {1076, 1089, 1102}) EXPECT_EQ(text(id), "OFF");
    for (int id : {1077, 1090, 1103}) EXPECT_EQ(text(id), "5 dB");
    for (int id : {1081, 1094, 1107}) EXPECT_EQ(text(id), "10");
    EXPECT_EQ(control<QGroupBox>(1082)->title(), "F-PRMTRC EQ1");
    EXPECT_FALSE(m_window->lampOn());
    EXPECT_FALSE(control<QLabel>(1171)->pixmap().isNull());
    for (const StepRule& rule : kStepRules) {
        EXPECT_EQ(control<QAbstractButton>(rule.buttonId)->icon().pixmap(32, 32).size(), QSize(32, 32));
    }
    EXPECT_FALSE(m_window->windowIcon().isNull());
    EXPECT_TRUE(MainWindowLink().isPublished());
}

TEST_F(EqualizerDlgTest, EnterDoesNothing) {
    QTest::keyClick(m_window.get(), Qt::Key_Return);
    QTest::keyClick(m_window.get(), Qt::Key_Enter);
    control(1)->setFocus();
    QTest::keyClick(control(1), Qt::Key_Return);
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_FALSE(control(1)->isVisible());
}

TEST_F(EqualizerDlgTest, EscClosesTheWindow) {
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    EXPECT_TRUE(closed());
}

TEST_F(EqualizerDlgTest, CloseBoxClosesTheWindow) {
    EXPECT_TRUE(m_window->close());
    EXPECT_TRUE(closed());
}

TEST_F(EqualizerDlgTest, FileExitClosesTheWindow) {
    control<QAction>(32779)->trigger();
    EXPECT_TRUE(closed());
}

TEST_F(EqualizerDlgTest, ExitButtonClosesOnRelease) {
    press(1172);
    EXPECT_TRUE(m_window->isVisible());
    release(1172);
    EXPECT_TRUE(closed());
    EXPECT_FALSE(timer(TIMER_REPAINT)->isActive());
}

TEST_F(EqualizerDlgTest, HeldLevelButtonStepsAtOnceThenRepeatsUntilTheLimit) {
    EXPECT_EQ(timer(TIMER_AUTO_REPEAT)->interval(), 200);
    press(1157);  // EQ1 LEVEL up, from +5 dB
    EXPECT_EQ(text(1077), "6 dB");
    EXPECT_EQ(m_window->model().shown(0)[1], 6);
    ASSERT_TRUE(test::waitUntil([&] { return text(1077) == "10 dB"; }));
    // At the limit the repeat goes on but nothing changes.
    QTest::qWait(250);
    EXPECT_EQ(m_window->model().shown(0)[1], 10);
    EXPECT_TRUE(timer(TIMER_AUTO_REPEAT)->isActive());
    release(1157);
    EXPECT_FALSE(timer(TIMER_AUTO_REPEAT)->isActive());
    // Offline no command goes anywhere and no poll starts.
    EXPECT_TRUE(m_sink.commands.empty());
    EXPECT_FALSE(timer(TIMER_PARAM_POLL)->isActive());
}

TEST_F(EqualizerDlgTest, HeldLevelButtonStopsRepeatingAtRelease) {
    press(1158);  // EQ1 LEVEL down
    ASSERT_TRUE(test::waitUntil([&] { return m_window->model().shown(0)[1] <= 2; }));
    release(1158);
    EXPECT_FALSE(timer(TIMER_AUTO_REPEAT)->isActive());
    const int level = m_window->model().shown(0)[1];
    EXPECT_EQ(text(1077), QStringLiteral("%1 dB").arg(level));
    // The reference is untouched: CANCEL brings +5 dB back.
    EXPECT_EQ(m_window->model().reference(0)[1], 5);
}

TEST_F(EqualizerDlgTest, ReleaseOutsideTheButtonEndsTheRepeat) {
    press(1165);  // EQ3 LEVEL up
    EXPECT_EQ(text(1103), "6 dB");
    QTest::mouseRelease(m_window->windowHandle(), Qt::LeftButton, {}, centreOf(1071));
    EXPECT_FALSE(timer(TIMER_AUTO_REPEAT)->isActive());
}

TEST_F(EqualizerDlgTest, AltWhileEnterHoldsAStepButtonStopsTheRepeat) {
    auto* button = control<CStepButton>(1092);  // EQ2 BWTH down, from 10
    QTest::keyPress(button, Qt::Key_Return);
    EXPECT_EQ(text(1094), "9");
    EXPECT_TRUE(timer(TIMER_AUTO_REPEAT)->isActive());
    QTest::keyPress(button, Qt::Key_Alt, Qt::AltModifier);
    EXPECT_FALSE(timer(TIMER_AUTO_REPEAT)->isActive());
    EXPECT_TRUE(m_window->isVisible());
}

TEST_F(EqualizerDlgTest, CancelRestoresTheReferenceAndIgnoresASecondPressWithin500Ms) {
    for (int i = 0; i < 3; ++i) click(1161);  // EQ2 LEVEL up
    EXPECT_EQ(text(1090), "8 dB");
    QElapsedTimer sinceCancel;
    click(1026);
    sinceCancel.start();
    EXPECT_TRUE(m_window->cancelBusy());
    EXPECT_EQ(m_window->model().shown(0)[4], 5);
    ASSERT_TRUE(test::waitUntil([&] { return text(1090) == "5 dB"; }, std::chrono::milliseconds(2000)));

    click(1161);
    EXPECT_EQ(text(1090), "6 dB");
    if (sinceCancel.elapsed() > 350) GTEST_SKIP() << "the machine was too slow to press twice within 500 ms";
    ASSERT_TRUE(m_window->cancelBusy());
    click(1026);
    EXPECT_EQ(m_window->model().shown(0)[4], 6);

    // Once the CANCEL sequence has ended, CANCEL works again.
    ASSERT_TRUE(test::waitUntil([&] { return !m_window->cancelBusy(); }));
    click(1026);
    EXPECT_EQ(m_window->model().shown(0)[4], 5);
    EXPECT_TRUE(test::waitUntil([&] { return text(1090) == "5 dB"; }));
}

TEST_F(EqualizerDlgTest, AppliedValuesBecomeWhatCancelReturnsTo) {
    click(1160);  // EQ2 FREQ up: 700 Hz
    click(1160);  // 800 Hz
    EXPECT_EQ(text(1089), "800 Hz");
    click(1114);  // APPLI
    click(1159);  // EQ2 FREQ down: 700 Hz
    EXPECT_EQ(text(1089), "700 Hz");
    click(1026);  // CANCEL
    EXPECT_TRUE(test::waitUntil([&] { return text(1089) == "800 Hz"; }));
}

TEST_F(EqualizerDlgTest, ColoursPerBand) {
    const QColor colours[] = {QColor(255, 0, 0), QColor(0, 0, 255), QColor(0, 255, 0)};
    const int groups[] = {1082, 1097, 1110};
    const int rowLabels[3][3] = {{1074, 1075, 1080}, {1087, 1088, 1093}, {1100, 1101, 1106}};
    for (int band = 0; band < 3; ++band) {
        EXPECT_EQ(control<CColorGroupBox>(groups[band])->textColor(), colours[band]);
        for (int id : rowLabels[band]) EXPECT_EQ(control<CColorStatic>(id)->textColor(), colours[band]);
    }
    for (int id : {1076, 1077, 1081, 1089, 1090, 1094, 1102, 1103, 1107}) {
        EXPECT_EQ(control<CColorStatic>(id)->backgroundColor(), QColor(Qt::white));
        EXPECT_EQ(control<CColorStatic>(id)->textColor(), QColor(Qt::black));
    }
}

TEST_F(EqualizerDlgTest, SetChangeShowsTheOtherSetsCaptionsAndValues) {
    EqualizerValues r{};
    r[0] = 3;   // EQ1 300 Hz
    r[1] = -7;  // -7 dB
    r[2] = 2;
    r[3] = 9;   // EQ2 1500 Hz
    r[4] = 0;
    r[5] = 4;
    r[6] = 18;  // EQ3 3200 Hz
    r[7] = 10;
    r[8] = 1;
    m_window->model().setShown(1, r);

    control<QAction>(32783)->trigger();  // Prmtrc > R-Prmtrc
    EXPECT_EQ(control<QGroupBox>(1082)->title(), "R-PRMTRC EQ1");
    EXPECT_EQ(control<QGroupBox>(1097)->title(), "R-PRMTRC EQ2");
    EXPECT_EQ(control<QGroupBox>(1110)->title(), "R-PRMTRC EQ3");
    ASSERT_TRUE(test::waitUntil([&] { return text(1076) == "300 Hz"; }));
    EXPECT_EQ(text(1077), "-7 dB");
    EXPECT_EQ(text(1081), "2");
    EXPECT_EQ(text(1089), "1500 Hz");
    EXPECT_EQ(text(1090), "0 dB");
    EXPECT_EQ(text(1094), "4");
    EXPECT_EQ(text(1102), "3200 Hz");
    EXPECT_EQ(text(1103), "10 dB");
    EXPECT_EQ(text(1107), "1");

    control<QAction>(32784)->trigger();  // P-Prmtrc: still the defaults
    EXPECT_EQ(control<QGroupBox>(1097)->title(), "P-PRMTRC EQ2");
    ASSERT_TRUE(test::waitUntil([&] { return text(1076) == "OFF"; }));
    EXPECT_EQ(text(1077), "5 dB");
    EXPECT_EQ(m_window->model().shown(1), r);
}

TEST_F(EqualizerDlgTest, MessagesFromOtherThreadsAreHandledOnTheWindowThread) {
    std::atomic<bool> done{false};
    bool handled = false;
    std::thread sender([&] {
        handled = MainWindowLink().send(UWM_BUTTON_EVENT, 11, 1);  // EQ1 LEVEL down pressed
        done.store(true, std::memory_order_release);
    });
    ASSERT_TRUE(test::waitUntil([&] { return done.load(std::memory_order_acquire); }));
    sender.join();
    EXPECT_TRUE(handled);
    EXPECT_LE(m_window->model().shown(0)[1], 4);
    EXPECT_TRUE(timer(TIMER_AUTO_REPEAT)->isActive());

    std::thread poster([] { MainWindowLink().post(UWM_BUTTON_EVENT, 11, 0); });
    poster.join();
    EXPECT_TRUE(test::waitUntil([&] { return !timer(TIMER_AUTO_REPEAT)->isActive(); }));

    // A send on the window's own thread is handled at once.
    EXPECT_TRUE(MainWindowLink().send(UWM_BUTTON_EVENT, 16, 1));  // EQ1 BWTH up: at 10 already
    EXPECT_TRUE(timer(TIMER_AUTO_REPEAT)->isActive());
    EXPECT_TRUE(MainWindowLink().send(UWM_BUTTON_EVENT, 16, 0));
    EXPECT_FALSE(timer(TIMER_AUTO_REPEAT)->isActive());

    // Once the window is gone, posts fail harmlessly.
    m_window.reset();
    EXPECT_FALSE(MainWindowLink().post(UWM_BUTTON_EVENT, 10, 1));
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
    EXPECT_FALSE(timer(TIMER_AUTO_REPEAT)->isActive());
    ASSERT_TRUE(timer(TIMER_PARAM_POLL)->isActive());

    // The poll reads the current set's nine parameters one per tick, then starts again.
    const std::size_t before = m_sink.commands.size();
    ASSERT_TRUE(test::waitUntil([&] { return m_sink.commands.size() >= before + 11; }));
    const std::vector<std::string> expected = {"PE100;", "PE101;", "PE102;", "PE110;", "PE111;", "PE112;",
                                               "PE120;", "PE121;", "PE122;", "PE100;", "PE101;"};
    const std::vector<std::string> polled(m_sink.commands.begin() + static_cast<std::ptrdiff_t>(before),
                                          m_sink.commands.begin() + static_cast<std::ptrdiff_t>(before) + 11);
    EXPECT_EQ(polled, expected);

    // A command button's press stops the poll; its release starts it again from EQ1 FREQ.
    press(1114);
    EXPECT_FALSE(timer(TIMER_PARAM_POLL)->isActive());
    release(1114);
    EXPECT_TRUE(timer(TIMER_PARAM_POLL)->isActive());
    m_sink.commands.clear();
    ASSERT_TRUE(test::waitUntil([&] { return !m_sink.commands.empty(); }));
    EXPECT_EQ(m_sink.commands.front(), "PE100;");

    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    EXPECT_FALSE(timer(TIMER_PARAM_POLL)->isActive());
}

TEST_F(EqualizerDlgTest, CommandButtonsAndSetupItemsRunTheirActionsWithThePollStopped) {
    std::vector<std::string> ran;
    CEqualizerDlg::StartOptions options;
    options.showSplash = false;
    const auto record = [&](const char* name) {
        return [&, name] {
            ran.push_back(std::string(name) + (timer(TIMER_PARAM_POLL)->isActive() ? " polling" : ""));
        };
    };
    options.comAction = record("com");
    options.fileLoadAction = record("load");
    options.fileSaveAction = record("save");
    options.comSelectDialog = record("port");
    options.baudRateDialog = record("baud");
    m_window->initialise(options);
    m_window->model().setConnected(true);

    click(1167);
    click(1027);
    click(1028);
    control<QAction>(32780)->trigger();
    control<QAction>(32781)->trigger();
    EXPECT_EQ(ran, (std::vector<std::string>{"com", "load", "save", "port", "baud"}));
    EXPECT_TRUE(timer(TIMER_PARAM_POLL)->isActive());
    // Actions run on release only.
    press(1167);
    EXPECT_EQ(ran.size(), 5u);
    release(1167);
    EXPECT_EQ(ran.size(), 6u);
}

TEST_F(EqualizerDlgTest, StartsFromWhatTheEngineLeftInTheTransceiverState) {
    CEqualizerDlg::StartOptions options;
    options.showSplash = false;
    bool started = false;
    options.startEngine = [&] {
        started = true;
        Trx_StateGuard state;
        state.initialise();
        state.setPeq(0, 0, PeqParam::Level, -3);
        state.setPeq(2, 2, PeqParam::Freq, 4);
        state.set(StateField::AutoInfo, 1);
    };
    m_window->initialise(options);
    EXPECT_TRUE(started);
    EXPECT_TRUE(m_window->model().connected());
    EXPECT_EQ(m_window->model().reference(2)[6], 4);
    ASSERT_TRUE(test::waitUntil([&] { return text(1077) == "-3 dB"; }));
    EXPECT_TRUE(test::waitUntil([&] { return m_window->lampOn(); }));
    EXPECT_LT(control<QLabel>(1171)->pixmap().toImage().pixelColor(10, 10).blue(), 100);  // yellow
    Trx_StateGuard().initialise();
}

TEST_F(EqualizerDlgTest, RestoringTheWindowRepaintsTextsAndGraph) {
    EqualizerValues values = m_window->model().shown(0);
    values[3] = 4;  // EQ2 1000 Hz, without telling the window
    m_window->model().setShown(0, values);
    ASSERT_EQ(text(1089), "OFF");
    m_window->showMinimized();
    QTest::qWait(20);
    m_window->showNormal();
    EXPECT_TRUE(test::waitUntil([&] { return text(1089) == "1000 Hz"; }));
}

// The picture on the screen, as 32-bit ARGB.
QImage shownGraph(QWidget* graph) { return graph->grab().toImage().convertToFormat(QImage::Format_ARGB32); }

TEST_F(EqualizerDlgTest, GraphAfterStepsIsTheRenderersPicture) {
    for (int i = 0; i < 3; ++i) click(1156);  // EQ1 FREQ up to 300 Hz
    for (int i = 0; i < 5; ++i) click(1157);  // EQ1 LEVEL up to +10 dB
    for (int i = 0; i < 9; ++i) click(1079);  // EQ1 BWTH down to 1
    click(1163);                              // EQ3 FREQ down: stays OFF
    ASSERT_EQ(m_window->model().shown(0)[0], 3);
    ASSERT_EQ(m_window->model().shown(0)[1], 10);
    ASSERT_EQ(m_window->model().shown(0)[2], 1);

    ResponseGraph expected;
    ASSERT_TRUE(expected.open());
    expected.drawCurves(m_window->model().shown(0), 1);
    expected.close();
    const QImage reference(reinterpret_cast<const uchar*>(expected.picture()), kGraphWidth, kGraphHeight,
                           kGraphWidth * 4, QImage::Format_ARGB32);

    auto* graph = control<CGraphStatic>(1071);
    EXPECT_EQ(shownGraph(graph), reference);
    // The shown picture is the window's graph buffer itself, not a copy.
    EXPECT_EQ(graph->picture().constBits(), reinterpret_cast<const uchar*>(m_window->graph().picture()));
    // EQ1 at 300 Hz, +10 dB: its curve, drawn last, passes (350, 96).
    EXPECT_EQ(shownGraph(graph).pixel(350, 96), 0xFFFF0000u);

    // A full repaint draws the same picture again.
    m_window->update();
    ASSERT_TRUE(test::waitUntil([&] { return timer(TIMER_REPAINT)->isActive(); }));
    ASSERT_TRUE(test::waitUntil([&] { return !timer(TIMER_REPAINT)->isActive(); }));
    EXPECT_EQ(shownGraph(graph), reference);
}

}  // namespace
}  // namespace tqm

#include <cmath>
#include <filesystem>
#include <map>

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QRegularExpression>
#include <QtGui/QAction>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QLineEdit>

#include "app/engine.h"
#include "editor/graph_axes.h"
#include "editor/graph_handles.h"
#include "editor/notice_table.h"
#include "editor/response_graph.h"
#include "editor/send_queue_sink.h"
#include "editor/setting_file.h"
#include "editor/ui/button_codes.h"
#include "editor/ui/color_group_box.h"
#include "editor/ui/color_static.h"
#include "editor/ui/graph_editor.h"
#include "editor/ui/splash_dlg.h"
#include "platform/main_window_link.h"
#include "protocol/protocol_messages.h"
#include "serial/port_map.h"
#include "serial/serial_messages.h"
#include "serial/sio_port.h"
#include "sim/simulated_transceiver.h"
#include "tests/gui/gui_app.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using enum ControlId;

// The main window offline: every band off, +5 dB, BWTH 10.
class MainWindowTest : public test::MainWindowFixture {
protected:
    void SetUp() override { open(); }

    // Runs FILE SAVE or FILE LOAD: the file dialog, once `inspect` looked at it, gets the
    // path typed and Enter; returns the text of the message box that follows, if any.
    std::string runFile(ControlId button, const fs::path& path, const std::function<void(QFileDialog&)>& inspect = {}) {
        test::ModalAnswerer answers;
        answers.then<QFileDialog>([&](QFileDialog& dialog) {
            if (inspect) inspect(dialog);
            auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(field, nullptr) << "the file dialog has a file name field";
            field->setText(QString::fromStdString(path.string()));
            QTest::keyClick(field, Qt::Key_Return);
        });
        click(button);
        EXPECT_TRUE(answers.finished() && answers.unscripted().size() <= 1);
        return answers.unscripted().empty() ? "" : answers.unscripted().front();
    }

    test::ScratchDirectory m_dir;
};

TEST_F(MainWindowTest, EnterDoesNothingAndEscCloseBoxFileExitAndExitClose) {
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(m_window.get(), key);
    EXPECT_TRUE(m_window->isVisible());
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"Esc", [&] { QTest::keyClick(m_window.get(), Qt::Key_Escape); }},
        {"close box", [&] { m_window->close(); }},
        {"File Exit", [&] { control<QAction>(MenuExit)->trigger(); }},
        {"EXIT", [&] {
             press(ExitButton);
             EXPECT_TRUE(m_window->isVisible()) << "EXIT closes on release";
             release(ExitButton);
         }},
    };
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        open();
        close();
        EXPECT_TRUE(!m_window->isVisible() && m_window->result() == QDialog::Rejected &&
                    !timer(TIMER_REPAINT)->isActive());
    }
}

TEST_F(MainWindowTest, HeldLevelButtonStepsAtOnceThenRepeatsUntilAReleaseAnywhere) {
    press(Eq1LevelUp);  // from +5 dB
    EXPECT_EQ(text(Eq1LevelValue), "6 dB");
    ASSERT_TRUE(test::processEventsUntil([&] { return text(Eq1LevelValue) == "10 dB"; }));
    QTest::mouseRelease(m_window->windowHandle(), Qt::LeftButton, {}, centreOf(Graph));  // the button has the mouse
    EXPECT_FALSE(timer(TIMER_AUTO_REPEAT)->isActive() || timer(TIMER_PARAM_POLL)->isActive() || m_sink.commands.size())
        << "offline: no command, no poll";
}

TEST_F(MainWindowTest, CancelRestoresTheReferenceAndIgnoresASecondPressWithin500Ms) {
    click(Eq2LevelUp, 3);
    click(CancelButton);
    EXPECT_EQ(model().shown(0)[4], 5);
    // The buttons' own path with no event loop in between: the tick that ends the
    // CANCEL sequence cannot come before the second press, however slow the machine.
    for (const int code : {12, kCancelCode}) {  // EQ2 LEVEL up, CANCEL
        for (const bool pressed : {true, false}) m_window->onButtonEvent(code, pressed);
    }
    EXPECT_EQ(model().shown(0)[4], 6) << "the second CANCEL was ignored";
    ASSERT_TRUE(test::processEventsUntil([&] { return !m_window->cancelBusy(); }));
    click(CancelButton);
    EXPECT_TRUE(test::processEventsUntil([&] { return text(Eq2LevelValue) == "5 dB"; })) << "after the sequence CANCEL works";
}

TEST_F(MainWindowTest, SetChangeShowsCaptionsValuesAndColoursAndKeepsTheOtherSets) {
    const EqualizerValues r{{3, -7, 2, 9, 0, 4, 18, 10, 1}};  // 300 Hz, 1500 Hz, 3200 Hz
    model().setShown(1, r);
    // Per band: the frame, the three row labels and the three value statics.
    const ControlId bands[3][7] = {
        {Eq1Frame, Eq1FreqLabel, Eq1LevelLabel, Eq1BwthLabel, Eq1FreqValue, Eq1LevelValue, Eq1BwthValue},
        {Eq2Frame, Eq2FreqLabel, Eq2LevelLabel, Eq2BwthLabel, Eq2FreqValue, Eq2LevelValue, Eq2BwthValue},
        {Eq3Frame, Eq3FreqLabel, Eq3LevelLabel, Eq3BwthLabel, Eq3FreqValue, Eq3LevelValue, Eq3BwthValue},
    };
    const QColor colours[] = {Qt::red, Qt::blue, Qt::green};
    const QStringList texts = {"300 Hz", "-7 dB", "2", "1500 Hz", "0 dB", "4", "3200 Hz", "10 dB", "1"};
    control<QAction>(MenuSetR)->trigger();
    ASSERT_TRUE(test::processEventsUntil([&] { return text(Eq1FreqValue) == texts[0]; }));
    for (int p = 0; p < 9; ++p) EXPECT_EQ(text(bands[p / 3][4 + p % 3]), texts[p]);
    for (int band = 0; band < 3; ++band) {  // band colours on the captions and labels, values on white
        auto* frame = control<CColorGroupBox>(bands[band][0]);
        EXPECT_TRUE(frame->title() == QString("R-PRMTRC EQ%1").arg(band + 1) && frame->textColor() == colours[band]);
        for (int k = 1; k < 4; ++k) EXPECT_EQ(control<CColorStatic>(bands[band][k])->textColor(), colours[band]);
        for (int k = 4; k < 7; ++k) EXPECT_EQ(control<CColorStatic>(bands[band][k])->backgroundColor(), Qt::white);
    }
    control<QAction>(MenuSetP)->trigger();  // still the defaults
    ASSERT_TRUE(test::processEventsUntil([&] { return text(Eq1FreqValue) == "OFF"; }));
    EXPECT_TRUE(text(Eq3LevelValue) == "5 dB" && model().shown(1) == r);
}

TEST_F(MainWindowTest, PollWaitsForCountedRepliesUntilTheCountStandsStillEachTimeAfresh) {
    int ticks = 0;
    QObject::connect(timer(TIMER_PARAM_POLL), &QTimer::timeout, [&] { ++ticks; });
    const auto tickOn = [&](int n) { return test::processEventsUntil([&, until = ticks + n] { return ticks >= until; }); };
    model().setConnected(true);
    model().setPendingReplies(3);
    m_window->startPoll();
    ASSERT_TRUE(test::processEventsUntil([&] { return !m_sink.commands.empty(); }, std::chrono::milliseconds(20000)));
    EXPECT_GE(ticks, 40) << "a count that stands still for 2 s lets the poll read";
    model().setPendingReplies(0);
    ASSERT_TRUE(tickOn(2));
    model().setPendingReplies(3);  // a later apply: its count is waited for again from the start
    m_sink.commands.clear();
    EXPECT_TRUE(tickOn(5) && m_sink.commands.empty());
    m_window->stopPoll();
}

TEST_F(MainWindowTest, APortFailureMessageReachesTheLinkHandlingAndRepaintsThroughTheRefreshTimer) {
    ASSERT_TRUE(test::processEventsUntil([&] { return !timer(TIMER_REPAINT)->isActive(); }));
    ASSERT_TRUE(MainWindowLink().send(UWM_COM_FAILED, 0, kNoticeMenuFile));  // never shown; it resets and repaints
    EXPECT_TRUE(timer(TIMER_REPAINT)->isActive());
}

TEST_F(MainWindowTest, GraphAfterStepsIsTheRenderersPicture) {
    click(Eq1FreqUp, 3);    // 300 Hz
    click(Eq1LevelUp, 5);   // +10 dB
    click(Eq1BwthDown, 9);  // 1
    click(Eq3FreqDown);     // stays OFF
    ASSERT_EQ(model().shown(0), (EqualizerValues{{3, 10, 1, 0, 5, 10, 0, 5, 10}}));

    ResponseGraph expected;
    ASSERT_TRUE(expected.open());
    expected.drawCurves(model().shown(0), 1);
    expected.close();
    const QImage shown = control(Graph)->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(shown, QImage(reinterpret_cast<const uchar*>(expected.picture()), kGraphWidth, kGraphHeight,
                            kGraphWidth * 4, QImage::Format_ARGB32));
    EXPECT_EQ(shown.pixel(350, 96), 0xFFFF0000u) << "EQ1 at 300 Hz, +10 dB, drawn last";
}

TEST_F(MainWindowTest, SplashCannotBeClosedByTheOperatorAndEndsWithTheSplashTimer) {
    create(m_sink);
    bool openAfterEscAndClose = false;
    QTimer::singleShot(300, [&] {
        auto* splash = qobject_cast<CSplashDlg*>(QApplication::activeModalWidget());
        if (splash == nullptr) return;
        QTest::keyClick(splash, Qt::Key_Escape);
        splash->close();
        QCoreApplication::processEvents();
        openAfterEscAndClose = splash->isVisible() && splash->size() == QSize(CSplashDlg::kWidth, CSplashDlg::kHeight);
    });
    m_window->initialise(CEqualizerDlg::StartOptions());
    EXPECT_TRUE(openAfterEscAndClose && QApplication::activeModalWidget() == nullptr);
}

TEST_F(MainWindowTest, SaveOffersTheTimeAndAddsTheExtensionLoadReadsItBackAndAFailureOfEitherChangesNothing) {
    click(Eq1FreqUp);        // 100 Hz
    click(Eq2FreqUp, 2);     // 800 Hz
    click(Eq2LevelDown, 8);  // -3 dB
    click(Eq3BwthDown, 6);   // 4
    const EqualizerValues saved = model().shown(0);
    // The save dialog offers the local time of the click as YYYYMMDDhhmmss.pef. A name
    // typed without the extension gets it, in another directory; the current one stays.
    const QString current = QDir::currentPath();
    const std::string earliest = SettingFile::defaultNameNow();
    QString offered;
    EXPECT_EQ(runFile(FileSaveButton, m_dir / "trip",
                      [&](QFileDialog& dialog) { offered = QFileInfo(dialog.selectedFiles().value(0)).fileName(); }),
              "");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{14}\\.pef$")).match(offered).hasMatch() &&
                offered.toStdString() >= earliest);
    EXPECT_EQ(test::readFile(m_dir / "trip.pef"), "100,5,10\r\n800,-3,10\r\n0,5,4\r\n");
    EXPECT_EQ(QDir::currentPath(), current);

    control<QAction>(MenuSetR)->trigger();
    EXPECT_EQ(runFile(FileLoadButton, m_dir / "trip.pef"), "");
    EXPECT_TRUE(test::processEventsUntil([&] { return text(Eq3BwthValue) == "4" && text(Eq2LevelValue) == "-3 dB"; }));
    EXPECT_TRUE(model().shown(1) == saved && m_sink.commands.empty()) << "offline nothing goes to the transceiver";

    // A rejected file or a failed save is reported and changes nothing.
    click(Eq3FreqUp, 3);  // 1700 Hz
    click(AppliButton);
    const EqualizerValues reference = model().reference(1);
    ASSERT_TRUE(test::writeFile(m_dir / "level.pef", "100,5,10\r\n700,11,10\r\n0,5,10\r\n"));
    ASSERT_TRUE(test::writeFile(m_dir / "plain", "not a directory\n"));
    EXPECT_EQ(runFile(FileLoadButton, m_dir / "level.pef"), "The input range is incorrect.");
    EXPECT_EQ(runFile(FileSaveButton, m_dir / "plain" / "inside.pef"), "The setting file could not be saved.");
    EXPECT_TRUE(reference[6] == 3 && model().shown(1) == reference && model().reference(1) == reference);
}

class GraphEditorTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        editor = m_window->findChild<CGraphEditor*>(QStringLiteral("graph_editor"));
        ASSERT_NE(editor, nullptr);
    }
    const EqualizerValues& shown() const { return model().shown(0); }
    // A point of the graph, in the window's coordinates.
    QPoint at(double x, double y) const { return editor->mapTo(m_window.get(), QPointF(x, y).toPoint()); }
    QPoint handle(int band) const { return at(handleSpot(band, shown()).x, handleSpot(band, shown()).y); }
    void grab(QPoint point) { QTest::mousePress(m_window->windowHandle(), Qt::LeftButton, {}, point); }
    void moveTo(QPoint point) { QTest::mouseMove(m_window->windowHandle(), point); }
    void drop(QPoint point) { QTest::mouseRelease(m_window->windowHandle(), Qt::LeftButton, {}, point); }
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
    grab(handle(1));
    EXPECT_EQ(model().activeBand(), 2) << "the grabbed band comes on top";
    struct Move { double x; double db; const char* texts; } const moves[] = {
        {handleSpot(1, shown()).x, 3, "OFF, 3 dB"},  // up or down only: an off band stays off
        {graphX(1060), 3.4, "1100 Hz, 3 dB"},
        {graphX(4000), 14, "1500 Hz, 10 dB"},  // past the table's end and above +10
        {graphX(55), -25, "700 Hz, -20 dB"},   // a drag never switches the band off
    };
    for (const Move& move : moves) {
        moveTo(at(move.x, graphY(move.db)));
        EXPECT_EQ(eq2Texts(), move.texts) << move.x;
    }
    EXPECT_EQ(editor->labelText(), "EQ2 700 Hz -20 dB BWTH 10");
    drop(at(graphX(55), graphY(-25)));
    EXPECT_TRUE(editor->draggedBand() == -1 && model().reference(0)[3] == 0) << "a drag changes only the shown values";
    click(CancelButton);
    EXPECT_TRUE(test::processEventsUntil([&] { return eq2Texts() == "OFF, 5 dB"; }) && m_sink.commands.empty());
}

TEST_F(GraphEditorTest, HoverShowsTheValuesTheWheelStepsBwthAndKeysStepTheActiveBand) {
    moveTo(handle(0));
    EXPECT_EQ(editor->labelText(), "EQ1 OFF +5 dB BWTH 10");
    moveTo(at(450, 300));
    EXPECT_EQ(editor->labelText(), "");
    wheel(handle(2), -1);
    EXPECT_TRUE(text(Eq3BwthValue) == "9" && model().activeBand() == 3);
    wheel(at(450, 300), 2);  // the active band; the second notch is past the limit
    EXPECT_EQ(text(Eq3BwthValue), "10");

    editor->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(editor->hasFocus() && model().activeBand() == 1) << "tabbing in starts at EQ1";
    struct Key { Qt::Key key; int activeBand; int p; std::int32_t value; } const keys[] = {
        {Qt::Key_Right, 1, 0, 1},    {Qt::Key_Left, 1, 0, 0},    {Qt::Key_Left, 1, 0, 0},    {Qt::Key_Tab, 2, 4, 5},
        {Qt::Key_Up, 2, 4, 6},       {Qt::Key_Tab, 3, 8, 10},    {Qt::Key_PageDown, 3, 8, 9},
        {Qt::Key_PageUp, 3, 8, 10},  {Qt::Key_Backtab, 2, 4, 6}, {Qt::Key_Down, 2, 4, 5},
    };
    for (const Key& key : keys) {
        QTest::keyClick(editor, key.key);
        EXPECT_TRUE(model().activeBand() == key.activeBand && shown()[key.p] == key.value) << key.key;
    }
    EXPECT_EQ(editor->labelText(), "EQ2 OFF +5 dB BWTH 10") << "with the focus the active band is labelled";
    for (int i = 0; i < 2; ++i) QTest::keyClick(editor, Qt::Key_Tab);
    EXPECT_FALSE(editor->hasFocus()) << "past EQ3 the focus moves on";
}

TEST_F(GraphEditorTest, ConnectedADragRestsThePollAndItsPairsWaitForTheReadBackOfTheirValue) {
    model().setConnected(true);
    QTimer* poll = timer(TIMER_PARAM_POLL);
    m_window->startPoll();
    const double y = handleSpot(0, shown()).y;
    grab(handle(0));
    EXPECT_FALSE(poll->isActive()) << "the poll rests during the drag";
    for (const double hertz : {300, 500}) moveTo(at(graphX(hertz), y));
    drop(at(graphX(500), y));
    EXPECT_TRUE(poll->isActive()) << "and runs again at the release";
    m_window->stopPoll();
    EXPECT_EQ(m_sink.commands, (std::vector<std::string>{"PE000003;", "PE000;"})) << "the second value waits";
    EXPECT_EQ(text(Eq1FreqValue), "OFF") << "the display waits for the transceiver";
}

constexpr auto kLong = 12000ms;

// The real window with the real engine threads, a pseudo-terminal and the simulated
// transceiver at the far end.
class LinkEndToEnd : public test::MainWindowFixture {
protected:
    void start(std::chrono::milliseconds replyDelay, bool silent = false, int baud = 38400) {
        sim::SimConfig config;
        config.baud = baud;
        config.replyDelay = replyDelay;
        config.silent = silent;
        m_sim = std::make_unique<sim::SimulatedTransceiver>(config);
        ASSERT_TRUE(m_sim->start() && PortMap().setOverride(1, m_sim->devicePath())) << m_sim->errorText();
        create(m_queue);
        CEqualizerDlg::StartOptions options;
        options.startEngine = [baud] {
            Engine engine;
            engine.initialiseState();
            engine.waitMenuListReady(5000ms);
            Sio_Port().setPortNumber(1);
            Sio_Port().setBaudRate(baud);
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

    SendQueueSink m_queue;
    std::unique_ptr<sim::SimulatedTransceiver> m_sim;
    QTimer m_watch;
    std::vector<QString> m_status;
    QString m_boxText;
};

TEST_F(LinkEndToEnd, ComConnectsThroughEveryStatusReloadsAllSetsAndAStepGoesToTheTransceiver) {
    start(300ms);  // each state lasts long enough to be seen
    click(ComButton);
    ASSERT_TRUE(test::processEventsUntil([&] { return model().connected() && model().pendingReplies() == 0; }, kLong));
    EXPECT_TRUE(m_boxText == "Connecting the COM port now." && m_window->connectingBox() == nullptr &&
                m_window->lampOn());
    const auto radioValue = [&](int p) { return m_sim->radio().peValue({p / 9, p % 9 / 3, p % 3}); };
    for (int p = 0; p < 27; ++p) EXPECT_EQ(model().shown(p / 9)[p % 9], radioValue(p)) << p;
    // A connected step: the set command and its read-back, then the display follows.
    const int level = m_sim->radio().peValue({0, 0, 1}) + 1;
    ASSERT_LE(level, 10);
    click(Eq1LevelUp);
    ASSERT_TRUE(m_sim->monitor().waitForCommand("PE001" + sim::formatPeValue({0, 0, 1}, level) + ";", kLong));
    EXPECT_TRUE(test::processEventsUntil([&] { return text(Eq1LevelValue) == QStringLiteral("%1 dB").arg(level); }, kLong));

    m_sim->radio().powerOff();
    ASSERT_TRUE(test::processEventsUntil([&] { return m_status.back().endsWith("Transceiver switched off"); }, kLong));
    m_sim->radio().powerOn();
    ASSERT_TRUE(test::processEventsUntil([&] { return m_status.back().endsWith("|   Connected"); }, kLong));
    const QString port = "COM1   |   " + QString::fromStdString(m_sim->devicePath()) + "   |   38400 baud   |   ";
    QStringList states;  // the status line's link states, without the port part they start with
    for (const QString& line : m_status) states << (line.startsWith(port) ? line.mid(port.size()) : line);
    EXPECT_EQ(states.join(", "),
              "Offline, Connecting, Waiting for identification, Connected, Transceiver switched off, Connected");
}

// EQ2 of set F starts at 1000 Hz, +3 dB; its table ends at 1500 Hz, so a drag towards
// 2000 Hz stops there. At 4800 baud the drag outruns the line by far.
TEST_F(LinkEndToEnd, AFastDragKeepsOnePairPerValueOnTheLineEndsOnTheFinalValueAndCancelUndoesIt) {
    start(0ms, false, 4800);
    click(ComButton);
    ASSERT_TRUE(test::processEventsUntil([&] { return model().connected() && model().pendingReplies() == 0; }, kLong));
    const auto eq2Is = [&](int freq, int level, const char* freqText, const char* levelText) {
        return m_sim->radio().peValue({0, 1, 0}) == freq && m_sim->radio().peValue({0, 1, 1}) == level &&
               text(Eq2FreqValue) == freqText && text(Eq2LevelValue) == levelText;
    };
    QWidget* graph = m_window->findChild<CGraphEditor*>(QStringLiteral("graph_editor"));
    const auto point = [&](double hertz, double db) {
        return graph->mapTo(m_window.get(), QPointF(graphX(hertz), graphY(db)).toPoint());
    };
    ASSERT_TRUE(eq2Is(4, 3, "1000 Hz", "3 dB"));
    m_sim->monitor().clear();
    QWindow* window = m_window->windowHandle();
    QTest::mousePress(window, Qt::LeftButton, {}, point(1000, 3));
    int moves = 0;  // to 2000 Hz, back to 500 Hz and to 2000 Hz again, rising to +8 dB
    for (const auto& leg : {std::pair(1000.0, 2000.0), std::pair(2000.0, 500.0), std::pair(500.0, 2000.0)}) {
        for (int i = 1; i <= 20; ++i) {
            QTest::mouseMove(window, point(leg.first * std::pow(leg.second / leg.first, i / 20.0), 3 + moves++ * 5.0 / 60));
        }
    }
    QTest::mouseRelease(window, Qt::LeftButton, {}, point(2000, 8));
    ASSERT_TRUE(test::processEventsUntil([&] { return eq2Is(9, 8, "1500 Hz", "8 dB"); }, kLong));
    std::map<std::string, int> readsOut;  // per value: no set command while a read of it is unanswered
    for (const sim::WireLogEntry& entry : m_sim->monitor().log()) {
        const std::string value = entry.bytes.substr(0, 5);
        if (entry.bytes.rfind("PE", 0) != 0) continue;
        if (entry.direction == sim::WireDirection::FromTransceiver) readsOut[value] = std::max(0, readsOut[value] - 1);
        else if (entry.bytes.size() == 6) ++readsOut[value];
        else EXPECT_EQ(readsOut[value], 0) << entry.time.count() << " ms: " << entry.bytes;
    }
    click(CancelButton);
    EXPECT_TRUE(test::processEventsUntil([&] { return eq2Is(4, 3, "1000 Hz", "3 dB"); }, kLong)) << "back to the reference";
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
    ASSERT_TRUE(test::processEventsUntil([&] { return answers.finished(); }, kLong));
    EXPECT_TRUE(notice.startsWith("Failed to connect the COM port.|Offline|free|No ZR-4700 answered on COM1 (" +
                                  QString::fromStdString(m_sim->devicePath()) +
                                  ") at 38400 baud. Check that the transceiver is switched on and set to 38400 baud"))
        << notice.toStdString();
    EXPECT_TRUE(!model().connected() && !m_window->lampOn());
}

}  // namespace
}  // namespace tqm

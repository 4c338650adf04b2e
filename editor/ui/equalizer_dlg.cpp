#include "editor/ui/equalizer_dlg.h"

#include <thread>

#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtGui/QPixmap>
#include <QtWidgets/QLabel>

#include "editor/graph_palette.h"
#include "editor/step_table.h"
#include "editor/string_table.h"
#include "editor/ui/baud_rate_dlg.h"
#include "editor/ui/color_group_box.h"
#include "editor/ui/color_static.h"
#include "editor/ui/com_select_dlg.h"
#include "editor/ui/control_id.h"
#include "editor/ui/graph_static.h"
#include "editor/ui/notice_box.h"
#include "editor/ui/ports_dlg.h"
#include "editor/ui/qt_text.h"
#include "editor/ui/resource_init.h"
#include "editor/ui/setting_file_actions.h"
#include "editor/ui/splash_dlg.h"
#include "editor/ui/step_button.h"
#include "editor/ui/version_dlg.h"
#include "editor/ui/voice_dlg.h"
#include "protocol/trx_state.h"
#include "serial/sio_port.h"
#include "ui_equalizer_dlg.h"

namespace tqm {
namespace {

constexpr std::chrono::milliseconds kCommandPacing{25};
constexpr int kPollRestart = 9;
// Poll ticks (50 ms) a reply count may stand still before the poll reads again.
constexpr int kPollWaitTicks = 40;

const char* const kLampOnBitmap = ":/bitmaps/923";
const char* const kLampOffBitmap = ":/bitmaps/924";

// Setup > COM Select and Setup > Baud rate.
template <typename Dialog>
void runPortDialog(CEqualizerDlg& window) {
    Dialog dialog(window.model().currentSet(), &window);
    dialog.exec();
}

// Setup > Ports...
void runPortsDialog(CEqualizerDlg& window) {
    CPortsDlg dialog(&window);
    dialog.exec();
}

void showVersion(CEqualizerDlg& window) {
    CVersionDlg version(&window);
    version.exec();
}

}  // namespace

// The command buttons act at the release; APPLI, COM, FILE LOAD and FILE SAVE have
// stopped the poll at the press and start it again after their action.
const CEqualizerDlg::ButtonEntry CEqualizerDlg::s_buttonMap[] = {
    {kCancelCode, &CEqualizerDlg::onCancelButton, nullptr},
    {kExitCode, &CEqualizerDlg::onExitButton, nullptr},
    {kApplyCode, &CEqualizerDlg::onCommandButton, [](CEqualizerDlg& window) { window.m_model.acceptShown(); }},
    {kComCode, &CEqualizerDlg::onCommandButton, [](CEqualizerDlg& window) { window.m_link.onComAction(); }},
    {kFileLoadCode, &CEqualizerDlg::onCommandButton,
     [](CEqualizerDlg& window) { fileLoad(window, window.m_model); }},
    {kFileSaveCode, &CEqualizerDlg::onCommandButton,
     [](CEqualizerDlg& window) { fileSave(window, window.m_model); }},
};

// The window's own timers, each a QTimer named "timer_<id>".
const std::array<CEqualizerDlg::TimerEntry, CEqualizerDlg::kTimerCount> CEqualizerDlg::s_timerMap = {{
    {TIMER_SPLASH, &CEqualizerDlg::onSplashTimer},
    {TIMER_CONNECT, &CEqualizerDlg::onConnectTimer},
    {TIMER_REPAINT, &CEqualizerDlg::onRepaintTimer},
    {TIMER_PARAM_POLL, &CEqualizerDlg::onPollTimer},
    {TIMER_AUTO_REPEAT, &CEqualizerDlg::onRepeatTimer},
    {TIMER_CANCEL, &CEqualizerDlg::onCancelTimer},
}};

CEqualizerDlg::CEqualizerDlg(CommandSink& sink, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_model(sink, this),
      m_link(m_model, *this) {
    ensureResources();
    Ui::EqualizerDlg().setupUi(this);
    setFixedSize(size());
    m_controls = EqualizerControls::find(*this);
    m_statusLine = &requireControl<QLabel>(*this, ControlId::StatusLine);
    m_controls.graph->setPicture(m_graph.picture(), kGraphWidth, kGraphHeight);
    m_graphEditor = new CGraphEditor(*m_controls.graph, m_model, *this);
    setUpTimers();
    setUpMenu();
    MainWindowLink().publish(&m_messages);
}

CEqualizerDlg::~CEqualizerDlg() {
    // Nothing reaches the window once it has retracted itself.
    MainWindowLink().retract();
    for (QTimer* each : m_timers) each->stop();
    // The graph editor works on the model, which goes before the window's children.
    delete m_graphEditor;
}

void CEqualizerDlg::setUpTimers() {
    for (std::size_t i = 0; i < s_timerMap.size(); ++i) {
        const TimerEntry& entry = s_timerMap[i];
        auto* each = new QTimer(this);
        each->setObjectName(QStringLiteral("timer_%1").arg(entry.id));
        each->setInterval(timerPeriod(entry.id));
        each->setTimerType(Qt::PreciseTimer);
        connect(each, &QTimer::timeout, this, entry.handler);
        m_timers[i] = each;
    }
}

void CEqualizerDlg::setUpMenu() {
    using enum ControlId;
    const auto onMenu = [this](ControlId id, auto slot) {
        connect(&requireControl<QAction>(*this, id), &QAction::triggered, this, slot);
    };
    onMenu(MenuExit, &CEqualizerDlg::reject);
    onMenu(MenuComSelect, [this] { runAction(&runPortDialog<CComSelectDlg>); });
    onMenu(MenuBaudRate, [this] { runAction(&runPortDialog<CBaudRateDlg>); });
    onMenu(MenuPorts, [this] { runAction(&runPortsDialog); });
    onMenu(MenuSetF, [this] { selectSet(0); });
    onMenu(MenuSetR, [this] { selectSet(1); });
    onMenu(MenuSetP, [this] { selectSet(2); });
    onMenu(MenuVersion, [this] { showVersion(*this); });
    setUpVoice();
}

void CEqualizerDlg::setUpVoice() {
    using enum ControlId;
    m_controls.graph->setOverlay(
        [this](QPainter& painter) { m_voice.paint(painter, m_model.shown(m_model.currentSet())); });
    const auto onSwitch = [this](ControlId id, void (VoiceOverlay::*show)(bool)) {
        connect(&requireControl<QAction>(*this, id), &QAction::toggled, this, [this, show](bool on) {
            (m_voice.*show)(on);
            m_controls.graph->update();
        });
    };
    onSwitch(MenuVoiceSpectrum, &VoiceOverlay::setSpectrumShown);
    onSwitch(MenuVoiceProduct, &VoiceOverlay::setProductShown);
    connect(&requireControl<QAction>(*this, MenuVoice), &QAction::triggered, this,
            [this] { runAction([](CEqualizerDlg& window) { window.runVoiceDialog(); }); });
}

void CEqualizerDlg::runVoiceDialog() {
    {
        CVoiceDlg dialog(m_model, m_voice, [this] {
            m_model.updateAllBandTexts();
            showGraph();
        }, this);
        const ControlId switches[] = {ControlId::MenuVoiceSpectrum, ControlId::MenuVoiceProduct};
        for (const ControlId id : switches) dialog.addSwitch(requireControl<QAction>(*this, id));
        connect(&dialog, &CVoiceDlg::voiceChanged, this, [this, switches] {
            for (const ControlId id : switches) requireControl<QAction>(*this, id).setEnabled(true);
        });
        dialog.exec();
    }
    // The target went with the dialog.
    showGraph();
}

void CEqualizerDlg::initialise(const StartOptions& options) {
    m_options = options;
    m_initialised = true;
    if (options.showSplash) runSplash();
    if (m_options.startEngine) {
        m_options.startEngine();
    } else {
        Trx_StateGuard().initialise();
    }
    setColours();
    setUpButtons();
    setWindowTitle(toQString(kWindowTitle));
    startModel();
    updateStatusLine();
    armTimer(TIMER_REPAINT);
}

int CEqualizerDlg::exec() {
    if (!m_initialised) initialise(StartOptions{});
    return QDialog::exec();
}

void CEqualizerDlg::runSplash() {
    CSplashDlg splash(this);
    m_splash = &splash;
    armTimer(TIMER_SPLASH);
    m_splashResult = splash.exec();
    m_splash = nullptr;
}

void CEqualizerDlg::setColours() {
    for (std::size_t band = 0; band < m_controls.bands.size(); ++band) {
        const QColor colour = QColor::fromRgba(kBandColours[band]);
        const BandControls& controls = m_controls.bands[band];
        controls.frame->setTextColor(colour);
        for (CColorStatic* label : controls.rowLabels) label->setTextColor(colour);
        for (CColorStatic* value : controls.values) value->setBackgroundColor(Qt::white);
    }
}

void CEqualizerDlg::setUpButtons() {
    for (std::size_t i = 0; i < m_controls.buttons.size(); ++i) {
        m_controls.buttons[i]->setCode(EqualizerControls::kFirstButtonCode + static_cast<std::int32_t>(i));
        m_controls.buttons[i]->setOwner(&m_messages);
    }
}

void CEqualizerDlg::startModel() {
    m_model.setConnected(Trx_StateGuard().get(StateField::AutoInfo) != 0);
    m_model.setActiveBand(1);
    m_model.setPendingReplies(0);
    m_model.setReloadScope(EqualizerModel::kAllSets);
    m_model.reloadFromState();
    m_model.updateCaptions();
    m_cancelBusy = false;
}

void CEqualizerDlg::reject() {
    stopPoll();
    disarmTimer(TIMER_REPAINT);
    QDialog::reject();
}

void CEqualizerDlg::paintEvent(QPaintEvent* event) {
    // Every repaint is followed by a full repaint of the graph, the texts and the lamp.
    if (!isMinimized()) armTimer(TIMER_REPAINT);
    QDialog::paintEvent(event);
}

void CEqualizerDlg::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) armTimer(TIMER_REPAINT);
    QDialog::changeEvent(event);
}

// --- timers ---------------------------------------------------------------

QTimer* CEqualizerDlg::timer(TimerId id) const {
    for (std::size_t i = 0; i < s_timerMap.size(); ++i) {
        if (s_timerMap[i].id == id) return m_timers[i];
    }
    return nullptr;
}

void CEqualizerDlg::armTimer(TimerId id) { timer(id)->start(); }

void CEqualizerDlg::disarmTimer(TimerId id) { timer(id)->stop(); }

void CEqualizerDlg::onSplashTimer() {
    disarmTimer(TIMER_SPLASH);
    if (m_splash != nullptr) m_splash->closeSplash();
}

void CEqualizerDlg::onConnectTimer() { m_link.onConnectTimer(); }

void CEqualizerDlg::onRepaintTimer() {
    disarmTimer(TIMER_REPAINT);
    if (m_graph.isBusy()) return;
    setLamp(m_model.connected());
    m_model.updateAllBandTexts();
    showGraph();
    updateStatusLine();
}

void CEqualizerDlg::onPollTimer() {
    // While a full read or an apply is answered, the replies are being counted: a poll
    // reply would be counted with them and end the wait before the last value is in.
    // When the count stands still for kPollWaitTicks a reply was lost on the line, and
    // the poll reads again: its replies finish the count.
    const int pending = m_model.pendingReplies();
    if (pending == 0) {
        m_pollWaitPending = 0;  // the next count is waited for afresh
        m_pollWaitTicks = 0;
    } else {
        if (pending != m_pollWaitPending) {
            m_pollWaitPending = pending;
            m_pollWaitTicks = 0;
        }
        if (++m_pollWaitTicks < kPollWaitTicks) return;
    }
    if (m_pollIndex == kPollRestart) m_pollIndex = 0;
    m_model.readParameter(m_model.currentSet(), m_pollIndex);
    pause(kCommandPacing);
    ++m_pollIndex;
}

void CEqualizerDlg::onRepeatTimer() { m_model.step(m_lastButton); }

void CEqualizerDlg::onCancelTimer() {
    disarmTimer(TIMER_CANCEL);
    if (m_model.connected()) {
        m_model.reloadFromState();
        m_model.updateAllBandTexts();
        showGraph();
    }
    startPoll();
    m_cancelBusy = false;
}

// --- buttons and menu -----------------------------------------------------

void CEqualizerDlg::onButtonEvent(int code, bool pressed) {
    m_lastButton = code;
    if (findStepRule(code)) {
        onStepButton(pressed);
        return;
    }
    for (const ButtonEntry& entry : s_buttonMap) {
        if (entry.code == code) {
            (this->*entry.handler)(pressed, entry.action);
            return;
        }
    }
}

void CEqualizerDlg::onStepButton(bool pressed) {
    if (pressed) {
        stopPoll();
        m_model.step(m_lastButton);
        armTimer(TIMER_AUTO_REPEAT);
    } else {
        disarmTimer(TIMER_AUTO_REPEAT);
        startPoll();
    }
}

void CEqualizerDlg::onCancelButton(bool pressed, Action) {
    if (m_cancelBusy) return;
    if (pressed) {
        stopPoll();
        return;
    }
    if (m_model.pendingReplies() == 0) m_model.applyReference();
    armTimer(TIMER_CANCEL);
    m_cancelBusy = true;
}

void CEqualizerDlg::onExitButton(bool pressed, Action) {
    if (!pressed) reject();
}

void CEqualizerDlg::onCommandButton(bool pressed, Action action) {
    if (pressed) {
        stopPoll();
    } else {
        finishAction(action);
    }
}

void CEqualizerDlg::runAction(Action action) {
    stopPoll();
    finishAction(action);
}

void CEqualizerDlg::finishAction(Action action) {
    action(*this);
    // A port dialog may have changed the port, its device or the line speed.
    updateStatusLine();
    startPoll();
}

void CEqualizerDlg::selectSet(int set) {
    drawEmptyGraph();
    m_model.selectSet(set);
    armTimer(TIMER_REPAINT);
}

// --- poll -----------------------------------------------------------------

void CEqualizerDlg::startPoll() {
    if (!m_model.connected()) return;
    m_pollIndex = kPollRestart;
    m_pollWaitPending = 0;
    m_pollWaitTicks = 0;
    armTimer(TIMER_PARAM_POLL);
}

void CEqualizerDlg::stopPoll() {
    disarmTimer(TIMER_PARAM_POLL);
    pause(kCommandPacing);
}

// --- what the model and the link handling show ----------------------------

void CEqualizerDlg::showBandTexts(int band, const BandTexts& texts) {
    const auto& values = m_controls.bands[static_cast<std::size_t>(band)].values;
    values[0]->setText(toQString(texts.freq));
    values[1]->setText(toQString(texts.level));
    values[2]->setText(toQString(texts.bwth));
}

void CEqualizerDlg::showCaptions(const std::array<std::string_view, kEqualizerBands>& captions) {
    for (std::size_t band = 0; band < captions.size(); ++band) {
        m_controls.bands[band].frame->setTitle(toQString(captions[band]));
    }
}

void CEqualizerDlg::showGraph() { paintGraph(true); }

void CEqualizerDlg::drawEmptyGraph() { paintGraph(false); }

// Draws a fresh picture (the grid, and with curves the current set's curves with the
// active band on top) and shows it; nothing while another drawing is open.
void CEqualizerDlg::paintGraph(bool withCurves) {
    // The graph is drawn at the density of the screen the window is on.
    const double ratio = m_controls.graph->devicePixelRatioF();
    if (ratio != m_graph.scale() && m_graph.setScale(ratio)) {
        m_controls.graph->setPicture(m_graph.picture(), m_graph.width(), m_graph.height(), m_graph.scale());
    }
    if (!m_graph.open()) return;
    if (withCurves) m_graph.drawCurves(m_model.shown(m_model.currentSet()), m_model.activeBand());
    m_graph.close();
    m_controls.graph->update();
    m_graphEditor->setHandlesShown(withCurves);
}

void CEqualizerDlg::scheduleRepaint() { armTimer(TIMER_REPAINT); }

void CEqualizerDlg::setLamp(bool on) {
    if (on == m_lampOn && !m_controls.lamp->pixmap().isNull()) return;
    m_lampOn = on;
    m_controls.lamp->setPixmap(QPixmap(on ? kLampOnBitmap : kLampOffBitmap));
}

void CEqualizerDlg::runConnectingBox() {
    CConnectingDlg box(this);
    m_connectingBox = &box;
    box.exec();
    m_connectingBox = nullptr;
}

void CEqualizerDlg::closeConnectingBox() {
    if (m_connectingBox) m_connectingBox->closeByWindow();
}

void CEqualizerDlg::showNotice(int stringId) { showNoticeBox(this, stringId); }

void CEqualizerDlg::showLinkState(LinkState state) {
    m_linkState = state;
    updateStatusLine();
}

void CEqualizerDlg::updateStatusLine() {
    const Sio_Port port;
    // One arg() for all: a '%' in a device path is not a place for the next value.
    const QString text = QStringLiteral("COM%1   |   %2   |   %3 baud   |   %4")
                             .arg(QString::number(port.portNumber()), QString::fromStdString(port.devicePath()),
                                  QString::number(port.baudRate()), toQString(linkStateText(m_linkState)));
    // Only a change repaints: the repaint of the window re-arms the full repaint.
    if (m_statusLine->text() != text) m_statusLine->setText(text);
}

void CEqualizerDlg::startConnectTimer() { armTimer(TIMER_CONNECT); }

void CEqualizerDlg::stopConnectTimer() { disarmTimer(TIMER_CONNECT); }

void CEqualizerDlg::pause(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

}  // namespace tqm

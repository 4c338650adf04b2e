#include "editor/ui/equalizer_dlg.h"

#include <thread>

#include <QtCore/QCoreApplication>
#include <QtCore/QThread>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtGui/QPixmap>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>

#include "editor/step_table.h"
#include "editor/ui/color_group_box.h"
#include "editor/ui/color_static.h"
#include "editor/ui/graph_static.h"
#include "editor/ui/splash_dlg.h"
#include "editor/ui/step_button.h"
#include "editor/ui/qt_text.h"
#include "editor/ui/resource_init.h"
#include "editor/ui/version_dlg.h"
#include "protocol/trx_state.h"
#include "ui_equalizer_dlg.h"

namespace tqm {
namespace {

constexpr std::chrono::milliseconds kCommandPacing{25};
constexpr int kPollRestart = 9;
// Poll ticks (50 ms) a reply count may stand still before the poll reads again.
constexpr int kPollWaitTicks = 40;
constexpr int kLastButtonCode = 27;

// Button codes of the command buttons.
constexpr int kCancelCode = 22;
constexpr int kExitCode = 23;
constexpr int kApplyCode = 24;
constexpr int kComCode = 25;
constexpr int kFileLoadCode = 26;
constexpr int kFileSaveCode = 27;

struct CommandButton {
    int controlId;
    int code;
};
constexpr CommandButton kCommandButtons[] = {
    {1026, kCancelCode}, {1172, kExitCode},     {1114, kApplyCode},
    {1167, kComCode},    {1027, kFileLoadCode}, {1028, kFileSaveCode},
};

// One band's frame and row labels, drawn in the band's colour.
struct BandColours {
    int groupBox;
    std::array<int, 3> rowLabels;
    QRgb colour;
};
constexpr BandColours kBandColours[] = {
    {1082, {1074, 1075, 1080}, qRgb(255, 0, 0)},
    {1097, {1087, 1088, 1093}, qRgb(0, 0, 255)},
    {1110, {1100, 1101, 1106}, qRgb(0, 255, 0)},
};
constexpr int kValueStatics[] = {1076, 1077, 1081, 1089, 1090, 1094, 1102, 1103, 1107};

constexpr int kLampControl = 1171;
const char* const kLampOnBitmap = ":/bitmaps/923";
const char* const kLampOffBitmap = ":/bitmaps/924";

// Menu 130.
constexpr int kMenuExit = 32779;
constexpr int kMenuComSelect = 32780;
constexpr int kMenuBaudRate = 32781;
constexpr int kMenuSetF = 32782;
constexpr int kMenuVersion = 32785;

QString controlName(int id) { return QStringLiteral("id_%1").arg(id); }

QEvent::Type messageEventType() {
    static const auto s_type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return s_type;
}

}  // namespace

// A window message travelling to the window's thread, with the ticket of a send.
class CEqualizerDlg::MessageEvent final : public QEvent {
public:
    MessageEvent(const Message& message, std::shared_ptr<SendTicket> ticket)
        : QEvent(messageEventType()), m_message(message), m_ticket(std::move(ticket)) {}

    const Message& message() const { return m_message; }
    void complete() {
        if (m_ticket) m_ticket->complete();
        m_ticket.reset();
    }

private:
    Message m_message;
    std::shared_ptr<SendTicket> m_ticket;
};

const CEqualizerDlg::MessageEntry CEqualizerDlg::s_messageMap[] = {
    {UWM_BUTTON_EVENT, &CEqualizerDlg::onButtonEvent},
    {UWM_COM_FAILED, &CEqualizerDlg::onLinkMessage},
    {UWM_POWER_ON, &CEqualizerDlg::onLinkMessage},
    {UWM_REPLY_ID, &CEqualizerDlg::onLinkMessage},
    {UWM_REPLY_PS, &CEqualizerDlg::onLinkMessage},
    {UWM_REPLY_PE, &CEqualizerDlg::onLinkMessage},
    {UWM_REPLY_AI, &CEqualizerDlg::onLinkMessage},
};

const CEqualizerDlg::TimerEntry CEqualizerDlg::s_timerMap[] = {
    {TIMER_SPLASH, &CEqualizerDlg::onSplashTimer},     {TIMER_REPAINT, &CEqualizerDlg::onRepaintTimer},
    {TIMER_PARAM_POLL, &CEqualizerDlg::onPollTimer},   {TIMER_AUTO_REPEAT, &CEqualizerDlg::onRepeatTimer},
    {TIMER_CANCEL, &CEqualizerDlg::onCancelTimer},
};

const CEqualizerDlg::ButtonEntry CEqualizerDlg::s_buttonMap[] = {
    {kCancelCode, &CEqualizerDlg::onCancelButton},     {kExitCode, &CEqualizerDlg::onExitButton},
    {kApplyCode, &CEqualizerDlg::onApplyButton},       {kComCode, &CEqualizerDlg::onComButton},
    {kFileLoadCode, &CEqualizerDlg::onFileLoadButton}, {kFileSaveCode, &CEqualizerDlg::onFileSaveButton},
};

CEqualizerDlg::CEqualizerDlg(CommandSink& sink, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_ui(std::make_unique<Ui::EqualizerDlg>()),
      m_model(sink) {
    ensureResources();
    m_ui->setupUi(this);
    setFixedSize(size());
    attachControls();
    setUpTimers();
    setUpMenu();
    MainWindowLink().publish(this);
}

CEqualizerDlg::~CEqualizerDlg() {
    // Nothing reaches the window once it has retracted itself.
    MainWindowLink().retract();
    for (QTimer* each : m_timers) each->stop();
}

void CEqualizerDlg::attachControls() {
    m_graphControl = findChild<CGraphStatic*>(controlName(1071));
    m_graphControl->setPicture(m_graph.picture(), kGraphWidth, kGraphHeight);
    m_model.setView(this);
}

void CEqualizerDlg::setUpTimers() {
    for (std::size_t i = 0; i < kOwnTimers.size(); ++i) {
        const TimerId id = kOwnTimers[i];
        auto* each = new QTimer(this);
        each->setObjectName(QStringLiteral("timer_%1").arg(id));
        each->setInterval(timerPeriod(id));
        each->setTimerType(Qt::PreciseTimer);
        connect(each, &QTimer::timeout, this, [this, id] { onTimer(id); });
        m_timers[i] = each;
    }
}

void CEqualizerDlg::setUpMenu() {
    const auto action = [this](int id) { return findChild<QAction*>(controlName(id)); };
    connect(action(kMenuExit), &QAction::triggered, this, &CEqualizerDlg::reject);
    connect(action(kMenuComSelect), &QAction::triggered, this,
            [this] { runAction(m_options.comSelectDialog); });
    connect(action(kMenuBaudRate), &QAction::triggered, this,
            [this] { runAction(m_options.baudRateDialog); });
    for (int set = 0; set < kEqualizerSets; ++set) {
        connect(action(kMenuSetF + set), &QAction::triggered, this, [this, set] { selectSet(set); });
    }
    connect(action(kMenuVersion), &QAction::triggered, this, &CEqualizerDlg::showVersion);
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
    setWindowTitle(QStringLiteral("TQM-4700 Parametric Equalizer Control"));
    startModel();
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
    for (const BandColours& band : kBandColours) {
        const QColor colour = QColor::fromRgb(band.colour);
        findChild<CColorGroupBox*>(controlName(band.groupBox))->setTextColor(colour);
        for (int label : band.rowLabels) findChild<CColorStatic*>(controlName(label))->setTextColor(colour);
    }
    for (int id : kValueStatics) findChild<CColorStatic*>(controlName(id))->setBackgroundColor(Qt::white);
}

void CEqualizerDlg::setUpButtons() {
    const auto attach = [this](int controlId, int code) {
        auto* button = findChild<CStepButton*>(controlName(controlId));
        button->setCode(code);
        button->setOwner(this);
    };
    for (const StepRule& rule : kStepRules) attach(rule.buttonId, rule.code);
    for (const CommandButton& button : kCommandButtons) attach(button.controlId, button.code);
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

void CEqualizerDlg::deliver(const Message& message, std::shared_ptr<SendTicket> ticket) {
    QCoreApplication::postEvent(this, new MessageEvent(message, std::move(ticket)));
}

bool CEqualizerDlg::isWindowThread() const { return QThread::currentThread() == thread(); }

void CEqualizerDlg::handleNow(const Message& message) {
    for (const MessageEntry& entry : s_messageMap) {
        if (entry.id == message.id) {
            (this->*entry.handler)(message);
            return;
        }
    }
}

void CEqualizerDlg::customEvent(QEvent* event) {
    if (event->type() != messageEventType()) {
        QDialog::customEvent(event);
        return;
    }
    auto* messageEvent = static_cast<MessageEvent*>(event);
    handleNow(messageEvent->message());
    messageEvent->complete();
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
    for (std::size_t i = 0; i < kOwnTimers.size(); ++i) {
        if (kOwnTimers[i] == id) return m_timers[i];
    }
    return nullptr;
}

void CEqualizerDlg::armTimer(TimerId id) { timer(id)->start(); }

void CEqualizerDlg::disarmTimer(TimerId id) { timer(id)->stop(); }

void CEqualizerDlg::onTimer(TimerId id) {
    for (const TimerEntry& entry : s_timerMap) {
        if (entry.id == id) {
            (this->*entry.handler)();
            return;
        }
    }
}

void CEqualizerDlg::onSplashTimer() {
    disarmTimer(TIMER_SPLASH);
    if (m_splash != nullptr) m_splash->closeSplash();
}

void CEqualizerDlg::onRepaintTimer() {
    disarmTimer(TIMER_REPAINT);
    if (!m_graph.open()) return;
    drawLamp(m_model.connected());
    showAllBandTexts();
    m_graph.drawCurves(m_model.shown(m_model.currentSet()), m_model.activeBand());
    m_graph.close();
    m_graphControl->update();
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
    pace();
    ++m_pollIndex;
}

void CEqualizerDlg::onRepeatTimer() { m_model.step(m_lastButton); }

void CEqualizerDlg::onCancelTimer() {
    disarmTimer(TIMER_CANCEL);
    if (m_model.connected()) {
        m_model.reloadFromState();
        const bool opened = m_graph.open();
        showAllBandTexts();
        if (opened) {
            m_graph.drawCurves(m_model.shown(m_model.currentSet()), m_model.activeBand());
            m_graph.close();
            m_graphControl->update();
        }
    }
    startPoll();
    m_cancelBusy = false;
}

// --- buttons --------------------------------------------------------------

void CEqualizerDlg::onButtonEvent(const Message& message) {
    const int code = static_cast<int>(message.wParam);
    const bool pressed = message.lParam != 0;
    m_lastButton = code;
    if (findStepRule(code)) {
        onStepButton(pressed);
        return;
    }
    for (const ButtonEntry& entry : s_buttonMap) {
        if (entry.code == code) {
            (this->*entry.handler)(pressed);
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

void CEqualizerDlg::onCancelButton(bool pressed) {
    if (m_cancelBusy) return;
    if (pressed) {
        stopPoll();
        return;
    }
    if (m_model.pendingReplies() == 0) m_model.applyReference();
    armTimer(TIMER_CANCEL);
    m_cancelBusy = true;
}

void CEqualizerDlg::onExitButton(bool pressed) {
    if (!pressed) reject();
}

void CEqualizerDlg::onApplyButton(bool pressed) {
    if (pressed) {
        stopPoll();
        return;
    }
    m_model.acceptShown();
    startPoll();
}

// COM, FILE LOAD and FILE SAVE: the poll stops at the press; the action runs at the
// release, inside the poll's stop and start.
void CEqualizerDlg::onComButton(bool pressed) { onActionButton(pressed, m_options.comAction); }
void CEqualizerDlg::onFileLoadButton(bool pressed) { onActionButton(pressed, m_options.fileLoadAction); }
void CEqualizerDlg::onFileSaveButton(bool pressed) { onActionButton(pressed, m_options.fileSaveAction); }

void CEqualizerDlg::onActionButton(bool pressed, const std::function<void()>& action) {
    if (pressed) {
        stopPoll();
        return;
    }
    if (action) action();
    startPoll();
}

void CEqualizerDlg::onLinkMessage(const Message& message) {
    if (m_options.linkMessage) m_options.linkMessage(message);
}

// --- poll, lamp, graph ----------------------------------------------------

void CEqualizerDlg::startPoll() {
    if (!m_model.connected()) return;
    m_pollIndex = kPollRestart;
    m_pollWaitPending = 0;
    m_pollWaitTicks = 0;
    armTimer(TIMER_PARAM_POLL);
}

void CEqualizerDlg::stopPoll() {
    disarmTimer(TIMER_PARAM_POLL);
    pace();
}

void CEqualizerDlg::pace() { std::this_thread::sleep_for(kCommandPacing); }

void CEqualizerDlg::drawLamp(bool on) {
    auto* lamp = findChild<QLabel*>(controlName(kLampControl));
    if (on == m_lampOn && !lamp->pixmap().isNull()) return;
    m_lampOn = on;
    lamp->setPixmap(QPixmap(on ? kLampOnBitmap : kLampOffBitmap));
}

bool CEqualizerDlg::drawEmptyGraph() {
    if (!m_graph.open()) return false;
    m_graph.close();
    m_graphControl->update();
    return true;
}

bool CEqualizerDlg::drawGraph() {
    if (!m_graph.open()) return false;
    m_graph.drawCurves(m_model.shown(m_model.currentSet()), m_model.activeBand());
    m_graph.close();
    m_graphControl->update();
    return true;
}

void CEqualizerDlg::showAllBandTexts() {
    for (int band = kEqualizerBands - 1; band >= 0; --band) m_model.updateBandTexts(band);
}

// --- EqualizerView --------------------------------------------------------

void CEqualizerDlg::setControlText(int controlId, std::string_view text) {
    QWidget* control = findChild<QWidget*>(controlName(controlId));
    if (auto* box = qobject_cast<QGroupBox*>(control)) {
        box->setTitle(toQString(text));
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(toQString(text));
    }
}

void CEqualizerDlg::redrawGraph() { drawGraph(); }

void CEqualizerDlg::scheduleRepaint() { armTimer(TIMER_REPAINT); }

// --- menu -----------------------------------------------------------------

void CEqualizerDlg::selectSet(int set) {
    drawEmptyGraph();
    m_model.selectSet(set);
    armTimer(TIMER_REPAINT);
}

void CEqualizerDlg::showVersion() {
    CVersionDlg version(this);
    version.exec();
}

void CEqualizerDlg::runAction(const std::function<void()>& action) {
    stopPoll();
    if (action) action();
    startPoll();
}

}  // namespace tqm

#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <memory>

#include <QtCore/QEvent>
#include <QtWidgets/QDialog>

#include "editor/command_sink.h"
#include "editor/equalizer_model.h"
#include "editor/equalizer_view.h"
#include "editor/response_graph.h"
#include "editor/ui/window_messages.h"
#include "editor/ui/window_timers.h"
#include "platform/main_window_link.h"
#include "protocol/protocol_messages.h"
#include "serial/serial_messages.h"

class QTimer;

namespace Ui {
class EqualizerDlg;
}

namespace tqm {

class CColorGroupBox;
class CColorStatic;
class CGraphStatic;
class CSplashDlg;

// The program's main window: the graph of the set being edited, the value
// statics and step buttons of the three bands, the command buttons and the
// connection lamp. It owns the equalizer model and the graph, runs its own
// timers, and takes window messages from every thread through the main-window link.
class CEqualizerDlg final : public QDialog, public WindowEndpoint, private EqualizerView {
    Q_OBJECT

public:
    // What the initialisation does besides setting up the window itself.
    struct StartOptions {
        bool showSplash = true;
        // Runs after the splash on the window's thread: initialises the transceiver
        // state, reads the COM settings, opens the port and starts the worker threads.
        // Null: the window initialises the state itself and runs offline.
        std::function<void()> startEngine;
        // Release actions of COM, FILE LOAD and FILE SAVE (the link handling and the
        // setting-file dialogs); the window stops the poll around each. Null: nothing.
        std::function<void()> comAction;
        std::function<void()> fileLoadAction;
        std::function<void()> fileSaveAction;
        // Setup > COM Select and Setup > Baud rate dialogs; the window stops the poll
        // around each. Null: nothing.
        std::function<void()> comSelectDialog;
        std::function<void()> baudRateDialog;
        // The link's window messages (UWM_COM_FAILED, UWM_POWER_ON, UWM_REPLY_*).
        // Null: they are ignored.
        std::function<void(const Message&)> linkMessage;
    };

    // Ids of the window's own timers, each a QTimer named "timer_<id>". The connection
    // time-out (TIMER_CONNECT) is the link handling's (CWindowLink), a child of the window.
    static constexpr std::array<TimerId, 5> kOwnTimers = {TIMER_SPLASH, TIMER_REPAINT, TIMER_PARAM_POLL,
                                                          TIMER_AUTO_REPEAT, TIMER_CANCEL};

    explicit CEqualizerDlg(CommandSink& sink, QWidget* parent = nullptr);
    ~CEqualizerDlg() override;

    // The window's initialisation: blocks on the splash (3 s) when it is shown.
    void initialise(const StartOptions& options);
    // Initialises with the default options unless initialise() ran, then runs the
    // window modally. Blocks until the window closes; the result is always Rejected.
    int exec() override;

    // The OK action (Enter): nothing.
    void accept() override {}
    // The cancel action (Esc, close box, File > Exit, EXIT): stop the poll and the
    // repaint, then close. Blocks 25 ms (the poll's pacing).
    void reject() override;

    // WindowEndpoint: messages from any thread to this window.
    void deliver(const Message& message, std::shared_ptr<SendTicket> ticket) override;
    bool isWindowThread() const override;
    // Handles the message at once; a step or command button's press blocks 25 ms
    // (the poll's pacing), and the hooked actions block as long as their dialogs.
    void handleNow(const Message& message) override;

    EqualizerModel& model() { return m_model; }
    const ResponseGraph& graph() const { return m_graph; }
    bool cancelBusy() const { return m_cancelBusy; }
    // The connection lamp as last drawn.
    bool lampOn() const { return m_lampOn; }

    // Poll of the current set's parameters while connected.
    void startPoll();
    // Blocks 25 ms after stopping the poll, to pace the commands.
    void stopPoll();
    // Draws the lamp yellow (link up) or grey.
    void drawLamp(bool on);
    // Opens and closes the graph with no curves; false while a drawing is open.
    bool drawEmptyGraph();
    // Draws the current set's curves, the active band on top; false while busy.
    bool drawGraph();
    // Starts the one-shot full repaint (TIMER_REPAINT, 100 ms).
    void scheduleRepaint() override;

protected:
    void customEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    class MessageEvent;
    using MessageHandler = void (CEqualizerDlg::*)(const Message&);
    using TimerHandler = void (CEqualizerDlg::*)();
    using ButtonHandler = void (CEqualizerDlg::*)(bool pressed);
    struct MessageEntry {
        MessageId id;
        MessageHandler handler;
    };
    struct TimerEntry {
        TimerId id;
        TimerHandler handler;
    };
    struct ButtonEntry {
        int code;
        ButtonHandler handler;
    };
    static const MessageEntry s_messageMap[];
    static const TimerEntry s_timerMap[];
    static const ButtonEntry s_buttonMap[];

    // EqualizerView
    void setControlText(int controlId, std::string_view text) override;
    void redrawGraph() override;

    void attachControls();
    void setColours();
    void setUpButtons();
    void setUpTimers();
    void setUpMenu();
    void startModel();
    void runSplash();
    QTimer* timer(TimerId id) const;
    void armTimer(TimerId id);
    void disarmTimer(TimerId id);
    void onTimer(TimerId id);
    void pace();
    void showAllBandTexts();

    void onButtonEvent(const Message& message);
    void onStepButton(bool pressed);
    void onCancelButton(bool pressed);
    void onExitButton(bool pressed);
    void onApplyButton(bool pressed);
    void onComButton(bool pressed);
    void onFileLoadButton(bool pressed);
    void onFileSaveButton(bool pressed);
    void onActionButton(bool pressed, const std::function<void()>& action);

    void onSplashTimer();
    void onRepaintTimer();
    void onPollTimer();
    void onRepeatTimer();
    void onCancelTimer();

    void selectSet(int set);
    void showVersion();
    void runAction(const std::function<void()>& action);
    void onLinkMessage(const Message& message);

    std::unique_ptr<Ui::EqualizerDlg> m_ui;
    EqualizerModel m_model;
    ResponseGraph m_graph;
    CGraphStatic* m_graphControl = nullptr;
    std::array<QTimer*, kOwnTimers.size()> m_timers{};
    CSplashDlg* m_splash = nullptr;
    bool m_initialised = false;
    StartOptions m_options;

    int m_lastButton = 0;
    int m_pollIndex = 9;
    // The poll waits while counted replies come in; these track how long the count
    // has stood still.
    int m_pollWaitTicks = 0;
    int m_pollWaitPending = 0;
    bool m_cancelBusy = false;
    bool m_lampOn = false;
    int m_splashResult = 0;
};

}  // namespace tqm

#pragma once

#include <array>
#include <chrono>
#include <functional>

#include <QtCore/QPointer>
#include <QtWidgets/QDialog>

#include "editor/command_sink.h"
#include "editor/equalizer_model.h"
#include "editor/equalizer_view.h"
#include "editor/link_handler.h"
#include "editor/link_view.h"
#include "editor/response_graph.h"
#include "editor/ui/connecting_dlg.h"
#include "editor/ui/equalizer_controls.h"
#include "editor/ui/graph_editor.h"
#include "editor/ui/voice_overlay.h"
#include "editor/ui/window_messages.h"
#include "editor/ui/window_timers.h"

class QLabel;
class QTimer;

namespace tqm {

class CSplashDlg;

// The program's main window: the graph of the set being edited, the value statics and
// step buttons of the three bands, the command buttons and the connection lamp, with
// the window's timers. It shows what the equalizer model and the link handling tell it,
// and acts on its buttons and menu. Window messages reach it through its adapter.
class CEqualizerDlg final : public QDialog, private EqualizerView, private LinkView, private GraphEditHost {
    Q_OBJECT

public:
    // What the initialisation does besides setting up the window itself.
    struct StartOptions {
        bool showSplash = true;
        // Runs after the splash on the window's thread: initialises the transceiver
        // state, reads the COM settings, opens the port and starts the worker threads.
        // Null: the window initialises the state itself and runs offline.
        std::function<void()> startEngine;
    };

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

    // A press or release of the button that sends this code (4..27). Blocks 25 ms on
    // the press of a step or command button (the poll's pacing), and while the action
    // of a release runs its boxes and dialogs.
    void onButtonEvent(int code, bool pressed);

    EqualizerModel& model() { return m_model; }
    LinkHandler& linkHandler() { return m_link; }
    bool cancelBusy() const { return m_cancelBusy; }
    // The connection lamp as last drawn.
    bool lampOn() const { return m_lampOn; }
    const VoiceOverlay& voiceOverlay() const { return m_voice; }
    // The connecting box while it is open, else null.
    CConnectingDlg* connectingBox() const { return m_connectingBox; }

    // The poll of the current set's parameters, while connected.
    void startPoll() override;
    // Blocks 25 ms after stopping the poll, to pace the commands.
    void stopPoll() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // What a command button or a menu item does, run inside the poll's stop and start.
    using Action = void (*)(CEqualizerDlg& window);
    using ButtonHandler = void (CEqualizerDlg::*)(bool pressed, Action action);
    using TimerHandler = void (CEqualizerDlg::*)();
    struct ButtonEntry {
        int code;
        ButtonHandler handler;
        Action action;
    };
    struct TimerEntry {
        TimerId id;
        TimerHandler handler;
    };
    static constexpr std::size_t kTimerCount = 6;
    static const ButtonEntry s_buttonMap[];
    static const std::array<TimerEntry, kTimerCount> s_timerMap;

    // EqualizerView
    void showBandTexts(int band, const BandTexts& texts) override;
    void showCaptions(const std::array<std::string_view, kEqualizerBands>& captions) override;
    void showGraph() override;
    void scheduleRepaint() override;

    // LinkView (besides the poll and the graph)
    void runConnectingBox() override;
    void closeConnectingBox() override;
    void showNotice(int stringId) override;
    void setLamp(bool on) override;
    void startConnectTimer() override;
    void stopConnectTimer() override;
    void drawEmptyGraph() override;
    void pause(std::chrono::milliseconds duration) override;
    void showLinkState(LinkState state) override;

    // GraphEditHost
    void beginGraphEdit() override { stopPoll(); }
    void endGraphEdit() override { startPoll(); }

    void setUpTimers();
    void setUpMenu();
    void setUpVoice();
    // View > Voice...: the Voice dialog, modal, with the poll resting. Blocks on it.
    void runVoiceDialog();
    void runSplash();
    void setColours();
    void setUpButtons();
    void startModel();
    QTimer* timer(TimerId id) const;
    void armTimer(TimerId id);
    void disarmTimer(TimerId id);
    void paintGraph(bool withCurves);
    // Writes the port in use and the link state under the buttons, when they changed.
    void updateStatusLine();

    void onSplashTimer();
    void onConnectTimer();
    void onRepaintTimer();
    void onPollTimer();
    void onRepeatTimer();
    void onCancelTimer();

    void onStepButton(bool pressed);
    void onCancelButton(bool pressed, Action action);
    void onExitButton(bool pressed, Action action);
    void onCommandButton(bool pressed, Action action);
    void runAction(Action action);
    void finishAction(Action action);
    void selectSet(int set);

    EqualizerControls m_controls;
    EqualizerModel m_model;
    LinkHandler m_link;
    ResponseGraph m_graph;
    CGraphEditor* m_graphEditor = nullptr;
    VoiceOverlay m_voice;
    std::array<QTimer*, kTimerCount> m_timers{};
    QLabel* m_statusLine = nullptr;
    LinkState m_linkState = LinkState::Offline;
    CSplashDlg* m_splash = nullptr;
    QPointer<CConnectingDlg> m_connectingBox;
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
    CWindowMessages m_messages{*this, m_link};
};

}  // namespace tqm

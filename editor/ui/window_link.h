#pragma once

#include <memory>

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include "editor/link_handler.h"
#include "editor/ui/connecting_dlg.h"
#include "editor/link_view.h"
#include "protocol/protocol_messages.h"
#include "serial/serial_messages.h"

class QTimer;

namespace tqm {

class CEqualizerDlg;

// The main window's side of the transceiver link in Qt: it shows the connecting box
// and the failure notices, runs the connection time-out (timer 22) and hands the
// link's window messages to the LinkHandler. User-interface thread only.
class CWindowLink final : public QObject, public LinkView {
    Q_OBJECT

public:
    explicit CWindowLink(CEqualizerDlg& window);
    ~CWindowLink() override;

    // The COM button's release action. Blocks while the connecting box is open.
    void comAction();
    // UWM_COM_FAILED, UWM_POWER_ON and the ID, PS, AI and PE notifications. Blocks
    // while a notice box is open.
    void linkMessage(const Message& message);

    LinkHandler& handler() { return m_handler; }
    // The connecting box while it is open, else null (for tests).
    CConnectingDlg* connectingBox() const { return m_box; }

    // LinkView
    void runConnectingBox() override;
    void closeConnectingBox() override;
    void showNotice(int stringId) override;
    void setLamp(bool on) override;
    void startConnectTimer() override;
    void stopConnectTimer() override;
    void startPoll() override;
    void stopPoll() override;
    void drawEmptyGraph() override;
    void drawGraph() override;
    void scheduleRepaint() override;
    void pause(std::chrono::milliseconds duration) override;

private:
    CEqualizerDlg& m_window;
    LinkHandler m_handler;
    QTimer* m_connectTimer = nullptr;
    QPointer<CConnectingDlg> m_box;
};

}  // namespace tqm

#pragma once

#include <memory>

#include <QtCore/QObject>

#include "platform/main_window_link.h"

namespace tqm {

class CEqualizerDlg;
class LinkHandler;

// The main window's end of the main-window link: it takes the window messages of every
// thread to the window's thread and hands each, in one step, to the code that acts on
// it. A button event goes to the window's button handling; UWM_COM_FAILED, UWM_POWER_ON
// and the ID, PS, AI and PE notifications go to the link handling. Every other message
// is dropped. The window publishes it.
class CWindowMessages final : public QObject, public WindowEndpoint {
    Q_OBJECT

public:
    CWindowMessages(CEqualizerDlg& window, LinkHandler& link);

    void deliver(const Message& message, std::shared_ptr<SendTicket> ticket) override;
    bool isWindowThread() const override;
    // Handles the message at once. Blocks as long as its handler: 25 ms on a step or
    // command button's press (the poll's pacing), and while a box or dialog it opens is up.
    void handleNow(const Message& message) override;

protected:
    void customEvent(QEvent* event) override;

private:
    class MessageEvent;

    CEqualizerDlg& m_window;
    LinkHandler& m_link;
};

}  // namespace tqm

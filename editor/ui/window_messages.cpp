#include "editor/ui/window_messages.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>
#include <QtCore/QThread>

#include "editor/link_handler.h"
#include "editor/ui/equalizer_dlg.h"
#include "protocol/protocol_messages.h"
#include "serial/serial_messages.h"

namespace tqm {
namespace {

QEvent::Type messageEventType() {
    static const auto s_type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return s_type;
}

using Route = void (*)(CEqualizerDlg& window, LinkHandler& link, const Message& message);

struct RouteEntry {
    MessageId id;
    Route route;
};

constexpr RouteEntry kRoutes[] = {
    {UWM_BUTTON_EVENT,
     [](CEqualizerDlg& window, LinkHandler&, const Message& message) {
         window.onButtonEvent(static_cast<int>(message.wParam), message.lParam != 0);
     }},
    {UWM_COM_FAILED,
     [](CEqualizerDlg&, LinkHandler& link, const Message& message) {
         link.onComFailed(message.wParam != 0, static_cast<int>(message.lParam));
     }},
    {UWM_POWER_ON, [](CEqualizerDlg&, LinkHandler& link, const Message&) { link.onPowerOn(); }},
    {UWM_REPLY_ID, [](CEqualizerDlg&, LinkHandler& link, const Message&) { link.onReplyId(); }},
    {UWM_REPLY_PS, [](CEqualizerDlg&, LinkHandler& link, const Message&) { link.onReplyPs(); }},
    {UWM_REPLY_PE,
     [](CEqualizerDlg&, LinkHandler& link, const Message& message) { link.onReplyPe(message.wParam); }},
    {UWM_REPLY_AI, [](CEqualizerDlg&, LinkHandler& link, const Message&) { link.onReplyAi(); }},
};

}  // namespace

// A window message travelling to the window's thread, with the ticket of a send.
class CWindowMessages::MessageEvent final : public QEvent {
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

CWindowMessages::CWindowMessages(CEqualizerDlg& window, LinkHandler& link) : m_window(window), m_link(link) {}

void CWindowMessages::deliver(const Message& message, std::shared_ptr<SendTicket> ticket) {
    QCoreApplication::postEvent(this, new MessageEvent(message, std::move(ticket)));
}

bool CWindowMessages::isWindowThread() const { return QThread::currentThread() == thread(); }

void CWindowMessages::handleNow(const Message& message) {
    for (const RouteEntry& entry : kRoutes) {
        if (entry.id == message.id) {
            entry.route(m_window, m_link, message);
            return;
        }
    }
}

void CWindowMessages::customEvent(QEvent* event) {
    if (event->type() != messageEventType()) {
        QObject::customEvent(event);
        return;
    }
    auto* messageEvent = static_cast<MessageEvent*>(event);
    handleNow(messageEvent->message());
    messageEvent->complete();
}

}  // namespace tqm

#include "editor/ui/window_link.h"

#include <thread>

#include <QtCore/QTimer>
#include <QtWidgets/QMessageBox>

#include "editor/string_table.h"
#include "editor/ui/connecting_dlg.h"
#include "editor/ui/equalizer_dlg.h"
#include "editor/ui/qt_text.h"
#include "serial/sio_port.h"

namespace tqm {

CWindowLink::CWindowLink(CEqualizerDlg& window)
    : QObject(&window), m_window(window), m_handler(window.model(), *this), m_connectTimer(new QTimer(this)) {
    m_connectTimer->setObjectName(QStringLiteral("timer_%1").arg(TIMER_CONNECT));
    m_connectTimer->setInterval(static_cast<int>(timerPeriod(TIMER_CONNECT).count()));
    connect(m_connectTimer, &QTimer::timeout, this, [this] { m_handler.onConnectTimer(); });
}

CWindowLink::~CWindowLink() = default;

void CWindowLink::comAction() { m_handler.onComAction(); }

void CWindowLink::linkMessage(const Message& message) {
    switch (message.id) {
    case UWM_COM_FAILED: m_handler.onComFailed(message.wParam != 0, static_cast<int>(message.lParam)); break;
    case UWM_POWER_ON: m_handler.onPowerOn(); break;
    case UWM_REPLY_ID: m_handler.onReplyId(); break;
    case UWM_REPLY_PS: m_handler.onReplyPs(); break;
    case UWM_REPLY_AI: m_handler.onReplyAi(); break;
    case UWM_REPLY_PE: m_handler.onReplyPe(); break;
    default: break;
    }
}

void CWindowLink::runConnectingBox() {
    CConnectingDlg box(&m_window);
    m_box = &box;
    box.exec();
    m_box = nullptr;
}

void CWindowLink::closeConnectingBox() {
    if (m_box) m_box->closeByWindow();
}

void CWindowLink::showNotice(int stringId) {
    QString text = toQString(loadString(stringId));
    if (stringId == IDS_PORT_OPEN_FAILED) {
        // The port layer knows why: a missing, busy or forbidden device.
        const SerialFault fault = Sio_Port().lastFault();
        if (!fault.reason.empty()) text += QStringLiteral("\n\n") + QString::fromStdString(fault.reason);
    }
    QMessageBox box(QMessageBox::Warning, m_window.windowTitle(), text, QMessageBox::Ok, &m_window);
    box.setObjectName(QStringLiteral("notice_%1").arg(stringId));
    box.exec();
}

void CWindowLink::setLamp(bool on) { m_window.drawLamp(on); }
void CWindowLink::startConnectTimer() { m_connectTimer->start(); }
void CWindowLink::stopConnectTimer() { m_connectTimer->stop(); }
void CWindowLink::startPoll() { m_window.startPoll(); }
void CWindowLink::stopPoll() { m_window.stopPoll(); }
void CWindowLink::drawEmptyGraph() { m_window.drawEmptyGraph(); }
void CWindowLink::drawGraph() { m_window.drawGraph(); }
void CWindowLink::scheduleRepaint() { m_window.scheduleRepaint(); }
void CWindowLink::pause(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

}  // namespace tqm

#include "editor/ui/power_watch.h"

#include <QtDBus/QDBusConnection>

#include "serial/sio_port.h"

namespace tqm {

CPowerWatch::CPowerWatch(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return;
    m_listening = bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                              QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                              this, SLOT(onPrepareForSleep(bool)));
}

void CPowerWatch::onPrepareForSleep(bool) { Sio_Port().close(); }

}  // namespace tqm

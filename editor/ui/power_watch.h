#pragma once

#include <QtCore/QObject>

namespace tqm {

// Closes the serial port when the machine goes to sleep and when it wakes up: a
// port held across a suspend is rarely usable afterwards. The next COM action
// opens it again. Listens to the login manager's PrepareForSleep signal on the
// system bus; without a system bus it does nothing.
class CPowerWatch final : public QObject {
    Q_OBJECT

public:
    explicit CPowerWatch(QObject* parent = nullptr);

    // True when the login manager's signal is being listened to.
    bool listening() const { return m_listening; }

public slots:
    // The login manager's PrepareForSleep: true before a suspend, false after resume.
    void onPrepareForSleep(bool suspending);

private:
    bool m_listening = false;
};

}  // namespace tqm

#include "app/termination_watch.h"

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QtCore/QSocketNotifier>

#include "app/command_line.h"
#include "app/headless_run.h"

namespace tqm {

CTerminationWatch::CTerminationWatch(std::function<void(int)> action) : m_action(std::move(action)) {
    const sigset_t ending = terminationSignals(CommandAction::RunWindow);
    m_maskChanged = ::pthread_sigmask(SIG_BLOCK, &ending, &m_previousMask) == 0;
    if (!m_maskChanged) return;
    m_fd = ::signalfd(-1, &ending, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0) {
        ::pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
        m_maskChanged = false;
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { takeSignals(); });
}

CTerminationWatch::~CTerminationWatch() {
    m_notifier.reset();
    if (m_fd >= 0) {
        signalfd_siginfo info;
        while (::read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        }
        ::close(m_fd);
    }
    if (m_maskChanged) ::pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
}

void CTerminationWatch::takeSignals() {
    signalfd_siginfo info;
    while (::read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (m_action) m_action(static_cast<int>(info.ssi_signo));
    }
}

}  // namespace tqm

#include "app/ctl/termination_signals.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include "app/command_line.h"
#include "app/headless_run.h"

namespace tqm {

TerminationSignals::TerminationSignals() {
    const sigset_t signals = terminationSignals(CommandAction::Automation);
    m_fd = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
}

TerminationSignals::~TerminationSignals() {
    if (m_fd >= 0) ::close(m_fd);
}

bool TerminationSignals::check() {
    if (m_fd < 0) return taken();
    signalfd_siginfo info{};
    while (::read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (m_signal == 0) m_signal = static_cast<int>(info.ssi_signo);
    }
    return taken();
}

}  // namespace tqm

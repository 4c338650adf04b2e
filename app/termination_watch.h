#pragma once

#include <signal.h>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace tqm {

// Takes the signals that end the window's run (SIGTERM, SIGINT, SIGHUP) on the
// window's thread: they are blocked in this thread (main has blocked them in every
// thread before any started), read from a signalfd and handed, one by one, to the
// action from the thread's event loop. On destruction the signals that came
// meanwhile are dropped and the thread's previous mask is restored.
class CTerminationWatch final {
public:
    explicit CTerminationWatch(std::function<void(int signal)> action);
    ~CTerminationWatch();
    CTerminationWatch(const CTerminationWatch&) = delete;
    CTerminationWatch& operator=(const CTerminationWatch&) = delete;

    // False when the signals could not be set up; they then end the process as usual.
    bool watching() const { return m_fd >= 0; }

private:
    void takeSignals();

    std::function<void(int)> m_action;
    sigset_t m_previousMask{};
    bool m_maskChanged = false;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace tqm

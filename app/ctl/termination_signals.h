#pragma once

namespace tqm {

// SIGINT and SIGTERM for the command-line tool, taken from a signalfd rather than by
// a handler: main blocks them in every thread before any starts, so they wait until
// this object reads them. The first one taken is kept: the running command ends at its
// next safe point. Used on one thread.
class TerminationSignals final {
public:
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // The descriptor that becomes readable when a signal waits; -1 when it could not be
    // made (the signals then stay blocked and are never taken).
    int fd() const { return m_fd; }
    // Takes the signals that wait, without blocking; true once any was taken.
    bool check();
    bool taken() const { return m_signal != 0; }
    // The first signal taken, 0 for none.
    int signal() const { return m_signal; }

private:
    int m_fd = -1;
    int m_signal = 0;
};

}  // namespace tqm

#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ctl/headless_window.h"
#include "app/ctl/link_settings.h"
#include "app/ctl/progress_line.h"
#include "app/ctl/termination_signals.h"
#include "editor/equalizer_values.h"

namespace tqm {

// How a step of a session ended.
enum class LinkResult {
    Done,
    PortFailed,   // the port cannot be opened
    NoAnswer,     // no auto-information reply within the connection time-out
    WrongModel,   // the transceiver answered but did not identify itself as the model
    SwitchedOff,  // the transceiver reported its power off
    LinkLost,     // the link went down (the port went away, or the replies stopped)
    TimedOut,     // replies stopped coming while the link stayed up
    Interrupted,  // SIGINT or SIGTERM
};

// What an apply did to one set.
struct ApplyReport {
    LinkResult result = LinkResult::Done;
    EqualizerValues target;        // what was asked for
    EqualizerValues after;         // what the transceiver reported last
    std::vector<int> differing;    // the parameters that differed before the apply
    bool verified = false;         // the set was read again after the apply
    bool refused = false;          // the file no longer passed the checks: nothing was sent

    // The parameters that differed and now report the value asked for, and the rest.
    std::vector<int> applied() const;
    std::vector<int> notApplied() const;
};

// One run of the engine with the window's link handling, on the calling thread: the
// engine's start, the connection as the COM button makes it (auto information on,
// identification, the 27 reads), paced applies, and the end that leaves auto
// information off. Every wait takes the window messages and ends on failure, on an
// interrupt where it is safe, or after the time-out without a reply.
class LinkSession final {
public:
    LinkSession(const LinkSettings& settings, std::chrono::milliseconds timeout, TerminationSignals& signals,
                ProgressLine& progress);
    // Ends the session (finish()).
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    // Blocks until connected with the 27 values read, or until it fails: up to the
    // time-out for the first reply, then up to the time-out between replies. Starts
    // the engine on the first call.
    LinkResult connect();
    // The transceiver's values of a set, as last reported.
    static EqualizerValues values(int set);
    // Blocks on the paced apply and the reading back of the set. Sends the values of
    // target that differ from the set's, each with its read-back, 25 ms apart. With a
    // file, the file is loaded as FILE LOAD loads it (the same checks) and its values
    // are the target. An interrupt stops it after the value in flight.
    ApplyReport apply(int set, const EqualizerValues& target, const std::string& file = {});
    // Blocks until auto information is off again and the engine has stopped: the
    // COM button's switch-off when connected, otherwise "AI0;" on a last opening of the
    // port when auto information may have been switched on.
    void finish();

    // Runs the window until interrupted, stop() holds, or the link goes down; each
    // window message is handed to observe after the link handling has seen it.
    LinkResult watch(const std::function<void(const Message&)>& observe, const std::function<bool()>& stop);
    // Runs the window for the given time; false when an interrupt ended it early.
    bool pause(std::chrono::milliseconds duration);
    bool connected();
    // The window in the session; valid from the first connect() to finish().
    HeadlessWindow& window();
    // Why the last connect() or apply failed, for the operator (the notice's text and
    // the reason line of a port failure).
    std::string failureText(LinkResult result) const;
    // Why the link went down: the port's fault when it is closed, otherwise no reply.
    static std::string lossReason();

private:
    bool start();
    void onMessage(const Message& message);
    // Runs the window until done() holds or the link fails; waits up to the time-out
    // without a reply. interruptible: an interrupt ends the wait too.
    LinkResult waitFor(const std::function<bool()>& done, bool interruptible);
    LinkResult failure() const;
    LinkResult readBack(int set);
    static void switchOffByReopening(int port, int baud);

    LinkSettings m_settings;
    std::chrono::milliseconds m_timeout;
    TerminationSignals& m_signals;
    ProgressLine& m_progress;
    std::unique_ptr<HeadlessWindow> m_window;
    bool m_started = false;
    bool m_finished = false;

    // Window thread state, reset by each connect.
    std::size_t m_noticesBefore = 0;
    bool m_wasConnected = false;
    bool m_powerOff = false;
    bool m_answered = false;  // auto information came on
    int m_expectedReplies = 0;
    std::string m_progressWord;
    HeadlessWindow::Clock::time_point m_lastReply{};
    std::function<void(const Message&)> m_observe;
};

}  // namespace tqm

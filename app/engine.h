#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace tqm {

// The one start and stop sequence of the engine, used by the program and the tests.
// Data-less access object.
//
//   initialiseState();  (read the port settings and set the port here)
//   startLink();        opens the port, starts the four threads
//   ...
//   stop();             retracts the window, closes the port, stops the threads
class Engine final {
public:
    // Resets everything a caller can observe (flags, queues, timers, the port's
    // state, the shadow record), installs the engine's hooks and initialises the transceiver state,
    // which starts the menu-list thread. Blocks about 10 ms.
    void initialiseState();
    // Opens the port (which writes "AI0;" at once) and starts Anl_Recv_Thread,
    // Sio_Recv_Thread, Sio_Send_Thread and Anl_Send_Thread, in that order; installs the
    // reply watchdog on timer 17. False when a thread did not start.
    bool startLink();
    // The end of a run, in this order: retracts the main window (a thread that sends
    // to it returns at once), stops every worker timer, makes the port refuse any
    // later open and closes it, runs afterPortClosed (the program writes its port
    // settings there), then stops Sio_Recv_Thread, Anl_Recv_Thread, Anl_Send_Thread
    // and Sio_Send_Thread with the bounded stop (blocks up to about 5.1 s each), and
    // ends the wire trace.
    // True when every thread ended. initialiseState() undoes the refusals.
    bool stop(const std::function<void()>& afterPortClosed = {});

    // Blocks up to timeout until the menu list is ready.
    bool waitMenuListReady(std::chrono::milliseconds timeout) const;
    // One reply watchdog tick on the current port (timer 17 runs this).
    static void watchdogTick();
    // Blocks on opening the file: from now on every command written and every reply
    // framed goes to the wire trace there ("-": standard error), with the port's opens,
    // closes and faults. False, with error saying why, when the file cannot be written.
    static bool startTrace(const std::string& file, std::string& error);
};

}  // namespace tqm

#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace tqm {

using TimerId = std::uint32_t;

// The timers of the worker side, run on one thread ("tqm-timers"). A timer is keyed
// by its id; its owner gives the id and the period (each layer defines the timers of
// its threads). Each tick runs the tick handler installed for the id (it posts a
// thread message, or runs the reply watchdog). Setting a timer that runs restarts it,
// as SetTimer does.
//
// This is a data-less access object: construct it where needed and drop it.
class TimerService final {
public:
    using Tick = std::function<void()>;

    // Installs what a tick of the id does; an empty function makes ticks do nothing
    // (and cost no wake-up: the timer runs and counts its ticks all the same).
    void setHandler(TimerId id, Tick tick);
    // Starts or restarts the timer with the period. False for a period that is not
    // positive, and after stopAll().
    bool set(TimerId id, std::chrono::milliseconds period);
    // Stops the timer. False when it was not running.
    bool kill(TimerId id);
    bool isRunning(TimerId id) const;
    // Number of ticks of the id since the last reset (for tests and measurements).
    unsigned long tickCount(TimerId id) const;
    // Blocks until a tick that is running has returned: kills every timer, drops every
    // handler and ends the thread. The service starts again on the next set(). Called
    // from inside a tick it returns at once; the thread ends when the tick returns.
    void reset();
    // Blocks as reset() does, and set() refuses from then on until the next reset():
    // at shutdown nothing is posted to a worker thread any more, whoever asks.
    void stopAll();
};

}  // namespace tqm

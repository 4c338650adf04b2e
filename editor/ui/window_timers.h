#pragma once

#include <chrono>

#include "platform/timer_service.h"

// The main window's own timers: one QTimer each, keyed by these ids. They share their
// numbering with the worker timers that the TimerService runs.
namespace tqm {

inline constexpr TimerId TIMER_SPLASH = 15;       // closes the splash
inline constexpr TimerId TIMER_CONNECT = 22;      // connection time-out
inline constexpr TimerId TIMER_REPAINT = 27;      // one full repaint
inline constexpr TimerId TIMER_PARAM_POLL = 28;   // reads one parameter of the shown set
inline constexpr TimerId TIMER_AUTO_REPEAT = 29;  // repeats the step of a held button
inline constexpr TimerId TIMER_CANCEL = 30;       // ends a CANCEL: reloads what the transceiver holds

struct WindowTimerPeriod {
    TimerId id;
    std::chrono::milliseconds period;
};

inline constexpr WindowTimerPeriod kWindowTimerPeriods[] = {
    {TIMER_SPLASH, std::chrono::milliseconds(3000)},    {TIMER_CONNECT, std::chrono::milliseconds(5000)},
    {TIMER_REPAINT, std::chrono::milliseconds(100)},    {TIMER_PARAM_POLL, std::chrono::milliseconds(50)},
    {TIMER_AUTO_REPEAT, std::chrono::milliseconds(200)}, {TIMER_CANCEL, std::chrono::milliseconds(500)},
};

// The period of a window timer, or zero for an id that is not one.
constexpr std::chrono::milliseconds timerPeriod(TimerId id) {
    for (const auto& row : kWindowTimerPeriods) {
        if (row.id == id) return row.period;
    }
    return std::chrono::milliseconds(0);
}

}  // namespace tqm

#pragma once

#include <chrono>
#include <cstdint>

namespace tqm {

using TimerId = std::uint32_t;

// Timers of the worker side, run by the TimerService.
inline constexpr TimerId TIMER_SIO_POLL = 3;        // 5 ms: UWM_SIO_POLL to Sio_Recv_Thread
inline constexpr TimerId TIMER_READ_STEP = 4;       // 30 ms: UWM_CMD_READ_STEP to Anl_Send_Thread
inline constexpr TimerId TIMER_STANDBY = 5;         // 30 ms: no action
inline constexpr TimerId TIMER_CMD_POLL = 8;        // 1000 ms: UWM_CMD_POLL to Anl_Send_Thread
inline constexpr TimerId REPLY_TIMER_ID = 17;       // 3000 ms: reply watchdog

// Timers of the main window, run by the window itself.
inline constexpr TimerId TIMER_SPLASH = 15;         // 3000 ms
inline constexpr TimerId TIMER_CONNECT = 22;        // 5000 ms
inline constexpr TimerId TIMER_REPAINT = 27;        // 100 ms
inline constexpr TimerId TIMER_PARAM_POLL = 28;     // 50 ms
inline constexpr TimerId TIMER_AUTO_REPEAT = 29;    // 200 ms
inline constexpr TimerId TIMER_CANCEL = 30;         // 500 ms

struct TimerPeriod {
    TimerId id;
    std::chrono::milliseconds period;
};

inline constexpr TimerPeriod kTimerPeriods[] = {
    {TIMER_SIO_POLL, std::chrono::milliseconds(5)},
    {TIMER_READ_STEP, std::chrono::milliseconds(30)},
    {TIMER_STANDBY, std::chrono::milliseconds(30)},
    {TIMER_CMD_POLL, std::chrono::milliseconds(1000)},
    {TIMER_SPLASH, std::chrono::milliseconds(3000)},
    {REPLY_TIMER_ID, std::chrono::milliseconds(3000)},
    {TIMER_CONNECT, std::chrono::milliseconds(5000)},
    {TIMER_REPAINT, std::chrono::milliseconds(100)},
    {TIMER_PARAM_POLL, std::chrono::milliseconds(50)},
    {TIMER_AUTO_REPEAT, std::chrono::milliseconds(200)},
    {TIMER_CANCEL, std::chrono::milliseconds(500)},
};

// The period of a timer id, or zero for an id that is not in the table.
constexpr std::chrono::milliseconds timerPeriod(TimerId id) {
    for (const auto& row : kTimerPeriods) {
        if (row.id == id) return row.period;
    }
    return std::chrono::milliseconds(0);
}

}  // namespace tqm

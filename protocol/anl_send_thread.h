#pragma once

#include <chrono>
#include <cstdint>

#include "platform/timer_service.h"
#include "platform/worker_thread.h"
#include "protocol/command_record.h"
#include "protocol/protocol_messages.h"
#include "protocol/trx_state.h"

namespace tqm {

// The command thread's timers, run by the TimerService.
inline constexpr TimerId TIMER_READ_STEP = 4;  // each tick posts UWM_CMD_READ_STEP
inline constexpr TimerId TIMER_STANDBY = 5;    // its ticks do nothing
inline constexpr TimerId TIMER_CMD_POLL = 8;   // each tick posts UWM_CMD_POLL
inline constexpr std::chrono::milliseconds kReadStepPeriod{30};
inline constexpr std::chrono::milliseconds kStandbyPeriod{30};
inline constexpr std::chrono::milliseconds kCmdPollPeriod{1000};

// The command thread: formats the link's commands, appends each to the send queue
// and wakes the send thread once per command; runs the start-up read sequence and
// the once-a-second link poll. Pauses between the commands of one request are
// sleeps on this thread.
class Anl_Send_Thread final : public MappedWorkerThread<Anl_Send_Thread> {
public:
    Anl_Send_Thread();

    // Creates and starts the command thread, files it as WorkerRole::AnlSend, installs
    // the tick handlers of timers 4, 5 and 8 and starts the link poll (timer 8).
    static bool startCommandThread();
    // Blocks up to about 5.1 s: the bounded stop of the command thread.
    static bool stopCommandThread();

    // The pauses between the commands of one request.
    static constexpr int kPauseAfterAiSetMs = 20;
    static constexpr int kPauseBeforeDisconnectMs = 25;
    static constexpr int kPauseAfterIdMs = 25;
    static constexpr int kPauseBeforePollAiMs = 30;

private:
    void onThreadStart() override;

    void onLinkToggle(const Message&);
    void onReadStart(const Message&);
    void onReadStep(const Message&);
    void onTimersStop(const Message&);
    void onStandbyStart(const Message&);
    void onIdCheck(const Message&);
    void onPoll(const Message&);
    void onFlush(const Message&);

    void forcedDisconnect();
    void startStandby();
    // Appends one command to the send queue and wakes the send thread.
    void send(const CommandRecord& record);
    void sendPlainRead(const CommandRow& row);
    void sendEqualizerReads();

    Trx_ShadowGuard m_shadow;
    bool m_bReadTimerOn = false;
    bool m_bStandbyTimerOn = false;
    std::int32_t m_nReadStep = 0;

public:
    static constexpr MessageMapEntry s_messageMap[] = {
        {UWM_CMD_LINK_TOGGLE, &Anl_Send_Thread::onLinkToggle},
        {UWM_CMD_READ_START, &Anl_Send_Thread::onReadStart},
        {UWM_CMD_READ_STEP, &Anl_Send_Thread::onReadStep},
        {UWM_CMD_TIMERS_STOP, &Anl_Send_Thread::onTimersStop},
        {UWM_CMD_STANDBY_START, &Anl_Send_Thread::onStandbyStart},
        {UWM_CMD_ID_CHECK, &Anl_Send_Thread::onIdCheck},
        {UWM_CMD_POLL, &Anl_Send_Thread::onPoll},
        {UWM_CMD_FLUSH, &Anl_Send_Thread::onFlush},
        {UWM_THREAD_QUIT, &Anl_Send_Thread::quit},
    };
};

}  // namespace tqm

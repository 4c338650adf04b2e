#include "protocol/anl_send_thread.h"

#include <chrono>
#include <thread>

#include "platform/sio_queue.h"
#include "platform/thread_directory.h"
#include "platform/timer_service.h"
#include "protocol/link_flags.h"
#include "protocol/port_opener.h"

namespace tqm {
namespace {

void pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

constexpr char kModelCodeText[] = "4700";
constexpr char kInjectedAiOff[] = "AI0";

}  // namespace

Anl_Send_Thread::Anl_Send_Thread() : MappedWorkerThread("tqm-anl-send") {}

bool Anl_Send_Thread::startCommandThread() {
    TimerService timers;
    timers.setHandler(TIMER_READ_STEP, [] { ThreadDirectory().post(WorkerRole::AnlSend, UWM_CMD_READ_STEP); });
    timers.setHandler(TIMER_STANDBY, {});
    timers.setHandler(TIMER_CMD_POLL, [] { ThreadDirectory().post(WorkerRole::AnlSend, UWM_CMD_POLL); });
    ThreadDirectory().startAs(WorkerRole::AnlSend, std::make_shared<Anl_Send_Thread>());
    timers.set(TIMER_CMD_POLL, kCmdPollPeriod);
    return true;
}

bool Anl_Send_Thread::stopCommandThread() {
    ThreadDirectory().stop(WorkerRole::AnlSend);
    return true;
}

void Anl_Send_Thread::onThreadStart() {
    m_bReadTimerOn = false;
    m_bStandbyTimerOn = false;
}

void Anl_Send_Thread::send(const CommandRecord& record) {
    SioSendQueue().push(record.length, record.bytes.data());
    ThreadDirectory().post(WorkerRole::SioSend, UWM_SIO_SEND);
}

void Anl_Send_Thread::sendPlainRead(const CommandRow& row) {
    CommandRecord record;
    if (buildCommand(record, row.letters, "", static_cast<std::size_t>(row.length))) send(record);
}

void Anl_Send_Thread::sendEqualizerReads() {
    const CommandRow& row = StartupReadTable[kStartupStepPe];
    for (int i = 0; i < kPeqSets * kPeqBands * kPeqParams; ++i) {
        const char digits[4] = {static_cast<char>('0' + i / 9), static_cast<char>('0' + (i / 3) % 3),
                                static_cast<char>('0' + i % 3), '\0'};
        CommandRecord record;
        if (buildCommand(record, row.letters, digits, static_cast<std::size_t>(row.length))) send(record);
    }
}

void Anl_Send_Thread::onLinkToggle(const Message&) {
    PortOpener().openIfNeeded();
    const std::int32_t autoInfo = m_shadow.autoInfo();
    if (autoInfo != 0 && autoInfo != 1) return;
    CommandRecord record;
    buildCommand(record, kAiSetRow.letters, autoInfo == 0 ? "1" : "0", static_cast<std::size_t>(kAiSetRow.length));
    send(record);
    pause(kPauseAfterAiSetMs);
    sendPlainRead(StartupReadTable[kStartupStepAi]);
    if (m_shadow.autoInfo() != 0) {
        pause(kPauseBeforeDisconnectMs);
        forcedDisconnect();
    }
}

void Anl_Send_Thread::forcedDisconnect() {
    post(UWM_CMD_TIMERS_STOP);
    LinkFlags().setAiOnSent(0);
    if (m_shadow.powerState() == 0) Trx_StateGuard().setSavedAutoInfo(0);
    SioReceiveQueue().push(sizeof(kInjectedAiOff) - 1, kInjectedAiOff);
    ThreadDirectory().post(WorkerRole::AnlRecv, UWM_ANL_REPLY);
}

void Anl_Send_Thread::onReadStart(const Message&) {
    if (!m_bReadTimerOn) {
        m_bReadTimerOn = true;
        m_nReadStep = 0;
        TimerService().set(TIMER_READ_STEP, kReadStepPeriod);
    } else {
        m_nReadStep = 0;
    }
}

void Anl_Send_Thread::onReadStep(const Message&) {
    const std::int32_t step = m_nReadStep;
    if (step != kStartupStepId && step != kStartupStepAi && step >= 0 && step < 4) {
        const CommandRow& row = StartupReadTable[step];
        if (row.kind == kCommandKindPlain) {
            sendPlainRead(row);
        } else if (step == kStartupStepPe) {
            sendEqualizerReads();
        }
    }
    if (++m_nReadStep >= 4) {
        m_nReadStep = 0;
        if (m_bReadTimerOn) {
            m_bReadTimerOn = false;
            TimerService().kill(TIMER_READ_STEP);
        }
        startStandby();
    }
}

void Anl_Send_Thread::startStandby() {
    if (m_bStandbyTimerOn) return;
    m_bStandbyTimerOn = true;
    TimerService().set(TIMER_STANDBY, kStandbyPeriod);
}

void Anl_Send_Thread::onStandbyStart(const Message&) { startStandby(); }

void Anl_Send_Thread::onTimersStop(const Message&) {
    if (m_bReadTimerOn) {
        m_bReadTimerOn = false;
        TimerService().kill(TIMER_READ_STEP);
    }
    if (m_bStandbyTimerOn) {
        m_bStandbyTimerOn = false;
        TimerService().kill(TIMER_STANDBY);
    }
}

void Anl_Send_Thread::onIdCheck(const Message&) {
    const CommandRow& idRow = StartupReadTable[kStartupStepId];
    sendPlainRead(idRow);
    pause(kPauseAfterIdMs);
    CommandRecord record;
    buildCommand(record, idRow.letters, kModelCodeText, sizeof(kModelCodeText) + 2);
    send(record);
    pause(kPauseAfterIdMs);
}

void Anl_Send_Thread::onPoll(const Message&) {
    if (m_shadow.autoInfo() != 0) sendPlainRead(StartupReadTable[kStartupStepPs]);
    if (m_shadow.powerState() != 0 && m_shadow.autoInfo() != 0) {
        pause(kPauseBeforePollAiMs);
        sendPlainRead(StartupReadTable[kStartupStepAi]);
    }
}

void Anl_Send_Thread::onFlush(const Message&) { ThreadDirectory().post(WorkerRole::SioSend, UWM_SIO_SEND); }

}  // namespace tqm

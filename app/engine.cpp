#include "app/engine.h"

#include <thread>

#include "editor/reply_watchdog.h"
#include "editor/send_queue_sink.h"
#include "menulist/menu_list_loader.h"
#include "platform/main_window_link.h"
#include "platform/line_device.h"
#include "platform/sio_queue.h"
#include "platform/thread_directory.h"
#include "platform/timer_service.h"
#include "protocol/anl_recv.h"
#include "protocol/anl_send_thread.h"
#include "protocol/link_flags.h"
#include "protocol/port_opener.h"
#include "protocol/reply_dispatch.h"
#include "protocol/trx_state.h"
#include "serial/sio_port.h"
#include "serial/sio_thread_proxies.h"
#include "serial/wire_trace.h"

namespace tqm {

void Engine::initialiseState() {
    TimerService().reset();
    LinkFlags().reset();
    SioSendQueue().reset();
    SioReceiveQueue().reset();
    Sio_Port().initialise();
    Trx_ShadowGuard().reset();
    Trx_StateGuard::setMenuLoaderStart(&startMenuListThread);
    PortOpener::install([] { Sio_Port().open(); });
    SendQueueSink::setPushHook([](const char* bytes, std::size_t length) { return SioSendQueue().push(length, bytes) > 0; });
    Trx_StateGuard().initialise();
}

bool Engine::startLink() {
    Sio_Port().open();
    TimerService().setHandler(REPLY_TIMER_ID, &Engine::watchdogTick);
    bool started = Anl_Recv().start();
    started = SioRecvThreadProxy().start() && started;
    started = SioSendThreadProxy().start() && started;
    started = Anl_Send_Thread::startCommandThread() && started;
    return started && Anl_Recv().isAlive() && ThreadDirectory().isAlive(WorkerRole::AnlSend);
}

bool Engine::stop(const std::function<void()>& afterPortClosed) {
    // A thread that sends to the window during the stops returns at once.
    MainWindowLink().retract();
    // No tick posts to a worker thread any more, and nothing reopens the port.
    TimerService().stopAll();
    Sio_Port port;
    port.beginShutdown();
    port.close();
    if (afterPortClosed) afterPortClosed();
    bool ended = SioRecvThreadProxy().stop() && !SioRecvThreadProxy().isAlive();
    ended = Anl_Recv().stop() && ended;
    Anl_Send_Thread::stopCommandThread();
    ended = !ThreadDirectory().isAlive(WorkerRole::AnlSend) && ended;
    ended = SioSendThreadProxy().stop() && !SioSendThreadProxy().isAlive() && ended;
    // The menu-list thread has ended by itself long ago; this joins it.
    ended = ThreadDirectory().stop(WorkerRole::MenuList) && ended;
    WireTrace().stop();
    return ended;
}

bool Engine::waitMenuListReady(std::chrono::milliseconds timeout) const {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (Trx_StateGuard().menuListReady() == 0) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void Engine::watchdogTick() {
    PortSnapshot snapshot;
    SerialStatus status;
    SerialFault fault;
    Sio_Port port;
    if (port.isOpen() && port.status(status, fault)) {
        snapshot.open = true;
        snapshot.inputQueued = status.inQueue;
        snapshot.statusBits = status.holds;
    }
    ReplyWatchdog().tick(snapshot);
}

bool Engine::startTrace(const std::string& file, std::string& error) { return WireTrace().start(file, error); }

}  // namespace tqm

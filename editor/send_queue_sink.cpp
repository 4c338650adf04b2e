#include "editor/send_queue_sink.h"

#include <atomic>

#include "platform/thread_directory.h"
#include "protocol/protocol_messages.h"

namespace tqm {

namespace {
std::atomic<SendQueueSink::PushHook> s_pushHook{nullptr};
}  // namespace

void SendQueueSink::setPushHook(PushHook hook) { s_pushHook.store(hook, std::memory_order_release); }

bool SendQueueSink::pushCommand(const char* bytes, std::size_t length) {
    const PushHook hook = s_pushHook.load(std::memory_order_acquire);
    if (hook == nullptr || !hook(bytes, length)) {
        return false;
    }
    ThreadDirectory().post(WorkerRole::AnlSend, UWM_CMD_FLUSH);
    return true;
}

}  // namespace tqm

#pragma once

#include <cstddef>

#include "editor/command_sink.h"

namespace tqm {

// The editor's command sink in the running program: pushes each command onto the
// send queue through the installed hook, then posts UWM_CMD_FLUSH to the command
// thread so that the queue is sent.
class SendQueueSink final : public CommandSink {
public:
    // Pushes one entry onto the send queue; false when the queue refused it.
    using PushHook = bool (*)(const char* bytes, std::size_t length);

    // Installed by the engine start sequence; null removes it.
    static void setPushHook(PushHook hook);

    // False (and nothing posted) when no hook is installed or the push was refused.
    bool pushCommand(const char* bytes, std::size_t length) override;
};

}  // namespace tqm

#pragma once

#include <cstddef>

namespace tqm {

// Where the editor puts the commands it sends to the transceiver.
class CommandSink {
public:
    virtual ~CommandSink() = default;
    // Queues one command of length bytes (";" included); false when it was refused.
    virtual bool pushCommand(const char* bytes, std::size_t length) = 0;
};

}  // namespace tqm

#pragma once

#include <string>
#include <vector>

#include "editor/command_sink.h"

namespace tqm::test {

// A command sink that keeps every command it is given.
class RecordingSink final : public CommandSink {
public:
    bool pushCommand(const char* bytes, std::size_t length) override {
        commands.emplace_back(bytes, length);
        return true;
    }

    std::vector<std::string> commands;
};

}  // namespace tqm::test

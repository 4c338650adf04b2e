#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "serial/frame_rules.h"
#include "serial/reply_framer.h"

namespace tqm::test {

// A menu list and model code fixed by the test.
class FixedFrameRules final : public FrameRules {
public:
    struct Item {
        std::int32_t width;
        std::int32_t format;
    };

    std::int32_t menuCount() const override { return count; }
    std::int32_t menuParameterLength(std::int32_t n) const override {
        auto it = items.find(n);
        return it == items.end() ? 0 : it->second.width;
    }
    std::int32_t menuFormatCode(std::int32_t n) const override {
        auto it = items.find(n);
        return it == items.end() ? 0 : it->second.format;
    }
    std::int32_t modelCode() const override { return model; }

    std::int32_t count = 147;
    std::int32_t model = 1;
    std::map<std::int32_t, Item> items;
};

class CollectingSink final : public FrameSink {
public:
    void deliver(const char* text, std::size_t length) override { replies.emplace_back(text, length); }
    std::vector<std::string> replies;
};

// Feeds bytes as one poll would and returns what the step did.
inline FrameStep feedPoll(ReplyFramer& framer, std::string_view bytes, FrameSink& sink, std::uint32_t errors = 0) {
    FrameStep outcome = FrameStep::Empty;
    framer.feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), errors, sink, &outcome);
    return outcome;
}

}  // namespace tqm::test

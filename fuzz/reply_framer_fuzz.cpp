#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "menulist/default_menu_list.h"
#include "platform/sio_queue.h"
#include "protocol/link_flags.h"
#include "protocol/reply_dispatch.h"
#include "protocol/reply_record.h"
#include "protocol/trx_state.h"
#include "serial/reply_framer.h"
#include "serial/state_frame_rules.h"

// Feeds a byte stream to the receive framer in chunks and dispatches every reply it
// delivers through the receive queue into the transceiver state, as the reply-analysis
// thread does. Input: byte 0 bit 0 says the transceiver identified itself (menu
// replies of the EQ2 frequency items keep their full width); byte 1 the count (0..7)
// of the chunk-size bytes that follow, each a chunk of 1..256 bytes; the rest is the
// stream. A full buffer must always make room. (That every reply comes through
// whatever the chunking is the framer test's stream check.)

namespace tqm {
namespace {

struct Replies final : FrameSink {
    void deliver(const char* text, std::size_t length) override { texts.emplace_back(text, length); }
    std::vector<std::string> texts;
};

// The transceiver state as the menu-list thread leaves it, with the given model code.
void prepareState(std::int32_t modelCode) {
    Trx_StateGuard::setMenuLoaderStart(nullptr);
    Trx_StateGuard state;
    state.initialise();
    Trx_ShadowGuard().reset();
    LinkFlags().reset();
    SioReceiveQueue().reset();
    state.set(StateField::MenuCount, kDefaultMenuItemCount);
    MenuItemRecord record;
    for (int n = 1; n <= kDefaultMenuItemCount; ++n) {
        if (defaultMenuItem(n, record)) state.storeMenuRecord(n, &record);
    }
    state.setMenuListReady(1);
    state.set(StateField::ModelCode, modelCode);
}

}  // namespace
}  // namespace tqm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tqm;
    if (size < 2) return 0;
    const std::size_t sizeBytes = std::min<std::size_t>(data[1] % 8, size - 2);
    std::vector<std::size_t> chunks;
    for (std::size_t i = 0; i < sizeBytes; ++i) chunks.push_back(data[2 + i] + 1u);
    if (chunks.empty()) chunks.push_back(7);
    const std::string_view stream(reinterpret_cast<const char*>(data) + 2 + sizeBytes, size - 2 - sizeBytes);
    prepareState((data[0] & 1) != 0 ? 1 : 0);

    const StateFrameRules rules;
    ReplyFramer framer(rules);
    Replies replies;
    for (std::size_t i = 0, offset = 0; offset < stream.size(); ++i) {
        const std::size_t taken = std::min({chunks[i % chunks.size()], stream.size() - offset, framer.freeSpace()});
        if (taken > 0) std::memcpy(framer.tail(), stream.data() + offset, taken);
        if (framer.commit(taken)) framer.step(0, replies);
        if (taken == 0 && framer.freeSpace() == 0) __builtin_trap();
        offset += taken;
    }
    for (FrameStep done = FrameStep::Delivered; done == FrameStep::Delivered || done == FrameStep::Dropped;) {
        done = framer.step(0, replies);
    }
    SioReceiveQueue queue;
    for (const std::string& reply : replies.texts) {
        if (queue.push(reply.size(), reply.data()) <= 0) continue;  // refused: never announced
        ReplyRecord record;
        if (queue.pop(record.bytes.data()) != static_cast<std::int16_t>(reply.size())) __builtin_trap();
        dispatchReply(record);
    }
    return 0;
}

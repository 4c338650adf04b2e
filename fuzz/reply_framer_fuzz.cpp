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

// Feeds a byte stream to the receive framer and dispatches every reply it delivers
// into the transceiver state, as the reply-analysis thread does. Input: byte 0 bit 0,
// the transceiver identified itself; byte 1, the count (0..7) of chunk sizes that
// follow (1..256 each); the rest, the stream. Its reply characters alone, fed whole,
// a byte at a time and in the chunks, give the same replies up to the first damaged
// reply dropped (its drop runs to the first ";" held, which depends on what arrived).

namespace tqm {
namespace {

bool isReplyText(char c) { return (c >= 0x20 && c <= 0x5F) || c == '}'; }
bool isUpper(std::uint8_t c) { return c >= 'A' && c <= 'Z'; }

struct Feed final : FrameSink {
    void deliver(const char* text, std::size_t length) override { replies.emplace_back(text, length); }
    std::vector<std::string> replies;
    std::size_t comparable = SIZE_MAX;  // replies before the first damaged-reply drop
};

// One poll per chunk (what does not fit waits for the next), then idle polls until
// the framer can do nothing more without new bytes.
Feed feed(std::string_view stream, const std::vector<std::size_t>& chunks) {
    const StateFrameRules rules;
    ReplyFramer framer(rules);
    Feed result;
    const auto step = [&] {
        const bool letters = framer.held() >= 2 && isUpper(framer.data()[0]) && isUpper(framer.data()[1]);
        const FrameStep done = framer.step(0, result);
        if (done == FrameStep::Dropped && letters) result.comparable = std::min(result.comparable, result.replies.size());
        return done;
    };
    for (std::size_t i = 0, offset = 0; offset < stream.size(); ++i) {
        const std::size_t taken = std::min({chunks[i % chunks.size()], stream.size() - offset, framer.freeSpace()});
        if (taken > 0) std::memcpy(framer.tail(), stream.data() + offset, taken);
        if (framer.commit(taken)) step();
        if (taken == 0 && framer.freeSpace() == 0) __builtin_trap();  // a full buffer must make room
        offset += taken;
    }
    for (FrameStep done = FrameStep::Delivered; done == FrameStep::Delivered || done == FrameStep::Dropped;) done = step();
    return result;
}

void checkSameReplies(const Feed& whole, const Feed& other) {
    const auto count = static_cast<std::ptrdiff_t>(std::min(whole.comparable, whole.replies.size()));
    if (static_cast<std::ptrdiff_t>(other.replies.size()) < count ||
        !std::equal(whole.replies.begin(), whole.replies.begin() + count, other.replies.begin()))
        __builtin_trap();
    if (whole.comparable == SIZE_MAX && other.replies != whole.replies) __builtin_trap();
}

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
    for (int n = 1; n <= kDefaultMenuItemCount && defaultMenuItem(n, record); ++n) state.storeMenuRecord(n, &record);
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
    std::string plain;
    std::copy_if(stream.begin(), stream.end(), std::back_inserter(plain), isReplyText);
    const Feed whole = feed(plain, {plain.size() + 1});
    checkSameReplies(whole, feed(plain, {1}));
    checkSameReplies(whole, feed(plain, chunks));
    SioReceiveQueue queue;  // the receive queue's path into the reply analysis
    for (const std::string& reply : feed(stream, chunks).replies) {
        if (queue.push(reply.size(), reply.data()) <= 0) continue;  // refused: never announced
        ReplyRecord record;
        if (queue.pop(record.bytes.data()) != static_cast<std::int16_t>(reply.size())) __builtin_trap();
        dispatchReply(record);
    }
    return 0;
}

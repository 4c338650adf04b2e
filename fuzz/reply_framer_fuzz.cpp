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

// Feeds a byte stream to the receive framer whole, one byte at a time and in chunks
// whose sizes the input gives, then dispatches every reply of the whole feed through
// the receive queue into the transceiver state, as the reply-analysis thread does.
//
// Input layout: byte 0 holds flags (bit 0: the transceiver identified itself, so menu
// replies of the EQ2 frequency items keep their full width); byte 1 the count of
// chunk-size bytes (0..7) that follow it, each giving a chunk of 1..256 bytes, used in
// turn; the rest is the stream.
//
// What must agree between the three feeds:
// - every feed delivers replies whose text and ";" stand in the stream, in stream order;
// - a stream of reply characters only (0x20..0x5F and "}") gives every feed the same
//   replies, and the same bytes held at the end, as long as the whole feed never drops
//   a reply that starts with two letters (a damaged reply without ";" where it should
//   end, or a menu reply for an item that is not in the list). A damaged reply is
//   dropped through the first ";" held, or with everything held when there is none, so
//   the outcome depends on how much had arrived; the replies before the first such
//   drop must still agree. Garbage bytes are
//   outside this rule for the same reason: the first ";" of an unknown reply or the
//   end of a scan is looked for only within what has arrived.
// The check runs on the stream as given and on the stream with its non-reply
// characters removed, so it applies to every input.

namespace tqm {
namespace {

constexpr std::size_t kHeaderBytes = 2;
constexpr std::size_t kMaxSizeBytes = 7;

bool isReplyText(std::uint8_t c) { return (c >= 0x20 && c <= 0x5F) || c == '}'; }
bool isUpper(std::uint8_t c) { return c >= 'A' && c <= 'Z'; }

class RecordingSink final : public FrameSink {
public:
    void deliver(const char* text, std::size_t length) override { replies.emplace_back(text, length); }
    std::vector<std::string> replies;
};

struct FeedResult {
    std::vector<std::string> replies;
    std::string held;
    // Replies delivered before the first damaged-reply drop (all of them without one).
    std::size_t comparable = 0;
    bool damagedDrop = false;
};

// One framing step, noting the first drop of a damaged reply.
FrameStep observedStep(ReplyFramer& framer, RecordingSink& sink, FeedResult& result) {
    const std::uint8_t* held = framer.data();
    const bool letters = framer.held() >= 2 && isUpper(held[0]) && isUpper(held[1]);
    const FrameStep step = framer.step(0, sink);
    if (step == FrameStep::Dropped && letters && !result.damagedDrop) {
        result.damagedDrop = true;
        result.comparable = sink.replies.size();
    }
    return step;
}

// One poll: what fits of the bytes goes in, then one step. Returns the bytes taken.
std::size_t poll(ReplyFramer& framer, const std::uint8_t* bytes, std::size_t count, RecordingSink& sink,
                 FeedResult& result) {
    const std::size_t taken = std::min(count, framer.freeSpace());
    if (taken > 0) std::memcpy(framer.tail(), bytes, taken);
    if (framer.commit(taken)) observedStep(framer, sink, result);
    return taken;
}

// One poll per chunk (what does not fit waits for the next poll), then idle polls
// until the framer can do nothing more without new bytes.
FeedResult feed(std::string_view stream, const std::vector<std::size_t>& chunks) {
    const StateFrameRules rules;
    ReplyFramer framer(rules);
    RecordingSink sink;
    FeedResult result;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stream.data());
    std::size_t offset = 0;
    for (std::size_t i = 0; offset < stream.size(); ++i) {
        const std::size_t chunk = std::min(chunks[i % chunks.size()], stream.size() - offset);
        const std::size_t taken = poll(framer, bytes + offset, chunk, sink, result);
        // A full buffer must make room: a framer that takes nothing more and cuts
        // nothing would stop the line for good.
        if (taken == 0 && framer.freeSpace() == 0) __builtin_trap();
        offset += taken;
    }
    for (;;) {
        const FrameStep step = observedStep(framer, sink, result);
        if (step != FrameStep::Delivered && step != FrameStep::Dropped) break;
    }
    if (!result.damagedDrop) result.comparable = sink.replies.size();
    result.replies = std::move(sink.replies);
    result.held.assign(reinterpret_cast<const char*>(framer.data()), framer.held());
    return result;
}

// Every reply and its ";" stand in the stream, one after another.
void checkInStream(std::string_view stream, const FeedResult& result) {
    std::size_t cursor = 0;
    for (const std::string& reply : result.replies) {
        const std::string framed = reply + ";";
        const std::size_t found = stream.find(framed, cursor);
        if (found == std::string_view::npos) __builtin_trap();
        cursor = found + framed.size();
    }
}

void checkSamePrefix(const FeedResult& whole, const FeedResult& other) {
    const std::size_t count = whole.comparable;
    if (other.replies.size() < count) __builtin_trap();
    if (!std::equal(whole.replies.begin(), whole.replies.begin() + static_cast<std::ptrdiff_t>(count),
                    other.replies.begin()))
        __builtin_trap();
    if (!whole.damagedDrop && (other.replies != whole.replies || other.held != whole.held)) __builtin_trap();
}

void checkFeeds(std::string_view stream, const std::vector<std::size_t>& chunks, bool comparable,
                std::vector<std::string>* wholeReplies) {
    FeedResult whole = feed(stream, {stream.size() + 1});
    const FeedResult single = feed(stream, {1});
    const FeedResult chunked = feed(stream, chunks);
    checkInStream(stream, whole);
    checkInStream(stream, single);
    checkInStream(stream, chunked);
    if (comparable) {
        checkSamePrefix(whole, single);
        checkSamePrefix(whole, chunked);
    }
    if (wholeReplies != nullptr) *wholeReplies = std::move(whole.replies);
}

void loadMenuList() {
    Trx_StateGuard state;
    state.set(StateField::MenuCount, kDefaultMenuItemCount);
    MenuItemRecord record;
    for (int n = 1; n <= kDefaultMenuItemCount; ++n) {
        if (defaultMenuItem(n, record)) state.storeMenuRecord(n, &record);
    }
}

// Whether every bounded value lies within its bounds.
bool stateWithinBounds() {
    const Trx_StateGuard state;
    for (int f = 0; f < static_cast<int>(StateField::Count); ++f) {
        const auto field = static_cast<StateField>(f);
        const std::int32_t value = state.get(field);
        if (value < state.minimum(field) || value > state.maximum(field)) return false;
    }
    for (int set = 0; set < kPeqSets; ++set) {
        for (int band = 0; band < kPeqBands; ++band) {
            for (int p = 0; p < kPeqParams; ++p) {
                const auto param = static_cast<PeqParam>(p);
                const std::int32_t value = state.getPeq(set, band, param);
                if (value < state.peqMinimum(band, param) || value > state.peqMaximum(band, param)) return false;
            }
        }
    }
    return true;
}

// The transceiver state as the menu-list thread leaves it, with the given model code.
void prepareState(std::int32_t modelCode) {
    Trx_StateGuard::setMenuLoaderStart(nullptr);
    Trx_StateGuard state;
    state.initialise();
    Trx_ShadowGuard().resetForTest();
    LinkFlags().reset();
    SioReceiveQueue().reset();
    loadMenuList();
    state.setMenuListReady(1);
    state.set(StateField::ModelCode, modelCode);
}

// The receive queue's path into the reply analysis.
void dispatchAll(const std::vector<std::string>& replies) {
    SioReceiveQueue queue;
    for (const std::string& reply : replies) {
        if (queue.push(reply.size(), reply.data()) <= 0) continue;  // refused: never announced
        ReplyRecord record;
        if (queue.pop(record.bytes.data()) != static_cast<std::int16_t>(reply.size())) __builtin_trap();
        dispatchReply(record);
    }
}

std::string replyTextOnly(std::string_view stream) {
    std::string clean;
    std::copy_if(stream.begin(), stream.end(), std::back_inserter(clean),
                 [](char c) { return isReplyText(static_cast<std::uint8_t>(c)); });
    return clean;
}

bool allReplyText(std::string_view stream) {
    return std::all_of(stream.begin(), stream.end(), [](char c) { return isReplyText(static_cast<std::uint8_t>(c)); });
}

}  // namespace
}  // namespace tqm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tqm;
    if (size < kHeaderBytes) return 0;
    const std::int32_t modelCode = (data[0] & 1) != 0 ? 1 : 0;
    const std::size_t sizeBytes = std::min<std::size_t>(data[1] % (kMaxSizeBytes + 1), size - kHeaderBytes);
    std::vector<std::size_t> chunks;
    for (std::size_t i = 0; i < sizeBytes; ++i) chunks.push_back(static_cast<std::size_t>(data[kHeaderBytes + i]) + 1);
    if (chunks.empty()) chunks.push_back(7);
    const std::string_view stream(reinterpret_cast<const char*>(data) + kHeaderBytes + sizeBytes,
                                  size - kHeaderBytes - sizeBytes);

    static const bool s_boundsHeldAtStart = [] {
        prepareState(0);
        return stateWithinBounds();
    }();

    prepareState(modelCode);
    std::vector<std::string> replies;
    checkFeeds(stream, chunks, allReplyText(stream), &replies);
    checkFeeds(replyTextOnly(stream), chunks, true, nullptr);

    dispatchAll(replies);
    if (s_boundsHeldAtStart && !stateWithinBounds()) __builtin_trap();
    return 0;
}
